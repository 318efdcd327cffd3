#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <numeric>

#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/Values.h"

// A record set following another (master-detail), and the client-side sort.

namespace db {

void Query::setMasterSource(toolkit::DataSource* master) {
    if (masterSet_) disconnect(masterSet_, nullptr, this, nullptr);
    if (master_) disconnect(master_, nullptr, this, nullptr);
    master_ = master;
    masterSet_ = master ? master->dataSet() : nullptr;
    if (master_) {
        connect(master_, &toolkit::DataSource::dataSetChanged, this, [this] {
            setMasterSource(master_);
        });
    }
    if (masterSet_) {
        connect(masterSet_, &toolkit::RecordSource::currentRowChanged, this, [this] { masterMoved(); });
    }
}

void Query::masterMoved() {
    if (!active()) {
        keptForMaster();
        return;
    }
    if (state_ == State::Edit || state_ == State::Insert) cancel();
    try {
        close();
        open();
    } catch (const DbError&) {
        // With the server gone, the detail waits (closed) until it is back
        // or the master moves again; what moved the master is not failed
        // for it.
        if (!conn_->isLost()) throw;
        stale_ = true;
    }
}

namespace {

// A value reduced once to what the sort compares: nulls first, then numbers
// or dates by value, everything else as text without regard to case.
struct SortKey {
    int rank = 0;  // 0 null, 1 number or date, 2 text
    double number = 0;
    QString text;
    bool operator<(const SortKey& o) const {
        if (rank != o.rank) return rank < o.rank;
        if (rank == 1) return number < o.number;
        return text < o.text;
    }
};

SortKey sortKeyOf(const QVariant& v, FieldKind kind) {
    SortKey k;
    if (v.isNull()) return k;
    if (kind == FieldKind::Integer || kind == FieldKind::Float || kind == FieldKind::Bool) {
        bool ok = false;
        k.number = v.toDouble(&ok);
        if (ok) {
            k.rank = 1;
            return k;
        }
    }
    if (kind == FieldKind::DateTime && v.typeId() == QMetaType::QDateTime) {
        k.rank = 1;
        k.number = double(v.toDateTime().toMSecsSinceEpoch());
        return k;
    }
    k.rank = 2;
    k.text = v.toString().toCaseFolded();
    return k;
}

}  // namespace

void Query::sortBy(const QString& column) {
    checkActive();
    const int f = checkedIndex(column);
    if (state_ == State::Edit || state_ == State::Insert) post();
    const FieldKind kind = fields_[f].kind;
    const qlonglong curKey = simple_ && cur_ >= 0 ? keys_[cur_] : -1;
    emit aboutToReset();
    try {
        if (simple_) {
            QSqlQuery q(conn_->database());
            q.setForwardOnly(true);
            const QString key = conn_->rowKey(table_);
            // The statement's own rows, with their keys and this column.
            prepareAndRun(q, SqlText(QStringLiteral("select %1, [%2] from %3%4")
                                         .arg(key, fields_[f].name, table_, rest_)));
            // Rows usually come back in the order the record set holds them; a
            // lookup by key is only built when they do not (after an earlier sort).
            QVector<SortKey> vals;
            QVector<qlonglong> got;
            vals.reserve(keys_.size());
            got.reserve(keys_.size());
            while (q.next()) {
                got.append(q.value(0).toLongLong());
                vals.append(sortKeyOf(fromEngine(q.value(1), kind), kind));
            }
            if (q.lastError().isValid()) conn_->fail(q);
            QVector<int> order(keys_.size(), -1);
            if (got == keys_) {
                std::iota(order.begin(), order.end(), 0);
            } else {
                QHash<qlonglong, int> at;
                at.reserve(got.size());
                for (int i = 0; i < got.size(); ++i) at.insert(got[i], i);
                for (int i = 0; i < keys_.size(); ++i) order[i] = at.value(keys_[i], -1);
            }
            // Positions into vals; a key the statement no longer returns sorts as null.
            const SortKey none;
            auto keyAt = [&](int i) -> const SortKey& { return order[i] < 0 ? none : vals[order[i]]; };
            QVector<int> idx(keys_.size());
            std::iota(idx.begin(), idx.end(), 0);
            std::stable_sort(idx.begin(), idx.end(), [&](int a, int b) { return keyAt(a) < keyAt(b); });
            QVector<qlonglong> sortedKeys;
            sortedKeys.reserve(idx.size());
            for (int i : idx) sortedKeys.append(keys_[i]);
            keys_ = std::move(sortedKeys);
            dropCache();
            cur_ = keys_.isEmpty() ? -1 : std::max(0, int(keys_.indexOf(curKey)));
        } else {
            QVector<std::pair<SortKey, int>> items;
            items.reserve(rows_.size());
            for (int i = 0; i < rows_.size(); ++i) items.append({sortKeyOf(rows_[i].value(f), kind), i});
            std::stable_sort(items.begin(), items.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            QVector<Row> sorted;
            sorted.reserve(rows_.size());
            for (const auto& item : items) sorted.append(rows_[item.second]);
            rows_ = sorted;
            cur_ = rows_.isEmpty() ? -1 : 0;
        }
    } catch (...) {
        emit resetDone();
        throw;
    }
    emit resetDone();
    emit currentRowChanged(cur_);
}

}  // namespace db
