#include "customers/StoredRows.h"

#include <QCryptographicHash>
#include <QSet>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <limits>
#include <optional>

#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/Values.h"

namespace stored {

namespace {

// Keys per statement of readRows(), and rows per page of a longer read.
constexpr int kKeysPerRead = 400;
constexpr int kPageRows = 5000;
// Above this many keys a read walks the range of keys instead.
constexpr int kRangeAbove = 20000;
// The lowest an engine's 32-bit key column can compare with.
constexpr qlonglong kBeforeAnyKey = std::numeric_limits<qint32>::min();

// Runs "select <every column> from table <tail>" once, reading forward
// only, and hands each row to take; returns how many rows it read. Values
// are converted as a record set converts a statement's columns (by the
// type the engine gives each), so fingerprints taken here and through a
// record set agree; a record set costs several times as much per row.
int readEach(db::Connection* c, const QString& table, const QString& keyColumn, const QString& tail,
             const QVariantList& values, bool lock, Row* r, const std::function<void(const Row&)>& take) {
    const QVector<db::FieldDef> cols = columns(c, table);
    const int keyField = columnIndex(cols, keyColumn);
    QSqlQuery q(c->database());
    q.setForwardOnly(true);
    if (!q.prepare(c->sql(QStringLiteral("select ") + selectList(cols) + QStringLiteral(" from ") + table + tail +
                          (lock ? QStringLiteral(" for share") : QString()))))
        c->fail(q);
    for (const QVariant& v : values) q.addBindValue(v);
    if (!q.exec()) c->fail(q);
    const QSqlRecord rec = q.record();
    const int n = rec.count();
    QVector<db::FieldKind> kinds(n);
    for (int i = 0; i < n; ++i) kinds[i] = db::kindOfMetaType(rec.field(i).metaType().id());
    int read = 0;
    r->values.resize(n);
    while (q.next()) {
        for (int i = 0; i < n; ++i) r->values[i] = db::fromEngine(q.value(i), kinds[i]);
        r->key = r->values.value(keyField).toLongLong();
        r->digest = digest(r->values);
        take(*r);
        ++read;
    }
    if (q.lastError().isValid()) c->fail(q);
    return read;
}

// keys a slice of kKeysPerRead at a time: the slice's "?,?,..." and its keys.
void inSlices(const QList<qlonglong>& keys, const std::function<void(const QString&, const QVariantList&)>& each) {
    for (int from = 0; from < keys.size(); from += kKeysPerRead) {
        const int n = std::min(kKeysPerRead, int(keys.size()) - from);
        QString marks = QStringLiteral("?");
        for (int i = 1; i < n; ++i) marks += QStringLiteral(",?");
        QVariantList values;
        values.reserve(n);
        for (int i = 0; i < n; ++i) values << keys[from + i];
        each(marks, values);
    }
}

// The rows whose key is above after and at most last, in key order, a page at a time.
void readPages(db::Connection* c, const QString& table, const QString& keyColumn, qlonglong after,
               std::optional<qlonglong> last, bool lock, const std::function<void(const Row&)>& take) {
    const QString key = QLatin1Char('[') + keyColumn + QLatin1Char(']');
    const QString tail = QStringLiteral(" where ") + key + QStringLiteral(" > ?") +
                         (last ? QStringLiteral(" and ") + key + QStringLiteral(" <= ?") : QString()) +
                         QStringLiteral(" order by ") + key + QStringLiteral(" limit ") + QString::number(kPageRows);
    Row r;
    for (;;) {
        QVariantList values{after};
        if (last) values << *last;
        const int n = readEach(c, table, keyColumn, tail, values, lock, &r, [&](const Row& row) {
            after = row.key;
            take(row);
        });
        if (n < kPageRows) break;
    }
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

QString engineDigest(db::Connection* c, const QString& table) {
    return c->dialect().rowDigest(c->database(), columns(c, table));
}

QString engineDigestTag(db::Connection* c) { return c->dialect().rowDigestTag(); }

bool isEngineDigest(const QByteArray& digest) {
    return digest.size() > 2 && digest[1] == ':' && digest[0] >= 'a' && digest[0] <= 'z';
}

QHash<qlonglong, Fingerprint> readFingerprints(db::Connection* c, const QString& table, const QString& keyColumn,
                                               const QString& labelColumn, const QList<qlonglong>& keys, bool lock) {
    QHash<qlonglong, Fingerprint> out;
    if (keys.isEmpty()) return out;
    const QString expr = engineDigest(c, table);
    if (expr.isEmpty()) throw db::DbError(QStringLiteral("This database cannot fingerprint its rows."));
    out.reserve(keys.size());
    const QString key = QLatin1Char('[') + keyColumn + QLatin1Char(']');
    const QString head = QStringLiteral("select ") + key + QStringLiteral(", ") + expr + QStringLiteral(", [") +
                         labelColumn + QStringLiteral("] from ") + table + QStringLiteral(" where ");
    const QString tail = lock ? QStringLiteral(" for share") : QString();
    QSqlQuery q(c->database());
    q.setForwardOnly(true);
    auto run = [&](const QString& where, const QVariantList& values, const QSet<qlonglong>* wanted) {
        if (!q.prepare(c->sql(head + where + tail))) c->fail(q);
        for (const QVariant& v : values) q.addBindValue(v);
        if (!q.exec()) c->fail(q);
        while (q.next()) {
            const qlonglong k = q.value(0).toLongLong();
            if (wanted && !wanted->contains(k)) continue;
            out.insert(k, Fingerprint{q.value(1).toString().toLatin1(), q.value(2).toString()});
        }
        if (q.lastError().isValid()) c->fail(q);
        q.finish();
    };
    if (keys.size() > kRangeAbove) {
        // The rows of an import lie together: one walk over their range.
        const QSet<qlonglong> wanted(keys.begin(), keys.end());
        const auto [low, high] = std::minmax_element(keys.begin(), keys.end());
        run(key + QStringLiteral(" >= ? and ") + key + QStringLiteral(" <= ?"), {*low, *high}, &wanted);
        return out;
    }
    inSlices(keys, [&](const QString& marks, const QVariantList& values) {
        run(key + QStringLiteral(" in (") + marks + QLatin1Char(')'), values, nullptr);
    });
    return out;
}

QHash<qlonglong, Row> readRows(db::Connection* c, const QString& table, const QString& keyColumn,
                               const QList<qlonglong>& keys, bool lock, bool keepValues) {
    QHash<qlonglong, Row> out;
    if (keys.isEmpty()) return out;
    out.reserve(keys.size());
    auto keep = [&](const Row& r) {
        Row& stored = out[r.key];
        stored.key = r.key;
        stored.digest = r.digest;
        if (keepValues) stored.values = r.values;
    };
    if (keys.size() > kRangeAbove) {
        // Many keys (the rows an import added): walking their range costs
        // less than hundreds of statements naming them.
        const QSet<qlonglong> wanted(keys.begin(), keys.end());
        const auto [low, high] = std::minmax_element(keys.begin(), keys.end());
        readPages(c, table, keyColumn, *low - 1, *high, lock, [&](const Row& r) {
            if (wanted.contains(r.key)) keep(r);
        });
        return out;
    }
    const QString head = QStringLiteral(" where [") + keyColumn + QStringLiteral("] in (");
    Row r;
    inSlices(keys, [&](const QString& marks, const QVariantList& values) {
        readEach(c, table, keyColumn, head + marks + QLatin1Char(')'), values, lock, &r, keep);
    });
    return out;
}

void scanRows(db::Connection* c, const QString& table, const QString& keyColumn, bool lock,
              const std::function<void(const Row&)>& take) {
    readPages(c, table, keyColumn, kBeforeAnyKey, std::nullopt, lock, take);
}

}  // namespace stored
