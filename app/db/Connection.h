#pragma once
// The database connection. Its string reads "Provider=...;Data Source=..."
// so a second engine can be chosen later without touching the callers.
#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <memory>

#include "app/db/Dialect.h"

namespace db {

class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(QObject* parent = nullptr);
    ~Connection() override;

    // Builds the string for a database file of the embedded engine.
    static QString connStringForFile(const QString& path);
    // Builds the string for what DBConn holds: a database server's address
    // (postgresql://...) or a database file's path.
    static QString connStringFor(const QString& dbConn);
    // True when DBConn's text is a database server's address.
    static bool isServerAddress(const QString& dbConn);

    void open(const QString& connString);  // throws DbError
    void close();
    bool connected() const;
    QString connString() const { return connString_; }
    // True when the database could only be opened for reading; why, in words.
    bool readOnly() const { return !readOnlyReason_.isEmpty(); }
    QString readOnlyReason() const { return readOnlyReason_; }
    // Throws the read-only refusal when nothing may be written.
    void checkWritable() const;
    // The engine's error in words a user can act on.
    QString describe(const QSqlError& error) const;

    void beginTrans();
    void commitTrans();
    void rollbackTrans();
    bool inTransaction() const { return inTrans_; }

    // For the record sets of this folder only.
    QSqlDatabase& database() { return db_; }
    const Dialect& dialect() const { return *dialect_; }
    // Columns of a table, cached; the name is matched without regard to case.
    const QVector<FieldDef>& tableFields(const QString& table);
    // The expression naming one row of a table, cached.
    const QString& rowKey(const QString& table);
    // A statement of this folder's own, with ? for its values, as the
    // engine reads it.
    QString sql(const QString& text) const;

private:
    QString name_;
    QString connString_;
    QSqlDatabase db_;
    std::unique_ptr<Dialect> dialect_;
    QHash<QString, QVector<FieldDef>> fieldCache_;
    QHash<QString, QString> keyCache_;
    bool inTrans_ = false;
    QString readOnlyReason_;
};

}  // namespace db
