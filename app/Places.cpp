#include "app/Places.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

namespace {
const QString kDatabase = QStringLiteral("custom.db");

// The supplied database of an installed tree: <prefix>/share/tallix/custom.db
// beside <prefix>/bin.
QString installedTemplate(const QString& programDir) {
    return QDir::cleanPath(programDir + QStringLiteral("/../share/tallix/") + kDatabase);
}
}  // namespace

UserFolders UserFolders::fromSystem() {
    UserFolders f;
    f.config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/tallix");
    f.data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/tallix");
    f.documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Tallix");
    return f;
}

Places Places::forProgram(const QString& programDir) {
    return Places(programDir.isEmpty() ? QCoreApplication::applicationDirPath() : programDir, UserFolders::fromSystem());
}

Places::Places(const QString& programDir, const UserFolders& user)
    : programDir_(QDir::cleanPath(QFileInfo(programDir).absoluteFilePath())), user_(user) {
    // Root may write anywhere, so a writable folder alone does not tell a
    // build folder from /usr/bin: an installed tree is one with the template
    // in ../share/tallix and no database of its own beside the program.
    const bool installedTree = QFileInfo::exists(installedTemplate(programDir_)) &&
                               !QFileInfo::exists(QDir(programDir_).filePath(kDatabase));
    beside_ = QFileInfo(programDir_).isWritable() && !installedTree;
}

QString Places::configFile() const {
    return QDir(beside_ ? programDir_ : user_.config).filePath(QStringLiteral("config.ini"));
}

QString Places::defaultDatabase() const { return QDir(beside_ ? programDir_ : user_.data).filePath(kDatabase); }

QString Places::databaseTemplate() const {
    const QString installed = installedTemplate(programDir_);
    // A read-only folder that holds the database itself (a build folder on a
    // read-only medium) supplies it as the template.
    return QFileInfo::exists(installed) ? installed : QDir(programDir_).filePath(kDatabase);
}

QString Places::documentsDir() const { return beside_ ? programDir_ : user_.documents; }

QString Places::exportDir() const { return QDir(documentsDir()).filePath(QStringLiteral("export")); }

QString Places::helpFile() const {
    // Beside the program the help file is looked up in the current folder,
    // as it always was; an installed one keeps it with its other files.
    const QString name = QStringLiteral("Help.chm");
    return beside_ ? QDir::current().absoluteFilePath(name)
                   : QDir::cleanPath(programDir_ + QStringLiteral("/../share/tallix/") + name);
}

QString Places::backupDirFor(const QString& database) const {
    const QFileInfo db(database);
    const QString beside = QDir(db.absolutePath()).filePath(QStringLiteral("backups"));
    const QFileInfo backups(beside);
    const bool usable = backups.isDir() ? backups.isWritable() : QFileInfo(db.absolutePath()).isWritable();
    return usable ? beside : QDir(user_.data).filePath(QStringLiteral("backups"));
}

bool Places::provideDefaultDatabase(QString* why) const {
    const QString target = defaultDatabase();
    if (beside_ || QFileInfo::exists(target)) return true;
    const QString source = databaseTemplate();
    if (!QFileInfo(source).isFile()) {
        *why = QStringLiteral("The supplied database %1 is missing, so your own database could not be made.")
                   .arg(QDir::toNativeSeparators(source));
        return false;
    }
    if (!QDir().mkpath(user_.data)) {
        *why = QStringLiteral("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(user_.data));
        return false;
    }
    // Copied under another name and renamed, so an interrupted first start
    // never leaves half a database under the real name.
    const QString part = target + QStringLiteral(".part-") + QUuid::createUuid().toString(QUuid::Id128).left(8);
    QFile in(source);
    if (!in.copy(part)) {
        *why = QStringLiteral("Your database could not be made from %1: %2")
                   .arg(QDir::toNativeSeparators(source), in.errorString());
        QFile::remove(part);
        return false;
    }
    // The template is the system's (read-only); the copy is the user's.
    QFile::setPermissions(part, QFile::ReadOwner | QFile::WriteOwner);
    if (!QFile::rename(part, target)) {
        QFile::remove(part);
        if (QFileInfo::exists(target)) return true;  // another start made it at the same moment
        *why = QStringLiteral("Your database could not be made in %1.").arg(QDir::toNativeSeparators(user_.data));
        return false;
    }
    return true;
}
