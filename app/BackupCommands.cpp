#include "app/BackupCommands.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include "app/Backups.h"
#include "app/U_data.h"
#include "app/db/Backup.h"
#include "app/db/DbError.h"
#include "toolkit/DialogService.h"
#include "toolkit/WaitCursor.h"

namespace {
const QString kBackupTitle = QStringLiteral("Backup Database");
const QString kRestoreTitle = QStringLiteral("Restore Database");
const QString kFilter = QStringLiteral("Database files (*.db);;All Files (*)");

QString native(const QString& path) { return QDir::toNativeSeparators(path); }

void onServer(const QString& title) {
    toolkit::dialogs().message(
        QStringLiteral("This database is kept on a PostgreSQL server. Its backups are made on the server by the "
                       "server's administrator, with pg_dump, and put back with pg_restore; the README gives the "
                       "commands."),
        title, toolkit::Icon::Information);
}

void refuse(const QString& text, const QString& detail = QString()) {
    toolkit::dialogs().message(text, kRestoreTitle, toolkit::Icon::Warning, QMessageBox::Ok, detail);
}
}  // namespace

void backupDatabaseCommand() {
    const QString database = Frm_Data->databaseFile();
    if (database.isEmpty()) {
        onServer(kBackupTitle);
        return;
    }
    const QString suggested = QDir(Frm_Data->places().documentsDir())
                                  .filePath(QFileInfo(database).completeBaseName() + QLatin1Char('-') +
                                            QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) +
                                            QStringLiteral(".db"));
    QString file = toolkit::dialogs().saveFile(kBackupTitle, kFilter, suggested);
    if (file.isEmpty()) return;
    if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".db");
    try {
        toolkit::WaitCursor wait;
        db::backupDatabaseFile(database, file);
    } catch (const db::DbError& e) {
        toolkit::dialogs().message(QStringLiteral("The database could not be backed up."), kBackupTitle,
                                   toolkit::Icon::Warning, QMessageBox::Ok, e.text());
        return;
    }
    toolkit::dialogs().message(QStringLiteral("The database was backed up to %1.").arg(native(file)), kBackupTitle,
                               toolkit::Icon::Information);
}

bool restoreDatabaseCommand() {
    const QString database = Frm_Data->databaseFile();
    if (database.isEmpty()) {
        onServer(kRestoreTitle);
        return false;
    }
    if (Frm_Data->Connection->readOnly()) {
        refuse(QStringLiteral("The database was opened for reading only, so it cannot be restored."),
               Frm_Data->Connection->readOnlyReason());
        return false;
    }
    const QString chosen = toolkit::dialogs().openFile(kRestoreTitle, kFilter,
                                                       Frm_Data->places().backupDirFor(database));
    if (chosen.isEmpty()) return false;
    const QString backup = QFileInfo(chosen).absoluteFilePath();
    if (QFileInfo(backup).canonicalFilePath() == QFileInfo(database).canonicalFilePath()) {
        refuse(QStringLiteral("This is the database in use; choose a backup of it."), native(backup));
        return false;
    }
    QString why;
    {
        toolkit::WaitCursor wait;
        why = db::checkTallixDatabase(backup);
    }
    if (!why.isEmpty()) {
        refuse(QStringLiteral("This file cannot be restored: it is not a sound Tallix database."), why);
        return false;
    }
    // Another Tallix that has the file open, even idle, holds a presence
    // mark; any program in the middle of reading or writing holds a lock.
    db::PresenceMark* mark = Frm_Data->presence();
    if (mark && mark->held() && !mark->alone())
        why = QStringLiteral("Tallix has it open on another workstation or in another window");
    else
        why = db::busyElsewhere(database);
    if (!why.isEmpty()) {
        refuse(QStringLiteral("The database cannot be restored while another program has it open. Close Tallix "
                              "everywhere else, then try again."),
               why);
        return false;
    }
    const QString folder = Frm_Data->places().backupDirFor(database);
    if (!toolkit::dialogs().confirm(
            QStringLiteral("Restoring replaces all data in %1 with the data of %2. A copy of the database as it is "
                           "now is kept in %3 first.\n\nTallix closes when the restore is done; start it again to "
                           "work with the restored data.\n\nRestore the database now?")
                .arg(native(database), native(backup), native(folder)),
            kRestoreTitle, toolkit::Icon::Question))
        return false;

    const QString kept = QDir(folder).filePath(backups::beforeRestoreName(database, QDateTime::currentDateTime()));
    try {
        toolkit::WaitCursor wait;
        if (!QDir().mkpath(folder))
            throw db::DbError(QStringLiteral("The folder %1 cannot be created.").arg(native(folder)));
        db::backupDatabaseFile(database, kept);
    } catch (const db::DbError& e) {
        refuse(QStringLiteral("The database was not restored, because a copy of it could not be kept first."),
               e.text());
        return false;
    }
    try {
        toolkit::WaitCursor wait;
        db::restoreDatabaseFile(backup, database);
    } catch (const db::DbError& e) {
        // The engine wrote it in one transaction: nothing of it stayed.
        refuse(QStringLiteral("The database could not be restored; it is as it was."), e.text());
        return false;
    }
    toolkit::dialogs().message(QStringLiteral("The database was restored from %1. The data it held before is kept "
                                              "in %2.\n\nTallix closes now; start it again to work with the "
                                              "restored data.")
                                   .arg(native(backup), native(kept)),
                               kRestoreTitle, toolkit::Icon::Information);
    return true;
}

void dailyBackupAtStart(TFrm_Data& data, const QDate& today) {
    const QString database = data.databaseFile();
    if (!data.DBConnected || database.isEmpty()) return;
    if (data.ConfigIni->readInteger(QStringLiteral("Backup"), QStringLiteral("Daily"), 1) == 0) return;
    backups::Outcome out;
    {
        toolkit::WaitCursor wait;
        out = backups::dailyBackup(database, data.places().backupDirFor(database), today);
    }
    if (!out.error.isEmpty())
        toolkit::dialogs().message(out.made ? QStringLiteral("The daily backup of the database was made, but its "
                                                             "weekly copy could not be kept.")
                                            : QStringLiteral("The daily backup of the database could not be made."),
                                   kBackupTitle, toolkit::Icon::Warning, QMessageBox::Ok, out.error);
}
