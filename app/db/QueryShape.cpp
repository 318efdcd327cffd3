#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/Values.h"

// The record set's statement: what it selects from, its values bound, and
// running it.

namespace db {

void Query::analyse() {
    // A plain "select * from <table> [where|order ...]": rows can be read by
    // key and written back.
    simple_ = false;
    table_.clear();
    rest_.clear();
    lock_.clear();
    readHead_.clear();
    const SqlText::PlainSelect p = text_.plainSelect();
    if (!p.ok) return;
    const QVector<FieldDef>& defs = conn_->tableFields(p.table);
    if (defs.isEmpty()) return;  // not a table: let the engine say what is wrong
    simple_ = true;
    table_ = p.table;
    rest_ = p.rest;
    lock_ = p.lock;
    fields_ = defs;
}

void Query::setParam(const QString& name, const QVariant& v) {
    for (Statement::Value& p : params_)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) {
            p.value = v;
            return;
        }
    params_.append({name, v, QString()});
}

QVariant Query::paramValue(const QString& name) const {
    // The master's current row supplies the fields it has.
    if (masterSet_) {
        const int f = masterSet_->fieldIndex(name);
        if (f >= 0) {
            const int row = masterSet_->currentRow();
            if (row < 0) return QVariant();
            const QVariant mv = masterSet_->valueAt(row, f);
            return mv.isNull() ? QVariant() : QVariant(mv.toString());
        }
    }
    for (const Statement::Value& p : params_)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) return p.value;
    return QVariant();
}

Rendered Query::bound(const SqlText& text) const {
    const QString fmt = conn_->dialect().dateTimeFormat();
    // A text no engine stores is refused before anything reaches the
    // engine, named as the caller named it.
    for (const QString& name : text.params()) {
        const QVariant v = paramValue(name);
        const QVariantList each = v.typeId() == QMetaType::QVariantList ? v.toList() : QVariantList{v};
        for (const QVariant& one : each) {
            if (one.typeId() != QMetaType::QString) continue;
            const QString s = one.toString();
            if (const int at = unstorableAt(s); at >= 0) {
                QString label;
                for (const Statement::Value& p : params_)
                    if (p.name.compare(name, Qt::CaseInsensitive) == 0) label = p.label;
                throw DbError(unstorableMessage(label, describeUnstorable(s, at)));
            }
        }
    }
    Rendered r = text.render(conn_->dialect(), [this](const QString& name) { return paramValue(name); });
    for (QVariant& v : r.values) v = bindable(v, fmt);
    return r;
}

void Query::prepareAndRun(QSqlQuery& q, const SqlText& text) const {
    const Rendered r = bound(text);
    if (r.values.isEmpty()) {
        // Run as it stands: one round trip, and some engines cannot prepare
        // every kind of statement.
        if (!q.exec(r.sql)) conn_->fail(q);
        return;
    }
    if (!q.prepare(r.sql)) conn_->fail(q);
    for (const QVariant& v : r.values) q.addBindValue(v);
    if (!q.exec()) conn_->fail(q);
}

void Query::runOpen() {
    if (!conn_ || !conn_->connected()) throw DbError(QStringLiteral("Not connected to a database"));
    if (text_.text().trimmed().isEmpty()) throw DbError(QStringLiteral("No SQL statement to open"));
    fields_.clear();
    keys_.clear();
    rows_.clear();
    dropCache();
    pinnedKey_ = -1;
    analyse();
    QSqlQuery q(conn_->database());
    q.setForwardOnly(true);
    if (simple_) {
        const QString key = conn_->rowKey(table_);
        QString keySql = QStringLiteral("select ") + key + QStringLiteral(" from ") + table_ + rest_;
        // Reading only the keys lets the engine walk any index that covers
        // them, which would list the rows in that index's order. Without an
        // order of its own the statement keeps the table's natural order.
        if (!text_.hasOrderBy()) keySql += QStringLiteral(" order by ") + key;
        if (!lock_.isEmpty()) keySql += QLatin1Char(' ') + lock_;
        prepareAndRun(q, SqlText(keySql));
        while (q.next()) keys_.append(q.value(0).toLongLong());
        if (q.lastError().isValid()) conn_->fail(q);
    } else {
        prepareAndRun(q, text_);
        if (!q.isSelect()) throw DbError(QStringLiteral("The statement returns no rows"));
        const QSqlRecord rec = q.record();
        for (int i = 0; i < rec.count(); ++i) {
            FieldDef f;
            f.name = rec.fieldName(i);
            f.kind = kindOfMetaType(rec.field(i).metaType().id());
            fields_ << f;
        }
        while (q.next()) {
            Row r(rec.count());
            for (int i = 0; i < rec.count(); ++i) r[i] = fromEngine(q.value(i), fields_[i].kind);
            rows_.append(r);
        }
        if (q.lastError().isValid()) conn_->fail(q);
    }
}

