#include "app/db/RowInserter.h"

#include <QSqlError>
#include <QSqlQuery>

#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "app/db/Dialect.h"
#include "app/db/Values.h"

namespace db {

struct RowInserter::Prepared {
    explicit Prepared(QSqlDatabase& db) : q(db) {}
    QSqlQuery q;
};

namespace {

QString insertHead(const QString& table, const QStringList& columns) {
    QStringList cols;
    for (const QString& col : columns) cols << QLatin1Char('[') + col + QLatin1Char(']');
    return QStringLiteral("insert into ") + table + QStringLiteral(" (") + cols.join(QLatin1Char(',')) +
           QStringLiteral(") values ");
}

QString rowMarks(int columns) {
    QString marks = QStringLiteral("(?");
    for (int i = 1; i < columns; ++i) marks += QStringLiteral(",?");
    return marks + QLatin1Char(')');
}

}  // namespace

RowInserter::RowInserter(Connection* c, const QString& table, const QStringList& columns, bool behind)
    : c_(c), table_(table), columns_(columns), format_(c->dialect().dateTimeFormat()) {
    each_ = c_->dialect().repeated(c_->database(), c_->sql(insertHead(table_, columns_) + rowMarks(int(columns_.size()))),
                                   behind);
    if (each_) row_.reserve(columns_.size());
    else pending_.reserve(kBatch * int(columns.size()));
}

RowInserter::~RowInserter() = default;

RowInserter::Prepared& RowInserter::statementFor(int rows) {
    auto it = prepared_.find(rows);
    if (it != prepared_.end()) return **it;
    const QString marks = rowMarks(int(columns_.size()));
    QString sql = insertHead(table_, columns_) + marks;
    sql.reserve(sql.size() + (rows - 1) * (marks.size() + 1));
    for (int r = 1; r < rows; ++r) sql += QLatin1Char(',') + marks;
    auto p = std::make_shared<Prepared>(c_->database());
    if (!p->q.prepare(c_->sql(sql))) c_->fail(p->q);
    return **prepared_.insert(rows, p);
}

void RowInserter::add(const QVariantList& values) {
    if (each_) {
        c_->checkWritable();
        // Values that bind as they are (text and numbers, as an import's
        // mostly are) go on without being copied one by one.
        bool asIs = values.size() == columns_.size();
        for (int i = 0; asIs && i < columns_.size(); ++i) asIs = bindsAsIs(values[i], columns_[i]);
        if (!asIs) {
            row_.clear();
            for (int i = 0; i < columns_.size(); ++i) row_ << bindable(values.value(i), format_, columns_[i]);
        }
        if (!each_->run(asIs ? values : row_)) throw DbError(c_->describe(each_->lastError()));
        ++written_;
        return;
    }
    for (int i = 0; i < columns_.size(); ++i) pending_ << bindable(values.value(i), format_, columns_[i]);
    if (++rows_ >= kBatch) flush();
}

void RowInserter::flush() {
    if (each_) {
        if (!each_->finish()) throw DbError(c_->describe(each_->lastError()));
        return;
    }
    if (rows_ == 0) return;
    c_->checkWritable();
    Prepared& p = statementFor(rows_);
    for (int i = 0; i < pending_.size(); ++i) p.q.bindValue(i, pending_[i]);
    const bool ok = p.q.exec();
    pending_.clear();
    const int rows = rows_;
    rows_ = 0;
    if (!ok) c_->fail(p.q);
    written_ += rows;
}

}  // namespace db
