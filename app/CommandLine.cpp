#include "app/CommandLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "app/IniFile.h"
#include "app/Places.h"
#include "app/SchemaUpgrade.h"
#include "app/db/Backup.h"
#include "app/db/Connection.h"
#include "app/db/DbError.h"

#ifndef TALLIX_VERSION
#define TALLIX_VERSION "1.70"
#endif

namespace {
QString native(const QString& path) { return QDir::toNativeSeparators(path); }

void print(std::FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
    if (!text.endsWith(QLatin1Char('\n'))) std::fputc('\n', to);
}

// What config.ini's DBConn names, empty for the default database.
QString dbConnOf(const Places& places) {
    return IniFile(places.configFile()).readString(QStringLiteral("Config"), QStringLiteral("DBConn"), QString());
}
}  // namespace

CommandLine parseCommandLine(const QStringList& args) {
    CommandLine c;
    auto choose = [&c](CommandLine::Action a, const QString& option) {
        if (c.action != CommandLine::Run && c.action != a) {
            c.action = CommandLine::Usage;
            c.error = QStringLiteral("%1 cannot be given with another option.").arg(option);
            return false;
        }
        c.action = a;
        return true;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            c = CommandLine();
            c.action = CommandLine::Help;
            return c;
        }
        if (c.action == CommandLine::Usage) continue;  // only --help may still come
        if (a == QLatin1String("--version")) {
            choose(CommandLine::Version, a);
        } else if (a == QLatin1String("--backup") || a.startsWith(QLatin1String("--backup="))) {
            QString file;
            if (a.contains(QLatin1Char('='))) file = a.mid(a.indexOf(QLatin1Char('=')) + 1);
            else if (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--"))) file = args[++i];
            if (file.isEmpty()) {
                c.action = CommandLine::Usage;
                c.error = QStringLiteral("--backup needs the name of the file to write.");
                continue;
            }
            if (choose(CommandLine::Backup, QStringLiteral("--backup"))) c.file = file;
        } else if (a == QLatin1String("--upgrade-database") || a.startsWith(QLatin1String("--upgrade-database="))) {
            QString address;
            if (a.contains(QLatin1Char('='))) address = a.mid(a.indexOf(QLatin1Char('=')) + 1);
            else if (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("-"))) address = args[++i];
            if (choose(CommandLine::Upgrade, QStringLiteral("--upgrade-database"))) c.file = address;
        }
    }
    return c;
}

QString versionText() { return QStringLiteral("Tallix %1").arg(QLatin1String(TALLIX_VERSION)); }

QString helpText(const Places& places) {
    const QString dbConn = dbConnOf(places);
    QString database = dbConn.isEmpty() ? native(places.defaultDatabase()) : dbConn;
    if (!dbConn.isEmpty()) database += QStringLiteral("  (DBConn in the settings)");
    QString backups = db::Connection::isServerAddress(dbConn)
                          ? QStringLiteral("on the server, by its administrator (pg_dump)")
                          : native(places.backupDirFor(dbConn.isEmpty() ? places.defaultDatabase() : dbConn));
    return QStringLiteral(
               "Usage: tallix [--backup FILE | --upgrade-database [ADDRESS] | --version | --help]\n"
               "\n"
               "Tallix keeps customers and their contacts. Without options it starts the program.\n"
               "\n"
               "  --backup FILE  write a consistent copy of the database to FILE, even while\n"
               "                 others work with it, and exit: 0 when done, 1 when it failed,\n"
               "                 2 when the database is on a server\n"
               "  --upgrade-database [ADDRESS]\n"
               "                 bring a database made by an older Tallix up to date and exit\n"
               "                 (ADDRESS: a file or postgresql://owner@host/database; on a\n"
               "                 server only the database's owner may change its tables)\n"
               "  --version      show the version and exit\n"
               "  --help         show this text and exit\n"
               "\n"
               "Files of this copy of Tallix:\n"
               "  settings  %1\n"
               "  database  %2\n"
               "  backups   %3\n"
               "            (one a day at the first start; [Backup] Daily=0 in the settings turns them off)\n"
               "  exports   %4\n")
        .arg(native(places.configFile()), database, backups, native(places.documentsDir()));
}

