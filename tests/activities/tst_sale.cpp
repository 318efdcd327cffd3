// The sales window: sales and their lines, the editors of both, the total
// that follows the lines, and the company-name search.
#include <QAbstractItemView>
#include <QCompleter>
#include <QMdiSubWindow>
#include <QTest>

#include "activities/U_AddSale.h"
#include "activities/U_Sale.h"
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

class TestSale : public QObject, testsupport::AppFixture {
    Q_OBJECT

    QStringList column(toolkit::DataGrid* g, int c) {
        QStringList out;
        for (int r = 0; r < g->model()->rowCount(); ++r) out << g->model()->index(r, c).data().toString();
        return out;
    }
    QStringList titles(toolkit::DataGrid* g) {
        QStringList out;
        for (int c = 0; c < g->columnCountShown(); ++c) out << g->model()->headerData(c, Qt::Horizontal).toString();
        return out;
    }
    double total(int saleId) {
        return t->value(QString("select * from T_Sale where SaleID=%1").arg(saleId), "Total").toDouble();
    }
    void addSale(int id, int custId, const QString& company) {
        QVERIFY(t->exec(QString("insert into T_Sale (SaleID, CustID, Company, SaleDate, SaleNo, Total, F_User) "
                                "values (%1, %2, '%3', '2026-02-0%1 00:00:00', 'N%1', 0, 'Admin')")
                            .arg(id)
                            .arg(custId)
                            .arg(company)));
    }
    void addLine(int saleId, const QString& product, double qty, double price) {
        QVERIFY(t->exec(QString("insert into T_SaleLine (SaleID, Product, Quantity, Price, Amount) values "
                                "(%1, '%2', %3, %4, %5)")
                            .arg(saleId)
                            .arg(product)
                            .arg(qty)
                            .arg(price)
                            .arg(qty * price)));
        QVERIFY(t->exec(QString("update T_Sale set Total=(select sum(Amount) from T_SaleLine where SaleID=%1) "
                                "where SaleID=%1")
                            .arg(saleId)));
    }
    TFrm_Sale* openWindow() {
        main->N55->trigger();  // Activities > Sales
        return Frm_Sale;
    }
    // Adds a line through the line editor, as typed.
    void typeLine(TFrm_AddSaleLine* e, const QString& product, const QString& qty, const QString& price) {
        typeText(e->Edit_Product, product);
        e->Edit_Quantity->clear();
        QTest::keyClicks(e->Edit_Quantity, qty);
        QTest::keyClicks(e->Edit_Price, price);
        QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
    }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerActivityWindows();
    }

    void init() {
        QVERIFY(start());
        setUser("Admin", 0);
        QVERIFY(t->exec("insert into custom (Company) values ('Acme'), ('Beta'), ('深圳华强'), ('Acme Two')"));
        main->resize(1000, 700);
        main->show();
    }
    void cleanup() { stop(); }

    void windowAndItsGrids() {
        QVERIFY(openWindow());
        QCOMPARE(Frm_Sale->windowTitle(), QString("销售"));
        QCOMPARE(Frm_Sale->Label1->text(), QString("请输入公司名称:"));
        QCOMPARE(Frm_Sale->Btn_S_Cust->text(), QString("搜索"));
        QCOMPARE(Frm_Sale->Edit_Key->width(), 329);
        QCOMPARE(Frm_Sale->PageControl1->tabText(0), QString("销售"));
        QCOMPARE(Frm_Sale->PageControl2->tabText(0), QString("销售明细"));
        QCOMPARE(Frm_Sale->Splitter1->orientation(), Qt::Vertical);
        QCOMPARE(Frm_Sale->Splitter1->handleWidth(), 3);
        QCOMPARE(titles(Frm_Sale->DBGrid1), QStringList({"日期", "单号", "客户", "金额合计", "备注", "业务员"}));
        QCOMPARE(titles(Frm_Sale->DBGrid2), QStringList({"产品", "数量", "单价", "金额"}));
        QStringList popup;
        for (QMenu* m : {Frm_Sale->PopupMenu1, Frm_Sale->PopupMenu2})
            for (QAction* a : m->actions()) popup << a->text();
        QCOMPARE(popup, QStringList({"新建销售", "编辑销售", "删除销售", "新建明细", "编辑明细", "删除明细"}));
        // Closing only minimises it; the menu brings the same window back.
        TFrm_Sale* first = Frm_Sale;
        QMdiSubWindow* sub = main->MdiArea->activeSubWindow();
        QCOMPARE(sub->widget(), static_cast<QWidget*>(first));
        sub->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(Frm_Sale, first);
        QVERIFY(sub->isMinimized());
        QCOMPARE(openWindow(), first);
        QVERIFY(!sub->isMinimized());
        QCOMPARE(main->MdiArea->subWindowList().size(), 1);
    }

    void newSaleForACustomerFoundByName() {
        QVERIFY(openWindow());
        // A new sale, for a customer found by part of its Chinese name.
        ScriptedModal sale([&](QDialog* d) {
            auto* e = qobject_cast<TFrm_AddSale*>(d);
            if (!e) return 0;
            [&] {
                QCOMPARE(e->windowTitle(), QString("新建销售"));
                QCOMPARE(e->Btn_OK->text(), QString("新增(&A)"));
                typeText(e->Combo_Cust->lineEdit(), "华强");
                QAbstractItemView* found = e->Customers->completer()->popup();
                QVERIFY(found->isVisible());
                QCOMPARE(found->model()->rowCount(), 1);
                QTest::mouseClick(found->viewport(), Qt::LeftButton, {},
                                  found->visualRect(found->model()->index(0, 0)).center());
                QCOMPARE(e->Combo_Cust->currentText(), QString("深圳华强"));
                QTest::keyClicks(e->Edit_No, "S-001'%_");
                e->DateTimePicker1->setDate(QDate(2026, 4, 1));
                typeText(e->Memo1, "首批 'trial'");
                QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
                QVERIFY(!e->isVisible());
            }();
            return 0;
        });
        choose(popupAt(Frm_Sale->DBGrid1, -1), Frm_Sale->N1);
        QCOMPARE(sale.shown, QStringList({"TFrm_AddSale"}));
        const QString row = "select * from T_Sale where SaleID=1";
        QCOMPARE(t->text(row, "CustID"), QString("3"));
        QCOMPARE(t->text(row, "Company"), QString("深圳华强"));
        QCOMPARE(t->text(row, "SaleNo"), QString("S-001'%_"));
        QCOMPARE(t->text(row, "SaleDate"), QString("2026-04-01"));
        QCOMPARE(t->text(row, "Note"), QString("首批 'trial'"));
        QCOMPARE(t->text(row, "F_User"), QString("Admin"));
        QCOMPARE(total(1), 0.0);
        QCOMPARE(column(Frm_Sale->DBGrid1, 2), QStringList({"深圳华强"}));
    }

    void addedLinesRaiseTheTotal() {
        addSale(1, 3, "深圳华强");
        QVERIFY(openWindow());
        // Two lines through the line editor, which stays open between them.
        ScriptedModal lines([&](QDialog* d) {
            auto* e = qobject_cast<TFrm_AddSaleLine*>(d);
            if (!e) return 0;
            [&] {
                QCOMPARE(e->windowTitle(), QString("新建销售明细"));
                QCOMPARE(e->Edit_Quantity->text(), QString("1"));
                typeText(e->Edit_Product, "泵 P-100");
                e->Edit_Quantity->clear();
                QTest::keyClicks(e->Edit_Quantity, "3");
                QTest::keyClicks(e->Edit_Price, "0.1");
                QCOMPARE(e->Edit_Amount->text(), QString("0.30"));
                QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
                QVERIFY(e->isVisible());
                QVERIFY(e->Edit_Product->text().isEmpty());
                typeLine(e, "Valve 'V'", "2", "19.99");
                QTest::mouseClick(e->Btn_Exit, Qt::LeftButton);
            }();
            return 0;
        });
        choose(popupAt(Frm_Sale->DBGrid2, -1), Frm_Sale->N4);
        QCOMPARE(lines.shown, QStringList({"TFrm_AddSaleLine"}));
        QVERIFY(dlg->requests.isEmpty());
        QCOMPARE(total(1), 40.28);
        QCOMPARE(column(Frm_Sale->DBGrid2, 0), QStringList({"泵 P-100", "Valve 'V'"}));
        QCOMPARE(column(Frm_Sale->DBGrid2, 3), QStringList({"0.3", "39.98"}));
        QCOMPARE(column(Frm_Sale->DBGrid1, 3), QStringList({"40.28"}));
    }

    void editedLineChangesTheTotal() {
        addSale(1, 3, "深圳华强");
        addLine(1, "泵 P-100", 3, 0.5);
        addLine(1, "Valve", 2, 19.99);
        QVERIFY(openWindow());
        // Edited by a double-click on the line.
        ScriptedModal edit([&](QDialog* d) {
            auto* e = qobject_cast<TFrm_AddSaleLine*>(d);
            if (!e) return 0;
            [&] {
                QCOMPARE(e->windowTitle(), QString("编辑销售明细"));
                QCOMPARE(e->Btn_OK->text(), QString("保存(&A)"));
                QCOMPARE(e->Edit_Product->text(), QString("泵 P-100"));
                QCOMPARE(e->Edit_Quantity->text(), QString("3"));
                QCOMPARE(e->Edit_Price->text(), QString("0.5"));
                e->Edit_Quantity->selectAll();
                QTest::keyClicks(e->Edit_Quantity, "10");
                QCOMPARE(e->Edit_Amount->text(), QString("5.00"));
                QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
                QVERIFY(!e->isVisible());
            }();
            return 0;
        });
        acttest::doubleClickRow(Frm_Sale->DBGrid2, 0);
        QCOMPARE(edit.shown, QStringList({"TFrm_AddSaleLine"}));
        QCOMPARE(t->rowCount("select * from T_SaleLine"), 2);
        QCOMPARE(total(1), 44.98);
        QCOMPARE(column(Frm_Sale->DBGrid1, 3), QStringList({"44.98"}));
    }

    void deletedLineLeavesTheTotalAfterAYes() {
        addSale(1, 3, "深圳华强");
        addLine(1, "泵 P-100", 2, 0.5);
        addLine(1, "Valve", 2, 19.99);
        QVERIFY(openWindow());
        // Deleted from the popup menu: No keeps it, Yes takes it off the total.
        dlg->answers = {QMessageBox::No, QMessageBox::Yes};
        choose(popupAt(Frm_Sale->DBGrid2, 1), Frm_Sale->N6);
        QCOMPARE(dlg->messages(), QStringList({"确定删除这条销售明细吗?"}));
        QCOMPARE(dlg->last()->buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(total(1), 40.98);
        QCOMPARE(t->rowCount("select * from T_SaleLine"), 2);
        choose(popupAt(Frm_Sale->DBGrid2, 1), Frm_Sale->N6);
        QCOMPARE(total(1), 1.0);
        QCOMPARE(column(Frm_Sale->DBGrid2, 0), QStringList({"泵 P-100"}));
        QCOMPARE(column(Frm_Sale->DBGrid1, 3), QStringList({"1"}));
        QCOMPARE(t->rowCount("select * from T_SaleLine"), 1);
    }

    void linesFollowTheSelectedSale() {
        addSale(1, 1, "Acme");
        addSale(2, 2, "Beta");
        addLine(1, "a1", 1, 5);
        addLine(2, "b1", 2, 3);
        addLine(2, "b2", 1, 1);
        QVERIFY(openWindow());
        QCOMPARE(column(Frm_Sale->DBGrid2, 0), QStringList({"a1"}));
        acttest::clickRow(Frm_Sale->DBGrid1, 1);
        QCOMPARE(column(Frm_Sale->DBGrid2, 0), QStringList({"b1", "b2"}));
        // A line added now belongs to the selected sale only.
        ScriptedModal lines([&](QDialog* d) {
            typeLine(static_cast<TFrm_AddSaleLine*>(d), "b3", "4", "2.5");
            return 0;
        });
        main->activateWindow();
        Frm_Sale->N4Click();
        QCOMPARE(total(2), 17.0);
        QCOMPARE(total(1), 5.0);
        // Deleting the sale takes its lines along, and nothing else.
        dlg->answers = {QMessageBox::Yes};
        choose(popupAt(Frm_Sale->DBGrid1, 1), Frm_Sale->N3);
        QCOMPARE(dlg->messages(), QStringList({"确定删除这笔销售和它的全部明细吗?"}));
        QCOMPARE(t->rowCount("select * from T_Sale"), 1);
        QCOMPARE(t->rowCount("select * from T_SaleLine where SaleID=2"), 0);
        QCOMPARE(t->rowCount("select * from T_SaleLine where SaleID=1"), 1);
        QCOMPARE(column(Frm_Sale->DBGrid2, 0), QStringList({"a1"}));
    }

    void searchByCompanyName() {
        addSale(1, 1, "Acme");
        addSale(2, 2, "Beta");
        addSale(3, 3, "深圳华强");
        addSale(4, 4, "Acme Two");
        addLine(2, "b1", 1, 1);
        QVERIFY(openWindow());
        QCOMPARE(Frm_Sale->DBGrid1->model()->rowCount(), 4);
        QTest::keyClicks(Frm_Sale->Edit_Key, "acme");
        QTest::keyClick(Frm_Sale->Edit_Key, Qt::Key_Return);
        QCOMPARE(column(Frm_Sale->DBGrid1, 2), QStringList({"Acme", "Acme Two"}));
        Frm_Sale->Edit_Key->clear();
        typeText(Frm_Sale->Edit_Key, "华强");
        QTest::mouseClick(Frm_Sale->Btn_S_Cust, Qt::LeftButton);
        QCOMPARE(column(Frm_Sale->DBGrid1, 2), QStringList({"深圳华强"}));
        QVERIFY(column(Frm_Sale->DBGrid2, 0).isEmpty());
        Frm_Sale->Edit_Key->setText("Bet");
        Frm_Sale->Btn_S_CustClick();
        QCOMPARE(column(Frm_Sale->DBGrid2, 0), QStringList({"b1"}));
        Frm_Sale->Edit_Key->setText("'");
        Frm_Sale->Btn_S_CustClick();
        QCOMPARE(Frm_Sale->DBGrid1->model()->rowCount(), 0);
        QVERIFY(dlg->errors().isEmpty());
        QCOMPARE(titles(Frm_Sale->DBGrid1).size(), 6);
    }

    void badInputIsRefusedPlainly() {
        QVERIFY(openWindow());
        // Lines need a sale.
        ScriptedModal none([](QDialog*) { return 0; });
        Frm_Sale->N4Click();
        QVERIFY(none.shown.isEmpty());
        QCOMPARE(dlg->messages(), QStringList({"请先选择一笔销售!"}));
        dlg->clear();
        int noCap = 0;
        ScriptedModal sale([&](QDialog* d) {
            auto* e = static_cast<TFrm_AddSale*>(d);
            noCap = e->Edit_No->maxLength();
            e->Btn_OKClick();  // no customer
            typeText(e->Combo_Cust->lineEdit(), "acme");  // not a name as stored
            e->Btn_OKClick();
            e->Combo_Cust->lineEdit()->clear();
            typeText(e->Combo_Cust->lineEdit(), "Acme");  // exactly a name
            e->Memo1->setPlainText(QString("备注'%_\n").repeated(1000));
            e->Btn_OKClick();
            return 0;
        });
        Frm_Sale->N1Click();
        QCOMPARE(noCap, 30);
        QCOMPARE(dlg->messages(), QStringList({"请选择客户!", "没有名为“acme”的客户：请从列表中选择客户!"}));
        QCOMPARE(t->rowCount("select * from T_Sale"), 1);
        QCOMPARE(t->text("select * from T_Sale", "CustID"), QString("1"));
        QCOMPARE(t->text("select * from T_Sale", "Note"), QString("备注'%_\n").repeated(1000));
        dlg->clear();
        int productCap = 0;
        ScriptedModal line([&](QDialog* d) {
            auto* e = static_cast<TFrm_AddSaleLine*>(d);
            productCap = e->Edit_Product->maxLength();
            e->Edit_Quantity->clear();
            QTest::keyClicks(e->Edit_Quantity, "x1.2.3");  // the box takes "1.2" only
            QTest::keyClicks(e->Edit_Price, "-5");         // no sign for a price
            e->Btn_OKClick();  // no product
            typeText(e->Edit_Product, "Bolt");
            e->Edit_Quantity->setText(".");
            e->Btn_OKClick();
            e->Edit_Quantity->setText("1.2");
            e->Edit_Price->clear();
            e->Btn_OKClick();
            return 0;
        });
        Frm_Sale->N4Click();
        QCOMPARE(productCap, 100);
        QCOMPARE(dlg->messages(), QStringList({"产品不能为空!", "数量必须是数字，最多 999999.9999，小数最多 4 位!",
                                               "单价必须是不小于 0 的数字，最多 99999999.9999，小数最多 4 位!"}));
        QCOMPARE(t->rowCount("select * from T_SaleLine"), 0);
    }

    void aRefusedTotalKeepsNothing() {
        addSale(1, 1, "Acme");
        addLine(1, "kept", 2, 5);
        QVERIFY(openWindow());
        QVERIFY(t->refuseWrites("T_Sale", "update", "refused by a rule"));
        bool open = false;
        ScriptedModal line([&](QDialog* d) {
            auto* e = static_cast<TFrm_AddSaleLine*>(d);
            typeLine(e, "lost", "1", "1");
            open = e->isVisible();
            return 0;
        });
        Frm_Sale->N4Click();
        QVERIFY(open);
        QCOMPARE(dlg->errors(), QStringList({"refused by a rule"}));
        // Neither the line nor a changed total: both as they were.
        QCOMPARE(t->rowCount("select * from T_SaleLine"), 1);
        QCOMPARE(total(1), 10.0);
        QCOMPARE(column(Frm_Sale->DBGrid2, 0), QStringList({"kept"}));
        QCOMPARE(column(Frm_Sale->DBGrid1, 3), QStringList({"10"}));
        QCOMPARE(Frm_Sale->Qry_Sale->state(), db::Query::State::Browse);
        QCOMPARE(Frm_Sale->Qry_SaleLine->state(), db::Query::State::Browse);
        QVERIFY(!t->data()->Connection->inTransaction());
        // Deleting the line fails the same way and keeps it.
        dlg->clear();
        dlg->answers = {QMessageBox::Yes};
        choose(popupAt(Frm_Sale->DBGrid2, 0), Frm_Sale->N6);
        QCOMPARE(dlg->errors(), QStringList({"refused by a rule"}));
        QCOMPARE(t->rowCount("select * from T_SaleLine"), 1);
        QCOMPARE(column(Frm_Sale->DBGrid2, 0), QStringList({"kept"}));
    }
};

QTEST_MAIN(TestSale)
#include "tst_sale.moc"
