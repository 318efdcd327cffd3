// The daily backups and their rotation (dates given, not taken from the
// clock), the System menu's "Backup Database…" and "Restore Database…", and
// what both say on a database server.
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <functional>

#include "app/BackupCommands.h"
#include "app/Backups.h"
#include "app/db/Backup.h"
#include "tests/support/AppFixture.h"

using testsupport::TestDb;

class TestBackups : public QObject, testsupport::AppFixture {
    Q_OBJECT

    QString folder() const { return t->dir() + "/backups"; }
    QStringList files() const {
        QStringList l = QDir(folder()).entryList(QDir::Files);
        l.sort();
        return l;
    }
    // Runs the daily backup for every day from first to last for which
    // take(day) holds.
    bool days(const QDate& first, const QDate& last, const std::function<bool(const QDate&)>& take = {}) {
        for (QDate d = first; d <= last; d = d.addDays(1)) {
            if (take && !take(d)) continue;
            const backups::Outcome o = backups::dailyBackup(t->dbPath(), folder(), d);
            if (!o.error.isEmpty() || !o.made) {
                qWarning("%s: %s", qPrintable(d.toString(Qt::ISODate)), qPrintable(o.error));
                return false;
            }
        }
        return true;
    }
    void needsFile() {
        if (TestDb::onServer()) QSKIP("backups of a database file: the embedded engine only");
    }
    // Chooses a System menu entry with the mouse, as a user does.
    void chooseFromSystemMenu(QAction* entry) {
        main->show();
        QMenuBar* bar = main->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(main->N1->menuAction()).center());
        QTRY_VERIFY(main->N1->isVisible());
        QTest::mouseClick(main->N1, Qt::LeftButton, {}, main->N1->actionGeometry(entry).center());
    }
    int customers(const QString& file) {
        const QString name = "count-" + file;
        int n = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
            db.setDatabaseName(file);
            QSqlQuery q(db);
            if (db.open() && q.exec("select count(*) from custom") && q.next()) n = q.value(0).toInt();
        }
        QSqlDatabase::removeDatabase(name);
        return n;
    }

