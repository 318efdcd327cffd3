#include "app/db/Backup.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QUuid>
#include <algorithm>
#include <memory>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include "app/db/DbError.h"

namespace db {

namespace {

// The patience of the program's own connection with other programs' locks.
constexpr int kBusyMs = 5000;
// How long a copy waits in all for locks before it gives up.
constexpr qint64 kGiveUpMs = 30000;
// Pages copied under one read lock; between steps other programs may write.
constexpr int kStepPages = 1024;

// A connection of the engine's own, closed on every way out.
class Handle {
public:
    Handle(const QString& file, int flags) {
        rc_ = sqlite3_open_v2(QFile::encodeName(file).constData(), &db_, flags, nullptr);
        if (rc_ == SQLITE_OK) sqlite3_busy_timeout(db_, kBusyMs);
    }
    ~Handle() { sqlite3_close_v2(db_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool ok() const { return rc_ == SQLITE_OK; }
    sqlite3* get() const { return db_; }
    QString error() const {
        return db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory");
    }

private:
    sqlite3* db_ = nullptr;
    int rc_ = SQLITE_ERROR;
};

QString native(const QString& path) { return QDir::toNativeSeparators(path); }

// Opens an existing database file, never creating one.
std::unique_ptr<Handle> openExisting(const QString& file, bool write) {
    if (!QFileInfo(file).isFile()) throw DbError(QStringLiteral("The database file does not exist: %1").arg(native(file)));
    auto h = std::make_unique<Handle>(file, write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
    if (!h->ok()) throw DbError(QStringLiteral("%1 cannot be opened: %2").arg(native(file), h->error()));
    return h;
}

// Copies every page of src's main database into dst's, through the engine's
// online backup. A step holds a read lock on src only while it reads, so
// other programs may write between steps; a write by another program starts
// the copy over, and after copying four times the file's size in vain the
// rest is copied under one lock, so a busy database is still copied.
void copyPages(sqlite3* src, sqlite3* dst) {
    sqlite3_backup* b = sqlite3_backup_init(dst, "main", src, "main");
    if (!b) throw DbError(QString::fromUtf8(sqlite3_errmsg(dst)));
    QElapsedTimer waiting;
    qint64 stepped = 0;
    int rc = SQLITE_OK;
    for (;;) {
        const qint64 size = std::max(1, sqlite3_backup_pagecount(b));
        rc = sqlite3_backup_step(b, stepped > 4 * size ? -1 : kStepPages);
        if (rc == SQLITE_DONE) break;
        if (rc == SQLITE_OK) {
            stepped += kStepPages;
            waiting.invalidate();
            continue;
        }
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            if (!waiting.isValid()) waiting.start();
            if (waiting.elapsed() < kGiveUpMs) {
                sqlite3_sleep(50);
                continue;
            }
        }
        break;
    }
    sqlite3_backup_finish(b);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
        throw DbError(QStringLiteral("The database stayed locked by another program for %1 seconds.")
                          .arg(kGiveUpMs / 1000));
    if (rc != SQLITE_DONE) throw DbError(QString::fromUtf8(sqlite3_errmsg(dst)));
}

bool sameFile(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

void removeWithJournal(const QString& file) {
    QFile::remove(file);
    QFile::remove(file + QStringLiteral("-journal"));
}

// The tables that every database of this program has and that the program
// reads when it starts.
const char* const kOwnTables[] = {"info", "admin", "custom", "contact", "t_fieldshow", "t_softinfo"};

}  // namespace

QString integrityProblems(const QString& file) {
    const auto h = openExisting(file, false);
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(h->get(), "pragma integrity_check(20)", -1, &st, nullptr);
    if (rc == SQLITE_NOTADB) throw DbError(QStringLiteral("The file is not a database: %1").arg(native(file)));
    QStringList found;
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            found << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    }
    if (rc != SQLITE_DONE) found << h->error();
    sqlite3_finalize(st);
    if (rc == SQLITE_NOTADB) throw DbError(QStringLiteral("The file is not a database: %1").arg(native(file)));
    if (found == QStringList{QStringLiteral("ok")}) return QString();
    return found.join(QStringLiteral("; "));
}

void backupDatabaseFile(const QString& source, const QString& target) {
    const QFileInfo src(source);
    if (!src.isFile()) throw DbError(QStringLiteral("The database file does not exist: %1").arg(native(source)));
    const QFileInfo dst(target);
    if (dst.isDir()) throw DbError(QStringLiteral("%1 is a folder; choose a file name for the backup.").arg(native(target)));
    if (sameFile(source, target))
        throw DbError(QStringLiteral("%1 is the database itself; a backup must go to another file.").arg(native(target)));
    if (!QFileInfo(dst.absolutePath()).isDir())
        throw DbError(QStringLiteral("The folder %1 does not exist.").arg(native(dst.absolutePath())));

    // Written under a name of its own and renamed once sound: an older backup
    // under the same name stays until a better one is there.
    const QString part = dst.absoluteFilePath() + QStringLiteral(".part-") +
                         QUuid::createUuid().toString(QUuid::Id128).left(8);
    struct Cleanup {
        QString file;
        ~Cleanup() {
            if (!file.isEmpty()) removeWithJournal(file);
        }
    } cleanup{part};
    {
        const auto in = openExisting(src.absoluteFilePath(), src.isWritable());
        Handle out(part, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        if (!out.ok())
            throw DbError(QStringLiteral("The backup cannot be written in %1: %2").arg(native(dst.absolutePath()), out.error()));
        copyPages(in->get(), out.get());
    }
    const QString problems = integrityProblems(part);
    if (!problems.isEmpty())
        throw DbError(QStringLiteral("The copy did not pass the integrity check, so it was not kept: %1").arg(problems));
    // A backup holds the same data as the database: no wider access than it.
    QFile::setPermissions(part, src.permissions() | QFile::ReadOwner | QFile::WriteOwner);
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(dst.absoluteFilePath()).constData()) != 0)
        throw DbError(QStringLiteral("The backup could not be saved as %1: %2")
                          .arg(native(target), QString::fromLocal8Bit(std::strerror(errno))));
    cleanup.file.clear();
}

QString checkTallixDatabase(const QString& file) {
    const QFileInfo fi(file);
    if (!fi.exists()) return QStringLiteral("The file does not exist: %1").arg(native(file));
    if (fi.isDir()) return QStringLiteral("%1 is a folder, not a database file.").arg(native(file));
    if (fi.size() == 0) return QStringLiteral("The file is empty (0 bytes): %1").arg(native(file));
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("The file cannot be read: %1").arg(f.errorString());
        if (f.read(16) != QByteArray("SQLite format 3", 16))
            return QStringLiteral("The file is not a database: %1").arg(native(file));
    }
    try {
        const QString problems = integrityProblems(file);
        if (!problems.isEmpty()) return QStringLiteral("The file is damaged: %1").arg(problems);
        const auto h = openExisting(file, false);
        sqlite3_stmt* st = nullptr;
        QSet<QString> tables;
        if (sqlite3_prepare_v2(h->get(), "select lower(name) from sqlite_master where type='table'", -1, &st,
                               nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW)
                tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        }
        sqlite3_finalize(st);
        for (const char* t : kOwnTables)
            if (!tables.contains(QLatin1String(t)))
                return QStringLiteral("The file is a database, but not a Tallix database (it has no table %1).")
                    .arg(QLatin1String(t));
    } catch (const DbError& e) {
        return e.text();
    }
    return QString();
}

void restoreDatabaseFile(const QString& source, const QString& target) {
    if (sameFile(source, target))
        throw DbError(QStringLiteral("%1 is the database itself.").arg(native(source)));
    const auto in = openExisting(source, false);
    const auto out = openExisting(target, true);
    copyPages(in->get(), out->get());
}

QString busyElsewhere(const QString& file) {
    try {
        const auto h = openExisting(file, true);
        sqlite3_busy_timeout(h->get(), 1000);
        char* msg = nullptr;
        const int rc = sqlite3_exec(h->get(), "begin exclusive", nullptr, nullptr, &msg);
        const QString why = msg ? QString::fromUtf8(msg) : QString();
        sqlite3_free(msg);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            return QStringLiteral("another program is reading or writing the database at this moment");
        if (rc != SQLITE_OK) return why;
        sqlite3_exec(h->get(), "rollback", nullptr, nullptr, nullptr);
    } catch (const DbError& e) {
        return e.text();
    }
    return QString();
}

// ---- presence ---------------------------------------------------------------

namespace {
// The engine locks the bytes from 0x40000000 to 0x400001ff; this one is
// past them, so the mark never stands in the engine's way.
constexpr off_t kPresenceByte = 0x40000000 + 0x400;

bool setPresenceLock(int fd, short type) {
#ifdef F_OFD_SETLK
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = kPresenceByte;
    fl.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
#else
    (void)fd;
    (void)type;
    return false;
#endif
}
}  // namespace

PresenceMark::PresenceMark(const QString& file) : file_(file) {
    const QByteArray name = QFile::encodeName(file);
    fd_ = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    writable_ = fd_ >= 0;
    if (fd_ < 0) fd_ = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0 && !setPresenceLock(fd_, F_RDLCK)) {
        ::close(fd_);
        fd_ = -1;
    }
}

PresenceMark::~PresenceMark() {
    if (fd_ >= 0) ::close(fd_);
}

bool PresenceMark::alone() {
    if (fd_ >= 0 && writable_) {
        // Our shared lock becomes exclusive only when nobody else holds one.
        if (!setPresenceLock(fd_, F_WRLCK)) return false;
        setPresenceLock(fd_, F_RDLCK);
        return true;
    }
    // An exclusive lock needs a handle that may write; ours may not, so ours
    // is let go while another handle looks. (Closing that handle drops the
    // engine's own locks of this program on the file: this runs only while
    // the program is between transactions.)
    const int probe = ::open(QFile::encodeName(file_).constData(), O_RDWR | O_CLOEXEC);
    if (probe < 0) return true;  // nobody here can write it, nor restore it
    if (fd_ >= 0) setPresenceLock(fd_, F_UNLCK);
    const bool free = setPresenceLock(probe, F_WRLCK);
    ::close(probe);
    if (fd_ >= 0) setPresenceLock(fd_, F_RDLCK);
    return free;
}

}  // namespace db
