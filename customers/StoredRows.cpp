#include "customers/StoredRows.h"

#include <QCryptographicHash>
#include <QSet>
#include <limits>

#include "app/db/Connection.h"
#include "app/db/Query.h"

namespace stored {

namespace {

// Keys per statement of readRows(), and rows per page of scanRows().
constexpr int kKeysPerRead = 400;
constexpr int kPageRows = 5000;
// Above this many keys a read walks the whole table instead.
constexpr int kScanAbove = 20000;

void fill(db::Query& q, int keyField, Row* row) {
    const int n = q.fieldCount();
    row->values.resize(n);
    for (int i = 0; i < n; ++i) row->values[i] = q.field(i).value();
    row->key = q.field(keyField).asInteger();
    row->digest = digest(row->values);
}

}  // namespace

QVector<db::FieldDef> columns(db::Connection* c, const QString& table) { return c->tableFields(table); }

int columnIndex(const QVector<db::FieldDef>& cols, const QString& name) {
    for (int i = 0; i < cols.size(); ++i)
        if (cols[i].name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QByteArray digest(const QVector<QVariant>& values) {
    QCryptographicHash h(QCryptographicHash::Md5);
    for (const QVariant& v : values) {
        if (v.isNull()) {
            h.addData(QByteArrayView("\x01", 1));
            continue;
        }
        h.addData(db::Query::textOf(v, db::FieldKind::Text).toUtf8());
        h.addData(QByteArrayView("\x02", 1));
    }
    return h.result().toHex();
}

QString selectList(const QVector<db::FieldDef>& cols) {
    QStringList names;
    names.reserve(cols.size());
    for (const db::FieldDef& f : cols) names << QLatin1Char('[') + f.name + QLatin1Char(']');
    return names.join(QStringLiteral(", "));
}

QHash<qlonglong, Row> readRows(db::Connection* c, const QString& table, const QString& keyColumn,
                               const QList<qlonglong>& keys, bool lock, bool keepValues) {
    QHash<qlonglong, Row> out;
    if (keys.isEmpty()) return out;
    out.reserve(keys.size());
    if (keys.size() > kScanAbove) {
        // Most of a large table: one pass over it costs less than hundreds
        // of statements naming the keys.
        const QSet<qlonglong> wanted(keys.begin(), keys.end());
        scanRows(c, table, keyColumn, lock, [&](const Row& r) {
            if (!wanted.contains(r.key)) return;
            Row copy = r;
            if (!keepValues) copy.values.clear();
            out.insert(copy.key, copy);
        });
        return out;
    }
    const QVector<db::FieldDef> cols = columns(c, table);
    const int keyField = columnIndex(cols, keyColumn);
    const QString head = QStringLiteral("select ") + selectList(cols) + QStringLiteral(" from ") + table +
                         QStringLiteral(" where [") + keyColumn + QStringLiteral("] in (");
    db::Query q(c);
    for (int from = 0; from < keys.size(); from += kKeysPerRead) {
        const int n = std::min(kKeysPerRead, int(keys.size()) - from);
        QStringList marks;
        for (int i = 0; i < n; ++i) marks << QStringLiteral(":k%1").arg(i);
        q.setSql(head + marks.join(QLatin1Char(',')) + QLatin1Char(')') +
                 (lock ? QStringLiteral(" for share") : QString()));
        for (int i = 0; i < n; ++i) q.setParam(QStringLiteral("k%1").arg(i), keys[from + i]);
        q.open();
        for (q.first(); !q.eof(); q.next()) {
            Row r;
            fill(q, keyField, &r);
            if (!keepValues) r.values.clear();
            out.insert(r.key, r);
        }
        q.close();
    }
    return out;
}

void scanRows(db::Connection* c, const QString& table, const QString& keyColumn, bool lock,
              const std::function<void(const Row&)>& take) {
    const QVector<db::FieldDef> cols = columns(c, table);
    const int keyField = columnIndex(cols, keyColumn);
    const QString sql = QStringLiteral("select ") + selectList(cols) + QStringLiteral(" from ") + table +
                        QStringLiteral(" where [") + keyColumn + QStringLiteral("] > :last order by [") + keyColumn +
                        QStringLiteral("] limit ") + QString::number(kPageRows) +
                        (lock ? QStringLiteral(" for share") : QString());
    db::Query q(c);
    // The lowest an engine's 32-bit key column can compare with.
    qlonglong last = std::numeric_limits<qint32>::min();
    Row r;
    for (;;) {
        q.setSql(sql);
        q.setParam(QStringLiteral("last"), last);
        q.open();
        const int n = q.recordCount();
        for (q.first(); !q.eof(); q.next()) {
            fill(q, keyField, &r);
            last = r.key;
            take(r);
        }
        q.close();
        if (n < kPageRows) break;
    }
}

}  // namespace stored