int backupFromShell(const Places& places, const QString& file, QString* message) {
    const QString dbConn = dbConnOf(places);
    if (db::Connection::isServerAddress(dbConn)) {
        *message = QStringLiteral(
                       "The database is on a PostgreSQL server (%1). Its administrator backs it up on the server, "
                       "for example: pg_dump --format=custom --file=tallix.dump \"%1\"")
                       .arg(dbConn.trimmed());
        return 2;
    }
    const QString database = dbConn.isEmpty() ? places.defaultDatabase() : dbConn;
    if (!QFileInfo::exists(database)) {
        *message = QStringLiteral("There is no database to back up: %1 does not exist%2.")
                       .arg(native(database), places.besideProgram() || !dbConn.isEmpty()
                                                  ? QString()
                                                  : QStringLiteral(" (it is made when Tallix first starts)"));
        return 1;
    }
    const QString target = QFileInfo(file).absoluteFilePath();
    try {
        db::backupDatabaseFile(database, target);
    } catch (const db::DbError& e) {
        *message = QStringLiteral("The backup of %1 failed: %2").arg(native(database), e.text());
        return 1;
    }
    *message = QStringLiteral("Backed up %1 to %2.").arg(native(database), native(target));
    return 0;
}

int upgradeFromShell(const Places& places, const QString& address, QString* message) {
    const QString dbConn = address.isEmpty() ? dbConnOf(places) : address;
    const QString where = dbConn.isEmpty() ? native(places.defaultDatabase()) : dbConn;
    if (!db::Connection::isServerAddress(dbConn) && !QFileInfo::exists(dbConn.isEmpty() ? places.defaultDatabase() : dbConn)) {
        *message = QStringLiteral("There is no database at %1.").arg(where);
        return 1;
    }
    db::Connection c;
    try {
        c.open(dbConn.isEmpty() ? db::Connection::connStringForFile(places.defaultDatabase())
                                : db::Connection::connStringFor(dbConn));
    } catch (const db::DbError& e) {
        *message = QStringLiteral("%1 cannot be opened: %2").arg(where, e.text());
        return 1;
    }
    const SchemaUpgrade r = upgradeSchema(c);
    if (!r.error.isEmpty()) {
        *message = QStringLiteral("%1 could not be brought up to date; it was left as it was: %2").arg(where, r.error);
        return 1;
    }
    if (r.done.isEmpty()) {
        *message = QStringLiteral("%1 is up to date.").arg(where);
        return 0;
    }
    *message = QStringLiteral("%1 has been brought up to date:\n- %2").arg(where, r.done.join(QStringLiteral("\n- ")));
    if (!r.backup.isEmpty())
        *message += QStringLiteral("\nA copy of it as it was before is kept as %1.").arg(native(r.backup));
    return 0;
}

int runCommandLine(const CommandLine& cmd, int argc, char** argv) {
    switch (cmd.action) {
    case CommandLine::Version:
        print(stdout, versionText());
        return 0;
    case CommandLine::Usage:
        print(stderr, cmd.error + QStringLiteral("\nTry 'tallix --help'."));
        return 2;
    case CommandLine::Help: {
        QCoreApplication app(argc, argv);  // for the program's folder; no display
        print(stdout, helpText(Places::forProgram()));
        return 0;
    }
    case CommandLine::Backup: {
        QCoreApplication app(argc, argv);
        QString message;
        const int status = backupFromShell(Places::forProgram(), cmd.file, &message);
        print(status == 0 ? stdout : stderr, message);
        return status;
    }
    case CommandLine::Upgrade: {
        QCoreApplication app(argc, argv);
        QString message;
        const int status = upgradeFromShell(Places::forProgram(), cmd.file, &message);
        print(status == 0 ? stdout : stderr, message);
        return status;
    }
    case CommandLine::Run:
        break;
    }
    return 0;
}
