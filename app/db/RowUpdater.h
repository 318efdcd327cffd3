#pragma once
// Many rows of one table changed by key, each in the columns of its own:
// one update statement per set of columns, prepared once and run for every
// row that changes those columns. For imports that update thousands of rows,
// where preparing a statement per row costs more than the writing.
#include <QHash>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace db {

class Connection;

class RowUpdater {
public:
    RowUpdater(Connection* c, const QString& table, const QString& keyColumn);
    ~RowUpdater();
    RowUpdater(const RowUpdater&) = delete;
    RowUpdater& operator=(const RowUpdater&) = delete;

    // Sets the columns of the row whose key is key to values (one per
    // column) and returns how many rows changed: 0 when no row has the key.
    // Throws DbError when the engine refuses, or for a text no engine stores.
    int update(qlonglong key, const QStringList& columns, const QVariantList& values);

private:
    struct Prepared;
    Prepared& statementFor(const QStringList& columns);

    Connection* c_;
    QString table_;
    QString key_;
    QString format_;
    QHash<QString, std::shared_ptr<Prepared>> prepared_;  // by the columns, joined
};

}  // namespace db
