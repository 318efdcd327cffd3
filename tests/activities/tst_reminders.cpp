// Reminders: the watch that finds due reminders of the logged-in user, the
// notice window that shows each once, and opening an activity from it.
#include <QTest>

#include "activities/Reminders.h"
#include "activities/U_AddSchedule.h"
#include "activities/U_Remind.h"
#include "activities/Windows.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "tests/support/AppFixture.h"
#include "app/db/Transaction.h"
#include "toolkit/Modal.h"

#include <QProgressDialog>

using activities::ReminderWatch;
using toolkit::ScriptedModal;

namespace {
const QDate kDay(2030, 1, 1);
QDateTime at(int h, int m) { return QDateTime(kDay, QTime(h, m)); }
QString text(const QDateTime& t) { return t.toString("yyyy-MM-dd hh:mm:ss"); }
}  // namespace

class TestReminders : public QObject, testsupport::AppFixture {
    Q_OBJECT

    // An activity starting at start whose reminder comes at remindAt (none when invalid).
    void plan(const QString& subject, const QString& author, const QDateTime& start, const QDateTime& remindAt,
              bool reminded = false) {
        QVERIFY(t->exec(QString("insert into T_Schedule (Subject, Customer, StartTime, EndTime, Remind, RemindAt, "
                                "Reminded, author) values ('%1', 'Acme', '%2', '%3', '%4', %5, %6, '%7')")
                            .arg(subject, text(start), text(start.addSecs(3600)),
                                 remindAt.isValid() ? "15分钟" : "",
                                 remindAt.isValid() ? "'" + text(remindAt) + "'" : "NULL")
                            .arg(reminded ? 1 : 0)
                            .arg(author)));
    }
    QStringList listed(ReminderWatch& w) {
        QStringList out;
        if (!w.notice()) return out;
        for (int i = 0; i < w.notice()->List->topLevelItemCount(); ++i)
            out << w.notice()->List->topLevelItem(i)->text(1);
        return out;
    }
    bool reminded(const QString& subject) {
        return t->value("select * from T_Schedule where Subject='" + subject + "'", "Reminded").toBool();
    }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerActivityWindows();
    }

    void init() {
        QVERIFY(start());
        setUser("Admin", 0);
        plan("due", "Admin", at(10, 0), at(9, 45));
        plan("Toms", "Tom", at(10, 0), at(9, 45));
        plan("later", "Admin", at(12, 15), at(12, 0));
        plan("seen", "Admin", at(8, 0), at(7, 45), true);
        plan("no reminder", "Admin", at(9, 0), QDateTime());
        plan("lower case", "admin", at(10, 0), at(9, 0));
    }
    void cleanup() { stop(); }

    void dueReminderShowsOnce() {
        ReminderWatch w;
        w.check(at(9, 44));
        QVERIFY(!w.notice());
        w.check(at(10, 0));
        QVERIFY(w.notice() && w.notice()->isVisible());
        QCOMPARE(listed(w), QStringList({"due"}));
        QVERIFY(reminded("due"));
        QVERIFY(!reminded("Toms"));
        QVERIFY(!reminded("lower case"));
        // Looking again shows nothing new.
        w.check(at(10, 1));
        QCOMPARE(listed(w), QStringList({"due"}));
        // The next one joins the same notice when its time comes.
        w.check(at(12, 0));
        QCOMPARE(listed(w), QStringList({"due", "later"}));
        QCOMPARE(w.notice()->List->topLevelItem(1)->text(0), QString("2030-01-01 12:15"));
        QCOMPARE(w.notice()->List->topLevelItem(1)->text(2), QString("Acme"));
        QCOMPARE(w.notice()->windowTitle(), QString("日程提醒"));
        QVERIFY(dlg->requests.isEmpty());
        // Closing the notice forgets its entries; they do not come back.
        QTest::mouseClick(w.notice()->Btn_Close, Qt::LeftButton);
        QVERIFY(!w.notice()->isVisible());
        w.check(at(13, 0));
        QVERIFY(!w.notice()->isVisible());
        QCOMPARE(listed(w), QStringList());
    }

    void aRestartDoesNotShowItAgain() {
        {
            ReminderWatch w;
            w.check(at(10, 0));
            QCOMPARE(listed(w), QStringList({"due"}));
        }
        t->openData();  // the program starts again
        ReminderWatch again;
        again.check(at(10, 5));
        QVERIFY(!again.notice());
        // Another user logs in: only what is theirs.
        setUser("Tom", 1);
        again.check(at(10, 5));
        QCOMPARE(listed(again), QStringList({"Toms"}));
    }

    void dueWhileClosedShowsAfterTheLogin() {
        const QDateTime now = QDateTime::currentDateTime();
        plan("overnight", "Ann", now.addDays(-1).addSecs(3600), now.addDays(-1));
        setUser("", 0);  // the login dialog is up
        ReminderWatch w;
        QTest::qWait(1300);
        QVERIFY(!w.notice());
        setUser("Ann", 1);
        QTRY_VERIFY_WITH_TIMEOUT(w.notice() && w.notice()->isVisible(), 5000);
        QCOMPARE(listed(w), QStringList({"overnight"}));
        QCOMPARE(w.timer()->interval(), ReminderWatch::kIntervalMs);
    }

    void openingANoticeEditsTheActivity() {
        ReminderWatch w;
        w.check(at(12, 0));
        QCOMPARE(listed(w), QStringList({"due", "later"}));
        // The shared list holds a search that lacks the activity.
        db::Query* q = t->data()->Qry_Schedule;
        q->setSql("select * from T_Schedule where Subject='seen'");
        q->open();
        QString shownSubject;
        bool editing = false;
        ScriptedModal modal([&](QDialog* d) {
            auto* e = qobject_cast<TFrm_AddSchedule*>(d);
            if (!e) return 0;
            shownSubject = e->ComboBox1->currentText();
            editing = !e->AddMode;
            return 0;
        });
        TFrm_Remind* n = w.notice();
        n->List->setCurrentItem(n->List->topLevelItem(1));
        QTest::mouseClick(n->Btn_Open, Qt::LeftButton);
        QCOMPARE(modal.shown, QStringList({"TFrm_AddSchedule"}));
        QVERIFY(editing);
        QCOMPARE(shownSubject, QString("later"));
        QCOMPARE(q->asString("Subject"), QString("later"));
        QCOMPARE(listed(w), QStringList({"due"}));
        QVERIFY(n->isVisible());
        // A double-click opens the last one; the notice goes with it.
        QTreeWidget* list = n->List;
        const QPoint p = list->visualItemRect(list->topLevelItem(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, p);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, p);
        QCOMPARE(shownSubject, QString("due"));
        QVERIFY(!n->isVisible());
        // An activity deleted meanwhile is said to be gone.
        plan("gone", "Admin", at(15, 0), at(14, 0));
        w.check(at(14, 0));
        QVERIFY(t->exec("delete from T_Schedule where Subject='gone'"));
        QTest::mouseClick(n->Btn_Open, Qt::LeftButton);
        QCOMPARE(dlg->messages(), QStringList({"这项联系活动已经被删除了。"}));
        QCOMPARE(modal.shown.size(), 2);
    }

    // The list was read before the reminder came; the activity opened from
    // the notice and saved is this program's own change, not another's.
    void savingARemindedActivityIsNoConflict() {
        db::Query* q = t->data()->Qry_Schedule;
        q->setSql("select * from T_Schedule");
        q->open();
        QCOMPARE(q->asString("Subject"), QString("due"));  // read while not reminded yet
        ReminderWatch w;
        w.check(at(10, 0));
        QVERIFY(reminded("due"));
        ScriptedModal modal([&](QDialog* d) {
            auto* e = qobject_cast<TFrm_AddSchedule*>(d);
            if (!e) return 0;
            e->Memo1->setPlainText("Bring the samples");
            QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
            return 0;
        });
        TFrm_Remind* n = w.notice();
        n->List->setCurrentItem(n->List->topLevelItem(0));
        QTest::mouseClick(n->Btn_Open, Qt::LeftButton);
        QVERIFY(dlg->messages().isEmpty());
        QVERIFY(dlg->errors().isEmpty());
        QCOMPARE(t->text("select * from T_Schedule where Subject='due'", "Content"), QString("Bring the samples"));
    }

    void aMovedReminderComesAgain() {
        ReminderWatch w;
        w.check(at(10, 0));
        QCOMPARE(listed(w), QStringList({"due"}));
        QTest::mouseClick(w.notice()->Btn_Close, Qt::LeftButton);
        // Put off by an hour in the editor: due again at the new time.
        db::Query* q = t->data()->Qry_Schedule;
        q->setSql("select * from T_Schedule where Subject='due'");
        q->open();
        ScriptedModal modal([&](QDialog* d) {
            auto* e = static_cast<TFrm_AddSchedule*>(d);
            e->setStartTime(at(11, 0));
            e->Btn_OKClick();
            return 0;
        });
        main->EditScheduleExecute();
        QCOMPARE(modal.shown.size(), 1);
        QCOMPARE(t->text("select * from T_Schedule where Subject='due'", "RemindAt"), QString("2030-01-01 10:45:00"));
        QVERIFY(!reminded("due"));
        w.check(at(10, 30));
        QCOMPARE(listed(w), QStringList());
        w.check(at(10, 45));
        QCOMPARE(listed(w), QStringList({"due"}));
        // Saving without touching the time leaves it shown.
        main->EditScheduleExecute();
        QVERIFY(reminded("due"));
    }

    // An editor is open on one activity when another's reminder comes due:
    // the editor's row stays as it read it, so a change another workstation
    // made meanwhile is still caught at its save; the notice waits for the
    // editor to close.
    void aReminderWaitsForAnOpenEditor() {
        db::Query* q = t->data()->Qry_Schedule;
        q->setSql("select * from T_Schedule");
        q->open();
        q->setCurrentRow(2);
        QCOMPARE(q->asString("Subject"), QString("later"));
        ReminderWatch w;
        ScriptedModal modal([&](QDialog* d) {
            auto* e = qobject_cast<TFrm_AddSchedule*>(d);
            if (!e) return 0;
            db::Connection second;
            second.open(t->connString());
            db::Query other(&second);
            other.setSql("update T_Schedule set Content='theirs' where Subject='later'");
            other.execSql();
            w.check(at(10, 0));
            [&] { QVERIFY(!w.notice()); }();
            e->Memo1->setPlainText("mine");
            QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
            return 0;
        });
        main->EditScheduleExecute();
        QCOMPARE(modal.shown.size(), 1);
        QCOMPARE(dlg->messages().size(), 1);
        QVERIFY(dlg->messages()[0].contains("changed on another workstation"));
        QCOMPARE(t->text("select * from T_Schedule where Subject='later'", "Content"), QString("theirs"));
        QVERIFY(!reminded("due"));
        // Closed: the next look shows it.
        w.check(at(10, 1));
        QCOMPARE(listed(w), QStringList({"due"}));
        QVERIFY(reminded("due"));
    }

    // An import (or any operation) has a transaction open on the shared
    // connection: the watch writes nothing into it, and shows nothing that
    // a rollback would take back.
    void aReminderStaysOutOfAnotherTransaction() {
        ReminderWatch w;
        {
            db::TransactionGuard trans(*t->data()->Connection);
            w.check(at(10, 0));
            QVERIFY(!w.notice());
        }  // rolled back, as a cancelled import is
        QVERIFY(!reminded("due"));
        w.check(at(10, 1));
        QCOMPARE(listed(w), QStringList({"due"}));
        QVERIFY(reminded("due"));
    }

    void aReminderWaitsForAProgressWindow() {
        ReminderWatch w;
        {
            QProgressDialog progress("Importing", "Cancel", 0, 10);
            progress.setWindowModality(Qt::ApplicationModal);
            progress.show();
            w.check(at(10, 0));
            QVERIFY(!w.notice());
        }
        w.check(at(10, 0));
        QCOMPARE(listed(w), QStringList({"due"}));
    }

    void aDatabaseThatCannotRecordItShowsItOnce() {
        QVERIFY(t->refuseWrites("T_Schedule", "update", "database is locked"));
        ReminderWatch w;
        w.check(at(10, 0));
        w.check(at(10, 1));
        QCOMPARE(listed(w), QStringList({"due"}));
        QVERIFY(!reminded("due"));
        QVERIFY(dlg->requests.isEmpty());
    }

    void anOlderDatabaseHasNoReminders() {
        // The columns that came with reminders go (their index first).
        QVERIFY(t->exec("drop index idx_schedule_remind"));
        QVERIFY(t->exec("drop index idx_schedule_custid"));
        for (const char* column : {"CustID", "RemindAt", "Reminded"})
            QVERIFY(t->exec(QString("alter table T_Schedule drop column %1").arg(column)));
        QVERIFY(t->exec("insert into T_Schedule (Subject, Remind, author) values ('old', '15分钟', 'Admin')"));
        t->openData();
        ReminderWatch w;
        w.check(at(10, 0));
        QVERIFY(!w.notice());
        QVERIFY(dlg->requests.isEmpty());
    }
};

QTEST_MAIN(TestReminders)
#include "tst_reminders.moc"
