#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/Values.h"

// The rows of a plain table select are read in chunks as they are reached
// and kept for a while; the list itself holds only their keys.

namespace db {

namespace {

constexpr int kChunkRows = 64;
constexpr int kMaxChunks = 64;
// A reader walking the rows in order (an export, a report) gets this many
// chunks per statement.
constexpr int kReadAhead = 16;

const QVector<QVariant>& emptyRow() {
    static const QVector<QVariant> row;
    return row;
}


}  // namespace

void Query::dropCache() const {
    chunks_.clear();
    chunkUse_.clear();
    lastRead_ = -2;
    hitChunk_ = -1;
}

void Query::forgetChunkOf(int row) const {
    chunks_.remove(row / kChunkRows);
    chunkUse_.removeOne(row / kChunkRows);
    hitChunk_ = -1;
}

QString Query::columnList() const {
    QStringList cols;
    for (const FieldDef& f : fields_) cols << QLatin1Char('[') + f.name + QLatin1Char(']');
    return cols.join(QLatin1Char(','));
}

bool Query::cachedAt(int row, int field, QVariant* value, QString* text) const {
    *value = QVariant();
    // What is in memory: the whole result, the pending row, a cached chunk.
    if (field < 0 || field >= fields_.size() || !simple_ || (row == cur_ && state_ == State::Edit) ||
        (state_ == State::Insert && row == recordCount()) || row < 0 || row >= recordCount()) {
        *value = valueAt(row, field);
    } else {
        const int chunk = row / kChunkRows;
        const QVector<Row>* rows = chunk == hitChunk_ ? &hitRows_ : nullptr;
        if (!rows) {
            const auto it = chunks_.constFind(chunk);
            if (it == chunks_.constEnd()) return false;
            rows = &*it;
        }
        *value = (*rows)[row - chunk * kChunkRows].value(field);
    }
    *text = db::textOf(*value);
    return true;
}

const Query::Row& Query::rowAt(int row, bool quiet) const {
    if (row < 0 || row >= recordCount()) return emptyRow();
    if (!simple_) return rows_[row];
    const int chunk = row / kChunkRows;
    // Reading along one row, or row after row, stays in the chunk of the
    // last read: no look-up, and it is the most recently used already.
    if (chunk == hitChunk_) return hitRows_[row - chunk * kChunkRows];
    auto it = chunks_.find(chunk);
    if (it == chunks_.end()) {
        // Random access reads one chunk; the next chunk after the last one
        // read starts a run of several.
        const int chunks = chunk == lastRead_ + 1 ? kReadAhead : 1;
        const int from = chunk * kChunkRows;
        const int to = std::min<int>(from + chunks * kChunkRows, int(keys_.size()));
        const int n = int(fields_.size());
        QHash<qlonglong, Row> byKey;
        byKey.reserve(to - from);
        try {
            readKeys(from, to, columnList(), [&](const QSqlQuery& q, qlonglong k) {
                Row r(n);
                for (int i = 0; i < n; ++i) r[i] = fromEngine(q.value(i + 1), fields_[i].kind);
                byKey.insert(k, r);
            });
        } catch (const DbError&) {
            lastRead_ = -2;
            // A grid painting rows while the server is away shows them
            // blank until it is back (the status bar says why); nothing is
            // kept of them meanwhile.
            if (quiet && conn_->isLost()) return emptyRow();
            throw;
        }
        lastRead_ = (to - 1) / kChunkRows;
        for (int c = from / kChunkRows; c * kChunkRows < to; ++c) {
            QVector<Row> rows;
            const int end = std::min<int>((c + 1) * kChunkRows, to);
            rows.reserve(end - c * kChunkRows);
            for (int i = c * kChunkRows; i < end; ++i) rows << byKey.value(keys_[i], Row(n));
            if (chunks_.contains(c)) continue;
            while (chunks_.size() >= kMaxChunks && !chunkUse_.isEmpty()) chunks_.remove(chunkUse_.takeFirst());
            chunks_.insert(c, rows);
            hitChunk_ = -1;
            if (c != chunk) chunkUse_.append(c);
        }
        it = chunks_.find(chunk);
    } else {
        chunkUse_.removeOne(chunk);
    }
    chunkUse_.append(chunk);
    hitChunk_ = chunk;
    hitRows_ = *it;
    return hitRows_[row - chunk * kChunkRows];
}

void Query::readKeys(int from, int to, const QString& columns,
                     const std::function<void(const QSqlQuery&, qlonglong)>& take) const {
    const QString key = conn_->rowKey(table_);
    // Keys that rise through the block (a table in its natural order) are
    // read as one range, dropping the few rows of the range the list does
    // not hold; others by naming each key. The keys are the engine's own
    // numbers, written here as numbers.
    bool rising = true;
    for (int i = from + 1; i < to && rising; ++i) rising = keys_[i] > keys_[i - 1];
    const qlonglong low = keys_[from], high = keys_[to - 1];
    const bool range = rising && high - low < 2LL * (to - from);
    QString where;
    if (range) {
        where = QStringLiteral("%1 between %2 and %3").arg(key).arg(low).arg(high);
    } else {
        QStringList ids;
        ids.reserve(to - from);
        for (int i = from; i < to; ++i) ids << QString::number(keys_[i]);
        where = QStringLiteral("%1 in (%2)").arg(key, ids.join(QLatin1Char(',')));
    }
    QSet<qlonglong> wanted;
    if (range && high - low + 1 != to - from) {
        wanted.reserve(to - from);
        for (int i = from; i < to; ++i) wanted.insert(keys_[i]);
    }
    // The statement's head is put together for the engine once per column list.
    if (readHead_.isEmpty() || readColumns_ != columns) {
        readHead_ = conn_->sql(QStringLiteral("select %1, %2 from %3 where ").arg(key, columns, table_));
        readColumns_ = columns;
    }
    QSqlQuery q(conn_->database());
    q.setForwardOnly(true);
    if (!q.exec(readHead_ + where)) conn_->fail(q);
    while (q.next()) {
        const qlonglong k = q.value(0).toLongLong();
        if (!wanted.isEmpty() && !wanted.contains(k)) continue;
        take(q, k);
    }
    if (q.lastError().isValid()) conn_->fail(q);
}

QVector<QVector<QVariant>> Query::blockValues(const QList<int>& fields, int from, int count) const {
    QVector<QVector<QVariant>> out;
    const int to = std::min(from + count, recordCount());
    if (from < 0 || from >= to) return out;
    for (int f : fields)
        if (f < 0 || f >= fields_.size()) return RecordSource::blockValues(fields, from, count);
    // A pending row, or a statement read whole: what is in memory already.
    if (!simple_ || state_ != State::Browse || fields.isEmpty())
        return RecordSource::blockValues(fields, from, count);
    QStringList columns;
    for (int f : fields) columns << QLatin1Char('[') + fields_[f].name + QLatin1Char(']');
    // Each row read goes straight to its place: found by arithmetic when the
    // block's keys run without gaps (a table in its natural order), else
    // through a map of the keys.
    bool contiguous = keys_[to - 1] - keys_[from] == to - from - 1;
    for (int i = from + 1; i < to && contiguous; ++i) contiguous = keys_[i] == keys_[i - 1] + 1;
    QHash<qlonglong, int> place;
    if (!contiguous) {
        place.reserve(to - from);
        for (int i = from; i < to; ++i) place.insert(keys_[i], i - from);
    }
    out.fill(QVector<QVariant>(fields.size()), to - from);
    QList<FieldKind> kinds;
    for (int f : fields) kinds << fields_[f].kind;
    readKeys(from, to, columns.join(QLatin1Char(',')), [&](const QSqlQuery& q, qlonglong k) {
        const qlonglong at = contiguous ? k - keys_[from] : place.value(k, -1);
        if (at < 0 || at >= to - from) return;
        QVector<QVariant>& row = out[at];
        for (int i = 0; i < kinds.size(); ++i) row[i] = fromEngine(q.value(i + 1), kinds[i]);
    });
    return out;
}

void Query::refreshCache() {
    if (!active() || state_ != State::Browse) return;
    // Grids showing the list read what they show again.
    emit aboutToReset();
    dropCache();
    pinnedKey_ = -1;
    emit resetDone();
}

}  // namespace db
