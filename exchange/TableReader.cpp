#include "exchange/TableReader.h"

#include "app/db/DbError.h"

namespace {
constexpr int kPage = 2000;
}

TableReader::TableReader(db::Connection* c, const QString& table, const QString& key, const QStringList& columns)
    : c_(c), table_(table), key_(key), columns_(columns) {
    const QVector<db::FieldDef>& defs = c_->tableFields(table_);
    for (const QString& col : columns_) {
        db::FieldKind k = db::FieldKind::Text;
        for (const db::FieldDef& f : defs)
            if (f.name.compare(col, Qt::CaseInsensitive) == 0) k = f.kind;
        kinds_ << k;
    }
    db::Query n(c_);
    n.setSql(QStringLiteral("select count(*) from ") + table_);
    n.open();
    count_ = int(n.field(0).asInteger());
}

TableReader::~TableReader() = default;

int TableReader::fieldIndex(const QString& name) const {
    for (int i = 0; i < columns_.size(); ++i)
        if (columns_[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void TableReader::loadPage(int row) const {
    if (pageStart_ >= 0 && row < pageStart_) throw db::DbError(QStringLiteral("Rows of a table read in pages go forward only"));
    QStringList cols;
    for (const QString& c : columns_) cols << QLatin1Char('[') + c + QLatin1Char(']');
    const int start = pageStart_ < 0 ? 0 : pageStart_ + (page_ ? page_->recordCount() : 0);
    QString sql = QStringLiteral("select [%1], %2 from %3").arg(key_, cols.join(QLatin1Char(',')), table_);
    if (lastKey_.isValid()) sql += QStringLiteral(" where [%1]>:after").arg(key_);
    sql += QStringLiteral(" order by [%1] limit %2").arg(key_).arg(kPage);
    auto q = std::make_unique<db::Query>(c_);
    q->setSql(db::Statement(sql).bind(QStringLiteral("after"), lastKey_.toLongLong()));
    q->open();
    page_ = std::move(q);
    pageStart_ = start;
    const int n = page_->recordCount();
    if (n > 0) lastKey_ = page_->valueAt(n - 1, 0);
}

QVariant TableReader::valueAt(int row, int field) const {
    if (row < 0 || row >= count_ || field < 0 || field >= columns_.size()) return QVariant();
    while (!page_ || row >= pageStart_ + page_->recordCount()) {
        const int before = pageStart_;
        loadPage(row);
        if (page_->recordCount() == 0 || pageStart_ == before) return QVariant();  // the table shrank meanwhile
    }
    return page_->valueAt(row - pageStart_, field + 1);
}
