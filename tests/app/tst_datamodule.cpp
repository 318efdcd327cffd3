#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTest>
#include <unistd.h>

#include "app/DbAddress.h"
#include "app/U_Main.h"
#include "app/db/DbError.h"
#include "app/db/Dialect.h"
#include "tests/support/TestDb.h"
#include "toolkit/Guard.h"
#include "toolkit/ScriptedDialogs.h"

using testsupport::TestDb;

namespace {
// Makes a file or folder read-only for this process, also for root (whom
// permission bits do not stop) through the immutable attribute.
class ReadOnly {
public:
    explicit ReadOnly(const QString& path) : path_(path) {
        if (::geteuid() != 0) {
            ok_ = QFile::setPermissions(path, QFileInfo(path).isDir()
                                                  ? QFile::ReadOwner | QFile::ExeOwner
                                                  : QFile::ReadOwner);
        } else {
            immutable_ = QProcess::execute("chattr", {"+i", path}) == 0;
            ok_ = immutable_ && !QFileInfo(path).isWritable();
        }
    }
    ~ReadOnly() {
        if (immutable_) QProcess::execute("chattr", {"-i", path_});
        else QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool ok() const { return ok_; }

private:
    QString path_;
    bool ok_ = false;
    bool immutable_ = false;
};
}  // namespace
using toolkit::ScriptedDialogs;

class TestDataModule : public QObject {
    Q_OBJECT

    static void writeConfig(const TestDb& t, const QByteArray& text) {
        QFile f(t.dir() + "/config.ini");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    // The failure path: fixed message, DBConn emptied, program asked to end.
    static void expectConnectionFailure(TestDb& t, ScriptedDialogs& dlg) {
        TFrm_Data* d = t.openData();
        QVERIFY(!d->DBConnected);
        QVERIFY(d->terminateRequested());
        QCOMPARE(dlg.requests.size(), 1);
        QCOMPARE(dlg.requests[0].text, QString("连接数据库失败! "));
        QCOMPARE(dlg.requests[0].title, QString("客户管理系统"));
        QCOMPARE(dlg.requests[0].icon, toolkit::Icon::Information);
        QCOMPARE(d->ConfigIni->readString("Config", "DBConn", "unset"), QString());
        QVERIFY(!d->Qry_Custom->active());
    }

private slots:
    void initTestCase() { TALLIX_SKIP_WITHOUT_TEST_SERVER(); }

    void opensDefaultDatabaseWithoutConfig() {
        if (TestDb::onServer()) QSKIP("a database file's handling: the embedded engine only");
        TestDb t;
        QVERIFY(t.ok());
        ScriptedDialogs dlg;
        TFrm_Data* d = t.openData();
        QVERIFY(d->DBConnected);
        QVERIFY(!d->terminateRequested());
        QVERIFY(dlg.requests.isEmpty());
        QVERIFY(d->Qry_Custom->active());
        QCOMPARE(d->Qry_Custom->recordCount(), 1);
        QVERIFY(d->ConnString.endsWith(t.dbPath()));
        QVERIFY(!QFile::exists(t.dir() + "/config.ini"));  // nothing written
        QCOMPARE(d->Qry_Cust->sql(), QString("select * from custom"));
    }

    void dbConnNamesAnotherFile() {
        if (TestDb::onServer()) QSKIP("a database file's handling: the embedded engine only");
        TestDb t;
        QVERIFY(t.ok());
        const QString other = t.dir() + "/other copy.db";
        QVERIFY(QFile::copy(t.dbPath(), other));
        writeConfig(t, ("[CONFIG]\ndbconn=" + other + "\n").toUtf8());
        ScriptedDialogs dlg;
        TFrm_Data* d = t.openData();
        QVERIFY(d->DBConnected);
        QVERIFY(d->ConnString.endsWith(other));
    }

    void missingFileFailsAndClearsDBConn() {
        if (TestDb::onServer()) QSKIP("a database file's handling: the embedded engine only");
        TestDb t;
        QVERIFY(t.ok());
        writeConfig(t, "[Config]\nDBConn=/no/such/file.db\nCategory=All\n");
        ScriptedDialogs dlg;
        expectConnectionFailure(t, dlg);
        QVERIFY(!QFile::exists("/no/such/file.db"));  // never created
        // Other keys survive; the next start uses the default file.
        QCOMPARE(t.data()->ConfigIni->readString("Config", "Category", ""), QString("All"));
        dlg.clear();
        QVERIFY(t.openData()->DBConnected);
    }

    void fileThatIsNotADatabase() {
        if (TestDb::onServer()) QSKIP("a database file's handling: the embedded engine only");
        TestDb t;
        QVERIFY(t.ok());
        const QString junk = t.dir() + "/junk.db";
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        writeConfig(t, ("[Config]\nDBConn=" + junk + "\n").toUtf8());
        ScriptedDialogs dlg;
        expectConnectionFailure(t, dlg);
        QCOMPARE(QFileInfo(junk).size(), 4096);  // left as it was
    }

    void databaseWithoutOurTables() {
        if (TestDb::onServer()) QSKIP("a database file's handling: the embedded engine only");
        TestDb t;
        QVERIFY(t.ok());
        const QString foreign = t.dir() + "/foreign.db";
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "foreign");
            other.setDatabaseName(foreign);
            QVERIFY(other.open());
            QVERIFY(QSqlQuery(other).exec("create table notes (x text)"));
            other.close();
        }
        QSqlDatabase::removeDatabase("foreign");
        writeConfig(t, ("[Config]\nDBConn=" + foreign + "\n").toUtf8());
        ScriptedDialogs dlg;
        expectConnectionFailure(t, dlg);
        QVERIFY2(dlg.requests[0].detail.contains("not a Tallix database"), qPrintable(dlg.requests[0].detail));
    }