private slots:
    void init() { QVERIFY(start()); }
    void cleanup() { stop(); }

    void sevenDailyAndFourWeeklyCopiesAreKept() {
        needsFile();
        // Sixty days from Monday 1 January 2024 to Thursday 29 February.
        QVERIFY(days(QDate(2024, 1, 1), QDate(2024, 2, 29)));
        QCOMPARE(files(), QStringList({"custom-daily-2024-02-23.db", "custom-daily-2024-02-24.db",
                                       "custom-daily-2024-02-25.db", "custom-daily-2024-02-26.db",
                                       "custom-daily-2024-02-27.db", "custom-daily-2024-02-28.db",
                                       "custom-daily-2024-02-29.db", "custom-weekly-2024-W06.db",
                                       "custom-weekly-2024-W07.db", "custom-weekly-2024-W08.db",
                                       "custom-weekly-2024-W09.db"}));
        // A weekly copy is the week's first: Monday 26 February's.
        QCOMPARE(QFile(folder() + "/custom-weekly-2024-W09.db").size(),
                 QFile(folder() + "/custom-daily-2024-02-26.db").size());
        // Another start the same day makes no second copy.
        const backups::Outcome again = backups::dailyBackup(t->dbPath(), folder(), QDate(2024, 2, 29));
        QVERIFY(!again.made);
        QVERIFY(again.error.isEmpty());
        QCOMPARE(files().size(), 11);
        for (const QString& f : files()) QCOMPARE(db::checkTallixDatabase(folder() + "/" + f), QString());
    }

    void daysWithoutAStartAndTheTurnOfTheYear() {
        needsFile();
        // Weekdays only, across the new year (2020 has an ISO week 53).
        QVERIFY(days(QDate(2020, 12, 14), QDate(2021, 1, 15), [](const QDate& d) { return d.dayOfWeek() <= 5; }));
        QCOMPARE(files(), QStringList({"custom-daily-2021-01-07.db", "custom-daily-2021-01-08.db",
                                       "custom-daily-2021-01-11.db", "custom-daily-2021-01-12.db",
                                       "custom-daily-2021-01-13.db", "custom-daily-2021-01-14.db",
                                       "custom-daily-2021-01-15.db", "custom-weekly-2020-W52.db",
                                       "custom-weekly-2020-W53.db", "custom-weekly-2021-W01.db",
                                       "custom-weekly-2021-W02.db"}));
    }

    void otherFilesInTheFolderAreLeftAlone() {
        needsFile();
        QVERIFY(QDir().mkpath(folder()));
        const QStringList others = {"other-daily-2023-01-01.db", "custom-before-restore-2023-01-01-101010.db",
                                    "custom-daily-2023-01-01.db.part-1234", "notes.txt", "custom-daily-old.db"};
        for (const QString& name : others) {
            QFile f(folder() + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(days(QDate(2024, 3, 1), QDate(2024, 3, 20)));
        for (const QString& name : others) QVERIFY2(files().contains(name), qPrintable(name));
        QCOMPARE(files().size(), others.size() + 7 + 4);
        // A failed copy deletes nothing.
        const backups::Outcome failed = backups::dailyBackup(t->dir() + "/missing.db", folder(), QDate(2024, 3, 21));
        QVERIFY(!failed.made);
        QVERIFY(!failed.error.isEmpty());
        QCOMPARE(files().size(), others.size() + 7 + 4);
    }

    void theStartMakesTheCopyUnlessTurnedOff() {
        const QDate today(2024, 5, 17);
        t->data()->ConfigIni->writeInteger("Backup", "Daily", 0);
        dailyBackupAtStart(*t->data(), today);
        QVERIFY(!QFileInfo::exists(folder()));
        t->data()->ConfigIni->writeString("Backup", "Daily", "");
        dailyBackupAtStart(*t->data(), today);
        QCOMPARE(dlg->messages(), QStringList());
        if (TestDb::onServer()) {
            QVERIFY(!QFileInfo::exists(folder()));  // the server's administrator's work
            return;
        }
        QCOMPARE(files(), QStringList({"custom-daily-2024-05-17.db", "custom-weekly-2024-W20.db"}));
        // A failure is told, and the program goes on.
        QVERIFY(QDir(folder()).removeRecursively());
        QFile blocker(folder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        dailyBackupAtStart(*t->data(), today.addDays(1));
        QCOMPARE(dlg->messages(), QStringList({"The daily backup of the database could not be made."}));
        QVERIFY(t->data()->Connection->connected());
    }

    void backupDatabaseFromTheMenu() {
        const QString target = t->dir() + "/saved";
        dlg->fileAnswers << target;
        chooseFromSystemMenu(main->N51);
        QCOMPARE(main->N51->text(), QString("Backup Database…"));
        if (TestDb::onServer()) {
            QCOMPARE(dlg->requests.size(), 1);
            QVERIFY2(dlg->last()->text.contains("pg_dump"), qPrintable(dlg->last()->text));
            return;
        }
        QCOMPARE(dlg->requests[0].kind, toolkit::DialogRequest::SaveFile);
        QCOMPARE(dlg->requests[0].title, QString("Backup Database"));
        // The name without an ending gets ".db".
        QCOMPARE(dlg->messages(), QStringList({QString("The database was backed up to %1.db.").arg(target)}));
        QCOMPARE(db::checkTallixDatabase(target + ".db"), QString());
        QCOMPARE(customers(target + ".db"), customers(t->dbPath()));
        // Onto the database itself: refused, with the cause.
        dlg->clear();
        dlg->fileAnswers << t->dbPath();
        main->N51Click();
        QCOMPARE(dlg->messages(), QStringList({"The database could not be backed up."}));
        QVERIFY(dlg->last()->detail.contains("database itself"));
        QCOMPARE(db::checkTallixDatabase(t->dbPath()), QString());
    }

    void restoreRefusesWhatItCannotPutBack() {
        if (TestDb::onServer()) {
            main->N59Click();
            QCOMPARE(dlg->requests.size(), 1);
            QVERIFY(dlg->last()->text.contains("pg_dump"));
            QVERIFY(dlg->last()->text.contains("administrator"));
            return;
        }
        const int before = customers(t->dbPath());
        const QString foreign = t->dir() + "/foreign.db";
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "foreign");
            db.setDatabaseName(foreign);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("create table custom (x text)"));
        }
        QSqlDatabase::removeDatabase("foreign");
        const QString damaged = t->dir() + "/damaged.db";
        QVERIFY(QFile::copy(t->dbPath(), damaged));
        {
            QFile f(damaged);
            QVERIFY(f.open(QIODevice::ReadWrite));
            for (qint64 at = 4096; at < f.size(); at += 4096) {
                f.seek(at);
                f.write(QByteArray(12, '\x7f'));
            }
        }
        const QString refused = "This file cannot be restored: it is not a sound Tallix database.";
        for (const auto& [file, why] : {std::pair<QString, QString>{foreign, "not a Tallix database"},
                                        {damaged, "damaged"}}) {
            dlg->clear();
            dlg->fileAnswers << file;
            QVERIFY(!restoreDatabaseCommand());
            QCOMPARE(dlg->messages(), QStringList({refused}));
            QVERIFY2(dlg->last()->detail.contains(why), qPrintable(dlg->last()->detail));
        }
        dlg->clear();
        dlg->fileAnswers << t->dbPath();
        QVERIFY(!restoreDatabaseCommand());
        QCOMPARE(dlg->messages(), QStringList({"This is the database in use; choose a backup of it."}));

        // A sound backup, while another Tallix has the database open.
        const QString saved = t->dir() + "/saved.db";
        db::backupDatabaseFile(t->dbPath(), saved);
        const QString inUse =
            "The database cannot be restored while another program has it open. Close Tallix everywhere else, "
            "then try again.";
        {
            db::PresenceMark other(t->dbPath());
            dlg->clear();
            dlg->fileAnswers << saved;
            QVERIFY(!restoreDatabaseCommand());
            QCOMPARE(dlg->messages(), QStringList({inUse}));
        }
        {
            // Or while another program is in the middle of a transaction.
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "busy");
            db.setDatabaseName(t->dbPath());
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("begin immediate"));
            dlg->clear();
            dlg->fileAnswers << saved;
            QVERIFY(!restoreDatabaseCommand());
            QCOMPARE(dlg->messages(), QStringList({inUse}));
            QVERIFY(q.exec("rollback"));
        }
        QSqlDatabase::removeDatabase("busy");
        // Answering No changes nothing either.
        dlg->clear();
        dlg->fileAnswers << saved;
        dlg->answers << QMessageBox::No;
        QVERIFY(!restoreDatabaseCommand());
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Question);
        QCOMPARE(customers(t->dbPath()), before);
        QVERIFY(!QFileInfo::exists(folder()));  // no copy kept of a restore that did not happen
    }

    void restorePutsTheBackupInPlaceAndKeepsTheOldData() {
        if (TestDb::onServer()) QSKIP("the menu entry's message on a server: see the test before");
        const QString saved = t->dir() + "/saved.db";
        db::backupDatabaseFile(t->dbPath(), saved);
        const int saving = customers(saved);
        QVERIFY(t->exec("delete from contact"));
        QVERIFY(t->exec("delete from custom"));
        main->show();
        dlg->fileAnswers << saved;
        main->N59Click();
        QCOMPARE(dlg->requests[0].kind, toolkit::DialogRequest::OpenFile);
        QCOMPARE(dlg->requests[0].title, QString("Restore Database"));
        QCOMPARE(dlg->requests.size(), 3);  // the file, the question, the message
        const QStringList kept = QDir(folder()).entryList({"custom-before-restore-*.db"});
        QCOMPARE(kept.size(), 1);
        QVERIFY2(dlg->last()->text.startsWith(QString("The database was restored from %1. The data it held "
                                                       "before is kept in %2/%3.")
                                                  .arg(saved, folder(), kept[0])),
                 qPrintable(dlg->last()->text));
        QVERIFY(dlg->last()->text.contains("Tallix closes now"));
        QCOMPARE(customers(t->dbPath()), saving);
        QCOMPARE(customers(folder() + "/" + kept[0]), 0);  // the data as it was before
        QVERIFY(!main->isVisible());  // the program ends, as it said
    }
};

QTEST_MAIN(TestBackups)
#include "tst_backups.moc"
