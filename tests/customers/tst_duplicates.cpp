// Finding duplicate customers among the stored ones, and merging a group:
// what stays, what moves, what goes, who may, and what another workstation
// changed in between.
#include <QComboBox>
#include <QHeaderView>
#include <QTest>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/db/DbError.h"
#include "customers/CustomerMerge.h"
#include "customers/DuplicateFinder.h"
#include "customers/U_Custom.h"
#include "customers/U_Duplicates.h"
#include "customers/Windows.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

class TestDuplicates : public QObject, testsupport::AppFixture {
    Q_OBJECT

    void addCustomer(int id, const QString& company, const QString& owner, const QString& tel,
                     const QString& email, const QString& city = QString()) {
        QVERIFY(t->exec(QString("insert into custom (CustID, Company, F_User, Tel, Email, City, [Date]) values "
                                "(%1, '%2', '%3', '%4', '%5', '%6', '2024-01-0%1')")
                            .arg(id)
                            .arg(company, owner, tel, email, city)));
    }
    void addContact(int custId, const QString& name, const QString& company) {
        QVERIFY(t->exec(QString("insert into contact (CustID, Name, Company, F_User) values ('%1', '%2', '%3', 'Tom')")
                            .arg(custId)
                            .arg(name, company)));
    }
    QString custText(int id, const QString& column) {
        return t->text(QString("select * from custom where CustID=%1").arg(id), column);
    }
    // Acme under three spellings (1, 2; 4 by telephone only), a GmbH that
    // is another company, Beta alone; contacts, schedules, a sale and a
    // daily entry around them.
    void fill() {
        addCustomer(1, "Acme Inc", "Tom", "0755-1234567", "", "Shenzhen");
        addCustomer(2, "ACME  inc.", "Tom", "0755-7654321", "sales@acme.com");
        addCustomer(3, "Acme GmbH", "Tom", "089-555000", "info@acme.de");
        addCustomer(4, "Acme Trading", "Tom", "(0755) 765 4321", "");
        addCustomer(5, "Beta Ltd", "Admin", "010-8888999", "");
        addContact(1, "Ann", "Acme Inc");
        addContact(2, "Bob", "ACME  inc.");
        addContact(2, "Cy", "ACME  inc.");
        addContact(4, "Dee", "Acme Trading");
        QVERIFY(t->exec("insert into T_Schedule (Subject, Customer, CustID, author) values "
                        "('Visit', 'ACME  inc.', 2, 'Tom'), ('Call', 'Beta Ltd', 5, 'Tom')"));
        QVERIFY(t->exec("insert into T_Sale (SaleNo, CustID, Company, Total, F_User) values "
                        "('S-1', 2, 'ACME  inc.', 100, 'Tom'), ('S-2', 4, 'Acme Trading', 50, 'Tom')"));
        QVERIFY(t->exec("insert into T_Daily (Subject, author) values ('Met Acme', 'Tom')"));
    }

private slots:
    void initTestCase() { registerCustomerWindows(); }
    void init() {
        QVERIFY(start());
        setUser("Admin", 0);
        fill();
    }
    void cleanup() { stop(); }

    void findsStoredGroups() {
        const auto groups = duplicates::find(duplicates::readCustomers(Frm_Data->Connection));
        QCOMPARE(groups.size(), 1);
        QCOMPARE(groups[0].members, QList<qlonglong>({1, 2, 4}));
        QCOMPARE(groups[0].why(), QString("same company name \"Acme Inc\" (1, 2); "
                                          "same telephone \"0755-7654321\" (2, 4)"));
    }

