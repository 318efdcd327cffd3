#pragma once
// The fixed column layouts of the spreadsheet export: which column of which
// table goes into which sheet column, under which title. The import uses
// the titles too, to pair a workbook written by the export with the right
// columns again.
#include <QList>
#include <QString>
#include <QVariant>

#include "app/db/Dialect.h"

struct ExportColumn {
    QString title;  // row 1 of the sheet
    QString field;  // column of the table
};

// 16 columns of table custom, from "公司名称" (Company) to "添加时间" (Date).
const QList<ExportColumn>& customerLayout();
// 15 columns of table contact, from "公司编码" (CustID) to "个人简介" (introduce).
const QList<ExportColumn>& contactLayout();
// The layout of "custom" or "contact" (any letter case); empty for others.
const QList<ExportColumn>& layoutOf(const QString& table);

// The text a cell receives for a stored value: text as stored, yes/no as
// "True" or "False", a date as yyyy-MM-dd, null as empty text.
QString exportText(const QVariant& value, db::FieldKind kind);
