#pragma once
// Workbook files made in the tests, byte by byte where it matters: zip
// packages (.xlsx, .ods) with any parts, and .xls compound files holding a
// small BIFF8 workbook. No file of any other program is needed.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

namespace testfiles {

// ---- zip packages -------------------------------------------------------------------

struct Part {
    Part(const QString& n, const QByteArray& d = {}, const std::function<QByteArray()>& g = {}, bool s = false)
        : name(n), data(d), generate(g), stored(s) {}
    QString name;
    QByteArray data;
    // When set, the part's content comes from here in pieces until it
    // returns an empty piece (for parts too big to hold).
    std::function<QByteArray()> generate;
    bool stored = false;  // no compression (the mimetype of .ods)
};
QByteArray zip(const QList<Part>& parts);
// The content of one part of the zip file at path; empty when absent.
QByteArray unzip(const QString& path, const QString& name);

// An .xlsx package. sheets: the XML of each worksheet (sheet1.xml ...),
// named "Sheet1" ...; shared: the XML of the shared strings, if any;
// styles: the XML of the styles, if any.
struct Xlsx {
    QStringList sheets;
    QStringList sheetNames;  // defaults Sheet1, Sheet2 ...
    QString shared;
    QString styles;
    int activeTab = -1;  // no workbookView when negative
    bool date1904 = false;
    QList<Part> extra;   // more parts, or replacements of the ones above
    QByteArray bytes() const;
};

// <worksheet> around the given <sheetData> content.
QString sheetXml(const QString& rows);
// <sst> around <si> items made from the texts.
QString sharedXml(const QStringList& texts);
// <styleSheet> with custom number formats (id, code) and cell styles
// naming format ids; style 0 is General.
QString stylesXml(const QList<QPair<int, QString>>& formats, const QList<int>& styleFormatIds);

// An .ods package with the given <table:table> elements (content.xml) and
// active table (settings.xml, when not empty).
QByteArray ods(const QString& tables, const QString& activeTable = QString());

// ---- .xls -----------------------------------------------------------------------------

struct XlsCell {
    int row;  // 0-based
    int col;
    QVariant value;  // QString, double, bool, or QDate / QDateTime (a date cell)
};
struct XlsSheet {
    QString name;
    QList<XlsCell> cells;
    // Dimensions as written; by default those of the cells.
    int claimedRows = -1;
    int claimedCols = -1;
};
struct Xls {
    QList<XlsSheet> sheets;
    int activeTab = 0;
    bool date1904 = false;
    bool password = false;  // a FILEPASS record: the workbook is protected
    QByteArray bytes() const;
    // The workbook stream alone (bytes() wraps it in a compound file).
    QByteArray stream() const;
};

// A compound file holding one stream; scattered: its sectors stored in
// reverse order, as a file written and rewritten in pieces has them.
QByteArray compoundFile(const QString& streamName, const QByteArray& stream, bool scattered = false);

// ---- files on disk --------------------------------------------------------------------

// Writes bytes to path; false on failure.
bool write(const QString& path, const QByteArray& bytes);

}  // namespace testfiles
