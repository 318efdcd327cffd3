// Typed changes in the customer and contact editors are never dropped
// without a question: the navigator, Esc, the close box and Exit ask
// "Save changes?" first, and unchanged fields move on silently.
#include <QLineEdit>
#include <QTest>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "customers/U_AddContact.h"
#include "customers/U_Custom.h"
#include "customers/U_addcust.h"
#include "customers/Windows.h"
#include "tests/support/AppFixture.h"

using toolkit::Navigator;

class TestUnsaved : public QObject, testsupport::AppFixture {
    Q_OBJECT

    void addCustomers() {
        for (const char* name : {"Alpha", "Beta", "Gamma"})
            QVERIFY(t->exec(QString("insert into custom (Company, F_User, City) values ('%1', 'Admin', 'Town %1')")
                                .arg(name)));
        Frm_Data->Qry_Cust->close();
        Frm_Data->Qry_Cust->open();
    }
    template <class Editor>
    std::unique_ptr<Editor> open(int mode) {
        auto d = std::make_unique<Editor>();
        d->AddMode = mode;
        d->show();
        return d;
    }
    static void retype(QLineEdit* e, const QString& text) {
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    int asked() const { return int(dlg->messages().count("Save changes?")); }

private slots:
    void initTestCase() { registerCustomerWindows(); }
    void init() {
        QVERIFY(start());
        setUser("Admin", 0);
        main->Cust_CustContactExecute();
        addCustomers();
    }
    void cleanup() { stop(); }

    void customerNavigatorAsksBeforeMoving() {
        Frm_Data->Qry_Cust->first();
        auto d = open<TFrm_AddCust>(0);
        QCOMPARE(d->Edit_Com->text(), QString("Alpha"));
        QWidget* next = d->DBNavigator1->button(Navigator::Next);

        // Unchanged: moves on without a word.
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(d->Edit_Com->text(), QString("Beta"));
        QVERIFY(dlg->requests.isEmpty());

        // Cancel: stays on the record with the text typed.
        retype(d->Edit_City, "Typed City");
        dlg->answers = {QMessageBox::Cancel};
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(asked(), 1);
        QCOMPARE(dlg->last()->title, QString("Edit Customer"));
        QCOMPARE(dlg->last()->buttons, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        QCOMPARE(Frm_Data->Qry_Cust->asString("Company"), QString("Beta"));
        QCOMPARE(d->Edit_City->text(), QString("Typed City"));

        // Discard: moves on, nothing stored.
        dlg->answers = {QMessageBox::Discard};
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(d->Edit_Com->text(), QString("Gamma"));
        QCOMPARE(t->text("select * from custom where Company='Beta'", "City"), QString("Town Beta"));

        // Save: stored, then moves on.
        retype(d->Edit_City, "Gamma City");
        dlg->answers = {QMessageBox::Save};
        QTest::mouseClick(d->DBNavigator1->button(Navigator::First), Qt::LeftButton);
        QCOMPARE(t->text("select * from custom where Company='Gamma'", "City"), QString("Gamma City"));
        QCOMPARE(d->Edit_Com->text(), QString("Alpha"));
        QVERIFY(d->isVisible());
        // Typing a change and typing it back is no change.
        retype(d->Edit_City, "Elsewhere");
        retype(d->Edit_City, "Town Alpha");
        dlg->clear();
        QTest::mouseClick(next, Qt::LeftButton);
        QVERIFY(dlg->requests.isEmpty());
    }

    void customerEscAndCloseAsk() {
        auto d = open<TFrm_AddCust>(1);
        // Nothing typed: Esc closes at once.
        QTest::keyClick(d.get(), Qt::Key_Escape);
        QVERIFY(!d->isVisible());
        QVERIFY(dlg->requests.isEmpty());

        d = open<TFrm_AddCust>(1);
        QTest::keyClicks(d->Edit_Com, "Delta Ltd");
        dlg->answers = {QMessageBox::Cancel};
        QTest::keyClick(d.get(), Qt::Key_Escape);
        QCOMPARE(asked(), 1);
        QVERIFY(d->isVisible());
        QCOMPARE(d->Edit_Com->text(), QString("Delta Ltd"));
        // The close box and Exit ask the same.
        dlg->answers = {QMessageBox::Cancel};
        d->close();
        QVERIFY(d->isVisible());
        dlg->answers = {QMessageBox::Cancel};
        QTest::mouseClick(d->Bit_Exit, Qt::LeftButton);
        QVERIFY(d->isVisible());
        QCOMPARE(asked(), 3);
        // Save adds the customer as "Add(&A)" would, then closes.
        dlg->answers = {QMessageBox::Save};
        QTest::keyClick(d.get(), Qt::Key_Escape);
        QVERIFY(!d->isVisible());
        QCOMPARE(t->rowCount("select * from custom where Company='Delta Ltd'"), 1);

        // A save that is refused keeps the dialog and what was typed.
        d = open<TFrm_AddCust>(1);
        QTest::keyClicks(d->Edit_Com, "Alpha");
        dlg->clear();
        dlg->answers = {QMessageBox::Save};
        QTest::keyClick(d.get(), Qt::Key_Escape);
        QCOMPARE(dlg->messages(), QStringList({"Save changes?", "Company repeat"}));
        QVERIFY(d->isVisible());
        QCOMPARE(d->Edit_Com->text(), QString("Alpha"));
        // Discard closes without storing.
        dlg->answers = {QMessageBox::Discard};
        QTest::keyClick(d.get(), Qt::Key_Escape);
        QVERIFY(!d->isVisible());
        QCOMPARE(t->rowCount("select * from custom where Company='Alpha'"), 1);
    }

    void customerOfAnotherUserIsNotAskedAbout() {
        // A record the user may only look at cannot be saved: no question.
        QVERIFY(t->exec("update custom set F_User='Tom'"));
        Frm_Data->Qry_Cust->close();
        Frm_Data->Qry_Cust->open();
        setUser("Ann", 1);
        auto d = open<TFrm_AddCust>(0);
        QVERIFY(!d->Btn_OK->isEnabled());
        retype(d->Edit_City, "Changed");
        QTest::mouseClick(d->DBNavigator1->button(Navigator::Next), Qt::LeftButton);
        QVERIFY(dlg->requests.isEmpty());
        QCOMPARE(d->Edit_Com->text(), QString("Beta"));
    }

    void contactNavigatorAndEscAsk() {
        const QString id = t->text("select * from custom where Company='Beta'", "CustID");
        for (const char* name : {"Ann", "Bob"})
            QVERIFY(t->exec(QString("insert into contact (CustID, Name, Company, F_User) values ('%1', '%2', 'Beta', 'Admin')")
                                .arg(id, name)));
        Frm_Data->Qry_Cust->setCurrentRow(1);  // Beta: its contacts follow
        QCOMPARE(Frm_Data->Qry_Contact->recordCount(), 2);
        auto e = open<TFrm_AddContact>(0);
        QCOMPARE(e->Edit_Name->text(), QString("Ann"));
        QWidget* next = e->DBNavigator1->button(Navigator::Next);

        QTest::keyClicks(e->Edit_Mobile, "555");
        dlg->answers = {QMessageBox::Cancel};
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(asked(), 1);
        QCOMPARE(e->Edit_Name->text(), QString("Ann"));
        QCOMPARE(e->Edit_Mobile->text(), QString("555"));

        dlg->answers = {QMessageBox::Save};
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(t->text("select * from contact where Name='Ann'", "Mobile"), QString("555"));
        QCOMPARE(e->Edit_Name->text(), QString("Bob"));

        // Esc with a change: Cancel keeps it, Discard leaves it unsaved.
        e->CB_Main->setChecked(true);
        dlg->answers = {QMessageBox::Cancel};
        QTest::keyClick(e.get(), Qt::Key_Escape);
        QVERIFY(e->isVisible());
        QVERIFY(e->CB_Main->isChecked());
        dlg->answers = {QMessageBox::Discard};
        QTest::keyClick(e.get(), Qt::Key_Escape);
        QVERIFY(!e->isVisible());
        QCOMPARE(t->text("select * from contact where Name='Bob'", "Main"), QString("False"));
        QCOMPARE(asked(), 4);
    }

    void contactAddedKeepsItsValuesQuietly() {
        Frm_Data->Qry_Cust->first();
        auto e = open<TFrm_AddContact>(1);
        QTest::keyClicks(e->Edit_Name, "Carl");
        QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
        QCOMPARE(t->rowCount("select * from contact where Name='Carl'"), 1);
        // What stays for the next contact (company, address) is no change.
        QTest::keyClick(e.get(), Qt::Key_Escape);
        QVERIFY(!e->isVisible());
        QVERIFY(dlg->requests.isEmpty());
    }
};

QTEST_MAIN(TestUnsaved)
#include "tst_unsaved.moc"
