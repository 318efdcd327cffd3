#include <QTest>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "customers/U_Custom.h"
#include "customers/U_S_Cust.h"
#include "tests/support/AppFixture.h"

class TestSearch : public QObject, testsupport::AppFixture {
    Q_OBJECT

    // Company, category, entry date and source of one customer; the other
    // columns get values no criterion below matches by accident.
    void customer(const QString& company, const QString& category, const QString& date,
                  const QString& from = "Web", const QString& city = "Town") {
        db::Query q(Frm_Data->Connection);
        q.setSql("select * from custom");
        q.open();
        q.append();
        q.setValue("Company", company);
        q.setValue("Category", category);
        q.setValue("Date", date);
        q.setValue("From", from);
        q.setValue("City", city);
        q.post();
    }
    // Companies of the rows now in the shared customer list, in its order.
    static QStringList listed() {
        db::Query* q = Frm_Data->Qry_Cust;
        QStringList out;
        for (q->first(); !q->eof(); q->next()) out << q->asString("Company");
        return out;
    }
    static QList<qlonglong> ids() {
        db::Query* q = Frm_Data->Qry_Cust;
        QList<qlonglong> out;
        for (q->first(); !q->eof(); q->next()) out << q->field("CustID").asInteger();
        return out;
    }
    std::unique_ptr<TFrm_S_Cust> openSearch() {
        auto s = std::make_unique<TFrm_S_Cust>();
        s->show();
        return s;
    }

private slots:
    void init() {
        QVERIFY(start());
        QVERIFY(t->exec("delete from custom"));
        customer("Alpha Trading", "01", "2024-03-01", "Fair");
        customer("Beta", "0101", "2024-03-05");
        customer("Gamma Ltd", "010203", "2024-03-05");
        customer("Delta", "02", "2024-03-10", "Fair");
        customer("O'Brien & Sons", "0201", "2024-02-28", "Friend's tip");
        customer("100% Cotton", "", "2024-03-11");
        customer("A_B Works", "", "2024-03-12");
        customer("AxB", "", "2024-03-12");
        Frm_Data->Qry_Cust->setSql("select * from custom");
        Frm_Data->Qry_Cust->open();
    }
    void cleanup() { stop(); }

    void statementText() {
        SearchCriteria c;
        c.company = "abc";
        c.city = "x";
        QCOMPARE(BuildSearchSql(SearchSlots(c)),
                 QString("select * from [custom] where (company like :company)AND(city like :city)  ORDER BY CustID"));
        const db::Statement st = SearchStatement(c);
        QCOMPARE(st.text(), BuildSearchSql(SearchSlots(c)));
        QCOMPARE(st.value("company"), QVariant("%abc%"));
        QCOMPARE(st.value("city"), QVariant("%x%"));

        SearchCriteria end;
        end.end = QDate(2024, 3, 5);
        QCOMPARE(BuildSearchSql(SearchSlots(end)),
                 QString("select * from [custom] where ([date]<=:end)  ORDER BY CustID"));
        QCOMPARE(SearchStatement(end).value("end"), QVariant("2024-03-05"));

        // Every criterion, in slot order; the source column in brackets; the
        // values bound, never written into the text.
        SearchCriteria all;
        all.category = "01";
        all.company = "co";
        all.address = "ad";
        all.postcode = "pc";
        all.custType = "ty";
        all.country = "cn";
        all.province = "pr";
        all.from = "O'f";
        all.city = "ci";
        all.introduce = "in";
        all.tel = "te";
        all.fax = "fa";
        all.url = "ur";
        all.email = "em";
        all.start = QDate(2024, 1, 2);
        all.end = QDate(2024, 12, 31);
        const QStringList s = SearchSlots(all);
        QCOMPARE(s.size(), 20);
        QVERIFY(s[4].isEmpty() && s[13].isEmpty() && s[18].isEmpty());
        QCOMPARE(BuildSearchSql(s),
                 QString("select * from [custom] where (category like :category)AND(company like :company)"
                         "AND(address like :address)AND(postcode like :postcode)AND(custtype like :custtype)"
                         "AND(country like :country)AND(province like :province)AND([From] like :comefrom)"
                         "AND(city like :city)AND(introduce like :introduce)AND(tel like :tel)"
                         "AND(fax like :fax)AND(url like :url)AND(email like :email)"
                         "AND([date]>=:start)AND([date]<=:end)  ORDER BY CustID"));
        const db::Statement allSt = SearchStatement(all);
        QCOMPARE(allSt.value("category"), QVariant("01%"));
        QCOMPARE(allSt.value("comefrom"), QVariant("%O'f%"));
        QCOMPARE(allSt.value("start"), QVariant("2024-01-02"));
        QCOMPARE(allSt.values().size(), 16);

        QVERIFY(BuildSearchSql(SearchSlots(SearchCriteria())).isEmpty());
        SearchCriteria blank;
        blank.company = " ";  // a blank is a criterion, not nothing
        QCOMPARE(BuildSearchSql(SearchSlots(blank)),
                 QString("select * from [custom] where (company like :company)  ORDER BY CustID"));
        QCOMPARE(SearchStatement(blank).value("company"), QVariant("% %"));
    }

