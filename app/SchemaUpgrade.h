#pragma once
// Bringing a database made by an older version up to date. The changes are
// an ordered list of steps, each with the schema version it leads to; a
// step is only added, never changed, once a version has gone out. When a
// super user logs in, the steps the database lacks run in one transaction,
// after a copy of the database file is kept beside it, and the user is told
// what was done. A database that cannot be changed (opened for reading, a
// server role without the right) is left as it is; the windows that need
// what it lacks say so.
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace db {
class Connection;
}

struct SchemaStep {
    int version;                                      // the schema version after this step
    QString what;                                     // what it does, as the user is told
    std::function<bool(db::Connection&)> needed;      // the database lacks it
    std::function<void(db::Connection&)> apply;       // makes the change (inside the transaction)
};

// The steps in version order (SchemaSteps.cpp).
const QList<SchemaStep>& schemaSteps();
// The version a database made by this program has.
int latestSchemaVersion();

struct SchemaUpgrade {
    QStringList done;  // what the steps that ran did
    QString backup;    // the copy kept of the file, if one was made
    QString error;     // why nothing was changed, when it failed
};

// Runs the steps that the database lacks and records the latest version.
// Nothing is changed when any step fails (error says why).
SchemaUpgrade upgradeSchema(db::Connection& c);
// At a super user's login: upgradeSchema, then tells the user what it did
// or why it failed. Says nothing when the database was up to date.
void bringSchemaUpToDate(db::Connection& c);

// True when table has its key column; otherwise says, under title, what the
// database lacks and that a super user's login adds it.
bool keyPresentOrSay(db::Connection& c, const QString& table, const QString& key, const QString& title);
