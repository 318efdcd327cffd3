#include "app/db/RowUpdater.h"

#include <QSqlError>
#include <QSqlQuery>

#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "app/db/Values.h"

namespace db {

struct RowUpdater::Prepared {
    explicit Prepared(QSqlDatabase& db) : q(db) {}
    QSqlQuery q;
};

RowUpdater::RowUpdater(Connection* c, const QString& table, const QString& keyColumn)
    : c_(c), table_(table), key_(keyColumn), format_(c->dialect().dateTimeFormat()) {}

RowUpdater::~RowUpdater() = default;

RowUpdater::Prepared& RowUpdater::statementFor(const QStringList& columns) {
    const QString id = columns.join(QLatin1Char('\x1f')).toLower();
    auto it = prepared_.find(id);
    if (it != prepared_.end()) return **it;
    QStringList sets;
    for (const QString& col : columns) sets << QLatin1Char('[') + col + QStringLiteral("]=?");
    const QString sql = QStringLiteral("update ") + table_ + QStringLiteral(" set ") + sets.join(QLatin1Char(',')) +
                        QStringLiteral(" where [") + key_ + QStringLiteral("]=?");
    auto p = std::make_shared<Prepared>(c_->database());
    if (!p->q.prepare(c_->sql(sql))) c_->fail(p->q);
    return **prepared_.insert(id, p);
}

int RowUpdater::update(qlonglong key, const QStringList& columns, const QVariantList& values) {
    if (columns.isEmpty()) return 0;
    c_->checkWritable();
    Prepared& p = statementFor(columns);
    int i = 0;
    for (; i < columns.size(); ++i) p.q.bindValue(i, bindable(values.value(i), format_, columns[i]));
    p.q.bindValue(i, key);
    if (!p.q.exec()) c_->fail(p.q);
    return p.q.numRowsAffected();
}

}  // namespace db
