#pragma once
// What each import wrote, kept in the database (T_ImportLog, T_ImportRow),
// and undoing the last one: the rows it added are deleted and the values
// it overwrote restored, in one transaction, and only when nobody changed
// or deleted those rows since.
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <optional>

#include "app/db/Dialect.h"

namespace db {
class Connection;
}

namespace importlog {

// True when the database has the tables that record imports (a database
// made before them has not).
bool available(db::Connection* c);

struct Entry {
    qlonglong id = 0;
    QString user;
    QDateTime at;
    QString file;
    QString table;  // custom or contact
    QString onMatch, matchBy;
    int added = 0, updated = 0, skipped = 0, contacts = 0;
};

// The keys above before in table, in order: the rows a run has just added,
// count of them. Another workstation adding rows at the same moment would
// mix its keys in; then nothing of the run can be told apart for certain,
// and DbError is thrown.
QList<qlonglong> keysAbove(db::Connection* c, const QString& table, qlonglong before, int count);
// The highest key of table (0 when it is empty).
qlonglong highestKey(db::Connection* c, const QString& table);

// Records one run. Used inside the run's transaction, after its rows are
// written: the fingerprints are taken of the rows as stored then.
class Recorder {
public:
    Recorder(db::Connection* c, const Entry& entry);
    // Rows of table ("custom" or "contact") that the run added.
    void added(const QString& table, const QList<qlonglong>& keys);
    // The count rows of table that the run added: every key above before
    // (as keysAbove(); the check is made by finish()).
    void addedAbove(const QString& table, qlonglong before, int count);
    // A row of table the run changed, with the values it overwrote
    // (column -> value as it was stored).
    void updated(const QString& table, qlonglong key, const QHash<QString, QVariant>& oldValues);
    // Writes the log; returns the entry's number.
    qlonglong finish(int added, int updated, int skipped, int contacts);

private:
    struct Item {
        QString table;
        qlonglong key;
        bool add;
        QString oldValues;
    };
    void fingerprintInEngine(qlonglong id, const QSet<QString>& tables);
    struct Range {
        QString table;
        qlonglong before;
        int count;
    };
    db::Connection* c_;
    Entry entry_;
    QList<Item> items_;
    QList<Range> ranges_;
};

// The last import that has not been undone.
std::optional<Entry> last(db::Connection* c);

// Why this user may not undo the entry (only a super user or the user who
// imported may), or empty text.
QString refusal(const Entry& e, const QString& userName, int userPermit);
// The question asked before undoing.
QString confirmation(const Entry& e);

struct UndoOutcome {
    int customersDeleted = 0;
    int contactsDeleted = 0;
    int restored = 0;
};

// Undoes the entry in one transaction. Throws db::DbError, with nothing
// changed, when a row it wrote was changed or deleted since (the message
// names the first of them) or when an added customer has gained contacts,
// schedules or sales since.
UndoOutcome undo(db::Connection* c, const Entry& e, const QString& userName);

// The text form of a stored value as the log keeps it, and back for a
// column of that kind.
QVariant toLog(const QVariant& v, db::FieldKind kind);
QVariant fromLog(const QVariant& v, db::FieldKind kind);

}  // namespace importlog
