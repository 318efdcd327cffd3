// Schedules: the list window, the editor of one contact activity with its
// customer finder, and the main window's commands that open and delete them.
#include <QAbstractItemView>
#include <QCompleter>
#include <QMdiSubWindow>
#include <QHeaderView>
#include <QTest>

#include "activities/U_AddSchedule.h"
#include "activities/U_Schedule.h"
#include "activities/Windows.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "tests/activities/ActivityTest.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

using acttest::choose;
using acttest::popupAt;
using acttest::typeText;
using toolkit::ScriptedModal;

namespace {
const QDate kDay(2030, 6, 1);
}

class TestSchedule : public QObject, testsupport::AppFixture {
    Q_OBJECT

    db::Query* q() { return t->data()->Qry_Schedule; }
    QStringList listed(const char* field = "Subject") {
        QStringList out;
        const int f = q()->fieldIndex(field);
        for (int i = 0; i < q()->recordCount(); ++i) out << q()->textAt(i, f);
        return out;
    }
    void addActivity(const QString& subject, const QString& customer, const QString& content,
                     const QString& author = "Admin") {
        QVERIFY(t->exec(QString("insert into T_Schedule (Subject, ActType, Customer, Content, StartTime, EndTime, "
                                "author) values ('%1', '会议', '%2', '%3', '2030-01-02 09:00:00', "
                                "'2030-01-02 10:00:00', '%4')")
                            .arg(subject, QString(customer).replace("'", "''"), content, author)));
    }
    // Opens a combo box's list with the mouse (on its arrow), moves to the
    // entry of that text and takes it with Enter.
    void pick(QComboBox* box, const QString& text) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 6, box->height() / 2));
        QAbstractItemView* view = box->view();
        QVERIFY(view->isVisible());
        const int at = box->findText(text);
        QVERIFY2(at >= 0, qPrintable(text));
        view->setCurrentIndex(view->model()->index(at, 0));
        QTest::keyClick(view, Qt::Key_Return);
        QVERIFY(!view->isVisible());
        QCOMPARE(box->currentText(), text);
    }
    QStringList items(QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
        return out;
    }
    TFrm_Schedule* openList() {
        main->N54->trigger();  // Activities > Schedules
        return Frm_Schedule;
    }
    const QString row = "select * from T_Schedule where ScheduleID=1";
    // The activity the add test makes, stored directly.
    void storeVisit() {
        QVERIFY(t->exec("insert into T_Schedule (Subject, ActType, Customer, CustID, Contactor, StartTime, EndTime, "
                        "Hours, Remind, RemindAt, Content, author) values ('拜访 O''Hara 100%_', '拜访', 'Acme', 1, "
                        "'Abe', '2030-06-01 10:00:00', '2030-06-01 12:30:00', '2.5', '1小时', "
                        "'2030-06-01 09:00:00', '带上样品\n''报价'' 100%', 'Admin')"));
    }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerActivityWindows();
    }

    void init() {
        QVERIFY(start());
        setUser("Admin", 0);
        QVERIFY(t->exec("insert into custom (Company) values ('Acme'), ('Beta'), ('O''Hara & Sons'), ('Acme Two')"));
        QVERIFY(t->exec("insert into contact (CustID, Name, Main) values ('1', 'Abe', 0), ('1', 'Ann', 1), "
                        "('2', 'Bob', 1)"));
        main->resize(1000, 700);
        main->show();
    }
    void cleanup() { stop(); }

    void listWindowShowsTheWholeTable() {
        QVERIFY(openList());
        QCOMPARE(Frm_Schedule->windowTitle(), QString("日程管理"));
        QCOMPARE(Frm_Schedule->Label1->text(), QString("请输入关键字:"));
        QCOMPARE(Frm_Schedule->Btn_S_Cust->text(), QString("搜索"));
        QCOMPARE(Frm_Schedule->Edit_Key->width(), 329);
        QStringList popup;
        for (QAction* a : Frm_Schedule->PopupMenu1->actions()) popup << a->text();
        QCOMPARE(popup, QStringList({"新建联系活动", "编辑联系活动", "删除联系活动"}));
        // An empty table: an empty grid with a column per field, titled by name.
        toolkit::DataGrid* g = Frm_Schedule->DBGrid1;
        QCOMPARE(g->model()->rowCount(), 0);
        QStringList titles;
        for (int c = 0; c < g->columnCountShown(); ++c) titles << g->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, q()->fieldNames());
        QCOMPARE(titles.first(), QString("ScheduleID"));
        QVERIFY(titles.contains("Reminded"));
        for (int c = 0; c < g->columnCountShown(); ++c)  // every title fits its column
            QVERIFY2(g->horizontalHeader()->sectionSizeHint(c) <= g->columnWidth(c), qPrintable(titles[c]));
        // Deleting from it asks nothing and reports no engine error.
        choose(popupAt(g, -1), Frm_Schedule->N3);
        QVERIFY(dlg->requests.isEmpty());
        // Every author's activities, as stored.
        addActivity("b-one", "Beta", "x", "Tom");
        addActivity("a-two", "Acme", "y");
        TFrm_Schedule* first = Frm_Schedule;
        main->Main_ScheduleExecute();
        QCOMPARE(Frm_Schedule, first);
        main->MdiArea->activeSubWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Frm_Schedule);
        QVERIFY(openList());
        QCOMPARE(listed(), QStringList({"b-one", "a-two"}));
        QCOMPARE(g = Frm_Schedule->DBGrid1, Frm_Schedule->DBGrid1);
        QCOMPARE(g->model()->rowCount(), 2);
    }

    void searchFindsSubjectDescriptionOrCustomer() {
        addActivity("Pump offer", "Acme", "bring samples");
        addActivity("Visit", "O'Hara & Sons", "about valves");
        addActivity("Call", "Beta", "100% sure");
        QVERIFY(openList());
        QLineEdit* key = Frm_Schedule->Edit_Key;
        QTest::keyClicks(key, "offer");
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(listed(), QStringList({"Pump offer"}));
        key->clear();
        QTest::keyClicks(key, "valve");
        QTest::mouseClick(Frm_Schedule->Btn_S_Cust, Qt::LeftButton);
        QCOMPARE(listed(), QStringList({"Visit"}));
        key->clear();
        QTest::keyClicks(key, "O'Hara");
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(listed(), QStringList({"Visit"}));
        key->clear();
        QTest::keyClicks(key, "beta");
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(listed(), QStringList({"Call"}));
        key->clear();
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(listed().size(), 3);
        QCOMPARE(Frm_Schedule->DBGrid1->columnCountShown(), q()->fieldCount());
        QVERIFY(dlg->errors().isEmpty());
    }

    void addThroughThePopupMenu() {
        QVERIFY(openList());
        // Add, through the popup menu of the empty grid.
        ScriptedModal add([&](QDialog* d) {
            auto* e = qobject_cast<TFrm_AddSchedule*>(d);
            if (!e) return 0;
            [&] {
                QCOMPARE(e->windowTitle(), QString("新建联系活动"));
                QCOMPARE(e->Btn_OK->text(), QString("新增(&A)"));
                QCOMPARE(e->Btn_Exit->text(), QString("退出(&Q)"));
                QCOMPARE(e->GroupBox1->title(), QString(" 联系活动 "));
                QCOMPARE(e->size(), QSize(575, 348));
                QCOMPARE(e->ComboBox1->geometry(), QRect(72, 32, 241, 22));
                QCOMPARE(e->Memo1->geometry(), QRect(72, 160, 465, 97));
                QCOMPARE(e->Btn_OK->pos(), QPoint(384, 312));
                QCOMPARE(e->CheckBox1->text(), QString("设定提醒前时间"));
                QCOMPARE(items(e->ComboBox2), QStringList({"电话", "拜访", "会议", "电子邮件", "其他"}));
                QCOMPARE(e->ComboBox4->count(), 48);
                QVERIFY(!e->ComboBox5->isEnabled());
                // A fresh activity starts at the next half hour and lasts an hour.
                QVERIFY(e->startTime() >= QDateTime::currentDateTime().addSecs(-60));
                QCOMPARE(e->startTime().time().minute() % 30, 0);
                QCOMPARE(e->startTime().secsTo(e->endTime()), 3600);
                QCOMPARE(e->Edit1->text(), QString("1"));

                typeText(e->ComboBox1->lineEdit(), "拜访 O'Hara 100%_");
                pick(e->ComboBox2, "拜访");
                // The customer: part of its name, then the entry in the list.
                typeText(e->ComboBox3->lineEdit(), "cm");
                QAbstractItemView* found = e->Customers->completer()->popup();
                QVERIFY(found->isVisible());
                QCOMPARE(found->model()->rowCount(), 2);  // Acme, Acme Two
                QCOMPARE(found->model()->index(0, 0).data().toString(), QString("Acme"));
                QTest::mouseClick(found->viewport(), Qt::LeftButton, {},
                                  found->visualRect(found->model()->index(0, 0)).center());
                QCOMPARE(e->ComboBox3->currentText(), QString("Acme"));
                QCOMPARE(e->Customers->custId(), qlonglong(1));
                // Its contacts, the main one first.
                QCOMPARE(items(e->Combo_Contact), QStringList({"Ann", "Abe"}));
                pick(e->Combo_Contact, "Abe");
                e->DateTimePicker1->setDate(kDay);
                pick(e->ComboBox4, "10:00");
                // The end follows the start; a later end lengthens it.
                QCOMPARE(e->endTime(), QDateTime(kDay, QTime(11, 0)));
                pick(e->ComboBox6, "12:30");
                QCOMPARE(e->Edit1->text(), QString("2.5"));
                QTest::mouseClick(e->CheckBox1, Qt::LeftButton);
                QVERIFY(e->ComboBox5->isEnabled());
                pick(e->ComboBox5, "1小时");
                typeText(e->Memo1, "带上样品\n'报价' 100%");
                QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
                QVERIFY(!e->isVisible());
            }();
            return 0;
        });
        choose(popupAt(Frm_Schedule->DBGrid1, -1), Frm_Schedule->N1);
        QCOMPARE(add.shown, QStringList({"TFrm_AddSchedule"}));
        QVERIFY(dlg->requests.isEmpty());
        QCOMPARE(t->text(row, "Subject"), QString("拜访 O'Hara 100%_"));
        QCOMPARE(t->text(row, "ActType"), QString("拜访"));
        QCOMPARE(t->text(row, "Customer"), QString("Acme"));
        QCOMPARE(t->text(row, "CustID"), QString("1"));
        QCOMPARE(t->text(row, "Contactor"), QString("Abe"));
        QCOMPARE(t->text(row, "StartTime"), QString("2030-06-01 10:00:00"));
        QCOMPARE(t->text(row, "EndTime"), QString("2030-06-01 12:30:00"));
        QCOMPARE(t->text(row, "Hours"), QString("2.5"));
        QCOMPARE(t->text(row, "Remind"), QString("1小时"));
        QCOMPARE(t->text(row, "RemindAt"), QString("2030-06-01 09:00:00"));
        QCOMPARE(t->value(row, "Reminded").toBool(), false);
        QCOMPARE(t->text(row, "Content"), QString("带上样品\n'报价' 100%"));
        QCOMPARE(t->text(row, "author"), QString("Admin"));
        QCOMPARE(Frm_Schedule->DBGrid1->model()->rowCount(), 1);
    }

    void editByDoubleClickKeepsItsMaker() {
        storeVisit();
        QVERIFY(openList());
        // Reopened by a double-click, as another user, and moved a day on.
        setUser("Tom", 1);
        ScriptedModal edit([&](QDialog* d) {
            auto* e = qobject_cast<TFrm_AddSchedule*>(d);
            if (!e) return 0;
            [&] {
                QCOMPARE(e->windowTitle(), QString("编辑联系活动"));
                QCOMPARE(e->Btn_OK->text(), QString("保存(&A)"));
                QCOMPARE(e->ComboBox1->currentText(), QString("拜访 O'Hara 100%_"));
                QCOMPARE(e->ComboBox2->currentText(), QString("拜访"));
                QCOMPARE(e->ComboBox3->currentText(), QString("Acme"));
                QCOMPARE(e->Customers->custId(), qlonglong(1));
                QCOMPARE(e->Combo_Contact->currentText(), QString("Abe"));
                QCOMPARE(items(e->Combo_Contact), QStringList({"Ann", "Abe"}));
                QCOMPARE(e->startTime(), QDateTime(kDay, QTime(10, 0)));
                QCOMPARE(e->endTime(), QDateTime(kDay, QTime(12, 30)));
                QCOMPARE(e->Edit1->text(), QString("2.5"));
                QVERIFY(e->CheckBox1->isChecked());
                QCOMPARE(e->ComboBox5->currentText(), QString("1小时"));
                QCOMPARE(e->Memo1->toPlainText(), QString("带上样品\n'报价' 100%"));
                e->ComboBox1->lineEdit()->selectAll();
                typeText(e->ComboBox1->lineEdit(), "改期");
                // A day later: the end moves along, the length stays.
                e->DateTimePicker1->setDate(kDay.addDays(1));
                QCOMPARE(e->endTime(), QDateTime(kDay.addDays(1), QTime(12, 30)));
                QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
            }();
            return 0;
        });
        acttest::doubleClickRow(Frm_Schedule->DBGrid1, 0, 1);
        QCOMPARE(edit.shown, QStringList({"TFrm_AddSchedule"}));
        QCOMPARE(t->text(row, "Subject"), QString("改期"));
        QCOMPARE(t->text(row, "StartTime"), QString("2030-06-02 10:00:00"));
        QCOMPARE(t->text(row, "RemindAt"), QString("2030-06-02 09:00:00"));
        QCOMPARE(t->text(row, "author"), QString("Admin"));  // still its maker's
        QCOMPARE(t->text(row, "Contactor"), QString("Abe"));
        QCOMPARE(listed(), QStringList({"改期"}));
    }

    void deleteAsksFirst() {
        storeVisit();
        QVERIFY(openList());
        // Delete: No keeps it, Yes removes it.
        dlg->answers = {QMessageBox::No, QMessageBox::Yes};
        choose(popupAt(Frm_Schedule->DBGrid1, 0), Frm_Schedule->N3);
        QCOMPARE(dlg->messages(), QStringList({"Are sure delete this record?"}));
        QCOMPARE(dlg->last()->title, QString("Warning"));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Information);
        QCOMPARE(t->rowCount("select * from T_Schedule"), 1);
        choose(popupAt(Frm_Schedule->DBGrid1, 0), Frm_Schedule->N3);
        QCOMPARE(t->rowCount("select * from T_Schedule"), 0);
        QCOMPARE(Frm_Schedule->DBGrid1->model()->rowCount(), 0);
    }

    void endBeforeStartAndEmptySubjectAreRefused() {
        QVERIFY(openList());
        bool open = false;
        QString end;
        ScriptedModal add([&](QDialog* d) {
            auto* e = static_cast<TFrm_AddSchedule*>(d);
            e->DateTimePicker1->setDate(kDay);
            QTest::mouseClick(e->Btn_OK, Qt::LeftButton);  // no subject yet
            typeText(e->ComboBox1->lineEdit(), "Meeting");
            e->DateTimePicker2->setDate(kDay.addDays(-1));
            end = e->Edit1->text();
            QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
            open = e->isVisible();
            return 0;
        });
        main->AddScheduleExecute();
        QVERIFY(open);
        QVERIFY(end.isEmpty());  // no duration for an end before the start
        QCOMPARE(dlg->messages(), QStringList({"活动主题不能为空!", "结束时间不能早于开始时间!"}));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Information);
        QCOMPARE(t->rowCount("select * from T_Schedule"), 0);
        QCOMPARE(q()->state(), db::Query::State::Browse);
    }

    void typedCustomersAndTexts() {
        QVERIFY(openList());
        const QString memo = QString("描述'%_\n").repeated(1000);
        int subjectCap = 0, customerCap = 0;
        ScriptedModal add([&](QDialog* d) {
            auto* e = static_cast<TFrm_AddSchedule*>(d);
            subjectCap = e->ComboBox1->lineEdit()->maxLength();
            customerCap = e->ComboBox3->lineEdit()->maxLength();
            typeText(e->ComboBox1->lineEdit(), "a");
            // A name typed exactly is that customer, with its contacts.
            typeText(e->ComboBox3->lineEdit(), "Beta");
            if (e->Customers->custId() != 2 || e->Combo_Contact->count() != 1) return 0;
            e->ComboBox3->lineEdit()->clear();
            // Not a customer at all: kept as typed, linked to none.
            typeText(e->ComboBox3->lineEdit(), "Nobody's Firm");
            typeText(e->Combo_Contact->lineEdit(), "X'");
            e->Memo1->setPlainText(memo);
            e->Btn_OKClick();
            return 0;
        });
        main->AddScheduleExecute();
        QCOMPARE(subjectCap, 100);
        QCOMPARE(customerCap, 200);
        QCOMPARE(t->text(row, "Customer"), QString("Nobody's Firm"));
        QVERIFY(t->value(row, "CustID").isNull());
        QCOMPARE(t->text(row, "Contactor"), QString("X'"));
        QCOMPARE(t->text(row, "Content"), memo);
        QCOMPARE(t->text(row, "Remind"), QString());
        QVERIFY(t->value(row, "RemindAt").isNull());
        QVERIFY(dlg->requests.isEmpty());
    }

    void aStoredNameFindsItsCustomer() {
        addActivity("by name only", "Beta", "typed elsewhere");  // no customer number
        QVERIFY(openList());
        qlonglong id = -2;
        QStringList contacts;
        ScriptedModal edit([&](QDialog* d) {
            auto* e = static_cast<TFrm_AddSchedule*>(d);
            id = e->Customers->custId();
            contacts = items(e->Combo_Contact);
            e->Btn_OKClick();
            return 0;
        });
        main->EditScheduleExecute();
        QCOMPARE(id, qlonglong(2));
        QCOMPARE(contacts, QStringList({"Bob"}));
        QCOMPARE(t->text(row, "CustID"), QString("2"));  // linked from now on
    }

    void pastActivitiesAreNotReminded() {
        QVERIFY(openList());
        ScriptedModal add([&](QDialog* d) {
            auto* e = static_cast<TFrm_AddSchedule*>(d);
            typeText(e->ComboBox1->lineEdit(), "Yesterday's call");
            e->DateTimePicker1->setDate(QDate::currentDate().addDays(-1));
            QTest::mouseClick(e->CheckBox1, Qt::LeftButton);
            e->Btn_OKClick();
            return 0;
        });
        main->AddScheduleExecute();
        QCOMPARE(t->text(row, "Remind"), QString("15分钟"));
        QVERIFY(!t->value(row, "RemindAt").isNull());
        QCOMPARE(t->value(row, "Reminded").toBool(), true);
    }

    void editingNeedsAnActivity() {
        ScriptedModal none([](QDialog*) { return 0; });
        main->EditScheduleExecute();  // the list was never opened
        QVERIFY(none.shown.isEmpty());
        QCOMPARE(dlg->messages(), QStringList({"没有可以编辑的联系活动：请先打开日程管理，选中一项联系活动。"}));
        QVERIFY(dlg->errors().isEmpty());
        dlg->clear();
        main->DelScheduleExecute();
        QVERIFY(dlg->requests.isEmpty());
    }

    void refusedSaveKeepsTheEditorOpen() {
        addActivity("keep", "Acme", "as it was");
        QVERIFY(openList());
        QVERIFY(t->refuseWrites("T_Schedule", "update", "refused by a rule"));
        bool open = false;
        ScriptedModal edit([&](QDialog* d) {
            auto* e = static_cast<TFrm_AddSchedule*>(d);
            e->ComboBox1->setEditText("changed");
            QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
            open = e->isVisible();
            return 0;
        });
        main->EditScheduleExecute();
        QVERIFY(open);
        QCOMPARE(dlg->errors(), QStringList({"refused by a rule"}));
        QCOMPARE(t->text(row, "Subject"), QString("keep"));
        QCOMPARE(q()->state(), db::Query::State::Browse);
        QCOMPARE(listed(), QStringList({"keep"}));
    }
};

QTEST_MAIN(TestSchedule)
#include "tst_schedule.moc"