    // The survivor keeps what the user chose; the others' contacts,
    // schedules and sales move to it; the others are gone.
    void mergeMovesEverything() {
        merge::Set set = merge::read(Frm_Data->Connection, {4, 2, 1, 99});
        QCOMPARE(set.customers.size(), 3);  // 99 is not stored
        QCOMPARE(set.customers[0].id, 1);
        merge::Choice ch = merge::defaultChoice(set, 0);
        const auto column = [&](const char* name) {
            for (int i = 0; i < set.columns.size(); ++i)
                if (set.columns[i].name.compare(name, Qt::CaseInsensitive) == 0) return i;
            return -1;
        };
        const int email = column("Email"), tel = column("Tel");
        QCOMPARE(ch.from[email], 1);  // the survivor has none: the first other that has one
        QCOMPARE(ch.from[tel], 0);
        ch.from[tel] = 2;             // the user prefers customer 4's telephone

        const merge::Moving counted = merge::countMoving(Frm_Data->Connection, set, ch);
        QCOMPARE(counted.contacts, 3);
        QCOMPARE(counted.schedules, 1);
        QCOMPARE(counted.sales, 2);
        const QString question = merge::confirmation(set, ch, counted);
        QVERIFY2(question.startsWith("Merge 3 customers into Customer No. 1 \"Acme Inc\"?"), qPrintable(question));
        QVERIFY2(question.contains("Moving to it: 3 contacts, 1 schedule, 2 sales."), qPrintable(question));
        QVERIFY2(question.contains("Values it takes from the others: Tel, Email."), qPrintable(question));
        QVERIFY2(question.contains("Deleted: Customer No. 2 \"ACME  inc.\", Customer No. 4 \"Acme Trading\"."),
                 qPrintable(question));

        const merge::Moving moved = merge::perform(Frm_Data->Connection, set, ch);
        QCOMPARE(moved.contacts, 3);
        QCOMPARE(moved.schedules, 1);
        QCOMPARE(moved.sales, 2);
        QCOMPARE(t->scalar("select count(*) from custom where CustID in (2, 4)"), 0);
        QCOMPARE(custText(1, "Company"), QString("Acme Inc"));
        QCOMPARE(custText(1, "Tel"), QString("(0755) 765 4321"));
        QCOMPARE(custText(1, "Email"), QString("sales@acme.com"));
        QCOMPARE(custText(1, "City"), QString("Shenzhen"));
        QCOMPARE(custText(1, "Date"), QString("2024-01-01"));
        QCOMPARE(t->scalar("select count(*) from contact where CustID='1' and Company='Acme Inc'"), 4);
        QCOMPARE(t->scalar("select count(*) from T_Schedule where CustID=1 and Customer='Acme Inc'"), 1);
        QCOMPARE(t->scalar("select count(*) from T_Schedule where CustID=5"), 1);
        // A sale keeps the name the customer had when it was made.
        QCOMPARE(t->scalar("select count(*) from T_Sale where CustID=1"), 2);
        QCOMPARE(t->text("select * from T_Sale where SaleNo='S-1'", "Company"), QString("ACME  inc."));
        QCOMPARE(t->scalar("select count(*) from T_Daily"), 1);
        QCOMPARE(t->scalar("select count(*) from custom"), 3);
    }

    // The merged customer keeps one main contact: its own, or else the
    // first of those moved to it.
    void oneMainContactAfterMerging() {
        QVERIFY(t->exec("update contact set Main=1 where Name in ('Ann', 'Bob', 'Dee')"));
        merge::Set set = merge::read(Frm_Data->Connection, {1, 2, 4});
        merge::perform(Frm_Data->Connection, set, merge::defaultChoice(set, 0));
        QCOMPARE(t->scalar("select count(*) from contact where CustID='1'"), 4);
        QCOMPARE(t->scalar("select count(*) from contact where CustID='1' and Main=1"), 1);
        QCOMPARE(t->text("select * from contact where CustID='1' and Main=1", "Name"), QString("Ann"));

        // The survivor had none: Bob, the first moved, stays main; Cy does not become one.
        addCustomer(6, "Gamma Co", "Tom", "021-1", "");
        addCustomer(7, "GAMMA CO.", "Tom", "021-2", "");
        addCustomer(8, "Gamma Co", "Tom", "021-3", "");
        QVERIFY(t->exec("update contact set CustID='7', Main=1 where Name='Bob'"));
        QVERIFY(t->exec("update contact set CustID='8', Main=1 where Name='Cy'"));
        set = merge::read(Frm_Data->Connection, {6, 7, 8});
        merge::perform(Frm_Data->Connection, set, merge::defaultChoice(set, 0));
        QCOMPARE(t->scalar("select count(*) from contact where CustID='6'"), 2);
        QCOMPARE(t->scalar("select count(*) from contact where CustID='6' and Main=1"), 1);
        QCOMPARE(t->text("select * from contact where CustID='6' and Main=1", "Name"), QString("Bob"));
    }

