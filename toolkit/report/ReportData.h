#pragma once
// What a report reads: rows by position, fields by name, values as the text
// to print. Reading never moves anybody's current row.
#include <QHash>
#include <QString>

namespace toolkit {
class RecordSource;
}

namespace report {

class ReportData {
public:
    virtual ~ReportData() = default;
    virtual int rowCount() = 0;
    virtual int fieldIndex(const QString& name) = 0;  // -1 when absent
    virtual QString text(int row, int field) = 0;
};

// Rows tied to a row of the master (the contacts of one customer).
class DetailData {
public:
    virtual ~DetailData() = default;
    virtual int fieldIndex(const QString& name) = 0;  // -1 when absent
    virtual int rowCount(int masterRow) = 0;
    virtual QString text(int masterRow, int row, int field) = 0;
};

// A record set read by position, as grids read it: its cursor stays put, so
// neither its grids nor the record sets tied to it hear of the report.
class RecordSourceData : public ReportData {
public:
    explicit RecordSourceData(toolkit::RecordSource* source) : source_(source) {}
    int rowCount() override;
    int fieldIndex(const QString& name) override;
    QString text(int row, int field) override;

private:
    toolkit::RecordSource* source_;
};

// Fixed rows, for tests and small reports.
class ListData : public ReportData {
public:
    ListData(const QStringList& fields, const QList<QStringList>& rows) : fields_(fields), rows_(rows) {}
    int rowCount() override { return int(rows_.size()); }
    int fieldIndex(const QString& name) override;
    QString text(int row, int field) override;

private:
    QStringList fields_;
    QList<QStringList> rows_;
};

class ListDetailData : public DetailData {
public:
    // rows[m] are the detail rows of master row m.
    ListDetailData(const QStringList& fields, const QList<QList<QStringList>>& rows)
        : fields_(fields), rows_(rows) {}
    int fieldIndex(const QString& name) override;
    int rowCount(int masterRow) override;
    QString text(int masterRow, int row, int field) override;

private:
    QStringList fields_;
    QList<QList<QStringList>> rows_;
};

}  // namespace report
