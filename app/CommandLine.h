#pragma once
// The program's options, answered before any window system is asked for:
//   tallix --backup FILE   a consistent copy of the database to FILE, for cron
//   tallix --upgrade-database [ADDRESS]  an older database brought up to date
//                          (on a server, by the database's owner)
//   tallix --version, tallix --help
// Every other argument is left to Qt (-platform, -style, ...).
#include <QString>
#include <QStringList>

class Places;

struct CommandLine {
    enum Action { Run, Help, Version, Backup, Upgrade, Usage } action = Run;
    QString file;   // --backup's file, --upgrade-database's address (may be empty)
    QString error;  // Usage: what was wrong
};

// args are the program's arguments without its own name.
CommandLine parseCommandLine(const QStringList& args);

QString versionText();
// The options, and where this copy of the program keeps its files.
QString helpText(const Places& places);

// --backup: the database that the program would open (config.ini's DBConn,
// or the default one) copied to file. The exit status: 0 done, 1 failed
// (message in *message), 2 nothing to copy here (a database server).
int backupFromShell(const Places& places, const QString& file, QString* message);

// --upgrade-database: the database at address (a file or a server address;
// empty: the one the program would open) brought up to the latest schema
// version. The exit status: 0 done or nothing to do, 1 failed.
int upgradeFromShell(const Places& places, const QString& address, QString* message);

// Answers an option other than Run; returns the exit status. Builds only
// a QCoreApplication, never a window system.
int runCommandLine(const CommandLine& cmd, int argc, char** argv);