    // Another workstation changed or deleted a member after the group was
    // read: nothing is merged.
    void changedMeanwhileMergesNothing() {
        for (const char* change : {"update custom set Fax='1' where CustID=2", "delete from custom where CustID=2",
                                   "update custom set Company='Acme Inc (old)' where CustID=1"}) {
            cleanup();
            init();
            const merge::Set set = merge::read(Frm_Data->Connection, {1, 2});
            QVERIFY(t->exec(change));
            bool refused = false;
            try {
                merge::perform(Frm_Data->Connection, set, merge::defaultChoice(set, 0));
            } catch (const db::DbError& e) {
                refused = true;
                QVERIFY2(e.text().contains("on another workstation after the group was read. Nothing was merged"),
                         qPrintable(e.text()));
            }
            QVERIFY2(refused, change);
            QCOMPARE(t->scalar("select count(*) from contact where CustID='2'"), 2);
            QCOMPARE(t->scalar("select count(*) from T_Sale where CustID=2"), 1);
            QVERIFY(!Frm_Data->Connection->inTransaction());
        }
    }

    // A row the database silently leaves out of the move (a server's row
    // rules do that for another user's contact): nothing is merged, no
    // contact is left pointing at a deleted customer.
    void rowLeftBehindMergesNothing() {
        if (testsupport::TestDb::onServer()) {
            QVERIFY(t->exec("create function keep_bob() returns trigger language plpgsql as "
                            "$$ begin if old.name = 'Bob' then return null; end if; return new; end $$"));
            QVERIFY(t->exec("create trigger keep_bob before update on contact for each row execute function keep_bob()"));
        } else {
            QVERIFY(t->exec("create trigger keep_bob before update on contact when old.Name = 'Bob' "
                            "begin select raise(ignore); end"));
        }
        const merge::Set set = merge::read(Frm_Data->Connection, {1, 2});
        QString why;
        try {
            merge::perform(Frm_Data->Connection, set, merge::defaultChoice(set, 0));
        } catch (const db::DbError& e) {
            why = e.text();
        }
        QVERIFY2(why.contains("1 of the 2 rows of contact") && why.contains("Nothing was merged"), qPrintable(why));
        QCOMPARE(t->scalar("select count(*) from custom where CustID=2"), 1);
        QCOMPARE(t->scalar("select count(*) from contact where CustID='2'"), 2);
        QCOMPARE(t->scalar("select count(*) from contact where CustID='1'"), 1);
        QVERIFY(!Frm_Data->Connection->inTransaction());
    }

    // As for deleting: a common user merges only customers of their own.
    void rights() {
        merge::Set set = merge::read(Frm_Data->Connection, {1, 5});
        QCOMPARE(merge::refusal(set, "Admin", 0), QString());
        QCOMPARE(merge::refusal(set, "Tom", 1),
                 QString("Customer No. 5 \"Beta Ltd\" belongs to Admin, not to you: you may merge only customers of your own."));
        set = merge::read(Frm_Data->Connection, {1, 2});
        QCOMPARE(merge::refusal(set, "Tom", 1), QString());
        QCOMPARE(merge::refusal(set, "tom", 1).isEmpty(), false);  // owners compare exactly
        QCOMPARE(merge::refusal(merge::read(Frm_Data->Connection, {1}), "Admin", 0),
                 QString("Choose at least two customers to merge."));
    }

