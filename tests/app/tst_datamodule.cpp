#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QTest>

#include "app/U_Main.h"
#include "app/db/DbError.h"
#include "tests/support/TestDb.h"
#include "toolkit/Guard.h"
#include "toolkit/ScriptedDialogs.h"

using testsupport::TestDb;
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
    void opensDefaultDatabaseWithoutConfig() {
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
        TestDb t;
        QVERIFY(t.ok());
        const QString empty = t.dir() + "/empty.db";
        {
            QFile f(empty);  // an empty file is a valid, empty SQLite database
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        writeConfig(t, ("[Config]\nDBConn=" + empty + "\n").toUtf8());
        ScriptedDialogs dlg;
        expectConnectionFailure(t, dlg);
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

    void lockedFileReportsAndLosesNothing() {
        TestDb t;
        QVERIFY(t.ok());
        ScriptedDialogs dlg;
        TFrm_Data* d = t.openData();
        // A second program holds the write lock.
        db::Connection other;
        other.open(d->ConnString);
        other.beginTrans();
        db::Query hold(&other);
        hold.setSql("insert into custom (Company) values ('held')");
        hold.execSql();
        d->Qry_Cust->open();
        d->Qry_Cust->append();
        d->Qry_Cust->setValue("Company", "mine");
        try {
            d->Qry_Cust->post();
            QFAIL("post went through a held lock");
        } catch (const db::DbError& e) {
            QVERIFY(e.text().contains("locked", Qt::CaseInsensitive));
        }
        QCOMPARE(d->Qry_Cust->state(), db::Query::State::Insert);
        other.rollbackTrans();
        d->Qry_Cust->post();  // the same row goes through once the lock is gone
        QCOMPARE(d->Qry_Cust->recordCount(), 1);
        QCOMPARE(d->Qry_Cust->asString("Company"), QString("mine"));
    }
};

QTEST_MAIN(TestDataModule)
#include "tst_datamodule.moc"
