// A database made before schedules had their customer link and reminders and
// before there were sales: it still opens, every other window serves, and
// the windows that need what it lacks say so.
#include <QMdiSubWindow>
#include <QTest>

#include "activities/U_AddDaily.h"
#include "activities/U_Daily.h"
#include "activities/U_Sale.h"
#include "activities/U_Schedule.h"
#include "activities/Windows.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "customers/U_Custom.h"
#include "customers/Windows.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

using toolkit::ScriptedModal;

class TestOldDb : public QObject, testsupport::AppFixture {
    Q_OBJECT

    // Turns the private database into one of the earlier layout.
    void makeOld() {
        QVERIFY(t->exec("drop table T_Sale"));
        QVERIFY(t->exec("drop table T_SaleLine"));
        QVERIFY(t->exec("delete from T_FieldShow where TableName in ('Sale', 'SaleLine')"));
        // The columns that came with reminders go (their index first).
        QVERIFY(t->exec("drop index idx_schedule_remind"));
        QVERIFY(t->exec("drop index idx_schedule_custid"));
        for (const char* column : {"CustID", "RemindAt", "Reminded"})
            QVERIFY(t->exec(QString("alter table T_Schedule drop column %1").arg(column)));
        QVERIFY(t->exec("insert into T_Schedule (Subject, Customer, author) values ('old one', 'Acme', 'Admin'), "
                        "('old two', 'Beta', 'Tom')"));
        QVERIFY(t->exec("insert into custom (Company) values ('Acme')"));
        QVERIFY(t->exec("insert into T_Daily (Subject, Content, AddDate, author) "
                        "values ('kept', 'from before', '2025-01-01 00:00:00', 'Admin')"));
    }
    int windows() { return int(main->MdiArea->subWindowList().size()); }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerCustomerWindows();
        registerActivityWindows();
    }

    void init() {
        QVERIFY(start());
        makeOld();
        QVERIFY(t->openData()->DBConnected);  // the program starts on it
        setUser("Admin", 0);
        main->resize(1000, 700);
        main->show();
    }
    void cleanup() { stop(); }

    void everyOtherWindowServes() {
        QVERIFY(Frm_Custom);  // the browser opened with the main window
        QCOMPARE(t->data()->Qry_Cust->recordCount(), 1);
        main->Main_DailyExecute();
        QVERIFY(Frm_Daily);
        QCOMPARE(t->data()->Qry_Daily->recordCount(), 1);
        ScriptedModal add([](QDialog* d) {
            auto* e = static_cast<TFrm_AddDaily*>(d);
            e->Edit_Subject->setText("new");
            e->Btn_OKClick();
            return 0;
        });
        main->AddDailyExecute();
        QCOMPARE(t->rowCount("select * from T_Daily"), 2);
        // The schedule list shows what the older table holds, and deletes.
        main->Main_ScheduleExecute();
        QVERIFY(Frm_Schedule);
        QCOMPARE(t->data()->Qry_Schedule->recordCount(), 2);
        QCOMPARE(Frm_Schedule->DBGrid1->columnCountShown(), 11);
        dlg->answers = {QMessageBox::Yes};
        main->DelScheduleExecute();
        QCOMPARE(t->rowCount("select * from T_Schedule"), 1);
        QCOMPARE(dlg->messages(), QStringList({"Are sure delete this record?"}));
        QVERIFY(dlg->errors().isEmpty());
    }

    void scheduleEditorSaysWhatIsMissing() {
        main->Main_ScheduleExecute();
        ScriptedModal none([](QDialog*) { return 0; });
        main->AddScheduleExecute();
        main->EditScheduleExecute();
        QVERIFY(none.shown.isEmpty());
        const QString said = dlg->messages().value(0);
        QCOMPARE(dlg->messages().size(), 2);
        QCOMPARE(dlg->messages().value(1), said);
        QVERIFY(said.contains("T_Schedule.CustID、T_Schedule.RemindAt、T_Schedule.Reminded"));
        QVERIFY(said.contains("旧版本"));
        QVERIFY(said.contains("日程列表仍可查看"));
        QCOMPARE(dlg->last()->title, QString("日程管理"));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Warning);
        QVERIFY(dlg->errors().isEmpty());
    }

    void salesWindowSaysWhatIsMissing() {
        const int before = windows();
        main->N55->trigger();
        QVERIFY(!Frm_Sale);
        QCOMPARE(windows(), before);
        QCOMPARE(dlg->messages().size(), 1);
        QVERIFY(dlg->messages().first().contains("T_Sale、T_SaleLine"));
        QCOMPARE(dlg->last()->title, QString("销售"));
        QVERIFY(dlg->errors().isEmpty());
        // A table half there names the columns it lacks.
        QVERIFY(t->exec("create table T_Sale (SaleID INTEGER PRIMARY KEY, Company VARCHAR(200))"));
        t->openData();
        dlg->clear();
        main->Main_SaleExecute();
        QVERIFY(!Frm_Sale);
        QVERIFY(dlg->messages().first().contains("T_Sale.SaleNo、T_Sale.SaleDate"));
        QVERIFY(dlg->messages().first().contains("T_SaleLine"));
    }

    void aDatabaseWithoutSchedulesAtAll() {
        QVERIFY(t->exec("drop table T_Schedule"));
        t->openData();
        main->Main_ScheduleExecute();
        QVERIFY(Frm_Schedule);
        QCOMPARE(Frm_Schedule->DBGrid1->columnCountShown(), 0);
        QCOMPARE(dlg->messages().size(), 1);
        QVERIFY(dlg->messages().first().contains("T_Schedule"));
        QVERIFY(dlg->errors().isEmpty());
        QVERIFY(!t->data()->Qry_Schedule->active());
        // Deleting from it has nothing to act on.
        dlg->clear();
        main->DelScheduleExecute();
        QVERIFY(dlg->requests.isEmpty());
    }
};

QTEST_MAIN(TestOldDb)
#include "tst_olddb.moc"
