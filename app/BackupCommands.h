#pragma once
// "Backup Database…" and "Restore Database…" of the System menu, and the
// automatic backup at the first start of a day, for the database of the
// data module. On a database server both menu entries say that the server's
// administrator makes the backups (pg_dump).
#include <QDate>

class TFrm_Data;

// Asks for a file and writes a consistent copy of the database to it.
void backupDatabaseCommand();

// Asks for a backup and puts it in place of the database, after checking it
// and keeping a copy of the database as it is. True when the database was
// restored: the program then ends, as the message said.
bool restoreDatabaseCommand();

// The copy of the day, unless config.ini turns it off ([Backup] Daily=0) or
// the database is on a server. A failure is told, and the program goes on.
void dailyBackupAtStart(TFrm_Data& data, const QDate& today);
