#pragma once
// A whole table read front to back in pages, for the exports of all records.
//
// A record set opened on "select * from <table>" reads its rows in chunks
// of 64 by key, every column of every row: for 100,000 customers that is
// some 1,600 statements and more than a second before anything is written.
// Here each page is one statement of up to 2,000 rows, only the columns
// wanted, in key order (the table's natural order), and only one page is
// held at a time. Rows must be read in increasing order.
#include <QStringList>
#include <memory>

#include "app/db/Query.h"
#include "toolkit/RecordSource.h"

class TableReader : public toolkit::RecordSource {
    Q_OBJECT
public:
    // key: the table's key column, which orders the rows.
    TableReader(db::Connection* c, const QString& table, const QString& key, const QStringList& columns);
    ~TableReader() override;

    int recordCount() const override { return count_; }
    int fieldCount() const override { return int(columns_.size()); }
    int fieldIndex(const QString& name) const override;
    QString fieldName(int field) const override { return columns_.value(field); }
    QString displayLabel(int field) const override { return columns_.value(field); }
    QVariant valueAt(int row, int field) const override;
    QString textAt(int row, int field) const override { return valueAt(row, field).toString(); }
    // The column's kind as the table declares it (a date may come as text).
    db::FieldKind kind(int field) const { return kinds_.value(field, db::FieldKind::Text); }
    int currentRow() const override { return -1; }
    void setCurrentRow(int) override {}

private:
    void loadPage(int row) const;

    db::Connection* c_;
    QString table_, key_;
    QStringList columns_;
    QList<db::FieldKind> kinds_;
    int count_ = 0;
    mutable std::unique_ptr<db::Query> page_;
    mutable int pageStart_ = -1;
    mutable QVariant lastKey_;
};
