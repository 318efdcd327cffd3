// The activity editors keep what was typed: moving away, Esc and closing ask
// "Save changes?"; a sale changed on another workstation can be read again
// and the list shows the stored total; amounts are exact to the cent within
// bounds the boxes enforce.
#include <QTest>

#include "activities/U_AddDaily.h"
#include "activities/U_AddSale.h"
#include "activities/U_AddSchedule.h"
#include "activities/U_Daily.h"
#include "activities/U_Sale.h"
#include "activities/Windows.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "tests/activities/ActivityTest.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

using acttest::typeText;
using toolkit::Navigator;

class TestActivityEdits : public QObject, testsupport::AppFixture {
    Q_OBJECT

    int asked() const { return int(dlg->messages().count("Save changes?")); }
    // A statement run by another workstation.
    void elsewhere(const QString& sql) {
        db::Connection second;
        second.open(t->connString());
        db::Query other(&second);
        other.setSql(sql);
        other.execSql();
    }
    void addSale() {
        QVERIFY(t->exec("insert into T_Sale (SaleID, CustID, Company, SaleDate, SaleNo, Total, F_User) "
                        "values (1, 1, 'Acme', '2026-02-01 00:00:00', 'N1', 30, 'Admin')"));
        QVERIFY(t->exec("insert into T_SaleLine (SaleID, Product, Quantity, Price, Amount) "
                        "values (1, 'Bolt', 3, 10, 30)"));
    }
    TFrm_Sale* openSales() {
        main->Main_SaleExecute();
        return Frm_Sale;
    }

private slots:
    void initTestCase() { registerActivityWindows(); }
    void init() {
        QVERIFY(start());
        setUser("Admin", 0);
        QVERIFY(t->exec("insert into custom (Company) values ('Acme')"));
        main->resize(1000, 700);
        main->show();
    }
    void cleanup() { stop(); }

    void dailyNavigatorAndEscAsk() {
        for (const char* s : {"first", "second"})
            QVERIFY(t->exec(QString("insert into T_Daily (Subject, Content, AddDate, author) "
                                    "values ('%1', 'text', '2026-01-0%2 00:00:00', 'Admin')")
                                .arg(s)
                                .arg(s[0] == 'f' ? 1 : 2)));
        main->Main_DailyExecute();
        Frm_Data->Qry_Daily->first();
        TFrm_AddDaily e;
        e.AddMode = false;
        e.show();
        QCOMPARE(e.Edit_Subject->text(), QString("first"));
        e.Memo1->moveCursor(QTextCursor::End);
        typeText(e.Memo1, " more");
        dlg->answers = {QMessageBox::Cancel};
        QTest::mouseClick(e.DBNavigator1->button(Navigator::Next), Qt::LeftButton);
        QCOMPARE(asked(), 1);
        QCOMPARE(e.Edit_Subject->text(), QString("first"));
        QCOMPARE(e.Memo1->toPlainText(), QString("text more"));
        dlg->answers = {QMessageBox::Save};
        QTest::mouseClick(e.DBNavigator1->button(Navigator::Next), Qt::LeftButton);
        QCOMPARE(t->text("select * from T_Daily where Subject='first'", "Content"), QString("text more"));
        QCOMPARE(e.Edit_Subject->text(), QString("second"));
        QVERIFY(e.isVisible());
        // Esc with a changed date: Cancel stays, Discard goes.
        QTest::keyClick(e.DateTimePicker1, Qt::Key_Up);
        dlg->answers = {QMessageBox::Cancel};
        QTest::keyClick(&e, Qt::Key_Escape);
        QVERIFY(e.isVisible());
        dlg->answers = {QMessageBox::Discard};
        QTest::keyClick(&e, Qt::Key_Escape);
        QVERIFY(!e.isVisible());
        QCOMPARE(asked(), 4);
        QCOMPARE(t->text("select * from T_Daily where Subject='second'", "AddDate"), QString("2026-01-02"));
    }

