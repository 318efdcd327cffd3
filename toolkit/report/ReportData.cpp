#include "toolkit/report/ReportData.h"

#include <QStringList>

#include "toolkit/RecordSource.h"

namespace report {

namespace {
int indexIn(const QStringList& fields, const QString& name) {
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}
}  // namespace

int RecordSourceData::rowCount() { return source_ ? source_->recordCount() : 0; }

int RecordSourceData::fieldIndex(const QString& name) { return source_ ? source_->fieldIndex(name) : -1; }

QString RecordSourceData::text(int row, int field) {
    if (!source_ || field < 0) return QString();
    return source_->textAt(row, field);
}

int ListData::fieldIndex(const QString& name) { return indexIn(fields_, name); }

QString ListData::text(int row, int field) {
    if (row < 0 || row >= rows_.size() || field < 0) return QString();
    return rows_[row].value(field);
}

int ListDetailData::fieldIndex(const QString& name) { return indexIn(fields_, name); }

int ListDetailData::rowCount(int masterRow) {
    return masterRow >= 0 && masterRow < rows_.size() ? int(rows_[masterRow].size()) : 0;
}

QString ListDetailData::text(int masterRow, int row, int field) {
    if (row < 0 || row >= rowCount(masterRow) || field < 0) return QString();
    return rows_[masterRow][row].value(field);
}

}  // namespace report