void Query::open() {
    if (active()) return;
    emit aboutToReset();
    try {
        runOpen();
    } catch (...) {
        fields_.clear();
        keys_.clear();
        rows_.clear();
        simple_ = false;
        state_ = State::Inactive;
        cur_ = -1;
        // With the server gone, a list read again keeps what it showed,
        // rather than look as if its rows were gone, and is read again
        // once the server is back. A detail list shows its rows again only
        // for the master row they belong to; they are kept meanwhile, as the
        // master may come back to that row (it is read again, kept as well).
        const bool lost = closed_ && conn_ && conn_->isLost();
        if (lost && (!masterSet_ || masterValues() == closed_->masterValues)) {
            restoreClosed();
            emit resetDone();
            emit currentRowChanged(cur_);
            throw;
        }
        if (!lost) closed_.reset();
        emit resetDone();
        throw;
    }
    closed_.reset();
    stale_ = false;
    if (masterSet_) openedWith_ = masterValues();
    state_ = State::Browse;
    cur_ = recordCount() > 0 ? 0 : -1;
    bof_ = true;
    eof_ = recordCount() == 0;
    emit resetDone();
    emit currentRowChanged(cur_);
}

void Query::close() {
    if (!active()) return;
    emit aboutToReset();
    // Kept until the next open: shown again if that fails for a lost server.
    closed_ = std::make_unique<Closed>(Closed{text_, params_, simple_, table_, rest_, lock_, fields_,
                                              std::move(keys_), std::move(rows_), cur_, std::move(chunks_),
                                              std::move(chunkUse_), openedWith_});
    stale_ = false;
    state_ = State::Inactive;
    keys_.clear();
    rows_.clear();
    dropCache();
    buffer_.clear();
    modified_.clear();
    cur_ = -1;
    eof_ = bof_ = true;
    emit resetDone();
    emit currentRowChanged(-1);
}

void Query::restoreClosed() {
    text_ = closed_->text;
    params_ = closed_->params;
    simple_ = closed_->simple;
    table_ = closed_->table;
    rest_ = closed_->rest;
    lock_ = closed_->lock;
    fields_ = closed_->fields;
    keys_ = std::move(closed_->keys);
    rows_ = std::move(closed_->rows);
    chunks_ = std::move(closed_->chunks);
    chunkUse_ = std::move(closed_->chunkUse);
    readHead_.clear();
    readColumns_.clear();
    hitChunk_ = -1;
    lastRead_ = -2;
    pinnedKey_ = -1;
    state_ = State::Browse;
    cur_ = std::min(closed_->cur, recordCount() - 1);
    eof_ = bof_ = recordCount() == 0;
    closed_.reset();
    stale_ = true;
}

QVariantList Query::masterValues() const {
    QVariantList out;
    for (const QString& name : text_.params()) out << paramValue(name);
    return out;
}

bool Query::keptForMaster() {
    if (!stale_ || active() || !closed_ || !conn_ || !conn_->isLost()) return false;
    if (masterValues() != closed_->masterValues) return false;
    emit aboutToReset();
    restoreClosed();
    emit resetDone();
    emit currentRowChanged(cur_);
    return true;
}

void Query::reopenAfterLoss() {
    // A row being changed stays as it is; its save is checked as usual.
    if (!stale_ || changing()) return;
    const bool detail = !active();
    const qlonglong key = simple_ && cur_ >= 0 && cur_ < keys_.size() ? keys_[cur_] : -1;
    const int row = cur_;
    try {
        close();
        open();
    } catch (const DbError&) {
        return;  // still away: kept as it was, and tried again at the next return
    }
    if (detail || recordCount() == 0) return;
    // The same row as before when it is still there, else the same place.
    int at = key >= 0 ? int(keys_.indexOf(key)) : -1;
    if (at < 0) at = std::clamp(row, 0, recordCount() - 1);
    if (at != cur_) setCurrentRow(at);
}

void Query::execSql() {
    if (!conn_ || !conn_->connected()) throw DbError(QStringLiteral("Not connected to a database"));
    conn_->checkWritable();
    QSqlQuery q(conn_->database());
    prepareAndRun(q, text_);
    rowsAffected_ = q.numRowsAffected();
    // Statements run this way may change any table's rows.
    dropCache();
}

}  // namespace db