    void scheduleExitAsks() {
        TFrm_AddSchedule e;
        e.AddMode = true;
        e.show();
        QTest::mouseClick(e.Btn_Exit, Qt::LeftButton);  // nothing typed
        QVERIFY(!e.isVisible());
        QVERIFY(dlg->requests.isEmpty());
        e.show();
        typeText(e.ComboBox1->lineEdit(), "Call back");
        dlg->answers = {QMessageBox::Cancel};
        QTest::mouseClick(e.Btn_Exit, Qt::LeftButton);
        QVERIFY(e.isVisible());
        QCOMPARE(e.ComboBox1->currentText(), QString("Call back"));
        dlg->answers = {QMessageBox::Save};
        QTest::keyClick(&e, Qt::Key_Escape);
        QVERIFY(!e.isVisible());
        QCOMPARE(t->rowCount("select * from T_Schedule where Subject='Call back'"), 1);
    }

    void saleAndLineEditorsAsk() {
        addSale();
        QVERIFY(openSales());
        TFrm_AddSale s(Frm_Sale->Qry_Sale);
        s.AddMode = false;
        s.show();
        QCOMPARE(s.Edit_No->text(), QString("N1"));
        QTest::keyClicks(s.Edit_No, "-b");
        dlg->answers = {QMessageBox::Cancel};
        s.close();
        QVERIFY(s.isVisible());
        dlg->answers = {QMessageBox::Discard};
        s.close();
        QVERIFY(!s.isVisible());
        QCOMPARE(t->text("select * from T_Sale", "SaleNo"), QString("N1"));

        TFrm_AddSaleLine l(Frm_Sale->Qry_Sale, Frm_Sale->Qry_SaleLine);
        l.AddMode = false;
        l.show();
        QCOMPARE(l.Edit_Quantity->text(), QString("3"));
        l.Edit_Quantity->selectAll();
        QTest::keyClicks(l.Edit_Quantity, "4");
        dlg->answers = {QMessageBox::Save};
        QTest::keyClick(&l, Qt::Key_Escape);
        QVERIFY(!l.isVisible());
        QCOMPARE(t->text("select * from T_SaleLine", "Amount"), QString("40"));
        QCOMPARE(t->text("select * from T_Sale", "Total"), QString("40"));
        QCOMPARE(asked(), 3);
    }

    // Another workstation changed the sale: the editor offers to read it
    // again, as the other editors do, and nothing of theirs is lost.
    void saleChangedElsewhereOffersReload() {
        addSale();
        QVERIFY(openSales());
        TFrm_AddSale s(Frm_Sale->Qry_Sale);
        s.AddMode = false;
        s.show();
        elsewhere("update T_Sale set Note='theirs' where SaleID=1");
        QTest::keyClicks(s.Edit_No, "X");
        dlg->answers = {QMessageBox::Yes};
        QTest::mouseClick(s.Btn_OK, Qt::LeftButton);
        QCOMPARE(dlg->messages().size(), 1);
        QVERIFY(dlg->messages()[0].contains("changed on another workstation"));
        QCOMPARE(dlg->last()->title, QString("Changed on another workstation"));
        QVERIFY(s.isVisible());
        QCOMPARE(s.Memo1->toPlainText(), QString("theirs"));  // read again
        QCOMPARE(s.Edit_No->text(), QString("N1"));
        QTest::keyClicks(s.Edit_No, "X");
        QTest::mouseClick(s.Btn_OK, Qt::LeftButton);
        QVERIFY(!s.isVisible());
        QCOMPARE(t->text("select * from T_Sale", "SaleNo"), QString("N1X"));
        QCOMPARE(t->text("select * from T_Sale", "Note"), QString("theirs"));
    }

