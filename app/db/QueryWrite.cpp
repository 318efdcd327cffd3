#include <QSqlError>
#include <QSqlQuery>

#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/Values.h"

// Writing rows back to the table of a plain select. A changed row is
// written only if it still holds what this program read, so another
// workstation's change is never silently overwritten.

namespace db {

namespace {


// Characters as the engines count them for a column's size: a pair of
// surrogates is one.
int codePoints(const QString& s) {
    int n = 0;
    for (const QChar c : s)
        if (!c.isLowSurrogate()) ++n;
    return n;
}

}  // namespace

void Query::append() {
    checkActive();
    if (!simple_) throw DbError(QStringLiteral("This record set cannot be modified"));
    if (state_ == State::Edit || state_ == State::Insert) post();
    buffer_ = Row(fields_.size());
    modified_ = QVector<bool>(fields_.size(), false);
    state_ = State::Insert;
    emit editStateChanged();
}

void Query::edit() {
    checkActive();
    if (!simple_) throw DbError(QStringLiteral("This record set cannot be modified"));
    if (state_ == State::Edit || state_ == State::Insert) return;
    if (recordCount() == 0) {
        append();
        return;
    }
    buffer_ = rowAt(cur_);
    buffer_.resize(fields_.size());
    // What the row held when this program read it: a save checks that
    // nobody changed it meanwhile.
    original_ = pinnedKey_ == keys_[cur_] ? pinned_ : buffer_;
    original_.resize(fields_.size());
    modified_ = QVector<bool>(fields_.size(), false);
    state_ = State::Edit;
    emit editStateChanged();
}

void Query::cancel() {
    if (state_ != State::Edit && state_ != State::Insert) return;
    const bool wasEdit = state_ == State::Edit;
    state_ = State::Browse;
    buffer_.clear();
    modified_.clear();
    if (wasEdit && cur_ >= 0) emit rowChanged(cur_);
    emit editStateChanged();
}

void Query::post() {
    if (state_ != State::Edit && state_ != State::Insert) return;
    conn_->checkWritable();
    const QString fmt = conn_->dialect().dateTimeFormat();
    QStringList cols;
    QVariantList vals;
    for (int i = 0; i < fields_.size(); ++i) {
        if (!modified_[i] || fields_[i].autoInc) continue;
        cols << QLatin1Char('[') + fields_[i].name + QLatin1Char(']');
        vals << toEngine(buffer_[i], fields_[i], fmt);
        // Refused here in words, the same way on every engine.
        if (fields_[i].size > 0 && codePoints(vals.last().toString()) > fields_[i].size)
            throw DbError(tooLongMessage(fields_[i].name, fields_[i].size));
    }
    if (state_ == State::Insert) {
        insertRow(cols, vals);
        return;
    }
    if (!cols.isEmpty()) updateRow(cols, vals);
    state_ = State::Browse;
    buffer_.clear();
    modified_.clear();
    emit rowChanged(cur_);
    emit editStateChanged();
}

void Query::insertRow(const QStringList& cols, const QVariantList& vals) {
    const QString key = conn_->rowKey(table_);
    const Dialect& dialect = conn_->dialect();
    QString sql;
    if (cols.isEmpty()) {
        sql = QStringLiteral("insert into %1 default values").arg(table_);
    } else {
        QStringList marks;
        for (int i = 0; i < cols.size(); ++i) marks << QStringLiteral("?");
        sql = QStringLiteral("insert into %1 (%2) values (%3)")
                  .arg(table_, cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    }
    if (dialect.insertReturnsKey()) sql += QStringLiteral(" returning ") + key;
    QSqlQuery q(conn_->database());
    if (!q.prepare(conn_->sql(sql))) conn_->fail(q);
    for (const QVariant& v : vals) q.addBindValue(v);
    if (!q.exec()) conn_->fail(q);
    const qlonglong id = dialect.insertReturnsKey() ? (q.next() ? q.value(0).toLongLong() : 0)
                                                     : q.lastInsertId().toLongLong();
    const int at = int(keys_.size());
    emit rowAboutToBeInserted(at);
    keys_.append(id);
    forgetChunkOf(at);
    state_ = State::Browse;
    buffer_.clear();
    modified_.clear();
    cur_ = at;
    eof_ = bof_ = false;
    emit rowInserted(at);
    emit currentRowChanged(cur_);
    emit editStateChanged();
}

void Query::updateRow(const QStringList& cols, const QVariantList& vals) {
    const QString key = conn_->rowKey(table_);
    const Dialect& dialect = conn_->dialect();
    const QString fmt = dialect.dateTimeFormat();
    QStringList sets;
    for (const QString& c : cols) sets << c + QStringLiteral("=?");
    // The row is changed only if it still holds what this program read.
    QStringList same;
    QVariantList was;
    for (int i = 0; i < fields_.size(); ++i) {
        if (fields_[i].autoInc) continue;
        same << dialect.sameValue(QLatin1Char('[') + fields_[i].name + QLatin1Char(']'), fields_[i].kind);
        was << compareValue(original_.value(i), fields_[i], fmt);
    }
    QString sql = QStringLiteral("update %1 set %2 where %3=?").arg(table_, sets.join(QLatin1Char(',')), key);
    if (!same.isEmpty()) sql += QStringLiteral(" and ") + same.join(QStringLiteral(" and "));
    QSqlQuery q(conn_->database());
    if (!q.prepare(conn_->sql(sql))) conn_->fail(q);
    for (const QVariant& v : vals) q.addBindValue(v);
    q.addBindValue(keys_[cur_]);
    for (const QVariant& v : was) q.addBindValue(v);
    if (!q.exec()) conn_->fail(q);
    if (q.numRowsAffected() == 0) {
        QSqlQuery there(conn_->database());
        if (!there.prepare(conn_->sql(QStringLiteral("select 1 from %1 where %2=?").arg(table_, key))))
            conn_->fail(there);
        there.addBindValue(keys_[cur_]);
        if (!there.exec()) conn_->fail(there);
        throw ConflictError(there.next() ? ConflictError::Changed : ConflictError::Deleted);
    }
    forgetChunkOf(cur_);
    pinnedKey_ = -1;
}

void Query::setValueAt(int row, int field, const QVariant& v) {
    checkActive();
    if (field < 0 || field >= fields_.size())
        throw DbError(QStringLiteral("Field index %1 out of range").arg(field));
    if (state_ == State::Insert && row == recordCount()) {
        setCurrentValue(field, v);
        emit rowChanged(row);
        return;
    }
    if (row < 0 || row >= recordCount()) throw DbError(QStringLiteral("No such row"));
    // Another row's pending change is written before this row is touched.
    if (state_ == State::Insert || (state_ == State::Edit && row != cur_)) post();
    if (row != cur_) setCurrentRow(row);
    edit();
    setCurrentValue(field, v);
    emit rowChanged(row);
}

void Query::remove() {
    checkActive();
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    if (!simple_) throw DbError(QStringLiteral("This record set cannot be modified"));
    if (recordCount() == 0 || cur_ < 0)
        throw DbError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    conn_->checkWritable();
    QSqlQuery q(conn_->database());
    if (!q.prepare(conn_->sql(QStringLiteral("delete from %1 where %2=?").arg(table_, conn_->rowKey(table_)))))
        conn_->fail(q);
    q.addBindValue(keys_[cur_]);
    if (!q.exec()) conn_->fail(q);
    rowsAffected_ = q.numRowsAffected();  // 0: another workstation had deleted it
    state_ = State::Browse;
    buffer_.clear();
    modified_.clear();
    takeOutCurrent();
}

void Query::takeOutCurrent() {
    const int at = cur_;
    emit rowAboutToBeRemoved(at);
    keys_.remove(at);
    dropCache();  // every later row moved up by one
    // The row that followed the one taken out takes its place and becomes
    // current, whatever a listener did with the cursor meanwhile (a view
    // moves its own current index away from a row being removed).
    cur_ = std::min(at, int(keys_.size()) - 1);
    eof_ = keys_.isEmpty();
    emit rowRemoved(at);
    emit currentRowChanged(cur_);
}

void Query::refreshRow() {
    checkActive();
    if (state_ == State::Edit || state_ == State::Insert) cancel();
    pinnedKey_ = -1;
    if (!simple_ || cur_ < 0) return;
    forgetChunkOf(cur_);
    QSqlQuery there(conn_->database());
    if (!there.prepare(conn_->sql(QStringLiteral("select 1 from %1 where %2=?").arg(table_, conn_->rowKey(table_)))))
        conn_->fail(there);
    there.addBindValue(keys_[cur_]);
    if (!there.exec()) conn_->fail(there);
    if (there.next()) {
        emit rowChanged(cur_);
        emit currentRowChanged(cur_);
        return;
    }
    // Gone from the table: gone from the list, the next row taking its place.
    takeOutCurrent();
}

void postOrCancel(Query* q, const std::function<void()>& fill) {
    try {
        if (fill) fill();
        q->post();
    } catch (...) {
        q->cancel();
        throw;
    }
}

}  // namespace db
