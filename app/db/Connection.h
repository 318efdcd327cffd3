#pragma once
// The database connection. Its string reads "Provider=...;Data Source=..."
// so a second engine can be chosen later without touching the callers.
#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <memory>

#include "app/db/Dialect.h"

class QSqlQuery;

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
    // Open, or meant to be: a connection the server dropped counts as
    // connected, and is opened again when next used.
    bool connected() const;
    // True from the moment an error showed the server gone until the
    // connection is open again.
    bool isLost() const { return lost_; }
    // Opens the lost connection again as it was (the same login); false
    // while the server is still out of reach.
    bool reconnect();
    // Looks whether the server ended the session meanwhile, without asking
    // it anything; true when the connection is lost.
    bool noticeLoss();
    // Asks whether the server answers again, for a connection that is lost;
    // may take seconds, and may run on a thread of its own (it touches
    // nothing of this connection).
    std::function<bool()> serverAnswers() const;
    // What an action is told while the server stays out of reach.
    static QString unreachableText();
    QString connString() const { return connString_; }
    // True when the database could only be opened for reading; why, in words.
    bool readOnly() const { return !readOnlyReason_.isEmpty(); }
    QString readOnlyReason() const { return readOnlyReason_; }
    // Throws the read-only refusal when nothing may be written.
    void checkWritable() const;
    // The engine's error in words a user can act on.
    QString describe(const QSqlError& error) const;
    // Throws DbError with the engine's words for the statement's last error.
    [[noreturn]] void fail(const QSqlQuery& q) const;

    void beginTrans();
    void commitTrans();
    void rollbackTrans();
    bool inTransaction() const { return inTrans_; }

    // For the record sets of this folder only. A lost connection is opened
    // again first; while the server stays out of reach this throws.
    QSqlDatabase& database();
    const Dialect& dialect() const { return *dialect_; }
    // Columns of a table, cached; the name is matched without regard to case.
    const QVector<FieldDef>& tableFields(const QString& table);
    // Forgets what is known of the tables' columns and keys (after the
    // program changed a table's shape).
    void forgetTables() {
        fieldCache_.clear();
        keyCache_.clear();
    }
    // The expression naming one row of a table, cached.
    const QString& rowKey(const QString& table);
    // Forgets what was cached of the tables, after one was made anew.
    void refreshSchema() {
        fieldCache_.clear();
        keyCache_.clear();
    }
    // A statement of this folder's own, with ? for its values, as the
    // engine reads it.
    QString sql(const QString& text) const;

signals:
    // The server went away: sent once, when it is first noticed.
    void lost();
    // Open again after a loss.
    void reconnected();

private:
    QString name_;
    QString connString_;
    QSqlDatabase db_;
    std::unique_ptr<Dialect> dialect_;
    QHash<QString, QVector<FieldDef>> fieldCache_;
    QHash<QString, QString> keyCache_;
    bool inTrans_ = false;
    QString readOnlyReason_;
    void markLost() const;
    mutable bool lost_ = false;
    mutable qint64 lastTry_ = 0;  // when a reconnection last failed (ms since the epoch)
};

}  // namespace db