    // Another workstation added a line: a line saved here brings the total
    // to the sum of every stored line, and the list shows that total.
    void totalIsTheStoredOne() {
        addSale();
        QVERIFY(openSales());
        elsewhere("insert into T_SaleLine (SaleID, Product, Quantity, Price, Amount) values (1, 'Nut', 1, 5, 5)");
        elsewhere("update T_Sale set Total=35 where SaleID=1");
        TFrm_AddSaleLine l(Frm_Sale->Qry_Sale, Frm_Sale->Qry_SaleLine);
        l.AddMode = true;
        l.show();
        typeText(l.Edit_Product, "Washer");
        l.Edit_Quantity->selectAll();
        QTest::keyClicks(l.Edit_Quantity, "2");
        QTest::keyClicks(l.Edit_Price, "0.05");
        QTest::mouseClick(l.Btn_OK, Qt::LeftButton);
        QVERIFY(dlg->requests.isEmpty());
        QCOMPARE(t->text("select * from T_Sale", "Total"), QString("35.1"));
        const int f = Frm_Sale->Qry_Sale->fieldIndex("Total");
        QCOMPARE(Frm_Sale->Qry_Sale->textAt(0, f), QString("35.1"));

        // A line changed elsewhere while open here: offered to read it again.
        Frm_Sale->Qry_SaleLine->first();
        TFrm_AddSaleLine e(Frm_Sale->Qry_Sale, Frm_Sale->Qry_SaleLine);
        e.AddMode = false;
        e.show();
        QCOMPARE(e.Edit_Product->text(), QString("Bolt"));
        elsewhere("update T_SaleLine set Quantity=6, Amount=60 where Product='Bolt'");
        e.Edit_Price->selectAll();
        QTest::keyClicks(e.Edit_Price, "11");
        dlg->answers = {QMessageBox::Yes};
        QTest::mouseClick(e.Btn_OK, Qt::LeftButton);
        QVERIFY(dlg->messages().value(0).contains("changed on another workstation"));
        QVERIFY(e.isVisible());
        QCOMPARE(e.Edit_Quantity->text(), QString("6"));
        QCOMPARE(e.Edit_Price->text(), QString("10"));
        QCOMPARE(t->text("select * from T_SaleLine where Product='Bolt'", "Amount"), QString("60"));
    }

    void amountsStayExactWithinTheBoxesBounds() {
        addSale();
        QVERIFY(openSales());
        TFrm_AddSaleLine l(Frm_Sale->Qry_Sale, Frm_Sale->Qry_SaleLine);
        l.AddMode = true;
        l.show();
        typeText(l.Edit_Product, "Big");
        l.Edit_Quantity->selectAll();
        // The boxes take no more digits than their bounds.
        QTest::keyClicks(l.Edit_Quantity, "9999999999.99999");
        QCOMPARE(l.Edit_Quantity->text(), QString("999999.9999"));
        QTest::keyClicks(l.Edit_Price, "9999999999.99999");
        QCOMPARE(l.Edit_Price->text(), QString("99999999.9999"));
        QCOMPARE(l.Edit_Amount->text(), QString("99999999989900.00"));  // never in exponent form
        QTest::mouseClick(l.Btn_OK, Qt::LeftButton);
        QCOMPARE(dlg->messages().size(), 1);
        QVERIFY(dlg->messages()[0].contains("超出范围"));
        QCOMPARE(t->rowCount("select * from T_SaleLine"), 1);

        // Cents that binary fractions lose are kept.
        dlg->clear();
        l.Edit_Quantity->selectAll();
        QTest::keyClicks(l.Edit_Quantity, "3");
        l.Edit_Price->selectAll();
        QTest::keyClicks(l.Edit_Price, "33333333.3333");
        QCOMPARE(l.Edit_Amount->text(), QString("100000000.00"));
        QTest::mouseClick(l.Btn_OK, Qt::LeftButton);
        QVERIFY(dlg->requests.isEmpty());
        typeText(l.Edit_Product, "Small");
        l.Edit_Quantity->selectAll();
        QTest::keyClicks(l.Edit_Quantity, "0.1");
        QTest::keyClicks(l.Edit_Price, "0.7");
        QTest::mouseClick(l.Btn_OK, Qt::LeftButton);
        QCOMPARE(t->text("select * from T_Sale", "Total"), QString("100000030.07"));
        QCOMPARE(t->text("select * from T_SaleLine where Product='Small'", "Amount"), QString("0.07"));
    }
};

QTEST_MAIN(TestActivityEdits)
#include "tst_activity_edits.moc"
