// The customer browser inside the main window, and the main window's record
// views and deletes that act on what the browser shows.
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QTest>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "customers/U_Custom.h"
#include "customers/U_tree.h"
#include "customers/Windows.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

class TestBrowser : public QObject, testsupport::AppFixture {
    Q_OBJECT

    TFrm_Data* d = nullptr;

    // Customers: id, company, category, owner.
    void addCustomer(int id, const QString& company, const QString& category, const QString& owner,
                     const QString& tel = QString()) {
        QVERIFY(t->exec(QString("insert into custom (CustID, Company, Category, F_User, Tel) values "
                                "(%1, '%2', '%3', '%4', '%5')")
                            .arg(id)
                            .arg(QString(company).replace("'", "''"), category, owner, tel)));
    }
    void addContact(int custId, const QString& name, const QString& owner = "Admin", bool main = false) {
        QVERIFY(t->exec(QString("insert into contact (CustID, Name, F_User, Main) values ('%1', '%2', '%3', %4)")
                            .arg(custId)
                            .arg(name, owner)
                            .arg(main ? 1 : 0)));
    }
    QStringList companies() {
        QStringList out;
        db::Query* q = d->Qry_Cust;
        const int f = q->fieldIndex("Company");
        for (int i = 0; i < q->recordCount(); ++i) out << q->textAt(i, f);
        return out;
    }
    QStringList contactNames() {
        QStringList out;
        db::Query* c = d->Qry_Contact;
        const int f = c->fieldIndex("Name");
        for (int i = 0; i < c->recordCount(); ++i) out << c->textAt(i, f);
        return out;
    }
    QTreeWidgetItem* node(const QString& code) {
        const auto found = Frm_Custom->TreeView1->findItems(code + "-", Qt::MatchStartsWith | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
    void doubleClickNode(QTreeWidgetItem* n) {
        Frm_Custom->TreeView1->setCurrentItem(n);
        Frm_Custom->TreeView1DblClick();
    }

private slots:
    void initTestCase() { registerCustomerWindows(); }

    void init() {
        QVERIFY(start());
        d = t->data();
        QVERIFY(t->exec("insert into category (code, name) values ('01', 'Industry'), ('0101', 'Pumps'), "
                        "('010203', 'Valves'), ('0102', 'Tools'), ('02', 'Trade'), ('123', 'Odd')"));
        addCustomer(1, "Acme", "01", "Admin", "300");
        addCustomer(2, "Bolt & Nut", "0101", "Tom", "100");
        addCustomer(3, "Crane", "010203", "Tom", "200");
        addCustomer(4, "Dyno", "02", "Admin", "150");
        addCustomer(5, "O'Hara Trading", "0201", "Admin", "");
        addContact(1, "Ann", "Admin", true);
        addContact(1, "Abe", "Tom");
        addContact(2, "Bea", "Tom");
        addContact(3, "Cid", "");
        setUser("Admin", 0);
        main->resize(1200, 900);
        main->show();  // opens the browser
        QVERIFY(Frm_Custom);
    }
    void cleanup() {
        stop();
        d = nullptr;
    }

    void opensInsideTheMainWindow() {
        QCOMPARE(main->MdiArea->subWindowList().size(), 1);
        QMdiSubWindow* sub = main->MdiArea->subWindowList().first();
        QCOMPARE(sub->widget(), static_cast<QWidget*>(Frm_Custom));
        QVERIFY(sub->isMaximized());
        QVERIFY(!(sub->windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(sub->windowFlags() & Qt::WindowSystemMenuHint));
        QCOMPARE(Frm_Custom->windowTitle(), QString("Customer"));
        QCOMPARE(Frm_Custom->CoolBar1->height(), 30);
        QVERIFY(Frm_Custom->Panel1->isVisible());
        QVERIFY(!Frm_Custom->Panel5->isVisible());
        QCOMPARE(Frm_Custom->Page_Cust->tabText(0), QString("Customer Information"));
        QCOMPARE(Frm_Custom->Page_Contact->tabText(0), QString("Contactor Information"));
        // All customers, and the contacts of the first one.
        QCOMPARE(d->Qry_Cust->recordCount(), 5);
        QCOMPARE(contactNames(), QStringList({"Ann", "Abe"}));
        // A second request brings back the same window.
        main->Cust_CustContactExecute();
        QCOMPARE(main->ShowChildForm("TFrm_Custom"), static_cast<QWidget*>(Frm_Custom));
        QCOMPARE(main->MdiArea->subWindowList().size(), 1);
    }

    void gridColumnsAndStatusText() {
        // Columns come from the shown-field settings in ShowID order.
        toolkit::DataGrid* g = Frm_Custom->DBGrid1;
        QCOMPARE(g->columnCountShown(), t->scalar("select count(*) from T_FieldShow where show=1 and TableName='Custom'"));
        QCOMPARE(g->model()->headerData(0, Qt::Horizontal).toString(), QString("Customer No."));
        QCOMPARE(g->columnWidth(1), 200);
        // The contact grid's third column is a check box.
        toolkit::DataGrid* c = Frm_Custom->DBGridEh1;
        QCOMPARE(c->model()->headerData(2, Qt::Horizontal).toString(), QString("Main"));
        QCOMPARE(c->model()->index(0, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(!c->model()->index(0, 2).data(Qt::DisplayRole).isValid());
        QCOMPARE(main->statusText(1), QString("Have 5 Customer Record   |   2 Contactor"));

        // At most 17 columns a grid; fewer than three contact columns need no check box.
        QVERIFY(t->exec("update T_FieldShow set show=1 where TableName='Custom'"));
        QVERIFY(t->exec("update T_FieldShow set show=0 where TableName='Contact' and ShowID>1"));
        Frm_Custom->LoadGridColumns();
        QCOMPARE(g->columnCountShown(), 17);
        QCOMPARE(c->columnCountShown(), 1);
        // No shown fields at all: each grid still names its rows, and the
        // counts stay.
        QVERIFY(t->exec("update T_FieldShow set show=0"));
        Frm_Custom->LoadGridColumns();
        QCOMPARE(g->columnCountShown(), 1);
        QCOMPARE(g->model()->index(0, 0).data().toString(), QString("Acme"));
        QCOMPARE(c->columnCountShown(), 1);
        QCOMPARE(c->model()->index(0, 0).data().toString(), QString("Ann"));
        QCOMPARE(main->statusText(1), QString("Have 5 Customer Record   |   2 Contactor"));
    }

    void categoryFilterTakesTheSubtree() {
        // The tree: root, level-1 nodes, their children; 3-digit codes left out.
        QTreeWidget* tree = Frm_Custom->TreeView1;
        QCOMPARE(tree->topLevelItemCount(), 1);
        QVERIFY(node("01") && node("0101") && node("0102") && node("02"));
        QCOMPARE(node("010203")->parent(), node("0102"));
        QVERIFY(!node("123"));

        doubleClickNode(node("01"));
        QCOMPARE(d->Qry_Cust->sql(), QString("Select * from custom where category like :code"));
        QCOMPARE(d->Qry_Cust->paramValue("code"), QVariant("01%"));
        QCOMPARE(companies(), QStringList({"Acme", "Bolt & Nut", "Crane"}));
        QCOMPARE(main->statusText(1), QString("Have 3 Customer Record   |   2 Contactor"));
        doubleClickNode(node("02"));
        QCOMPARE(companies(), QStringList({"Dyno", "O'Hara Trading"}));
        // The root always reloads every customer.
        doubleClickNode(tree->topLevelItem(0));
        QCOMPARE(d->Qry_Cust->recordCount(), 5);
        QCOMPARE(d->Qry_Cust->sql(), QString("Select * from custom"));
    }

    void companySearchMatchesAnywhere() {
        Frm_Custom->Edit_Key->setText("ra");
        QTest::keyClick(Frm_Custom->Edit_Key, Qt::Key_Return);
        QCOMPARE(companies(), QStringList({"Crane", "O'Hara Trading"}));
        QVERIFY(Frm_Custom->Btn_S_Cust->isEnabled());
        Frm_Custom->Edit_Key->clear();
        Frm_Custom->Btn_S_CustClick();
        QCOMPARE(d->Qry_Cust->recordCount(), 5);
        // A quote finds what contains it and breaks nothing.
        Frm_Custom->Edit_Key->setText("O'H");
        Frm_Custom->Btn_S_CustClick();
        QCOMPARE(companies(), QStringList({"O'Hara Trading"}));
        Frm_Custom->Edit_Key->setText("'; delete from custom; --");
        Frm_Custom->Btn_S_CustClick();
        QCOMPARE(d->Qry_Cust->recordCount(), 0);
        QCOMPARE(t->scalar("select count(*) from custom"), 5);
        QVERIFY(dlg->errors().isEmpty());
        QCOMPARE(main->statusText(1), QString("Have 0 Customer Record   |   0 Contactor"));
    }

    void contactSearchCutsTheLinkAndLayoutsRestoreIt() {
        Frm_Custom->Edit_Name->setText("'");  // no contact has a quote
        Frm_Custom->Btn_S_ContactClick();
        QCOMPARE(d->Qry_Contact->recordCount(), 0);
        Frm_Custom->Edit_Name->setText("b");
        QTest::keyClick(Frm_Custom->Edit_Name, Qt::Key_Enter);
        QCOMPARE(contactNames(), QStringList({"Abe", "Bea"}));
        // Moving through the customers no longer changes the contacts.
        d->Qry_Cust->setCurrentRow(2);
        QCOMPARE(contactNames(), QStringList({"Abe", "Bea"}));

        main->Cust_ContactExecute();
        QCOMPARE(contactNames(), QStringList({"Ann", "Abe", "Bea", "Cid"}));
        QVERIFY(!Frm_Custom->Page_Cust->isVisible());
        QVERIFY(!Frm_Custom->TreeView1->isVisible());
        QVERIFY(Frm_Custom->Page_Contact->isVisible());
        QVERIFY(!Frm_Custom->Panel1->isVisible());
        QVERIFY(Frm_Custom->Panel5->isVisible());

        // Back to customers with contacts: only the current customer's contacts.
        main->Cust_CustContactExecute();
        QCOMPARE(contactNames(), QStringList({"Ann", "Abe"}));
        d->Qry_Cust->setCurrentRow(1);
        QCOMPARE(contactNames(), QStringList({"Bea"}));
        QVERIFY(Frm_Custom->Page_Cust->isVisible());
        QVERIFY(Frm_Custom->Page_Contact->isVisible());
        QVERIFY(Frm_Custom->TreeView1->isVisible());
        QVERIFY(Frm_Custom->Panel1->isVisible());
        QVERIFY(!Frm_Custom->Panel5->isVisible());
        QCOMPARE(Frm_Custom->Page_Cust->height(), 260);

        main->Cust_CustExecute();
        QVERIFY(Frm_Custom->Page_Cust->isVisible());
        QVERIFY(!Frm_Custom->Page_Contact->isVisible());
        d->Qry_Cust->setCurrentRow(2);
        QCOMPARE(contactNames(), QStringList({"Cid"}));  // still followed, though not shown
    }

    void myCustomerAndRefreshKeepTheFilter() {
        main->UserName = "Tom";
        main->MyCustExecute();
        QCOMPARE(companies(), QStringList({"Bolt & Nut", "Crane"}));
        QVERIFY(t->exec("insert into custom (Company, F_User) values ('Zeta', 'Tom')"));
        Frm_Custom->N6Click();
        QCOMPARE(companies(), QStringList({"Bolt & Nut", "Crane", "Zeta"}));
        main->UserName = "Nobody";
        main->MyCustExecute();
        QCOMPARE(d->Qry_Cust->recordCount(), 0);
        main->UserName = "O'Neil";  // a quote in the owner's name is not a syntax error
        main->MyCustExecute();
        QVERIFY(dlg->errors().isEmpty());
    }

    void sortsTheLoadedRows() {
        Frm_Custom->N15Click();
        QCOMPARE(companies(), QStringList({"O'Hara Trading", "Bolt & Nut", "Dyno", "Crane", "Acme"}));
        Frm_Custom->N14Click();
        QCOMPARE(companies(), QStringList({"Acme", "Bolt & Nut", "Crane", "Dyno", "O'Hara Trading"}));
        QVERIFY(t->exec("insert into custom (CustID, Company) values (10, 'Early')"));
        Frm_Custom->IP1Click();  // no new statement: the new row is not read
        QCOMPARE(d->Qry_Cust->recordCount(), 5);
        QCOMPARE(companies().first(), QString("Acme"));
    }

    void ownershipGuardsDeletes() {
        main->UserName = "Tom";
        main->UserPermit = 1;
        // Customer 1 belongs to Admin.
        d->Qry_Cust->setCurrentRow(0);
        main->DelCustExecute();
        QCOMPARE(dlg->messages(), QStringList({"Not your customer，cant delete"}));
        QCOMPARE(dlg->last()->title, QString("Warning"));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Information);
        // Ann belongs to Admin.
        dlg->clear();
        main->DelContactExecute();
        QCOMPARE(dlg->messages(), QStringList({"Not your contactor，cant delete"}));
        QCOMPARE(dlg->last()->title, QString("Warning"));
        QCOMPARE(t->scalar("select count(*) from custom"), 5);
        QCOMPARE(t->scalar("select count(*) from contact"), 4);
        // A contact nobody owns is never a common user's.
        d->Qry_Cust->setCurrentRow(2);
        dlg->clear();
        main->DelContactExecute();
        QCOMPARE(dlg->messages(), QStringList({"Not your contactor，cant delete"}));

        // His own contact, after Yes.
        main->UserName = "Tom";
        d->Qry_Cust->setCurrentRow(0);
        d->Qry_Contact->setCurrentRow(1);
        dlg->clear();
        main->DelContactExecute();
        QCOMPARE(dlg->messages(), QStringList({"Are you Sure delete this contactor"}));
        QCOMPARE(dlg->last()->title, QString("Warnign"));
        QCOMPARE(dlg->last()->buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(contactNames(), QStringList({"Ann"}));
        QCOMPARE(t->scalar("select count(*) from contact where Name='Abe'"), 0);
    }

    void superUserDeletesCustomerWithContacts() {
        QVERIFY(t->exec("insert into contact (CustID, Name) values ('1', 'Other'), ('11', 'Keep')"));
        d->Qry_Cust->setCurrentRow(0);
        QTest::keyClick(Frm_Custom->DBGrid1, Qt::Key_Delete);
        QCOMPARE(dlg->messages(), QStringList({"Are your sure delete this Customer"}));
        QCOMPARE(dlg->last()->title, QString("Warning"));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Information);
        QCOMPARE(t->scalar("select count(*) from custom where CustID=1"), 0);
        QCOMPARE(t->scalar("select count(*) from contact where CustID='1'"), 0);
        QCOMPARE(t->scalar("select count(*) from contact where CustID='11'"), 1);
        QCOMPARE(d->Qry_Cust->recordCount(), 4);
        QVERIFY(!d->Connection->inTransaction());
    }

    // As a user does it: a click on the second row, the Delete key, Yes.
    // The row that followed becomes current everywhere, and a second Delete
    // targets it, not the row after.
    void deleteKeyLeavesTheFollowingRowCurrent() {
        toolkit::DataGrid* g = Frm_Custom->DBGrid1;
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(1, 1)).center());
        QCOMPARE(d->Qry_Cust->asString("Company"), QString("Bolt & Nut"));
        QTest::keyClick(g, Qt::Key_Delete);
        QCOMPARE(companies(), QStringList({"Acme", "Crane", "Dyno", "O'Hara Trading"}));
        QCOMPARE(d->Qry_Cust->asString("Company"), QString("Crane"));
        QCOMPARE(g->currentIndex().row(), 1);
        QCOMPARE(g->selectionModel()->selectedRows(1).first().data().toString(), QString("Crane"));
        QCOMPARE(contactNames(), QStringList({"Cid"}));
        QCOMPARE(main->statusText(1), QString("Have 4 Customer Record   |   1 Contactor"));
        QTest::keyClick(g, Qt::Key_Delete);
        QCOMPARE(companies(), QStringList({"Acme", "Dyno", "O'Hara Trading"}));

        // The same for contacts.
        addContact(1, "Amy");
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(0, 1)).center());
        QCOMPARE(contactNames(), QStringList({"Ann", "Abe", "Amy"}));
        toolkit::DataGrid* c = Frm_Custom->DBGridEh1;
        QTest::mouseClick(c->viewport(), Qt::LeftButton, {}, c->visualRect(c->model()->index(1, 0)).center());
        QTest::keyClick(c, Qt::Key_Delete);
        QCOMPARE(contactNames(), QStringList({"Ann", "Amy"}));
        QCOMPARE(d->Qry_Contact->asString("Name"), QString("Amy"));
        QCOMPARE(c->selectionModel()->selectedRows(0).first().data().toString(), QString("Amy"));
    }