    void datesAndCategories() {
        auto s = openSearch();
        s->DateTimePicker2->setChecked(true);
        s->DateTimePicker2->setDate(QDate(2024, 3, 5));
        s->btn_okClick();
        QCOMPARE(Frm_Data->Qry_Cust->sql(), QString("select * from [custom] where ([date]<=:end)  ORDER BY CustID"));
        QCOMPARE(Frm_Data->Qry_Cust->paramValue("end"), QVariant("2024-03-05"));
        QCOMPARE(listed(), QStringList({"Alpha Trading", "Beta", "Gamma Ltd", "O'Brien & Sons"}));
        QVERIFY(!s->isVisible());
        QCOMPARE(s->result(), int(QDialog::Accepted));

        s = openSearch();
        s->DateTimePicker1->setChecked(true);
        s->DateTimePicker1->setDate(QDate(2024, 3, 5));
        s->DateTimePicker2->setChecked(true);
        s->DateTimePicker2->setDate(QDate(2024, 3, 5));
        s->btn_okClick();
        QCOMPARE(listed(), QStringList({"Beta", "Gamma Ltd"}));

        s = openSearch();
        s->Edit_cate->setText("01");
        s->btn_okClick();
        QCOMPARE(listed(), QStringList({"Alpha Trading", "Beta", "Gamma Ltd"}));
    }

    void textMatches() {
        auto run = [&](QLineEdit*(TFrm_S_Cust::*edit), const QString& text) -> QStringList {
            auto s = openSearch();
            ((*s).*edit)->setText(text);
            s->btn_ok->click();
            if (!dlg->errors().isEmpty()) return dlg->errors();
            return listed();
        };
        QCOMPARE(run(&TFrm_S_Cust::Edit_custname, " "),
                 QStringList({"Alpha Trading", "Gamma Ltd", "O'Brien & Sons", "100% Cotton", "A_B Works"}));
        // % and _ stay wildcards.
        QCOMPARE(run(&TFrm_S_Cust::Edit_custname, "0%C"), QStringList({"100% Cotton"}));
        QCOMPARE(run(&TFrm_S_Cust::Edit_custname, "A_B"), QStringList({"A_B Works", "AxB"}));
        QCOMPARE(run(&TFrm_S_Cust::Edit_custname, "'"), QStringList({"O'Brien & Sons"}));
        // Substring, not prefix, for the text fields.
        QCOMPARE(run(&TFrm_S_Cust::Edit_custname, "amma"), QStringList({"Gamma Ltd"}));

        // The source criterion works (the keyword column) and takes quotes.
        auto s = openSearch();
        s->Combo_from->setEditText("Fair");
        s->btn_okClick();
        QCOMPARE(listed(), QStringList({"Alpha Trading", "Delta"}));
        s = openSearch();
        s->Combo_from->setEditText("d's");
        s->btn_okClick();
        QCOMPARE(listed(), QStringList({"O'Brien & Sons"}));
    }

    void quoteInEveryField() {
        auto s = openSearch();
        for (QLineEdit* e : {s->Edit_custname, s->Edit_address, s->Edit_postcode, s->Edit_city, s->Edit_intro,
                             s->Edit_tel, s->Edit_fax, s->Edit_email, s->Edit_url, s->Edit_cate})
            e->setText("x'); drop table custom; --");
        s->Edit_postcode->setText("'");
        for (QComboBox* c : {s->Combo_country, s->Combo_province, s->Combo_type, s->Combo_from})
            c->setEditText("'");
        s->btn_ok->click();
        QVERIFY(dlg->errors().isEmpty());
        QVERIFY(Frm_Data->Qry_Cust->active());
        QCOMPARE(listed(), QStringList());
        Frm_Data->Qry_Cust->setSql("select * from custom");
        Frm_Data->Qry_Cust->open();
        QCOMPARE(Frm_Data->Qry_Cust->recordCount(), 8);
    }

