#pragma once
// The daily backups of a database file: at the first start of a day a copy
// goes into the backups folder, and of those copies the newest 7 daily ones
// and the newest 4 weekly ones are kept. A weekly copy is the first copy made
// in its week (ISO weeks, Monday first). Files are named after the database:
//   custom-daily-2024-05-17.db, custom-weekly-2024-W20.db
// Other files in the folder (another database's copies, the copies kept
// before a restore) are left alone.
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace backups {

constexpr int kKeepDaily = 7;
constexpr int kKeepWeekly = 4;

QString dailyName(const QString& database, const QDate& day);
QString weeklyName(const QString& database, const QDate& day);
// The copy kept before a restore replaces the database.
QString beforeRestoreName(const QString& database, const QDateTime& when);

// Of the file names in a backups folder, those to delete so that only the
// promised copies of database remain.
QStringList surplus(const QStringList& fileNames, const QString& database);

struct Outcome {
    bool made = false;     // today's copy was made now
    QString file;          // today's copy
    QString error;         // why no copy could be made; empty when none failed
    QStringList removed;   // older copies deleted
};

// Makes today's copy of database in folder unless there is one, then keeps
// the promised copies. Nothing is deleted when the new copy failed.
Outcome dailyBackup(const QString& database, const QString& folder, const QDate& today);

}  // namespace backups
