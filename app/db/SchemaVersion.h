#pragma once
// What the program knows of the shape of a database's tables: the schema
// version it keeps (table T_SchemaVersion), whether a column is there, and
// the two engine-bound parts of bringing an older database up to date (a
// copy of it first, a key column added).
#include <QList>
#include <QString>

#include "app/db/Dialect.h"

namespace db {

class Connection;

// The version stored in the database; 0 for a database made before it kept
// one (its table is missing or empty).
int schemaVersion(Connection& c);
// Stores version, making the version table when it is missing.
void setSchemaVersion(Connection& c, int version);
// True when table exists and has column (names without regard to case).
bool hasColumn(Connection& c, const QString& table, const QString& column);
// Gives table a key column named key, keeping its rows, their order and its
// indexes. Run inside a transaction: the engine rebuilds the table.
void addKeyColumn(Connection& c, const QString& table, const QString& key);
// Tables whose unbounded text columns store "007" as 7 (files made by
// older versions); and the change that makes them keep such texts as typed
// (the values already stored stay as they are shown). Run inside a transaction.
QStringList tablesStoringNumberLikeMemos(Connection& c);
void keepMemosAsText(Connection& c);
// Makes table with columns (see ColumnSpec), typed as the engine types them.
void createTable(Connection& c, const QString& table, const QList<ColumnSpec>& columns);
// Copies the database, as it is now, to a file beside it whose name ends in
// tag ("custom-before-2.db"); returns that file's path, or empty text when
// the engine keeps no file of its own (a server keeps its own backups).
// Throws DbError when the copy cannot be made.
QString backupCopy(Connection& c, const QString& tag);

}  // namespace db