    // A group bar view brings the browser forward when another window
    // covers it.
    void viewsBringTheBrowserForward() {
        auto* other = new QWidget;
        QMdiSubWindow* sub = main->MdiArea->addSubWindow(other);
        sub->show();
        main->MdiArea->setActiveSubWindow(sub);
        QCOMPARE(main->MdiArea->activeSubWindow(), sub);
        for (auto view : {&TFrm_Main::Cust_CustExecute, &TFrm_Main::MyCustExecute, &TFrm_Main::Cust_ContactExecute,
                          &TFrm_Main::Cust_CustContactExecute}) {
            main->MdiArea->setActiveSubWindow(sub);
            (main.get()->*view)();
            QVERIFY(main->MdiArea->activeSubWindow());
            QCOMPARE(main->MdiArea->activeSubWindow()->widget(), static_cast<QWidget*>(Frm_Custom));
        }
    }

    // Every change of the lists shows in the counts, whoever made it.
    void countsFollowEveryChangeOfTheLists() {
        Frm_Custom->Edit_Key->setText("c");
        Frm_Custom->Btn_S_CustClick();
        QCOMPARE(main->statusText(1), QString("Have 2 Customer Record   |   2 Contactor"));  // Acme, Crane
        main->Cust_CustContactExecute();
        QCOMPARE(main->statusText(1), QString("Have 5 Customer Record   |   2 Contactor"));
        main->MyCustExecute();
        QCOMPARE(main->statusText(1), QString("Have 3 Customer Record   |   2 Contactor"));
        main->Cust_ContactExecute();
        QCOMPARE(main->statusText(1), QString("Have 3 Customer Record   |   4 Contactor"));
        main->Cust_CustExecute();
        QCOMPARE(main->statusText(1), QString("Have 5 Customer Record   |   2 Contactor"));
        d->Qry_Cust->setCurrentRow(2);  // Crane
        QCOMPARE(main->statusText(1), QString("Have 5 Customer Record   |   1 Contactor"));
    }

