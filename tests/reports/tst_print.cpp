// The print-field chooser for customers and for contacts.
#include <QListWidget>
#include <QTest>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "customers/U_Custom.h"
#include "customers/Windows.h"
#include "reports/U_Print.h"
#include "reports/Windows.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

class TestPrint : public QObject, testsupport::AppFixture {
    Q_OBJECT

    static QStringList items(const QListWidget* l) {
        QStringList out;
        for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
        return out;
    }
    QString printFlags(const QString& table) {
        const auto q = t->select("select * from T_FieldShow where TableName='" + table + "' order by ShowID");
        QString out;
        for (q->first(); !q->eof(); q->next()) out += q->asString("Print");
        return out;
    }
    static void pick(QListWidget* l, const QString& text) {
        const auto found = l->findItems(text, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(text));
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(found.first()).center());
    }
    std::unique_ptr<TFrm_Print> open(const QString& table) {
        auto p = std::make_unique<TFrm_Print>();
        p->TableName = table;
        p->show();
        return p;
    }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerCustomerWindows();
        registerReportWindows();
    }
    void init() {
        QVERIFY(start());
        setUser("Admin", 0);
    }
    void cleanup() { stop(); }

    void windowAndLists() {
        auto p = open("Custom");
        QCOMPARE(p->windowTitle(), QString("选择打印的字段"));
        QCOMPARE(p->Panel1->text(), QString("Unselect Feild"));
        QCOMPARE(p->Panel2->text(), QString("Select Field"));
        QCOMPARE(p->SrcList->size(), QSize(149, 183));
        QCOMPARE(p->size(), QSize(419, 291));
        QVERIFY(!p->SP_allright && !p->SP_allleft);
        QCOMPARE(items(p->DstList).size(), t->scalar("select count(*) from T_FieldShow where Print=1 and TableName='Custom'"));
        QCOMPARE(items(p->SrcList).size() + items(p->DstList).size(),
                 t->scalar("select count(*) from T_FieldShow where TableName='Custom'"));
    }

    // Six printed fields are accepted; a seventh is refused and nothing is
    // written; choosing none is accepted.
    void atMostSix() {
        QVERIFY(t->exec("update T_FieldShow set Print=0"));
        auto p = open("Custom");
        for (const char* f : {"Company", "Tel", "Fax", "E-mail", "Address", "City", "Country"}) {
            pick(p->SrcList, f);
            QTest::mouseClick(p->SP_right, Qt::LeftButton);
        }
        QCOMPARE(p->DstList->count(), 7);
        QTest::mouseClick(p->Btn_ok, Qt::LeftButton);
        QCOMPARE(dlg->messages(), QStringList({"选择打印的字段不能超过6个!"}));
        QCOMPARE(t->scalar("select count(*) from T_FieldShow where Print=1"), 0);
        QVERIFY(p->isVisible());

        pick(p->DstList, "Country");
        QTest::mouseClick(p->SP_left, Qt::LeftButton);
        dlg->clear();
        QTest::mouseClick(p->Btn_ok, Qt::LeftButton);
        QCOMPARE(dlg->messages(), QStringList({"修改完成！"}));
        QVERIFY(!p->isVisible());
        QCOMPARE(t->scalar("select count(*) from T_FieldShow where Print=1 and TableName='Custom'"), 6);
        QCOMPARE(t->scalar("select Print from T_FieldShow where TableName='Custom' and Field='Country'"), 0);

        auto none = open("Custom");
        while (none->DstList->count() > 0) {
            none->DstList->setCurrentRow(0);
            none->SP_leftClick();
        }
        QVERIFY(!none->SP_left->isEnabled());
        none->Btn_okClick();
        QCOMPARE(t->scalar("select count(*) from T_FieldShow where Print=1 and TableName='Custom'"), 0);
    }

    // The window for contacts never touches the customer rows, nor the reverse.
    void tablesStayApart() {
        QVERIFY(t->exec("update T_FieldShow set Name='Tel' where TableName='Contact' and Field='HomeTel'"));
        const QString customers = printFlags("Custom");
        auto p = open("Contact");
        QVERIFY(items(p->SrcList).contains("Address"));
        pick(p->SrcList, "Address");
        p->SP_rightClick();
        p->Btn_okClick();
        QCOMPARE(printFlags("Custom"), customers);
        QCOMPARE(t->scalar("select Print from T_FieldShow where TableName='Contact' and Field='Address'"), 1);
        // Both contact rows titled "Tel" share the flag.
        QCOMPARE(t->scalar("select count(distinct Print) from T_FieldShow where TableName='Contact' and Name='Tel'"), 1);
    }

    void cancelStoresNothing() {
        const QString before = printFlags("Custom") + printFlags("Contact");
        auto p = open("Custom");
        p->DstList->setCurrentRow(0);
        p->SP_leftClick();
        QTest::mouseClick(p->Btn_exit, Qt::LeftButton);
        QVERIFY(!p->isVisible());
        QCOMPARE(printFlags("Custom") + printFlags("Contact"), before);
        QVERIFY(dlg->requests.isEmpty());
    }

    // The browser's two popups reach the chooser with their table.
    void reachedFromTheBrowser() {
        main->show();
        QVERIFY(Frm_Custom);
        QStringList tables;
        toolkit::ScriptedModal script([&](QDialog* d) {
            tables << qobject_cast<TFrm_Print*>(d)->TableName;
            return 0;
        });
        Frm_Custom->N441->trigger();
        Frm_Custom->N12->trigger();
        main->SetPrint_CustExecute();
        QCOMPARE(tables, QStringList({"Custom", "Contact", "Custom"}));
        QCOMPARE(Frm_Custom->N441->text(), QString("Select Print Field"));
        QCOMPARE(Frm_Custom->N12->text(), QString("Select Print Field"));
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
