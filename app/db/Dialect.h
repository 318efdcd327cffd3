#pragma once
// Everything that differs between database engines lives behind Dialect.
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariant>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

namespace db {

enum class FieldKind { Text, Memo, Integer, Float, Bool, DateTime };

struct FieldDef {
    QString name;
    FieldKind kind = FieldKind::Text;
    int size = 0;          // characters for sized text, else 0
    bool autoInc = false;  // assigned by the engine on insert
};

// A column of a table a newer version of the program adds to an older
// database: its name as the program spells it, its kind, and for text its
// size (0: a memo). The key is a number the engine assigns.
struct ColumnSpec {
    QString name;
    FieldKind kind = FieldKind::Text;
    int size = 0;
    bool key = false;
    bool notNull = false;
    QString defaultValue;  // a constant of the program's, as SQL
};

// How a database was opened.
struct OpenResult {
    // Non-empty when the database could only be opened for reading: why.
    QString readOnlyReason;
};

// A statement run again and again with new values (an import's inserts),
// through the engine's own interface where the driver's costs too much.
class RepeatedStatement {
public:
    virtual ~RepeatedStatement() = default;
    // Runs the statement once with values bound in order, as the driver
    // would bind them; false on failure, told by lastError(). Behind (see
    // Dialect::repeated) the row is queued, and false tells of a row queued
    // before.
    virtual bool run(const QVariantList& values) = 0;
    // Waits until every row queued is written; false on failure.
    virtual bool finish() { return true; }
    virtual QSqlError lastError() const = 0;
};

class Dialect {
public:
    virtual ~Dialect() = default;
    virtual QString driver() const = 0;
    // Opens db for the data source of a connection string. Throws DbError
    // whose text says in words what is wrong (missing, not a database,
    // damaged, locked ...).
    virtual OpenResult open(QSqlDatabase& db, const QString& dataSource) const = 0;
    // The engine's error in words a user can act on: which field is too long
    // and its limit, that another workstation holds a lock, and so on.
    virtual QString describe(const QSqlError& error) const;
    // True when error means the connection to the database is gone.
    virtual bool connectionLost(const QSqlError&) const { return false; }
    // True when an idle session is known to be closed by the other end
    // (a server restarted since the last statement), looked at without
    // asking the server anything.
    virtual bool sessionGone(QSqlDatabase&) const { return false; }
    // A question, safe to ask on another thread, of whether the server of
    // db answers (for a lost connection); empty when there is none to ask.
    virtual std::function<bool()> serverAnswers(const QSqlDatabase&) const { return {}; }
    // Columns of a table in their defined order; empty if there is no such table.
    virtual QVector<FieldDef> tableFields(QSqlDatabase& db, const QString& table) const = 0;
    // The expression that names one row of a table for reading back, updating
    // and deleting it.
    virtual QString rowKey(QSqlDatabase& db, const QString& table) const = 0;
    // The pieces of a statement that differ between engines; statements are
    // written once and put together for an engine from these (SqlText::render).
    // A name written in square brackets ([From]), for names that are keywords.
    virtual QString quoteName(const QString& name) const = 0;
    // The like operator: matching that ignores the case of Latin letters.
    virtual QString likeOperator() const { return QStringLiteral("like"); }
    // What follows a like pattern so that only % and _ are special in it (a
    // backslash is an ordinary character), with its leading blank.
    virtual QString likeEscape() const { return QString(); }
    // The clause that holds the rows a select read until the transaction
    // ends ("share" or "update"); empty where the engine locks otherwise.
    virtual QString rowLock(const QString& kind) const = 0;
    // True when an insert hands back its key through "returning <key>";
    // otherwise the driver's last insert id is read.
    virtual bool insertReturnsKey() const { return false; }
    // A condition that holds when column still holds the value bound to the
    // next placeholder, nulls counting as equal.
    virtual QString sameValue(const QString& column, FieldKind kind) const = 0;
    // The statement that starts a transaction, when the driver's own will
    // not do; empty for the driver's.
    virtual QString beginStatement() const { return QString(); }
    // How date/time values are stored.
    virtual QString dateTimeFormat() const { return QStringLiteral("yyyy-MM-dd hh:mm:ss"); }
    // The statements that give table a key column of its own named key (a
    // number the engine assigns and never hands out again), keeping every
    // row, its order and the table's indexes.
    virtual QStringList keyColumnStatements(QSqlDatabase& db, const QString& table, const QString& key) const = 0;
    // Tables with unbounded text columns that store a text looking like a
    // number as that number ("007" as 7); none on an engine that stores text
    // as given.
    virtual QStringList tablesStoringNumberLikeMemos(QSqlDatabase&) const { return {}; }
    // Makes table again with its unbounded text columns keeping text as
    // given, keeping every row, its key, the order, the indexes and the next
    // key to hand out. Run inside a transaction.
    virtual void keepMemosAsText(QSqlDatabase&, const QString& /*table*/) const {}
    // Writes a copy of the database as it is now to path. False when this
    // engine keeps no file of its own to copy (a server).
    virtual bool copyDatabase(QSqlDatabase& db, const QString& path) const = 0;
    // True when only the database's owner may change its tables (a server
    // whose users are roles of their own), not any super user of the program.
    virtual bool tablesChangedByOwnerOnly() const { return false; }
    // Why this session should not change the tables, or empty text: on a
    // server, tables made by any role but their owner would lack the rights
    // the owner grants the program's users.
    virtual QString whyNotTableOwner(QSqlDatabase&) const { return QString(); }
    // The statements that make table with columns, typed as the engine's own
    // schema types them.
    virtual QStringList createTableStatements(const QString& table, const QList<ColumnSpec>& columns) const = 0;

    // The statement sql, to be run many times, when the engine offers a
    // cheaper way than the driver's; null where the driver's is used.
    // behind: the rows are written on a thread of their own while the
    // caller goes on, who then makes no other use of the database until
    // finish() has returned.
    virtual std::unique_ptr<RepeatedStatement> repeated(QSqlDatabase&, const QString&, bool /*behind*/ = false) const {
        return nullptr;
    }
    // An expression the engine computes into a fingerprint of a row's
    // values: cols are every column of the row's table, in order. Text of 32
    // characters beginning with rowDigestTag(), the same for the same values
    // whenever it is computed. Empty where the engine cannot compute one.
    virtual QString rowDigest(QSqlDatabase&, const QVector<FieldDef>&) const { return QString(); }
    // The engine's mark on its fingerprints ("s:", "p:"): one engine's are
    // never compared with another's.
    virtual QString rowDigestTag() const { return QString(); }

    static std::unique_ptr<Dialect> forProvider(const QString& provider);
};

std::unique_ptr<Dialect> makeSqliteDialect();
std::unique_ptr<Dialect> makePgDialect();

// What a change refused on a database opened for reading says.
QString readOnlyMessage();

// Sorts declared SQL types into field kinds ("VARCHAR(20)" -> Text of 20).
FieldDef fieldFromDeclaredType(const QString& name, const QString& declared);

}  // namespace db
