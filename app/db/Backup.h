#pragma once
// Copies of a database file of the embedded engine, made and put back through
// the engine itself (its online backup), on connections of their own, so
// other programs may go on working while a copy is taken.
#include <QString>

namespace db {

// Writes a consistent copy of the database file source to target: every
// transaction committed before the copy began, none half. The copy is made
// under a temporary name beside target, checked with the engine's integrity
// check, and only then replaces target. Throws DbError.
void backupDatabaseFile(const QString& source, const QString& target);

// Empty when file is a sound database of this program; otherwise why not, in
// words for the user (not a database, damaged, another program's database).
QString checkTallixDatabase(const QString& file);

// The problems the engine's integrity check finds in a database file, empty
// when it finds none. Throws DbError when the file cannot be read at all.
QString integrityProblems(const QString& file);

// Replaces the whole content of the database file target with that of the
// database file source, in one transaction of the engine: other programs
// see the old data or the new, never a mixture. Throws DbError.
void restoreDatabaseFile(const QString& source, const QString& target);

// Empty when no program is reading or writing the database file at this
// moment (the engine's exclusive lock could be had); why not otherwise.
// Programs that have the file open but idle hold no lock and are not seen:
// PresenceMark is for those.
QString busyElsewhere(const QString& file);

// Says "this program has the database file open" to other programs, for as
// long as it lives: a shared lock on a byte the engine never locks, held on
// an open file description of its own (so opening and closing the file
// elsewhere in this program does not drop it). Works where the file system
// passes on locks, as the engine itself needs.
class PresenceMark {
public:
    explicit PresenceMark(const QString& file);
    ~PresenceMark();
    PresenceMark(const PresenceMark&) = delete;
    PresenceMark& operator=(const PresenceMark&) = delete;

    bool held() const { return fd_ >= 0; }
    // True when no other holder of a mark on the file is alive.
    bool alone();

private:
    QString file_;
    int fd_ = -1;
    bool writable_ = false;
};

}  // namespace db
