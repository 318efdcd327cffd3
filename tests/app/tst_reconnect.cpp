// The database server stops and starts again under a running program: the
// windows and what is typed stay, lists keep their rows, the program
// connects again by itself, and the save tried again goes through, still
// checked against another workstation's change. Stops the whole test
// server, so ctest runs it alone.
#include <QProcess>
#include <QTest>

#include "app/Reconnect.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "customers/U_Custom.h"
#include "customers/U_addcust.h"
#include "customers/Windows.h"
#include "tests/support/AppFixture.h"
#include "toolkit/DataGrid.h"
#include "toolkit/Guard.h"

using testsupport::TestDb;

class TestReconnect : public QObject, testsupport::AppFixture {
    Q_OBJECT

    static bool server(const char* what) {
        return QProcess::execute(qEnvironmentVariable("TALLIX_TEST_PG_CTL"), {QString::fromLatin1(what)}) == 0;
    }
    std::unique_ptr<TFrm_AddCust> editor(int mode) {
        auto d = std::make_unique<TFrm_AddCust>();
        d->AddMode = mode;
        d->show();
        return d;
    }
    bool stopped_ = false;

private slots:
    void initTestCase() { registerCustomerWindows(); }
    void init() {
        if (!TestDb::onServer()) QSKIP("a database server that goes away");
        QVERIFY(!qEnvironmentVariable("TALLIX_TEST_PG_CTL").isEmpty());
        QVERIFY(start());
        QVERIFY(t->exec("insert into custom (Company, Tel, F_User) values ('Acme', '1', 'Admin'), "
                        "('Bolt', '2', 'Admin'), ('Crane', '3', 'Admin')"));
        setUser("Admin", 0);
        main->resize(1000, 700);
        main->show();  // the browser opens on all customers
        QVERIFY(Frm_Custom);
        Frm_Data->Reconnect->setInterval(200);
    }
    void cleanup() {
        if (stopped_) server("start");
        stopped_ = false;
        stop();
    }

    void anAddingGoesThroughAfterARestart() {
        db::Query* list = Frm_Data->Qry_Cust;
        QCOMPARE(list->recordCount(), 3);
        auto add = editor(1);  // a new customer typed in
        QTest::keyClicks(add->Edit_Com, "Delta Ltd");
        QTest::keyClicks(add->Edit_City, "Lyon");

        QVERIFY(server("stop"));
        stopped_ = true;
        // Saving says the server is gone; the window and its text stay.
        QTest::mouseClick(add->Btn_OK, Qt::LeftButton);
        QCOMPARE(dlg->errors().size(), 1);
        QVERIFY2(dlg->errors()[0].contains("lost") || dlg->errors()[0].contains("cannot be reached"),
                 qPrintable(dlg->errors()[0]));
        QVERIFY(add->isVisible());
        QCOMPARE(add->Edit_Com->text(), QString("Delta Ltd"));
        QCOMPARE(add->Edit_City->text(), QString("Lyon"));
        QTRY_COMPARE(Frm_Data->Reconnect->stateText(), ReconnectWatch::lostText());
        // A list read again meanwhile keeps its rows: nothing looks gone.
        QVERIFY(!toolkit::guarded([&] { main->MyCustExecute(); }));
        QCOMPARE(dlg->errors().size(), 2);
        QVERIFY2(dlg->errors()[1].contains("cannot be reached"), qPrintable(dlg->errors()[1]));
        QVERIFY(list->active());
        QCOMPARE(list->recordCount(), 3);
        QCOMPARE(Frm_Custom->DBGrid1->model()->rowCount(), 3);
        // Nothing more is said while it waits for the server.
        QTest::qWait(800);
        QCOMPARE(dlg->requests.size(), 2);

        QVERIFY(server("start"));
        stopped_ = false;
        QTRY_COMPARE_WITH_TIMEOUT(Frm_Data->Reconnect->stateText(), ReconnectWatch::backText(), 20000);
        QVERIFY(!Frm_Data->Connection->isLost());
        QCOMPARE(dlg->requests.size(), 2);

        // The save tried again goes through.
        QTest::mouseClick(add->Btn_OK, Qt::LeftButton);
        QCOMPARE(dlg->requests.size(), 2);
        QCOMPARE(t->rowCount("select * from custom where Company='Delta Ltd' and City='Lyon'"), 1);
        QCOMPARE(list->recordCount(), 4);
    }

    // A change typed before the restart is still checked against another
    // workstation's change made meanwhile.
    void aChangeIsStillCheckedAfterARestart() {
        Frm_Data->Qry_Cust->setCurrentRow(0);
        auto change = editor(0);
        QCOMPARE(change->Edit_Com->text(), QString("Acme"));
        change->Edit_tel->clear();
        QTest::keyClicks(change->Edit_tel, "555");
        QVERIFY(server("stop"));
        stopped_ = true;
        QTest::mouseClick(change->Btn_OK, Qt::LeftButton);
        QCOMPARE(dlg->errors().size(), 1);
        QVERIFY(change->isVisible());
        QVERIFY(server("start"));
        stopped_ = false;
        QTRY_COMPARE_WITH_TIMEOUT(Frm_Data->Reconnect->stateText(), ReconnectWatch::backText(), 20000);

        QVERIFY(t->execBeside("update custom set tel = '999' where company = 'Acme'"));
        dlg->answers = {QMessageBox::No};
        QTest::mouseClick(change->Btn_OK, Qt::LeftButton);
        QCOMPARE(dlg->messages().size(), 1);
        QVERIFY2(dlg->messages()[0].contains("changed on another workstation"), qPrintable(dlg->messages()[0]));
        QCOMPARE(t->text("select * from custom where Company='Acme'", "Tel"), QString("999"));
        QCOMPARE(change->Edit_tel->text(), QString("555"));  // kept, as typed
        // Read again, the change goes through.
        dlg->answers = {QMessageBox::Yes};
        QTest::mouseClick(change->Btn_OK, Qt::LeftButton);
        QCOMPARE(change->Edit_tel->text(), QString("999"));
        change->Edit_tel->clear();
        QTest::keyClicks(change->Edit_tel, "555");
        dlg->clear();
        QTest::mouseClick(change->Btn_OK, Qt::LeftButton);
        QVERIFY(dlg->requests.isEmpty());
        QCOMPARE(t->text("select * from custom where Company='Acme'", "Tel"), QString("555"));
    }