    // A Tallix database whose catalogue reads but whose data is damaged is
    // said to be damaged, not to be some other program's database.
    void damagedTallixDatabase() {
        if (TestDb::onServer()) QSKIP("a database file's handling: the embedded engine only");
        TestDb t;
        QVERIFY(t.ok());
        int page = 0, size = 0;
        {
            QSqlDatabase c = QSqlDatabase::addDatabase("QSQLITE", "inspect");
            c.setDatabaseName(t.dbPath());
            QVERIFY(c.open());
            QSqlQuery q(c);
            QVERIFY(q.exec("select rootpage from sqlite_master where name='info'") && q.next());
            page = q.value(0).toInt();
            QVERIFY(q.exec("pragma page_size") && q.next());
            size = q.value(0).toInt();
            q.finish();
            c.close();
        }
        QSqlDatabase::removeDatabase("inspect");
        QVERIFY(page > 1);
        {
            QFile f(t.dbPath());
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(qint64(page - 1) * size));
            f.write(QByteArray(size, '\xAB'));
        }
        ScriptedDialogs dlg;
        expectConnectionFailure(t, dlg);
        const QString why = dlg.requests[0].detail;
        QVERIFY2(why.contains("damaged") && !why.contains("not a Tallix database"), qPrintable(why));
    }

    // The fixed text stays; the cause comes with it as detail. A bad file is
    // never changed, an empty one never turned into a database.
    void failureSaysWhy_data() {
        QTest::addColumn<QByteArray>("content");  // "<missing>" and "<folder>" make no file
        QTest::addColumn<QString>("why");
        QTest::newRow("missing") << QByteArray("<missing>") << "does not exist";
        QTest::newRow("folder") << QByteArray("<folder>") << "is a folder";
        QTest::newRow("empty") << QByteArray() << "empty (0 bytes)";
        QTest::newRow("text") << QByteArray("DBConn=my notes\n") << "not a database";
        QByteArray damaged("SQLite format 3", 16);
        damaged += QByteArray(8192, '\x5a');
        QTest::newRow("damaged") << damaged << "damaged";
    }
    void failureSaysWhy() {
        if (TestDb::onServer()) QSKIP("a database file's handling: the embedded engine only");
        QFETCH(QByteArray, content);
        QFETCH(QString, why);
        TestDb t;
        QVERIFY(t.ok());
        const QString path = t.dir() + "/bad.db";
        if (content == "<folder>") {
            QVERIFY(QDir(t.dir()).mkdir("bad.db"));
        } else if (content != "<missing>") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        writeConfig(t, ("[Config]\nDBConn=" + path + "\n").toUtf8());
        ScriptedDialogs dlg;
        expectConnectionFailure(t, dlg);
        QVERIFY2(dlg.requests[0].detail.contains(why), qPrintable(dlg.requests[0].detail));
        if (content != "<missing>" && content != "<folder>") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), content);  // left exactly as it was
            QVERIFY(!QFile::exists(path + "-wal") && !QFile::exists(path + "-journal"));
        }
    }

    // Another program holds the file locked for the whole time it takes to
    // open it: the failure says so.
    void lockedFileSaysWhy() {
        if (TestDb::onServer()) QSKIP("a database file's locking: the embedded engine only");
        TestDb t;
        QVERIFY(t.ok());
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "holder");
            other.setDatabaseName(t.dbPath());
            QVERIFY(other.open());
            QSqlQuery(other).exec("pragma journal_mode=DELETE");  // a file used before may hold a log
            QVERIFY(QSqlQuery(other).exec("begin exclusive"));
            ScriptedDialogs dlg;
            expectConnectionFailure(t, dlg);
            if (QTest::currentTestFailed()) return;
            QVERIFY2(dlg.requests[0].detail.contains("locked by another program"), qPrintable(dlg.requests[0].detail));
            QSqlQuery(other).exec("rollback");
            other.close();
        }
        QSqlDatabase::removeDatabase("holder");
    }

    // A database the user may read but not write opens for reading, says so
    // once, and refuses changes in words.
    void readOnlyDatabaseOpensForReading_data() {
        QTest::addColumn<bool>("folder");
        QTest::newRow("read-only file") << false;
        QTest::newRow("read-only folder") << true;
    }
    void readOnlyDatabaseOpensForReading() {
        if (TestDb::onServer()) QSKIP("a database file's handling: the embedded engine only");
        QFETCH(bool, folder);
        TestDb t;
        QVERIFY(t.ok());
        const QString dataDir = t.dir() + "/data";
        QVERIFY(QDir(t.dir()).mkdir("data"));
        const QString path = dataDir + "/custom.db";
        {
            // WAL mode, as a database this program has used is.
            QVERIFY(QFile::copy(t.dbPath(), path));
            QSqlDatabase c = QSqlDatabase::addDatabase("QSQLITE", "prepare");
            c.setDatabaseName(path);
            QVERIFY(c.open());
            QSqlQuery(c).exec("pragma journal_mode=WAL");
            QVERIFY(QSqlQuery(c).exec("insert into custom (Company) values ('Kept Ltd')"));
            c.close();
        }
        QSqlDatabase::removeDatabase("prepare");
        writeConfig(t, ("[Config]\nDBConn=" + path + "\n").toUtf8());
        ReadOnly lock(folder ? dataDir : path);
        if (!lock.ok()) QSKIP("cannot make a file read-only here (running as root without chattr)");

        ScriptedDialogs dlg;
        TFrm_Data* d = t.openData();
        QVERIFY(d->DBConnected);
        QVERIFY(!d->terminateRequested());
        QCOMPARE(dlg.requests.size(), 1);
        QVERIFY2(dlg.requests[0].text.contains("reading only"), qPrintable(dlg.requests[0].text));
        QCOMPARE(d->ConfigIni->readString("Config", "DBConn", ""), path);  // not forgotten
        {
            // Kept in view after the start-up message.
            TFrm_Main m;
            m.FormShow();
            QVERIFY2(m.statusNote().startsWith("Read only: "), qPrintable(m.statusNote()));
        }
        d->Qry_Cust->open();
        QCOMPARE(d->Qry_Cust->asString("Company"), QString("Kept Ltd"));
        d->Qry_Cust->append();
        d->Qry_Cust->setValue("Company", "New Ltd");
        try {
            db::postOrCancel(d->Qry_Cust);
            QFAIL("a read-only database took a change");
        } catch (const db::DbError& e) {
            QCOMPARE(e.text(), db::readOnlyMessage());
        }
        QCOMPARE(d->Qry_Cust->recordCount(), 1);
    }

    void fillCombosTrimAndOrder() {
        TestDb t;
        QVERIFY(t.ok());
        ScriptedDialogs dlg;
        TFrm_Data* d = t.openData();
        QVERIFY(t.exec("delete from country"));
        QVERIFY(t.exec("insert into country (name) values ('Zambia  ')"));
        QVERIFY(t.exec("insert into country (name) values ('  Austria')"));
        QVERIFY(t.exec("insert into country (name) values ('Mali')"));
        QComboBox combo;
        combo.addItem("stale");
        d->FillComboByName(d->Qry_Country, &combo, "country");
        QCOMPARE(combo.count(), 3);
        QCOMPARE(combo.itemText(0), QString("Austria"));
        QCOMPARE(combo.itemText(1), QString("Mali"));
        QCOMPARE(combo.itemText(2), QString("Zambia"));
        QCOMPARE(combo.currentIndex(), -1);
        TFrm_Main main;
        main.FillComboById(d->Qry_Country, &combo, "country");
        QCOMPARE(combo.itemText(0), QString("Zambia"));
        QCOMPARE(combo.itemText(1), QString("Austria"));
        QCOMPARE(combo.itemText(2), QString("Mali"));
        QCOMPARE(combo.currentIndex(), -1);
        QVERIFY(t.exec("delete from country"));
        d->FillComboByName(d->Qry_Country, &combo, "country");
        QCOMPARE(combo.count(), 0);
        // A missing table reaches the caller as an engine error.
        QVERIFY_THROWS_EXCEPTION(db::DbError, d->FillComboByName(d->Qry_Temp, &combo, "nosuchlist"));
    }

    void engineErrorGoesToTheErrorBox() {
        TestDb t;
        QVERIFY(t.ok());
        ScriptedDialogs dlg;
        TFrm_Data* d = t.openData();
        const bool ok = toolkit::guarded([d] {
            d->Qry_Temp->setSql("select * from custom where");
            d->Qry_Temp->open();
        });
        QVERIFY(!ok);
        QCOMPARE(dlg.errors().size(), 1);
        QVERIFY2(dlg.errors()[0].contains("syntax error", Qt::CaseInsensitive) ||
                     dlg.errors()[0].contains("incomplete input", Qt::CaseInsensitive),
                 qPrintable(dlg.errors()[0]));
        // The program goes on: the next statement works.
        d->Qry_Temp->setSql("select * from custom");
        d->Qry_Temp->open();
        QVERIFY(d->Qry_Temp->active());
    }

    // Another workstation holds a lock: the save is refused in words after
    // a wait, the row stays pending, and goes through once the lock is gone.
    void lockedDatabaseReportsAndLosesNothing() {
        TestDb t;
        QVERIFY(t.ok());
        ScriptedDialogs dlg;
        TFrm_Data* d = t.openData();
        QVERIFY(t.exec("insert into custom (Company) values ('Held Ltd')"));
        db::Connection other;
        other.open(d->ConnString);
        other.beginTrans();
        db::Query hold(&other);
        // The embedded engine locks the whole file for a writer; a server
        // locks the row being changed.
        hold.setSql(TestDb::onServer() ? "update custom set Tel='1' where Company='Held Ltd'"
                                       : "insert into custom (Company) values ('held')");
        hold.execSql();
        d->Qry_Cust->open();
        if (TestDb::onServer()) d->Qry_Cust->edit();
        else d->Qry_Cust->append();
        d->Qry_Cust->setValue("Company", "mine");
        try {
            d->Qry_Cust->post();
            QFAIL("post went through a held lock");
        } catch (const db::DbError& e) {
            // Said in words a user can act on, not as the engine's text.
            QVERIFY2(e.text().contains("Another workstation is saving"), qPrintable(e.text()));
            QVERIFY(!e.text().contains("Unable to fetch row"));
        }
        QVERIFY(d->Qry_Cust->changing());
        other.rollbackTrans();
        d->Qry_Cust->post();  // the same change goes through once the lock is gone
        QCOMPARE(t.scalar("select count(*) from custom where Company='mine'"), 1);
    }

    // Something else in the program opens and closes the database file (a
    // file dialog looking at its folder does): another program reading the
    // file afterwards must still see every change made here.
    void anotherProgramSeesEveryChange() {
        if (TestDb::onServer()) QSKIP("a database file's sharing: the embedded engine only");
        if (QStandardPaths::findExecutable("sqlite3").isEmpty()) QFAIL("sqlite3 is not installed");
        TestDb t;
        QVERIFY(t.ok());
        ScriptedDialogs dlg;
        TFrm_Data* d = t.openData();
        auto seenElsewhere = [&] {
            QProcess p;
            p.start("sqlite3", {t.dbPath(), "select count(*) from custom"});
            p.waitForFinished(10000);
            return QString::fromUtf8(p.readAllStandardOutput()).trimmed().toInt();
        };
        QVERIFY(t.exec("insert into custom (Company) values ('One')"));
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
            QFile peek(t.dbPath() + suffix);
            if (peek.open(QIODevice::ReadOnly)) peek.read(64);
        }
        QCOMPARE(seenElsewhere(), 1);
        QVERIFY(t.exec("insert into custom (Company) values ('Two')"));
        QCOMPARE(seenElsewhere(), 2);
        d->Qry_Cust->open();
        QCOMPARE(d->Qry_Cust->recordCount(), 2);
    }

    // A database server named in DBConn: reached, or refused with the cause;
    // its address is kept for the next start either way.
    void serverAddressKeptOnFailure_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("why");
        QTest::newRow("nobody listening") << "postgresql://tallix@127.0.0.1:1/tallix" << "cannot be reached";
        QTest::newRow("no such database") << "<server>/no_such_database" << "no such database";
        QTest::newRow("refused password") << "<stranger>/tallix_template" << "refused the user name or password";
        QTest::newRow("not an address") << "postgresql://[::1/x" << "Not a database server address";
    }
    void serverAddressKeptOnFailure() {
        QFETCH(QString, address);
        QFETCH(QString, why);
        if (!TestDb::onServer()) QSKIP("needs the test database server");
        TestDb t;
        QVERIFY(t.ok());
        const QString server = qEnvironmentVariable("TALLIX_TEST_PG");
        address.replace("<server>", server);
        address.replace("<stranger>", QString(server).replace("tallix@", "stranger@"));
        writeConfig(t, ("[Config]\nDBConn=" + address + "\n").toUtf8());
        qputenv("PGPASSWORD", "wrong");
        ScriptedDialogs dlg;
        TFrm_Data* d = t.openData();
        qunsetenv("PGPASSWORD");
        QVERIFY(!d->DBConnected);
        QVERIFY(d->terminateRequested());
        QCOMPARE(dlg.requests.size(), 1);
        QCOMPARE(dlg.requests[0].text, QString("连接数据库失败! "));
        QVERIFY2(dlg.requests[0].detail.contains(why), qPrintable(dlg.requests[0].detail));
        QCOMPARE(d->ConfigIni->readString("Config", "DBConn", ""), address);
    }

    // A mistyped scheme is no file name: refused as what it is, and kept so
    // that it can be mended.
    void unknownSchemeRefusedAndKept_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("mistyped") << "postgressql://anna@dbserver:5432/tallix";
        QTest::newRow("other kind") << "mysql://dbserver/tallix";
    }
    void unknownSchemeRefusedAndKept() {
        QFETCH(QString, address);
        TestDb t;
        QVERIFY(t.ok());
        writeConfig(t, ("[Config]\nDBConn=" + address + "\n").toUtf8());
        ScriptedDialogs dlg;
        TFrm_Data* d = t.openData();
        QVERIFY(!d->DBConnected);
        QVERIFY(d->terminateRequested());
        QCOMPARE(dlg.requests.size(), 1);
        QCOMPARE(dlg.requests[0].text, QString("连接数据库失败! "));
        QVERIFY2(dlg.requests[0].detail.contains("is not a database file nor a postgresql:// address"),
                 qPrintable(dlg.requests[0].detail));
        QCOMPARE(d->ConfigIni->readString("Config", "DBConn", ""), address);
        QVERIFY(!QFile::exists(t.dir() + "/" + address.section('/', -1)));
    }

    // An address in config.ini that holds a password still opens, and the
    // user is told to move the password; config.ini is not written.
    void passwordInTheAddressUsedAndWarned() {
        if (!TestDb::onServer()) QSKIP("needs the test database server");
        TestDb t;
        QVERIFY(t.ok());
        QString address = t.dbConn();
        address.replace("tallix@", "tallix:not-needed@");
        const QByteArray ini = ("[Config]\nDBConn=" + address + "\n").toUtf8();
        writeConfig(t, ini);
        ScriptedDialogs dlg;
        TFrm_Data* d = t.openData();
        QVERIFY(d->DBConnected);
        QCOMPARE(dlg.messages(), QStringList({passwordInConfigText()}));
        QCOMPARE(dlg.last()->icon, toolkit::Icon::Warning);
        QVERIFY(passwordInConfigText().contains(".pgpass") && passwordInConfigText().contains("PGPASSWORD"));
        QFile f(t.dir() + "/config.ini");
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), ini);
    }

    // The server goes away while the program runs: a clear message, no
    // crash, nothing half-written.
    void serverGoneWhileRunning() {
        if (!TestDb::onServer()) QSKIP("needs the test database server");
        TestDb t;
        QVERIFY(t.ok());
        ScriptedDialogs dlg;
        TFrm_Data* d = t.openData();
        d->Qry_Cust->open();
        db::Connection other;
        other.open(t.connString());
        db::Query kill(&other);
        kill.setSql("select pg_terminate_backend(pid) from pg_stat_activity "
                    "where datname = current_database() and pid <> pg_backend_pid()");
        kill.open();
        d->Qry_Cust->append();
        d->Qry_Cust->setValue("Company", "Lost Ltd");
        const bool ok = toolkit::guarded([&] { db::postOrCancel(d->Qry_Cust); });
        QVERIFY(!ok);
        QCOMPARE(dlg.errors().size(), 1);
        QVERIFY2(dlg.errors()[0].contains("connection to the database server was lost"), qPrintable(dlg.errors()[0]));
        QVERIFY(!d->Qry_Cust->changing());
        db::Query check(&other);
        check.setSql("select count(*) from custom where Company='Lost Ltd'");
        check.open();
        QCOMPARE(check.field(0).asInteger(), 0);
    }
};

QTEST_MAIN(TestDataModule)
#include "tst_datamodule.moc"
