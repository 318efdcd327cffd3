// The program's options: how they are read, --backup for cron, and the real
// program answering --version, --help and --backup without a display. (The
// installed program in a fresh home folder: tests/package/check-package.sh.)
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/CommandLine.h"
#include "app/Places.h"
#include "app/db/Backup.h"
#include "app/db/Query.h"
#include "app/db/Connection.h"

namespace {
struct Run {
    int status = -1;
    QString out, err;
};

// The program without any display: no X, no Wayland, no platform chosen.
QProcessEnvironment bare(const QString& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                          "XDG_RUNTIME_DIR"})
        env.remove(QString::fromLatin1(v));
    env.insert("HOME", home);
    return env;
}

Run run(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

bool copyProgram(const QString& folder) {
    const QString to = folder + "/tallix";
    return QDir().mkpath(folder) && QFile::copy(TALLIX_PROGRAM, to) &&
           QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
}  // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void optionsAreRead() {
        using C = CommandLine;
        QCOMPARE(parseCommandLine({}).action, C::Run);
        // Qt's own options are Qt's.
        QCOMPARE(parseCommandLine({"-platform", "offscreen", "-style", "fusion"}).action, C::Run);
        QCOMPARE(parseCommandLine({"--version"}).action, C::Version);
        const C b = parseCommandLine({"--backup", "/tmp/copy.db"});
        QCOMPARE(b.action, C::Backup);
        QCOMPARE(b.file, QString("/tmp/copy.db"));
        QCOMPARE(parseCommandLine({"--backup=/tmp/b c.db"}).file, QString("/tmp/b c.db"));
        const C u = parseCommandLine({"--upgrade-database", "postgresql://owner@db/office"});
        QCOMPARE(u.action, C::Upgrade);
        QCOMPARE(u.file, QString("postgresql://owner@db/office"));
        QCOMPARE(parseCommandLine({"--upgrade-database"}).action, C::Upgrade);
        QCOMPARE(parseCommandLine({"--upgrade-database"}).file, QString());
        QCOMPARE(parseCommandLine({"--upgrade-database", "--backup", "x.db"}).action, C::Usage);
        // --help wins over everything, also over mistakes.
        QCOMPARE(parseCommandLine({"--backup", "--help"}).action, C::Help);
        QCOMPARE(parseCommandLine({"--version", "-h"}).action, C::Help);
        for (const QStringList& wrong : {QStringList{"--backup"}, QStringList{"--backup="},
                                         QStringList{"--backup", "--version"},
                                         QStringList{"--version", "--backup", "x.db"}}) {
            const C c = parseCommandLine(wrong);
            QCOMPARE(c.action, C::Usage);
            QVERIFY(!c.error.isEmpty());
        }
    }

    void backupFromTheShell() {
        QTemporaryDir dir, home;
        const UserFolders user{home.path() + "/c", home.path() + "/d", home.path() + "/docs"};
        QVERIFY(QFile::copy(TALLIX_SUPPLIED_DB, dir.path() + "/custom.db"));
        const Places p(dir.path(), user);
        QString message;
        QCOMPARE(backupFromShell(p, dir.path() + "/copy.db", &message), 0);
        QCOMPARE(message, QString("Backed up %1/custom.db to %1/copy.db.").arg(dir.path()));
        QCOMPARE(db::checkTallixDatabase(dir.path() + "/copy.db"), QString());
        QCOMPARE(backupFromShell(p, dir.path() + "/no/folder/copy.db", &message), 1);
        QVERIFY(message.contains("does not exist"));

        // DBConn names another file: that one is copied.
        QVERIFY(QFile::copy(TALLIX_SUPPLIED_DB, dir.path() + "/office.db"));
        QFile ini(dir.path() + "/config.ini");
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(("[Config]\nDBConn=" + dir.path() + "/office.db\n").toUtf8());
        ini.close();
        QCOMPARE(backupFromShell(p, dir.path() + "/copy2.db", &message), 0);
        QVERIFY(message.startsWith(QString("Backed up %1/office.db").arg(dir.path())));

        // A server's database is the administrator's.
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Config]\nDBConn=postgresql://anna@dbserver/tallix\n");
        ini.close();
        QCOMPARE(backupFromShell(p, dir.path() + "/copy3.db", &message), 2);
        QVERIFY(message.contains("pg_dump"));
        QVERIFY(!QFile::exists(dir.path() + "/copy3.db"));
    }

    // An older database file brought up to date from a shell, once; a
    // missing one said.
    void upgradeFromTheShell() {
        QTemporaryDir dir, home;
        const UserFolders user{home.path() + "/c", home.path() + "/d", home.path() + "/docs"};
        const Places p(dir.path(), user);
        QString message;
        QCOMPARE(upgradeFromShell(p, QString(), &message), 1);
        QVERIFY2(message.contains("There is no database"), qPrintable(message));
        QVERIFY(QFile::copy(TALLIX_SUPPLIED_DB, dir.path() + "/custom.db"));
        QFile::setPermissions(dir.path() + "/custom.db", QFile::ReadOwner | QFile::WriteOwner);
        {
            db::Connection c;
            c.open(db::Connection::connStringForFile(dir.path() + "/custom.db"));
            db::Query q(&c);
            q.setSql("drop table T_ImportLog");
            q.execSql();
            q.setSql("update T_SchemaVersion set Version=1");
            q.execSql();
        }
        QCOMPARE(upgradeFromShell(p, QString(), &message), 0);
        QVERIFY2(message.contains("brought up to date") && message.contains("T_ImportLog"), qPrintable(message));
        QCOMPARE(upgradeFromShell(p, QString(), &message), 0);
        QVERIFY2(message.endsWith("is up to date."), qPrintable(message));
    }

    void theProgramAnswersWithoutADisplay() {
        QTemporaryDir dir, home;
        QVERIFY(copyProgram(dir.path()));
        QVERIFY(QFile::copy(TALLIX_SUPPLIED_DB, dir.path() + "/custom.db"));
        const QString tallix = dir.path() + "/tallix";
        const QProcessEnvironment env = bare(home.path());

        Run r = run(tallix, {"--version"}, env);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QString("Tallix 1.70\n"));
        r = run(tallix, {"--help"}, env);
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains("--backup FILE"));
        QVERIFY2(r.out.contains("settings  " + dir.path() + "/config.ini"), qPrintable(r.out));
        QVERIFY(r.out.contains("database  " + dir.path() + "/custom.db"));
        r = run(tallix, {"--backup", home.path() + "/nightly.db"}, env);
        QCOMPARE(r.status, 0);
        QCOMPARE(db::checkTallixDatabase(home.path() + "/nightly.db"), QString());
        r = run(tallix, {"--backup"}, env);
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains("--backup needs"));
        QVERIFY(r.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_cmdline.moc"