    // A crash of the server: the browser keeps its customers and their count
    // while it is away, and reads them again when it is back.
    void aCrashLeavesTheListsAsTheyWere() {
        db::Query* list = Frm_Data->Qry_Cust;
        const int acme = t->scalar("select CustID from custom where Company='Acme'");
        QVERIFY(t->exec(QString("insert into contact (CustID, Name, F_User) values ('%1', 'Ann', 'Admin')").arg(acme)));
        QVERIFY(toolkit::guarded([&] { main->MyCustExecute(); }));
        QCOMPARE(main->statusText(1), QString("Have 3 Customer Record   |   1 Contactor"));
        // The test server does not wait for commits to reach its disk: what
        // is committed is written out first, or the crash would take it.
        QVERIFY(t->execBeside("checkpoint"));
        QVERIFY(server("crash"));
        stopped_ = true;
        toolkit::guarded([&] { main->MyCustExecute(); });
        QCOMPARE(dlg->errors().size(), 1);
        QCOMPARE(list->recordCount(), 3);
        QCOMPARE(Frm_Custom->DBGrid1->model()->rowCount(), 3);
        QCOMPARE(main->statusText(1), QString("Have 3 Customer Record   |   1 Contactor"));
        QCOMPARE(Frm_Data->Qry_Contact->recordCount(), 1);
        QCOMPARE(Frm_Custom->DBGridEh1->model()->rowCount(), 1);
        QTRY_COMPARE(Frm_Data->Reconnect->stateText(), ReconnectWatch::lostText());
        // Another customer has no contacts to show: none are made up for it.
        list->setCurrentRow(1);
        QCOMPARE(Frm_Data->Qry_Contact->recordCount(), 0);
        list->setCurrentRow(0);
        QCOMPARE(Frm_Data->Qry_Contact->recordCount(), 1);

        QVERIFY(server("start"));
        stopped_ = false;
        QTRY_COMPARE_WITH_TIMEOUT(Frm_Data->Reconnect->stateText(), ReconnectWatch::backText(), 20000);
        QVERIFY(t->execBeside("insert into custom (company, f_user) values ('Echo', 'Admin')"));
        QVERIFY(toolkit::guarded([&] { main->MyCustExecute(); }));
        QCOMPARE(list->recordCount(), 4);
        QVERIFY2(main->statusText(1).startsWith("Have 4 Customer Record   |   1 Contactor"), qPrintable(main->statusText(1)));
        QCOMPARE(dlg->errors().size(), 1);
    }

    // The program's session ended by the server (an administrator, or a
    // restart while it was idle): the next action opens a new one without
    // a word, and a save typed before goes through.
    void anEndedSessionIsOpenedAgainUnnoticed() {
        auto add = editor(1);
        QTest::keyClicks(add->Edit_Com, "Foxtrot");
        QVERIFY(t->execBeside("select pg_terminate_backend(pid) from pg_stat_activity "
                              "where datname = current_database() and pid <> pg_backend_pid()"));
        QTest::qWait(300);  // the server's farewell reaches the workstation
        QTest::mouseClick(add->Btn_OK, Qt::LeftButton);
        QVERIFY2(dlg->requests.isEmpty(), qPrintable(dlg->last() ? dlg->last()->text : QString()));
        QCOMPARE(t->rowCount("select * from custom where Company='Foxtrot'"), 1);
        QVERIFY(!Frm_Data->Connection->isLost());
    }

    // The next action after a restart finds the connection open again, even
    // before the watch has tried.
    void theNextActionConnectsAgain() {
        Frm_Data->Reconnect->setInterval(60000);
        QVERIFY(server("stop"));
        stopped_ = true;
        QVERIFY(server("start"));
        stopped_ = false;
        db::Query* list = Frm_Data->Qry_Cust;
        // The statement that meets the dropped connection says so, at most
        // once; the one after it runs on a new connection.
        toolkit::guarded([&] { main->MyCustExecute(); });
        QVERIFY(dlg->errors().size() <= 1);
        QCOMPARE(list->recordCount(), 3);
        QVERIFY(toolkit::guarded([&] { main->MyCustExecute(); }));
        QVERIFY(dlg->errors().size() <= 1);
        QCOMPARE(list->recordCount(), 3);
        QVERIFY(!Frm_Data->Connection->isLost());
        QVERIFY(t->execBeside("insert into custom (company, f_user) values ('Echo', 'Admin')"));
        QVERIFY(toolkit::guarded([&] { main->MyCustExecute(); }));
        QCOMPARE(list->recordCount(), 4);
    }
};

QTEST_MAIN(TestReconnect)
#include "tst_reconnect.moc"
