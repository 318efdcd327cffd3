#include <QComboBox>
#include <QDate>
#include <QLineEdit>
#include <QTest>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "customers/U_AddContact.h"
#include "customers/U_Custom.h"
#include "customers/Windows.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

using toolkit::Navigator;

class TestAddContact : public QObject, testsupport::AppFixture {
    Q_OBJECT

    std::unique_ptr<TFrm_AddContact> open(int mode) {
        auto d = std::make_unique<TFrm_AddContact>();
        d->AddMode = mode;
        d->show();  // runs FormShow
        return d;
    }
    // Moves the shared customer list to the customer of that name.
    void goToCustomer(const QString& company) {
        db::Query* c = Frm_Data->Qry_Cust;
        for (c->first(); !c->eof(); c->next())
            if (c->asString("Company") == company) return;
        QFAIL("no such customer");
    }
    void addContact(int custId, const QString& name, const QString& owner, const QString& extra = "0, NULL") {
        QVERIFY(t->exec(QString("insert into contact (CustID, Name, F_User, Company, Main, Birthday) "
                                "values ('%1', '%2', '%3', (select Company from custom where CustID=%1), %4)")
                            .arg(QString::number(custId), name, owner, extra)));
    }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerCustomerWindows();
    }

    void init() {
        QVERIFY(start());
        setUser("Admin", 0);
        // CustID 1..4; two customers share the name Acme.
        QVERIFY(t->exec("insert into custom (Company, Address, PostCode) values ('Acme', 'A Street', '111111')"));
        QVERIFY(t->exec("insert into custom (Company, Address, PostCode) values ('Beta', 'B Street', '222222')"));
        QVERIFY(t->exec("insert into custom (Company, Address, PostCode) values ('Acme', 'Other', '333333')"));
        QVERIFY(t->exec("insert into custom (Company, Address, PostCode) values (' Spaced ', 'S', '444444')"));
        main->Cust_CustContactExecute();  // customers open, contacts follow them
    }
    void cleanup() { stop(); }

    void addModeStartsFromCurrentCustomer() {
        goToCustomer("Beta");
        auto d = open(1);
        QCOMPARE(d->windowTitle(), QString("Add Contactor"));
        QCOMPARE(d->Btn_OK->text(), QString("Add(&A)"));
        QCOMPARE(d->Combo_Cust->currentText(), QString("Beta"));
        QCOMPARE(d->Edit_Address->text(), QString("B Street"));
        QCOMPARE(d->Edit_PostCode->text(), QString("222222"));
        QVERIFY(!d->DateTimePicker1->checked());
        QCOMPARE(d->DateTimePicker1->date(), QDate::currentDate());
        // Every customer, in stored order, trimmed, duplicates kept.
        QStringList items;
        for (int i = 0; i < d->Combo_Cust->count(); ++i) items << d->Combo_Cust->itemText(i);
        QCOMPARE(items, QStringList({"Acme", "Beta", "Acme", "Spaced"}));
        QCOMPARE(d->Combo_Zw->count(), 6);
        QCOMPARE(d->Combo_Zw->itemText(0), QString("General Manager"));
        QCOMPARE(d->Combo_Depart->itemText(1), QString("Sales"));
        QVERIFY(d->Combo_Zw->currentText().isEmpty());
    }

    void addressFollowsChosenCompany() {
        goToCustomer("Beta");
        auto d = open(1);
        d->Combo_Cust->setCurrentIndex(2);  // the second Acme: the lookup takes the first
        emit d->Combo_Cust->activated(2);
        QCOMPARE(d->Edit_Address->text(), QString("A Street"));
        QCOMPARE(d->Edit_PostCode->text(), QString("111111"));
        d->Combo_Cust->lineEdit()->clear();
        QTest::keyClicks(d->Combo_Cust->lineEdit(), "Nobody");
        QVERIFY(d->Edit_Address->text().isEmpty());
        QVERIFY(d->Edit_PostCode->text().isEmpty());
        d->Combo_Cust->lineEdit()->clear();
        QTest::keyClicks(d->Combo_Cust->lineEdit(), "Beta");
        QCOMPARE(d->Edit_Address->text(), QString("B Street"));
    }

    void addLinksFirstCustomerOfThatName() {
        goToCustomer("Beta");
        auto d = open(1);
        d->Edit_Name->setText("  Bob  ");
        d->Combo_Cust->setEditText("Acme");
        d->Combo_Zw->setEditText(" Boss ");
        d->Edit_Tel->setText(" 12 ");
        d->Memo1->setPlainText("likes tea");
        d->Btn_OKClick();
        QVERIFY(dlg->requests.isEmpty());
        const QString bob = "select * from contact where Name='  Bob  '";  // stored as typed
        QCOMPARE(t->rowCount(bob), 1);
        QCOMPARE(t->value(bob, "CustID").toString(), QString("1"));
        QCOMPARE(t->value(bob, "Company").toString(), QString("Acme"));
        QCOMPARE(t->value(bob, "Position").toString(), QString(" Boss "));
        QCOMPARE(t->value(bob, "Tel").toString(), QString(" 12 "));
        QCOMPARE(t->value(bob, "Address").toString(), QString("B Street"));
        QCOMPARE(t->value(bob, "introduce").toString(), QString("likes tea"));
        QCOMPARE(t->value(bob, "F_User").toString(), QString("Admin"));
        QVERIFY(t->value(bob, "Birthday").isNull());

        // Stays open: personal fields emptied, the rest kept for the next one.
        QVERIFY(d->isVisible());
        QVERIFY(d->Edit_Name->text().isEmpty());
        QVERIFY(d->Edit_Tel->text().isEmpty());
        QCOMPARE(d->Combo_Cust->currentText(), QString("Acme"));
        QCOMPARE(d->Combo_Zw->currentText(), QString(" Boss "));
        QCOMPARE(d->Memo1->toPlainText(), QString("likes tea"));

        // No such customer: stored without a link. A name of blanks is a name.
        d->Edit_Name->setText("   ");
        d->Combo_Cust->setEditText("Nobody Inc");
        d->Btn_OKClick();
        QVERIFY(dlg->requests.isEmpty());
        const QString blank = "select * from contact where Name='   '";
        QCOMPARE(t->rowCount(blank), 1);
        QCOMPARE(t->value(blank, "CustID").toString(), QString(""));
        QCOMPARE(t->scalar("select count(*) from contact where Name='   ' and CustID = ''"), 1);  // not NULL

        // A quote in the company name is text, not SQL.
        d->Edit_Name->setText("Ann");
        d->Combo_Cust->setEditText("O'Hara");
        d->Btn_OKClick();
        QVERIFY(dlg->errors().isEmpty());
        QCOMPARE(t->rowCount("select * from contact where Company='O''Hara'"), 1);
    }

    void newContactListedUnderCurrentCustomer() {
        goToCustomer("Beta");
        QCOMPARE(Frm_Data->Qry_Contact->recordCount(), 0);
        auto d = open(1);
        d->Edit_Name->setText("Carl");
        d->Btn_OK->click();
        QCOMPARE(Frm_Data->Qry_Contact->recordCount(), 1);
        QCOMPARE(Frm_Data->Qry_Contact->asString("Name"), QString("Carl"));
        QCOMPARE(Frm_Data->Qry_Contact->state(), db::Query::State::Browse);
    }

    void browserCountsGrowAfterAdd() {
        main->ShowChildForm("TFrm_Custom");
        QVERIFY(Frm_Custom);
        Frm_Custom->FormShow();  // the main window is not shown in tests
        QCOMPARE(main->statusText(1), QString("Have 4 Customer Record   |   0 Contactor"));
        auto d = open(1);  // for Acme, the browser's current customer
        d->Edit_Name->setText("Ned");
        d->Btn_OK->click();
        QCOMPARE(main->statusText(1), QString("Have 4 Customer Record   |   1 Contactor"));
        QCOMPARE(Frm_Custom->DBGridEh1->model()->rowCount(), 1);
    }

    void emptyFieldMessagesPerMode() {
        auto d = open(1);
        d->Edit_Name->clear();
        d->Btn_OKClick();
        d->Edit_Name->setText("Dora");
        d->Combo_Cust->setEditText("");
        d->Btn_OKClick();
        QCOMPARE(dlg->messages(), QStringList({"Name not null", "Pealse select a company"}));
        for (const auto& r : dlg->requests) {
            QCOMPARE(r.title, QString("Warning"));
            QCOMPARE(r.icon, toolkit::Icon::Information);
        }
        QCOMPARE(t->rowCount("select * from contact"), 0);
        QCOMPARE(d->Edit_Name->text(), QString("Dora"));  // input kept
        d.reset();

        addContact(1, "Eve", "Admin");
        main->Cust_CustContactExecute();
        dlg->clear();
        auto e = open(0);
        e->Combo_Cust->setEditText("");
        e->Btn_OKClick();
        e->Edit_Name->clear();
        e->Btn_OKClick();
        QCOMPARE(dlg->messages(), QStringList({"Please select a company", "Name not null"}));
        QVERIFY(e->isVisible());
        QCOMPARE(t->value("select * from contact", "Company").toString(), QString("Acme"));
    }

    void mainFlagPerMode() {
        auto d = open(1);
        d->Edit_Name->setText("Plain");
        d->Btn_OKClick();
        d->Edit_Name->setText("Chief");
        d->CB_Main->setChecked(true);
        d->Btn_OKClick();
        QCOMPARE(t->value("select * from contact where Name='Plain'", "Main").toBool(), false);
        QCOMPARE(t->value("select * from contact where Name='Chief'", "Main").toBool(), true);
        d.reset();

        main->Cust_CustContactExecute();  // Acme's contacts: Plain, Chief
        Frm_Data->Qry_Contact->last();
        auto e = open(0);
        QCOMPARE(e->Edit_Name->text(), QString("Chief"));
        QVERIFY(e->CB_Main->isChecked());
        e->CB_Main->setChecked(false);
        e->Btn_OKClick();
        QCOMPARE(t->value("select * from contact where Name='Chief'", "Main").toBool(), false);
    }

    void birthdayOnlyWhenChecked() {
        addContact(1, "Fay", "Admin", "0, '1980-05-06'");
        main->Cust_CustContactExecute();
        const QString fay = "select * from contact where Name='Fay'";
        {
            auto e = open(0);
            QCOMPARE(e->windowTitle(), QString("Edit Contactor"));
            QCOMPARE(e->Btn_OK->text(), QString("Save(&S)"));
            QVERIFY(e->DateTimePicker1->checked());
            QCOMPARE(e->DateTimePicker1->date(), QDate(1980, 5, 6));
            e->DateTimePicker1->setChecked(false);
            e->Edit_Mobile->setText("999");
            e->Btn_OKClick();
            QVERIFY(!e->isVisible());  // a save closes it
        }
        QCOMPARE(t->value(fay, "Mobile").toString(), QString("999"));
        QCOMPARE(t->value(fay, "Birthday").toDateTime().date(), QDate(1980, 5, 6));
        {
            auto e = open(0);
            e->DateTimePicker1->Edit->setDate(QDate(1990, 1, 2));  // as the user picks it
            QVERIFY(e->DateTimePicker1->checked());
            e->Btn_OKClick();
        }
        QCOMPARE(t->value(fay, "Birthday").toDateTime().date(), QDate(1990, 1, 2));

        // Adding: written only when checked.
        auto d = open(1);
        d->Edit_Name->setText("Gus");
        d->DateTimePicker1->setDate(QDate(2000, 12, 31));
        d->Btn_OKClick();
        QCOMPARE(t->value("select * from contact where Name='Gus'", "Birthday").toDateTime().date(),
                 QDate(2000, 12, 31));
        QVERIFY(!d->DateTimePicker1->checked());  // cleared for the next one
    }

    void navigatorReloadsFields() {
        addContact(1, "Hal", "Admin");
        addContact(1, "Ida", "Admin", "1, '1970-01-01'");
        addContact(2, "Jon", "Admin");
        main->Cust_CustContactExecute();
        auto e = open(0);
        QCOMPARE(e->Edit_Name->text(), QString("Hal"));
        QVERIFY(!e->CB_Main->isChecked());
        QVERIFY(!e->DateTimePicker1->checked());
        QVERIFY(e->DBNavigator1->button(Navigator::Next)->isEnabled());
        e->DBNavigator1->button(Navigator::Next)->click();
        QCOMPARE(e->Edit_Name->text(), QString("Ida"));
        QVERIFY(e->CB_Main->isChecked());
        QCOMPARE(e->DateTimePicker1->date(), QDate(1970, 1, 1));
        QVERIFY(!e->DBNavigator1->button(Navigator::Last)->isEnabled());
        e->DBNavigator1->button(Navigator::First)->click();
        QCOMPARE(e->Edit_Name->text(), QString("Hal"));
        QVERIFY(!e->DateTimePicker1->checked());

        // A saved edit leaves the contact it saved current, not the first one.
        e.reset();
        Frm_Data->Qry_Contact->setCurrentRow(1);
        auto f = open(0);
        QCOMPARE(f->Edit_Name->text(), QString("Ida"));
        f->Edit_Tel->setText("123");
        f->Btn_OK->click();
        QCOMPARE(Frm_Data->Qry_Contact->asString("Name"), QString("Ida"));
        QCOMPARE(Frm_Data->Qry_Contact->currentRow(), 1);
    }

    void commonUserCannotSaveOthersContact() {
        addContact(1, "Own", "Tom");
        addContact(1, "Foreign", "Admin");
        addContact(1, "Orphan", "");
        main->Cust_CustContactExecute();
        main->UserName = "Tom";
        main->UserPermit = 1;
        auto e = open(0);
        QVERIFY(e->Btn_OK->isEnabled());
        e->DBNavigator1->button(Navigator::Next)->click();
        QVERIFY(!e->Btn_OK->isEnabled());
        e.reset();
        Frm_Data->Qry_Contact->last();
        QVERIFY(!open(0)->Btn_OK->isEnabled());  // no owner is not Tom either
        main->UserPermit = 0;
        QVERIFY(open(0)->Btn_OK->isEnabled());
    }

    void failedPostLeavesNothingBehind() {
        QVERIFY(t->refuseWrites("contact", "insert", "refused by a rule"));
        QVERIFY(t->refuseWrites("contact", "update", "refused by a rule"));
        auto d = open(1);
        d->Edit_Name->setText("Kim");
        d->Btn_OK->click();
        QCOMPARE(dlg->errors(), QStringList({"refused by a rule"}));
        QCOMPARE(t->rowCount("select * from contact"), 0);
        QCOMPARE(Frm_Data->Qry_Contact->state(), db::Query::State::Browse);
        QCOMPARE(Frm_Data->Qry_Contact->recordCount(), 0);
        QVERIFY(d->isVisible());
        QCOMPARE(d->Edit_Name->text(), QString("Kim"));
        d.reset();

        QVERIFY(t->allowWrites("contact", "insert"));
        addContact(1, "Lee", "Admin");
        main->Cust_CustContactExecute();
        dlg->clear();
        auto e = open(0);
        e->Edit_Name->setText("Leigh");
        e->Btn_OK->click();
        QCOMPARE(dlg->errors().size(), 1);
        QVERIFY(e->isVisible());
        QCOMPARE(Frm_Data->Qry_Contact->state(), db::Query::State::Browse);
        QCOMPARE(Frm_Data->Qry_Contact->asString("Name"), QString("Lee"));
        QCOMPARE(t->rowCount("select * from contact where Name='Lee'"), 1);
    }

    void editModeWithNoContactSavesNothing() {
        goToCustomer("Beta");  // no contacts
        auto e = open(0);
        QVERIFY(!e->Btn_OK->isEnabled());
        e->Edit_Name->setText("Ghost");
        e->Combo_Cust->setEditText("Beta");
        e->Btn_OKClick();
        QCOMPARE(t->rowCount("select * from contact"), 0);
    }

    void emailDoubleClickWritesMail() {
        auto d = open(1);
        d->Edit_Email->setText(" kim@beta.org ");
        QTest::mouseDClick(d->Edit_Email, Qt::LeftButton);
        QCOMPARE(dlg->requests.size(), 1);
        QCOMPARE(dlg->last()->kind, toolkit::DialogRequest::OpenUrl);
        QCOMPARE(dlg->last()->text, QString("mailto:kim@beta.org"));
        QCOMPARE(d->Edit_PostCode->maxLength(), 6);
        QCOMPARE(d->size(), QSize(640, 335));  // wider than 579, for the boxes of row 3
        QCOMPARE(d->minimumSize(), d->maximumSize());
    }

    // The position and department boxes show the supplied entries whole,
    // from their first letter, also when a contact is loaded into them.
    void positionAndDepartmentShowWholeEntries() {
        QVERIFY(t->exec("insert into contact (CustID, Name, Company, Position, Department, Address) values "
                        "('1', 'Pat', 'Acme', 'Purchasing Manager', 'Engineering', "
                        "'Room 1201, Tower B, 88 Very Long Industrial Park Road, Pudong New District')"));
        main->Cust_CustContactExecute();
        auto d = open(0);
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        for (QComboBox* box : {d->Combo_Zw, d->Combo_Depart}) {
            QVERIFY(box->count() > 0);
            for (int i = 0; i < box->count(); ++i) {
                const QString entry = box->itemText(i);
                QVERIFY2(box->lineEdit()->width() >= box->lineEdit()->fontMetrics().horizontalAdvance(entry) + 4,
                         qPrintable(entry));
            }
        }
        QCOMPARE(d->Combo_Zw->currentText(), QString("Purchasing Manager"));
        QCOMPARE(d->Combo_Zw->lineEdit()->cursorPosition(), 0);
        QCOMPARE(d->Edit_Address->cursorPosition(), 0);  // the start of a long address shows
    }

    // Another workstation deletes a customer while a contact is being added
    // to it here: the contact never lands on the deleted customer.
    void noContactOnADeletedCustomer() {
        goToCustomer("Beta");  // CustID 2
        auto d = open(1);
        d->Edit_Name->setText("Bo");
        db::Connection other;
        other.open(t->connString());
        other.beginTrans();
        db::Query del(&other);
        del.setSql("delete from contact where CustID='2'");
        del.execSql();
        del.setSql("delete from custom where CustID=2");
        del.execSql();
        // Saved while the delete is under way: refused after a wait, in words.
        QTest::mouseClick(d->Btn_OK, Qt::LeftButton);
        QCOMPARE(dlg->errors().size(), 1);
        QVERIFY2(dlg->errors()[0].contains("Another workstation is saving"), qPrintable(dlg->errors()[0]));
        other.commitTrans();
        QCOMPARE(t->scalar("select count(*) from contact where CustID='2'"), 0);
        QVERIFY(!Frm_Data->Connection->inTransaction());
        // Saved again: the customer the list offered is gone, which is said;
        // nothing is stored, and the typed contact stays for another choice.
        dlg->clear();
        QTest::mouseClick(d->Btn_OK, Qt::LeftButton);
        QVERIFY(dlg->errors().isEmpty());
        QCOMPARE(dlg->messages(), QStringList({TFrm_AddContact::customerDeletedText()}));
        QVERIFY(TFrm_AddContact::customerDeletedText().contains("the customer was deleted on another workstation"));
        QCOMPARE(t->scalar("select count(*) from contact where Name='Bo'"), 0);
        QVERIFY(d->isVisible());
        QCOMPARE(d->Edit_Name->text(), QString("Bo"));
        QCOMPARE(d->Combo_Cust->currentText(), QString("Beta"));
        QVERIFY(!Frm_Data->Connection->inTransaction());
        // Another company chosen, it is stored there.
        d->Combo_Cust->setCurrentIndex(0);
        emit d->Combo_Cust->activated(0);
        QTest::mouseClick(d->Btn_OK, Qt::LeftButton);
        QCOMPARE(t->text("select * from contact where Name='Bo'", "CustID"), QString("1"));
    }
};

QTEST_MAIN(TestAddContact)
#include "tst_addcontact.moc"
