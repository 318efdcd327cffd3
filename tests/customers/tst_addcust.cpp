#include <QComboBox>
#include <QDate>
#include <QLineEdit>
#include <QTest>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "customers/U_AddContact.h"
#include "customers/U_Custom.h"
#include "customers/U_addcust.h"
#include "customers/U_tree.h"
#include "customers/Windows.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

using toolkit::Navigator;

class TestAddCust : public QObject, testsupport::AppFixture {
    Q_OBJECT

    std::unique_ptr<TFrm_AddCust> open(int mode) {
        auto d = std::make_unique<TFrm_AddCust>();
        d->AddMode = mode;
        d->show();  // runs FormShow
        return d;
    }
    // What the user does: pick an item of a box, or type into it.
    static void pick(QComboBox* box, int at) {
        box->setCurrentIndex(at);
        emit box->activated(at);
    }
    static void type(QComboBox* box, const QString& text) {
        box->lineEdit()->clear();
        QTest::keyClicks(box->lineEdit(), text);
    }
    void addCustomer(const QString& company, const QString& owner, const QString& category = QString(),
                     const QString& type = QString()) {
        QVERIFY(t->exec(QString("insert into custom (Company, F_User, Category, CustType, [Date], Introduce) "
                                "values ('%1', '%2', '%3', '%4', '2001-02-03', 'about %1')")
                            .arg(company, owner, category, type)));
    }
    void reopenCustomers() {
        Frm_Data->Qry_Cust->close();
        Frm_Data->Qry_Cust->open();
    }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerCustomerWindows();
    }

    void init() {
        QVERIFY(start());
        setUser("Admin", 0);
        main->Cust_CustContactExecute();  // customers open, contacts follow them
    }
    void cleanup() { stop(); }

    void addModeStoresTrimmedAndRefusesRepeat() {
        auto d = open(1);
        QCOMPARE(d->windowTitle(), QString("Add Customer"));
        QCOMPARE(d->Btn_OK->text(), QString("Add(&A)"));
        QVERIFY(d->Btn_OK->isDefault());
        QCOMPARE(d->Combo_Type->count(), 6);
        QCOMPARE(d->Combo_Country->itemText(0), QString("China"));
        QCOMPARE(d->Combo_From->count(), 5);
        QCOMPARE(d->Combo_Province->count(), 0);  // typed, no list
        QVERIFY(!d->DBNavigator1->button(Navigator::Next)->isEnabled());

        d->Edit_Com->setText("  Acme Ltd  ");
        pick(d->Combo_Type, 1);
        pick(d->Combo_Country, 2);
        type(d->Combo_Province, "  Bavaria ");
        d->Edit_City->setText(" Munich ");
        d->Edit_Zip->setText(" 8000 ");
        d->Edit_Email->setText(" a@acme.de ");
        d->Memo1->setPlainText("  first line\nsecond  ");
        d->Btn_OKClick();
        QVERIFY(dlg->requests.isEmpty());

        const QString row = "select * from custom where Company='Acme Ltd'";
        QCOMPARE(t->rowCount(row), 1);
        QCOMPARE(t->text(row, "CustType"), QString("Distributor"));
        QCOMPARE(t->text(row, "Country"), QString("United States"));
        QCOMPARE(t->text(row, "Province"), QString("Bavaria"));
        QCOMPARE(t->text(row, "City"), QString("Munich"));
        QCOMPARE(t->text(row, "PostCode"), QString("8000"));
        QCOMPARE(t->text(row, "Email"), QString("a@acme.de"));
        QCOMPARE(t->text(row, "Introduce"), QString("  first line\nsecond  "));
        QCOMPARE(t->text(row, "F_User"), QString("Admin"));
        QCOMPARE(t->text(row, "Date"), QDate::currentDate().toString("yyyy-MM-dd"));
        // The shared list shows it at once, as its current row.
        QCOMPARE(Frm_Data->Qry_Cust->recordCount(), 1);
        QCOMPARE(Frm_Data->Qry_Cust->asString("Company"), QString("Acme Ltd"));

        // Ready for the next customer: texts emptied, choices kept.
        QVERIFY(d->isVisible());
        QVERIFY(d->Edit_Com->text().isEmpty());
        QVERIFY(d->Edit_City->text().isEmpty());
        QVERIFY(d->Memo1->toPlainText().isEmpty());
        QCOMPARE(d->Combo_Country->currentText(), QString("United States"));

        d->Edit_Com->setText(" Acme Ltd");
        d->Edit_City->setText("Berlin");
        d->Btn_OKClick();
        QCOMPARE(dlg->messages(), QStringList({"Company repeat"}));
        QCOMPARE(dlg->last()->title, QString("Warning"));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Information);
        QCOMPARE(t->rowCount("select * from custom"), 1);
        QCOMPARE(d->Edit_City->text(), QString("Berlin"));

        // A quote in the name is text, not SQL.
        dlg->clear();
        d->Edit_Com->setText("O'Brien & Sons");
        d->Btn_OKClick();
        d->Edit_Com->setText("O'Brien & Sons ");
        d->Btn_OKClick();
        QCOMPARE(dlg->messages(), QStringList({"Company repeat"}));
        QCOMPARE(t->rowCount("select * from custom where Company='O''Brien & Sons'"), 1);

        // Letter case does not make another company.
        dlg->clear();
        d->Edit_Com->setText("ACME LTD");
        d->Btn_OKClick();
        QCOMPARE(dlg->messages(), QStringList({"Company repeat"}));
        QCOMPARE(t->rowCount("select * from custom"), 2);
    }

    void blankNameRefused() {
        auto d = open(1);
        d->Edit_Com->setText("    ");
        d->Edit_tel->setText("123");
        d->Btn_OKClick();
        QCOMPARE(dlg->messages(), QStringList({"Company not null"}));
        QCOMPARE(dlg->last()->title, QString("warning"));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Information);
        QCOMPARE(t->rowCount("select * from custom"), 0);
        QCOMPARE(Frm_Data->Qry_Cust->state(), db::Query::State::Browse);
        QCOMPARE(d->Edit_tel->text(), QString("123"));
    }

    void choicesRememberedOnlyWhileAdding() {
        IniFile& ini = *Frm_Data->ConfigIni;
        {
            auto d = open(1);
            QCOMPARE(d->Combo_Country->currentIndex(), -1);  // nothing remembered yet
            QVERIFY(d->Combo_Country->currentText().isEmpty());
            pick(d->Combo_Country, 3);
            type(d->Combo_Type, "Retailer");  // typed, but an item of the list
            pick(d->Combo_From, 4);
            type(d->Combo_From, "Friend");    // no item: -1
            type(d->Combo_Province, "Hesse");
        }
        QCOMPARE(ini.readInteger("login", "Country", -9), 3);
        QCOMPARE(ini.readInteger("login", "Type", -9), 3);
        QCOMPARE(ini.readInteger("login", "from", -9), -1);
        QCOMPARE(ini.readInteger("login", "Province", -9), -1);

        ini.writeInteger("login", "from", 1);
        {
            auto d = open(1);
            QCOMPARE(d->Combo_Country->currentText(), QString("Japan"));
            QCOMPARE(d->Combo_Type->currentText(), QString("Retailer"));
            QCOMPARE(d->Combo_From->currentText(), QString("Web site"));
            QVERIFY(d->Combo_Province->currentText().isEmpty());
        }
        ini.writeInteger("login", "Country", 99);  // beyond the list
        QVERIFY(open(1)->Combo_Country->currentText().isEmpty());

        // Edit mode changes nothing in config.ini.
        addCustomer("Edited", "Admin");
        reopenCustomers();
        const QString before = [&] {
            QFile f(ini.fileName());
            f.open(QIODevice::ReadOnly);
            return QString::fromUtf8(f.readAll());
        }();
        {
            auto d = open(0);
            pick(d->Combo_Country, 0);
            type(d->Combo_Type, "Partner");
            pick(d->Combo_From, 0);
        }
        QFile f(ini.fileName());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), before);
    }

    void categoryFromCategoryWindow() {
        QVERIFY(t->exec("insert into category (code, name) values ('01', 'Asia')"));
        QVERIFY(t->exec("insert into category (code, name) values ('0102', 'Shanghai')"));
        auto d = open(1);
        int selectFor = -1;
        // The user clicks Shanghai in the category window and presses Select.
        toolkit::ScriptedModal s([&](QDialog* w) {
            auto* tree = qobject_cast<TFrm_Tree*>(w);
            if (!tree) return 0;
            selectFor = tree->SelectFor;
            const auto found = tree->TreeView1->findItems("0102-Shanghai", Qt::MatchExactly | Qt::MatchRecursive);
            if (found.size() != 1) return 0;
            tree->TreeView1->setCurrentItem(found.first());
            tree->TreeView1Click();
            tree->ToolButton1Click();
            return 1;
        });
        d->Btn_LookupClick();
        QCOMPARE(s.shown, QStringList({"TFrm_Tree"}));
        QCOMPARE(selectFor, 1);
        QVERIFY(d->Edit_Category->isReadOnly());

        d->Edit_Com->setText("Far East Trading");
        d->Btn_OKClick();
        QCOMPARE(t->text("select * from custom", "Category"), QString("0102"));
        // The category stays for the next customer of this session ...
        QCOMPARE(d->Edit_Category->text(), QString("Shanghai"));
        QCOMPARE(d->CategoryCode, QString("0102"));
        d.reset();

        // ... and is preset in the next add.
        auto next = open(1);
        QCOMPARE(next->Edit_Category->text(), QString("Shanghai"));
        QCOMPARE(next->CategoryCode, QString("0102"));
        next->Edit_Com->setText("Second");
        next->Btn_OKClick();
        QCOMPARE(t->text("select * from custom where Company='Second'", "Category"), QString("0102"));
        next.reset();

        // Editing shows the category's name, looked up by the stored code.
        reopenCustomers();
        auto edit = open(0);
        QCOMPARE(edit->CategoryCode, QString("0102"));
        QCOMPARE(edit->Edit_Category->text(), QString("Shanghai"));
        QVERIFY(t->exec("update custom set Category='77'"));
        reopenCustomers();
        QVERIFY(open(0)->Edit_Category->text().isEmpty());  // unknown code: no name
    }

    void editModeNavigatesAndSaves() {
        QVERIFY(t->exec("insert into category (code, name) values ('02', 'Europe')"));
        addCustomer("Alpha", "Admin", "02", "Partner");
        addCustomer("Beta", "Admin", "", "Prospect");
        addCustomer("Gamma", "Admin");
        reopenCustomers();
        auto d = open(0);
        QCOMPARE(d->windowTitle(), QString("Edit Customer"));
        QCOMPARE(d->Btn_OK->text(), QString("Save(&S)"));
        QCOMPARE(d->Edit_Com->text(), QString("Alpha"));
        QCOMPARE(d->Combo_Type->currentText(), QString("Partner"));
        QCOMPARE(d->Edit_Category->text(), QString("Europe"));
        QVERIFY(!d->DBNavigator1->button(Navigator::Prior)->isEnabled());

        d->DBNavigator1->button(Navigator::Next)->click();
        QCOMPARE(d->Edit_Com->text(), QString("Beta"));
        QCOMPARE(d->Combo_Type->currentText(), QString("Prospect"));
        QVERIFY(d->Edit_Category->text().isEmpty());
        QCOMPARE(d->Memo1->toPlainText(), QString("about Beta"));
        d->DBNavigator1->button(Navigator::Last)->click();
        QCOMPARE(d->Edit_Com->text(), QString("Gamma"));
        QVERIFY(!d->DBNavigator1->button(Navigator::Next)->isEnabled());
        d->DBNavigator1->button(Navigator::Prior)->click();
        QCOMPARE(d->Edit_Com->text(), QString("Beta"));
        QCOMPARE(Frm_Data->Qry_Cust->currentRow(), 1);

        // No empty-name or duplicate check here; owner and date stay.
        d->Edit_Com->clear();
        d->Edit_Fax->setText(" 555 ");
        d->Btn_OK->click();
        QVERIFY(dlg->requests.isEmpty());
        QVERIFY(!d->isVisible());
        QCOMPARE(d->result(), int(QDialog::Accepted));
        const QString beta = "select * from custom where Fax='555'";
        QCOMPARE(t->text(beta, "Company"), QString(""));
        QCOMPARE(t->text(beta, "F_User"), QString("Admin"));
        QCOMPARE(t->text(beta, "Date"), QString("2001-02-03"));
        QCOMPARE(t->rowCount("select * from custom"), 3);

        Frm_Data->Qry_Cust->first();
        auto again = open(0);
        again->Edit_Com->setText("Gamma");
        again->Btn_OKClick();
        QCOMPARE(t->rowCount("select * from custom where Company='Gamma'"), 2);
    }

    // Blanks around a stored text (an imported customer's) survive a save
    // that changed nothing, and a box typed into is stored trimmed.
    void saveWithoutChangeKeepsStoredBlanks() {
        QVERIFY(t->exec("insert into custom (Company, F_User, Address, City) values "
                        "('  Spaced Co  ', 'Admin', '  北京市朝阳区 1号  ', ' Beijing')"));
        reopenCustomers();
        auto d = open(0);
        QCOMPARE(d->Edit_Address->text(), QString("  北京市朝阳区 1号  "));
        d->Btn_OK->click();
        const QString row = "select * from custom";
        QCOMPARE(t->text(row, "Company"), QString("  Spaced Co  "));
        QCOMPARE(t->text(row, "Address"), QString("  北京市朝阳区 1号  "));
        QCOMPARE(t->text(row, "City"), QString(" Beijing"));

        auto again = open(0);
        again->Edit_City->clear();
        QTest::keyClicks(again->Edit_City, " Shanghai ");
        again->Btn_OK->click();
        QCOMPARE(t->text(row, "City"), QString("Shanghai"));
        QCOMPARE(t->text(row, "Address"), QString("  北京市朝阳区 1号  "));
    }

    void editModeOnEmptyListSavesNothing() {
        auto d = open(0);
        QVERIFY(!d->Btn_OK->isEnabled());
        d->Edit_Com->setText("Ghost");
        d->Btn_OKClick();
        QCOMPARE(t->rowCount("select * from custom"), 0);
        QCOMPARE(Frm_Data->Qry_Cust->state(), db::Query::State::Browse);
    }

    void commonUserCannotSaveOthersCustomer() {
        addCustomer("Mine", "Tom");
        addCustomer("Theirs", "Admin");
        addCustomer("Mine too", "Tom");
        reopenCustomers();
        main->UserName = "Tom";
        main->UserPermit = 1;
        auto d = open(0);
        QVERIFY(d->Btn_OK->isEnabled());
        d->DBNavigator1->button(Navigator::Next)->click();
        QCOMPARE(d->Edit_Com->text(), QString("Theirs"));
        QVERIFY(!d->Btn_OK->isEnabled());
        d->DBNavigator1->button(Navigator::Next)->click();  // own again: stays disabled
        QVERIFY(!d->Btn_OK->isEnabled());
        d.reset();

        main->UserName = "tom";  // the owner's name must match exactly
        Frm_Data->Qry_Cust->first();
        QVERIFY(!open(0)->Btn_OK->isEnabled());

        main->UserPermit = 0;  // a super user saves anyone's
        Frm_Data->Qry_Cust->next();
        QVERIFY(open(0)->Btn_OK->isEnabled());
    }

    void failedPostLeavesNothingBehind() {
        addCustomer("Kept", "Admin");
        reopenCustomers();
        {
            QVERIFY(t->refuseWrites("custom", "insert", "refused by a rule", "new.Company like 'x%'"));
            auto d = open(1);
            d->Edit_Com->setText("xylophones");
            d->Btn_OK->click();
            QCOMPARE(dlg->errors(), QStringList({"refused by a rule"}));
            QCOMPARE(t->rowCount("select * from custom"), 1);
            QCOMPARE(Frm_Data->Qry_Cust->state(), db::Query::State::Browse);
            QCOMPARE(Frm_Data->Qry_Cust->recordCount(), 1);
            QVERIFY(d->isVisible());
            QCOMPARE(d->Edit_Com->text(), QString("xylophones"));  // input kept for correction

            d->Edit_Com->setText("Fixed");
            d->Btn_OK->click();
            QCOMPARE(t->rowCount("select * from custom"), 2);
            QCOMPARE(dlg->errors().size(), 1);
        }
        dlg->clear();
        Frm_Data->Qry_Cust->first();
        auto d = open(0);
        d->Edit_Zip->setMaxLength(32767);  // bypassing the edit's limit
        d->Edit_Zip->setText("1234567");
        d->Edit_Com->setText("Renamed");
        d->Btn_OK->click();
        QCOMPARE(dlg->errors().size(), 1);
        // Said in words: which field, and how much it holds.
        QVERIFY2(dlg->errors()[0].startsWith("PostCode is too long: it can hold at most 6 characters"),
                 qPrintable(dlg->errors()[0]));
        QVERIFY(d->isVisible());
        QCOMPARE(Frm_Data->Qry_Cust->state(), db::Query::State::Browse);
        QCOMPARE(Frm_Data->Qry_Cust->asString("Company"), QString("Kept"));
        QCOMPARE(t->rowCount("select * from custom where Company='Renamed'"), 0);
    }

    // Every box takes no more than its column holds, as the user types.
    void boxesStopAtTheirColumnsSize() {
        auto d = open(1);
        const QList<QPair<QWidget*, int>> limits = {
            {d->Edit_Com, 200}, {d->Edit_City, 20},  {d->Edit_Address, 120}, {d->Edit_Zip, 6},
            {d->Edit_tel, 20},  {d->Edit_Fax, 20},   {d->Edit_Income, 50},   {d->Edit_Email, 100},
            {d->Edit_Url, 100}, {d->Combo_Type, 20}, {d->Combo_Country, 50}, {d->Combo_Province, 30},
            {d->Combo_From, 50}};
        for (const auto& [box, size] : limits) {
            QLineEdit* e = qobject_cast<QLineEdit*>(box);
            if (!e) e = static_cast<QComboBox*>(box)->lineEdit();
            QCOMPARE(e->maxLength(), size);
        }
        QTest::keyClicks(d->Edit_City, QString(30, 'c'));
        QCOMPARE(d->Edit_City->text(), QString(20, 'c'));
        QTest::keyClicks(d->Combo_Province->lineEdit(), QString(40, 'p'));
        QCOMPARE(d->Combo_Province->currentText(), QString(30, 'p'));
    }

    void addressesOpenOnDoubleClick() {
        auto d = open(1);
        d->Edit_Email->setText("  sales@acme.com ");
        QTest::mouseDClick(d->Edit_Email, Qt::LeftButton);
        d->Edit_Url->setText(" www.acme.com ");
        QTest::mouseDClick(d->Edit_Url, Qt::LeftButton);
        d->Edit_Url->setText("https://acme.com/shop");
        d->Edit_UrlDblClick();
        QCOMPARE(dlg->requests.size(), 3);
        for (const auto& r : dlg->requests) QCOMPARE(r.kind, toolkit::DialogRequest::OpenUrl);
        QCOMPARE(dlg->requests[0].text, QString("mailto:sales@acme.com"));
        QCOMPARE(dlg->requests[1].text, QString("http://www.acme.com"));
        QCOMPARE(dlg->requests[2].text, QString("https://acme.com/shop"));
    }

    // A new customer typed but not saved has no contacts yet: the contact
    // would otherwise go to the customer that was current before.
    void addContactorWaitsForTheNewCustomer() {
        addCustomer("Older", "Admin");
        reopenCustomers();
        QString kept;
        toolkit::ScriptedModal s([&](QDialog* w) {
            if (auto* c = qobject_cast<TFrm_AddCust*>(w)) {
                QTest::keyClicks(c->Edit_Com, "Acme Inc");
                QTest::mouseClick(c->Btn_Add, Qt::LeftButton);
                kept = c->Edit_Com->text();
            }
            return 0;
        });
        main->AddCustExecute();
        QCOMPARE(s.shown, QStringList({"TFrm_AddCust"}));
        QCOMPARE(kept, QString("Acme Inc"));  // what was typed stays
        QVERIFY2(dlg->messages().join('|').contains("Save this customer first"), qPrintable(dlg->messages().join('|')));
        QCOMPARE(t->scalar("select count(*) from contact"), 0);
    }

    void addContactorOpensContactEditorForNewCustomer() {
        addCustomer("Older", "Admin");
        reopenCustomers();
        QString company, address, postCode;
        int mode = -1;
        toolkit::ScriptedModal s([&](QDialog* w) {
            if (auto* c = qobject_cast<TFrm_AddCust*>(w)) {
                c->Edit_Com->setText(" Globex ");
                c->Edit_Address->setText("1 Main Road");
                c->Edit_Zip->setText("654321");
                c->Btn_OK->click();
                c->Btn_Add->click();
            } else if (auto* ct = qobject_cast<TFrm_AddContact*>(w)) {
                mode = ct->AddMode;
                company = ct->Combo_Cust->currentText();
                address = ct->Edit_Address->text();
                postCode = ct->Edit_PostCode->text();
            }
            return 0;
        });
        main->AddCustExecute();
        QCOMPARE(s.shown, QStringList({"TFrm_AddCust", "TFrm_AddContact"}));
        QCOMPARE(mode, 1);
        QCOMPARE(company, QString("Globex"));
        QCOMPARE(address, QString("1 Main Road"));
        QCOMPARE(postCode, QString("654321"));
        QVERIFY(!Frm_AddCust);  // destroyed when it closed
    }

    void layoutAndTabOrder() {
        auto d = open(1);
        QCOMPARE(d->size(), QSize(680, 363));
        QCOMPARE(d->Label1->text(), QString("Comapny"));
        QCOMPARE(d->Label3->text(), QString("State"));
        QCOMPARE(d->Label12->text(), QString("ComeFrom"));
        QCOMPARE(d->Bit_Exit->text(), QString("Exit(&Q)"));
        QCOMPARE(d->Btn_Add->text(), QString("Add Contactor"));
        QVERIFY(d->Edit_Email->font().underline());
        QCOMPARE(d->Edit_Zip->maxLength(), 6);
        QList<QWidget*> expected = {d->Edit_Com,   d->Combo_Type,    d->Edit_Category, d->Btn_Lookup,
                                    d->Combo_Country, d->Combo_Province, d->Edit_City, d->Edit_Address,
                                    d->Edit_Zip,   d->Edit_tel,      d->Edit_Fax,      d->Edit_Income,
                                    d->Edit_Email, d->Edit_Url,      d->Combo_From,    d->Memo1,
                                    d->Btn_OK,     d->Bit_Exit};
        QWidget* w = d->Edit_Com;
        for (int i = 1; i < expected.size(); ++i) {
            // The next stop of the Tab key; a box's own line edit is part of the box.
            do w = w->nextInFocusChain();
            while (w != d.get() && (!(w->focusPolicy() & Qt::TabFocus) ||
                                    qobject_cast<QComboBox*>(w->parentWidget())));
            QCOMPARE(w, expected[i]);
        }
    }

    // Another workstation changed the customer while it was open here: the
    // save says so and offers to read it again; nothing of theirs is lost.
    void changedElsewhereOffersReload() {
        addCustomer("Kept", "Admin");
        reopenCustomers();
        auto d = open(0);
        QCOMPARE(d->Edit_Com->text(), QString("Kept"));
        db::Connection second;
        second.open(t->connString());
        db::Query other(&second);
        other.setSql("update custom set Tel='555 0101' where Company='Kept'");
        other.execSql();

        QTest::keyClicks(d->Edit_City, "Springfield");
        dlg->answers = {QMessageBox::Yes};
        QTest::mouseClick(d->Btn_OK, Qt::LeftButton);
        QCOMPARE(dlg->messages().size(), 1);
        QVERIFY(dlg->messages()[0].contains("changed on another workstation"));
        QCOMPARE(dlg->last()->title, QString("Changed on another workstation"));
        QCOMPARE(t->text("select * from custom where Company='Kept'", "City"), QString(""));
        QVERIFY(d->isVisible());
        QCOMPARE(d->Edit_tel->text(), QString("555 0101"));  // read again
        QTest::keyClicks(d->Edit_City, "Springfield");
        QTest::mouseClick(d->Btn_OK, Qt::LeftButton);
        QVERIFY(!d->isVisible());
        QCOMPARE(t->text("select * from custom where Company='Kept'", "City"), QString("Springfield"));
        QCOMPARE(t->text("select * from custom where Company='Kept'", "Tel"), QString("555 0101"));
    }
};

QTEST_MAIN(TestAddCust)
#include "tst_addcust.moc"