    void resultInCustIdOrder() {
        // Rows stored out of company and date order still come back by CustID.
        customer("Aardvark", "01", "2020-01-01");
        auto s = openSearch();
        s->Edit_cate->setText("0");
        s->btn_okClick();
        const QList<qlonglong> got = ids();
        QCOMPARE(got.size(), 6);
        QList<qlonglong> sorted = got;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(got, sorted);
        QCOMPARE(listed().last(), QString("Aardvark"));
    }

    void noConditionChangesNothing() {
        db::Query* cust = Frm_Data->Qry_Cust;
        cust->setSql("select * from custom where company like 'A%'");
        cust->open();
        cust->next();
        auto s = openSearch();
        s->btn_okClick();
        QCOMPARE(dlg->messages(), QStringList({"No condition !"}));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::None);
        QCOMPARE(dlg->last()->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(s->isVisible());
        QCOMPARE(cust->sql(), QString("select * from custom where company like 'A%'"));
        QVERIFY(cust->active());
        QCOMPARE(cust->currentRow(), 1);
    }

    void clearKeepsDates() {
        auto s = openSearch();
        s->Edit_custname->setText("Beta");
        s->Edit_cate->setText("01");
        s->Combo_country->setEditText("Somewhere");
        s->DateTimePicker1->setChecked(true);
        s->DateTimePicker1->setDate(QDate(2024, 3, 10));
        s->btn_resetClick();
        QCOMPARE(s->Edit_custname->text(), QString());
        QCOMPARE(s->Edit_cate->text(), QString());
        QCOMPARE(s->Combo_country->currentText(), QString());
        QVERIFY(s->DateTimePicker1->checked());
        QCOMPARE(s->DateTimePicker1->date(), QDate(2024, 3, 10));
        s->btn_okClick();
        QCOMPARE(Frm_Data->Qry_Cust->sql(), QString("select * from [custom] where ([date]>=:start)  ORDER BY CustID"));
        QCOMPARE(Frm_Data->Qry_Cust->paramValue("start"), QVariant("2024-03-10"));
        QCOMPARE(listed(), QStringList({"Delta", "100% Cotton", "A_B Works", "AxB"}));
    }

    void refusedStatementLeavesListClosed() {
        QVERIFY(t->exec("alter table custom rename to custom_gone"));
        auto s = openSearch();
        s->Edit_custname->setText("a");
        s->btn_ok->click();  // as the user does: the error reaches the error box
        QCOMPARE(dlg->errors().size(), 1);
        QVERIFY(!Frm_Data->Qry_Cust->active());
        QVERIFY(s->isVisible());
    }

    void openBrowserIsRefreshed() {
        TFrm_Custom browser;
        main->setStatusText(1, QString());
        auto s = openSearch();
        s->Edit_cate->setText("02");
        s->btn_okClick();
        QVERIFY(main->statusText(1).startsWith("Have 2 Customer Record"));
    }

    void exitLeavesTheList() {
        auto s = openSearch();
        s->Edit_custname->setText("Beta");
        s->btn_exitClick();
        QVERIFY(!s->isVisible());
        QCOMPARE(Frm_Data->Qry_Cust->sql(), QString("select * from custom"));
        QCOMPARE(Frm_Data->Qry_Cust->recordCount(), 8);
    }

    // Typed as a user types: a criterion box keeps the text as typed (no
    // completion to a longer entry), and Enter searches at once.
    void criteriaTakeTheTextAsTypedAndEnterSearches() {
        QVERIFY(t->exec("update custom set Country='United Kingdom' where Company='Beta'"));
        QVERIFY(t->exec("update custom set Country='United States' where Company='Delta'"));
        main->show();
        auto s = openSearch();
        QVERIFY(QTest::qWaitForWindowExposed(s.get()));
        s->Combo_country->setFocus();
        QTest::keyClicks(s->Combo_country, "United");
        QCOMPARE(s->Combo_country->currentText(), QString("United"));
        QTest::keyClick(s->Combo_country, Qt::Key_Return);
        QVERIFY(!s->isVisible());  // one Enter: searched and closed
        QCOMPARE(listed(), QStringList({"Beta", "Delta"}));

        QVERIFY(t->exec("update custom set [From]='Trade fair' where Company='Alpha Trading'"));
        QVERIFY(t->exec("update custom set [From]='Trade agent' where Company='Delta'"));
        auto again = openSearch();
        again->Combo_from->setFocus();
        QTest::keyClicks(again->Combo_from, "Trade");
        QCOMPARE(again->Combo_from->currentText(), QString("Trade"));
        QTest::keyClick(again->Combo_from, Qt::Key_Enter);
        QVERIFY(!again->isVisible());
        QCOMPARE(listed(), QStringList({"Alpha Trading", "Delta"}));
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