    // The supplied column widths fit their titles in the grid's own font.
    void titlesFitTheirColumns() {
        QVERIFY(t->exec("update T_FieldShow set show=1"));
        Frm_Custom->LoadGridColumns();
        QStringList cut;
        for (toolkit::DataGrid* g : {Frm_Custom->DBGrid1, Frm_Custom->DBGridEh1}) {
            for (int i = 0; i < g->columnCountShown(); ++i) {
                const int needs = g->horizontalHeader()->sectionSizeHint(i);
                if (needs > g->columnWidth(i))
                    cut << QString("%1 needs %2 px, has %3")
                               .arg(g->model()->headerData(i, Qt::Horizontal).toString())
                               .arg(needs)
                               .arg(g->columnWidth(i));
            }
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join("; ")));
    }

    // Deep categories are wider than the tree: it scrolls sideways, and each
    // node tells its whole name and code.
    void deepCategoriesCanBeRead() {
        QVERIFY(t->exec("insert into category (code, name) values ('010201', 'Hand tools'), ('01020101', 'Screwdrivers and bits'), "
                        "('0102010101', 'Precision screwdrivers'), "
                        "('010201010101', 'Precision screwdrivers for watchmakers')"));
        FillCategoryTree(Frm_Custom->TreeView1);
        QTreeWidgetItem* deep = node("010201010101");
        QVERIFY(deep);
        QCOMPARE(deep->toolTip(0), QString("Precision screwdrivers for watchmakers (010201010101)"));
        Frm_Custom->TreeView1->expandAll();
        Frm_Custom->TreeView1->scrollToItem(deep);
        QCoreApplication::processEvents();
        QVERIFY(Frm_Custom->TreeView1->horizontalScrollBar()->maximum() > 0);
    }

    void answeringNoChangesNothing() {
        dlg->answers = {QMessageBox::No, QMessageBox::No, QMessageBox::No, QMessageBox::No};
        main->DelCustExecute();
        main->DelContactExecute();
        d->Qry_Daily->setSql("select * from T_Daily");
        d->Qry_Daily->open();
        QVERIFY(t->exec("insert into T_Daily (Subject, author) values ('Call', 'Admin')"));
        d->Qry_Daily->close();
        d->Qry_Daily->open();
        main->DelDailyExecute();
        QCOMPARE(dlg->messages().size(), 3);
        QCOMPARE(dlg->messages().last(), QString("Are sure delete this record?"));
        QCOMPARE(t->scalar("select count(*) from custom"), 5);
        QCOMPARE(t->scalar("select count(*) from contact"), 4);
        QCOMPARE(t->scalar("select count(*) from T_Daily"), 1);
        // A closed list is left alone without a question.
        dlg->clear();
        d->Qry_Daily->close();
        main->DelDailyExecute();
        main->DelScheduleExecute();
        QVERIFY(dlg->requests.isEmpty());
    }

    void failedDeleteIsRolledBack() {
        // Contacts of customer 1 cannot be deleted: the whole delete must fail.
        QVERIFY(t->refuseWrites("contact", "delete", "contacts are locked"));
        d->Qry_Cust->setCurrentRow(0);
        main->DelCustExecute();
        QCOMPARE(t->scalar("select count(*) from custom where CustID=1"), 1);
        QCOMPARE(t->scalar("select count(*) from contact"), 4);
        QVERIFY(!d->Connection->inTransaction());
        QVERIFY(dlg->errors().isEmpty());  // nothing reported
        // The grid shows what the database holds.
        QCOMPARE(d->Qry_Cust->recordCount(), 5);
        // An empty list: asked, then nothing happens.
        Frm_Custom->Edit_Key->setText("no such company");
        Frm_Custom->Btn_S_CustClick();
        dlg->clear();
        main->DelCustExecute();
        QCOMPARE(dlg->messages(), QStringList({"Are your sure delete this Customer"}));
        QVERIFY(dlg->errors().isEmpty());
        QCOMPARE(t->scalar("select count(*) from custom"), 5);

        // A list the engine refused to open reads as empty too: asked or
        // refused, but no field errors and nothing deleted.
        d->Qry_Cust->close();
        d->Qry_Cust->setSql("select * from no_such_table");
        QVERIFY_THROWS_EXCEPTION(std::exception, d->Qry_Cust->open());
        dlg->clear();
        main->DelCustExecute();
        QCOMPARE(dlg->messages(), QStringList({"Are your sure delete this Customer"}));
        setUser("Tom", 1);
        main->DelCustExecute();
        main->DelContactExecute();
        QCOMPARE(dlg->messages().last(), QString("Not your customer，cant delete"));
        QVERIFY(dlg->errors().isEmpty());
        QCOMPARE(t->scalar("select count(*) from custom"), 5);
    }

    void gridsCallTheMainWindowsCommands() {
        QStringList opened;
        toolkit::ScriptedModal modal([&](QDialog* w) {
            opened << w->metaObject()->className();
            return 0;
        });
        emit Frm_Custom->DBGrid1->doubleClickedRow();
        emit Frm_Custom->DBGridEh1->doubleClickedRow();
        Frm_Custom->N3->trigger();
        Frm_Custom->add1->trigger();
        QCOMPARE(opened, QStringList({"TFrm_AddCust", "TFrm_AddContact", "TFrm_AddCust", "TFrm_AddContact"}));
        // Other keys do nothing special.
        QTest::keyClick(Frm_Custom->DBGrid1, Qt::Key_X);
        QVERIFY(dlg->requests.isEmpty());
        // No contacts: editing one does nothing.
        main->Cust_ContactExecute();
        Frm_Custom->Edit_Name->setText("nobody");
        Frm_Custom->Btn_S_ContactClick();
        opened.clear();
        Frm_Custom->N9->trigger();
        QVERIFY(opened.isEmpty());
        QStringList popup;
        for (QAction* a : Frm_Custom->PopupMenu2->actions()) popup << (a->isSeparator() ? "-" : a->text());
        QCOMPARE(popup, QStringList({"Add", "Edit", "Delete", "-", "Refresh", "-", "Export Customer E-mail", "-",
                                     "Select Print Field", "Select Show Field", "-", "Compositor"}));
        QCOMPARE(Frm_Custom->add1->text(), QString("Add  Contactor"));
        QCOMPARE(Frm_Custom->N6->shortcut(), QKeySequence(Qt::Key_F5));
    }

    void closingDisablesCustomerCommands() {
        main->setStatusText(1, "x");
        main->MdiArea->subWindowList().first()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Frm_Custom);
        for (QAction* a : {main->N9, main->N14, main->N15, main->N16, main->EMail1, main->N20, main->N21, main->N22})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        QVERIFY(main->N34->isEnabled());
        QCOMPARE(main->statusText(1), QString());
        // The layout commands still work on the record sets.
        main->Cust_CustContactExecute();
        QCOMPARE(d->Qry_Cust->recordCount(), 5);
    }
};

QTEST_MAIN(TestBrowser)
#include "tst_browser.moc"
