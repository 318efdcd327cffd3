#include "app/Backups.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "app/db/Backup.h"
#include "app/db/DbError.h"

namespace backups {

namespace {
QString base(const QString& database) { return QFileInfo(database).completeBaseName(); }
QString suffix(const QString& database) {
    const QString s = QFileInfo(database).suffix();
    return s.isEmpty() ? QStringLiteral(".db") : QLatin1Char('.') + s;
}

// Newest first by the date in the name (the names sort by their dates).
QStringList matching(const QStringList& names, const QRegularExpression& re) {
    QStringList found;
    for (const QString& n : names)
        if (re.match(n).hasMatch()) found << n;
    std::sort(found.begin(), found.end(), std::greater<QString>());
    return found;
}
}  // namespace

QString dailyName(const QString& database, const QDate& day) {
    return base(database) + QStringLiteral("-daily-") + day.toString(QStringLiteral("yyyy-MM-dd")) + suffix(database);
}

QString weeklyName(const QString& database, const QDate& day) {
    int year = 0;
    const int week = day.weekNumber(&year);
    return base(database) + QStringLiteral("-weekly-%1-W%2").arg(year, 4, 10, QLatin1Char('0')).arg(week, 2, 10, QLatin1Char('0')) +
           suffix(database);
}

QString beforeRestoreName(const QString& database, const QDateTime& when) {
    return base(database) + QStringLiteral("-before-restore-") + when.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) +
           suffix(database);
}

QStringList surplus(const QStringList& fileNames, const QString& database) {
    const QString b = QRegularExpression::escape(base(database));
    const QString s = QRegularExpression::escape(suffix(database));
    const QRegularExpression daily(QStringLiteral("^%1-daily-\\d{4}-\\d{2}-\\d{2}%2$").arg(b, s));
    const QRegularExpression weekly(QStringLiteral("^%1-weekly-\\d{4}-W\\d{2}%2$").arg(b, s));
    QStringList extra = matching(fileNames, daily).mid(kKeepDaily);
    extra += matching(fileNames, weekly).mid(kKeepWeekly);
    return extra;
}

Outcome dailyBackup(const QString& database, const QString& folder, const QDate& today) {
    Outcome out;
    const QDir dir(folder);
    out.file = dir.filePath(dailyName(database, today));
    if (QFileInfo::exists(out.file)) return out;  // another start made it today
    if (!QDir().mkpath(folder)) {
        out.error = QStringLiteral("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder));
        return out;
    }
    try {
        db::backupDatabaseFile(database, out.file);
    } catch (const db::DbError& e) {
        out.error = e.text();
        return out;
    }
    out.made = true;
    // The week's first copy is also its weekly copy: copied under a name of
    // its own, then renamed, like every backup.
    const QString weekly = dir.filePath(weeklyName(database, today));
    if (!QFileInfo::exists(weekly)) {
        const QString part = weekly + QStringLiteral(".part");
        QFile::remove(part);
        if (!QFile::copy(out.file, part) || !QFile::rename(part, weekly)) {
            QFile::remove(part);
            out.error = QStringLiteral("The weekly copy %1 could not be written.").arg(QDir::toNativeSeparators(weekly));
        }
    }
    for (const QString& name : surplus(dir.entryList(QDir::Files), database))
        if (QFile::remove(dir.filePath(name))) out.removed << name;
    return out;
}

}  // namespace backups