    // The window, as a user works it: the Edit menu opens it on the groups,
    // a click on a value keeps it, the survivor is picked from the box,
    // Merge asks first and then merges.
    void windowMergesByClicks() {
        main->resize(1000, 700);
        main->show();
        bool checked = false;
        toolkit::ScriptedModal modal([&](QDialog* d) {
            auto* w = qobject_cast<TFrm_Duplicates*>(d);
            if (!w) return 0;
            [&] {
                QCOMPARE(w->windowTitle(), QString("Find Duplicate Customers"));
                QCOMPARE(w->Label_Count->text(), QString("1 group(s) of likely duplicates among 5 customers."));
                QCOMPARE(w->TreeGroups->topLevelItemCount(), 1);
                QTreeWidgetItem* g = w->TreeGroups->topLevelItem(0);
                QVERIFY(g->text(0).startsWith("3 customers: same company name"));
                QCOMPARE(g->childCount(), 3);
                QCOMPARE(g->child(1)->text(1), QString("ACME  inc."));
                QCOMPARE(w->Combo_Survivor->count(), 3);
                QCOMPARE(w->Grid_Fields->columnCount(), 3);
                QCOMPARE(w->Grid_Fields->horizontalHeaderItem(0)->text(), QString("No. 1 (stays)"));

                // Customer 2 stays: chosen with the keyboard in the box.
                w->Combo_Survivor->setFocus();
                QTest::keyClick(w->Combo_Survivor, Qt::Key_Down);
                if (w->Combo_Survivor->currentIndex() != 1) w->Combo_Survivor->setCurrentIndex(1);
                emit w->Combo_Survivor->activated(1);
                QCOMPARE(w->choice().survivor, 1);
                QCOMPARE(w->Grid_Fields->horizontalHeaderItem(1)->text(), QString("No. 2 (stays)"));

                // It keeps customer 1's city (its own is empty already) and
                // customer 1's company name, by a click on that cell.
                int companyRow = -1, typeRow = -1;
                for (int r = 0; r < w->Grid_Fields->rowCount(); ++r) {
                    if (w->Grid_Fields->verticalHeaderItem(r)->text() == "Company") companyRow = r;
                    if (w->Grid_Fields->verticalHeaderItem(r)->text() == "Type") typeRow = r;
                }
                QVERIFY(companyRow >= 0 && typeRow >= 0);
                // A field empty in all three is there to choose only on request.
                QVERIFY(w->Grid_Fields->isRowHidden(typeRow));
                QVERIFY(!w->Grid_Fields->isRowHidden(companyRow));
                QTest::mouseClick(w->CB_AllFields, Qt::LeftButton);
                QVERIFY(!w->Grid_Fields->isRowHidden(typeRow));
                QCOMPARE(w->Grid_Fields->item(companyRow, 1)->checkState(), Qt::Checked);
                w->Grid_Fields->scrollToItem(w->Grid_Fields->item(companyRow, 0));
                const QRect cell = w->Grid_Fields->visualItemRect(w->Grid_Fields->item(companyRow, 0));
                QTest::mouseClick(w->Grid_Fields->viewport(), Qt::LeftButton, {}, cell.center());
                QCOMPARE(w->Grid_Fields->item(companyRow, 0)->checkState(), Qt::Checked);
                QCOMPARE(w->Grid_Fields->item(companyRow, 1)->checkState(), Qt::Unchecked);

                dlg->answers << QMessageBox::Yes;
                QTest::mouseClick(w->Btn_Merge, Qt::LeftButton);
                checked = true;
            }();
            return 0;
        });
        main->FindDupCust->trigger();
        QCOMPARE(modal.shown, QStringList({"TFrm_Duplicates"}));
        QVERIFY(checked);
        const toolkit::DialogRequest* ask = nullptr;
        for (const auto& r : dlg->requests)
            if (r.title == "Merge Customers" && r.buttons.testFlag(QMessageBox::Yes)) ask = &r;
        QVERIFY(ask);
        QVERIFY2(ask->text.startsWith("Merge 3 customers into Customer No. 2 \"ACME  inc.\"?"), qPrintable(ask->text));
        QVERIFY2(ask->text.contains("Values it takes from the others: Company, City."), qPrintable(ask->text));
        QCOMPARE(t->scalar("select count(*) from custom where CustID in (1, 4)"), 0);
        QCOMPARE(custText(2, "Company"), QString("Acme Inc"));
        QCOMPARE(custText(2, "City"), QString("Shenzhen"));
        QCOMPARE(t->scalar("select count(*) from contact where CustID='2'"), 4);
        QCOMPARE(t->scalar("select count(*) from T_Sale where CustID=2"), 2);
        QVERIFY(dlg->messages().last().startsWith("Merged 3 customers into Customer No. 2; 2 contact(s), 0 schedule(s) "
                                                  "and 1 sale(s) moved to it."));
        // The browser's list no longer holds the merged customers.
        QCOMPARE(Frm_Data->Qry_Cust->recordCount(), 3);
    }

    // A common user's merge of another user's customer is refused with a
    // message; nothing changes.
    void windowRefusesCommonUser() {
        QVERIFY(t->exec("update custom set F_User='Admin' where CustID=4"));
        setUser("Tom", 1);
        toolkit::ScriptedModal modal([&](QDialog* d) {
            if (auto* w = qobject_cast<TFrm_Duplicates*>(d)) QTest::mouseClick(w->Btn_Merge, Qt::LeftButton);
            return 0;
        });
        main->FindDupCustExecute();
        QCOMPARE(dlg->messages().last(),
                 QString("Customer No. 4 \"Acme Trading\" belongs to Admin, not to you: you may merge only customers of "
                         "your own."));
        QCOMPARE(t->scalar("select count(*) from custom"), 5);
    }
};

QTEST_MAIN(TestDuplicates)
#include "tst_duplicates.moc"
