#include <QTest>

#include "admin/U_About.h"
#include "admin/U_softinfo.h"
#include "admin/Windows.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Guard.h"
#include "toolkit/Modal.h"

// The own company's details and the About window that shows its name.
class TestCompany : public QObject, testsupport::AppFixture {
    Q_OBJECT

    // The stored row, read afresh: Company|Regname|Address|Postcode|tel|fax.
    QString stored() {
        const auto q = t->select("select * from info");
        QStringList out;
        for (const char* f : {"Company", "Regname", "Address", "Postcode", "tel", "fax"}) out << q->asString(f);
        return out.join('|');
    }
    // Opens About through the Help menu and returns what its memo showed.
    QString aboutShows() {
        QString shown;
        toolkit::ScriptedModal modal([&](QDialog* d) {
            if (auto* a = qobject_cast<TFrm_About*>(d)) shown = a->Memo1->toPlainText();
            return 0;
        });
        main->N13Click();
        return shown;
    }

private slots:
    void initTestCase() { TALLIX_SKIP_WITHOUT_TEST_SERVER(); }

    void init() {
        QVERIFY(start());
        registerAdminWindows();
    }
    void cleanup() { stop(); }

    void detailsTrimmedAndShownInAbout() {
        QCOMPARE(aboutShows(), QString("Example Trading Co."));
        toolkit::ScriptedModal modal([&](QDialog* d) {
            auto* w = qobject_cast<TFrm_Softinfo*>(d);
            [&] {
                QVERIFY(w);
                QCOMPARE(w->windowTitle(), QString("Company Info"));
                QCOMPARE(w->size(), QSize(434, 268));
                QCOMPARE(w->Edit_name->text(), QString("Example Trading Co."));
                QCOMPARE(w->Edit_user->text(), QString("Jane Doe"));
                QCOMPARE(w->Edit_zip->text(), QString("12345"));
                QCOMPARE(w->Edit_fax->text(), QString("+1 555 0100 101"));
            }();
            main->N7Click();  // nothing while open
            w->Edit_name->setText("  Acme Ltd  ");
            w->Edit_user->setText(" Bo ");
            w->Edit_address->setText("\t2 Main St ");
            w->Edit_zip->setText(" 999 ");
            w->Edit_tel->setText(" 1 ");
            w->Edit_fax->setText("2  ");
            w->btn_okClick();
            [&] { QVERIFY(!w->isVisible()); }();
            return 0;
        });
        main->N7Click();
        QCOMPARE(modal.shown, QStringList({"TFrm_Softinfo"}));
        QCOMPARE(dlg->messages(), QStringList({"success"}));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::None);
        QCOMPARE(stored(), QString("Acme Ltd|Bo|2 Main St|999|1|2"));
        QCOMPARE(aboutShows(), QString("Acme Ltd"));
    }

    void exitLeavesInfoUnchanged() {
        const QString before = stored();
        TFrm_Softinfo w;
        w.show();
        w.Edit_name->setText("Other");
        w.Edit_tel->setText("000");
        w.btn_exitClick();
        QVERIFY(!w.isVisible());
        QCOMPARE(stored(), before);
        QVERIFY(dlg->requests.isEmpty());
        QCOMPARE(t->data()->Qry_Custom->asString("Company"), QString("Example Trading Co."));
    }

    void refusedPostKeepsRowAndDialog() {
        const QString before = stored();
        TFrm_Softinfo w;
        w.show();
        QVERIFY(t->refuseWrites("info", "update", "refused by a rule"));
        w.Edit_name->setText("New name");
        QVERIFY(!toolkit::guarded([&] { w.btn_okClick(); }));
        QCOMPARE(dlg->errors(), QStringList({"refused by a rule"}));
        QVERIFY(dlg->messages().isEmpty());
        QVERIFY(w.isVisible());
        QCOMPARE(stored(), before);
        db::Query* q = t->data()->Qry_Custom;
        QVERIFY(!q->changing());
        QCOMPARE(q->asString("Company"), QString("Example Trading Co."));
        // Once the rule is gone, it goes through.
        QVERIFY(t->allowWrites("info", "update"));
        w.Edit_user->setText("Al");
        w.btn_okClick();
        QCOMPARE(stored().section('|', 0, 1), QString("New name|Al"));
    }

    void aboutWindow() {
        TFrm_About w;
        w.show();
        QCOMPARE(w.windowTitle(), QString("About..."));
        // The link row's labels sit at fixed places and must not run into one another.
        QVERIFY(w.Label8->geometry().right() < w.Label3->x());
        QVERIFY(w.Label3->geometry().right() < w.Label7->x());
        QVERIFY(w.Label7->geometry().right() < w.lbl_url->x());
        QVERIFY(w.lbl_url->geometry().right() < w.width());

        dlg->urlResult = false;  // a failed request changes nothing
        QTest::mouseClick(w.Label3, Qt::LeftButton);
        QTest::mouseClick(w.lbl_url, Qt::LeftButton);
        QCOMPARE(dlg->requests.size(), 2);
        QCOMPARE(dlg->requests[0].kind, toolkit::DialogRequest::OpenUrl);
        QCOMPARE(dlg->requests[0].text, QString("https://www.tallix.example.com/"));
        QCOMPARE(dlg->requests[1].text, QString("mailto:support@tallix.example.com"));
        QVERIFY(w.isVisible());

        w.Label3MouseMove();
        QCOMPARE(w.Label3->cursor().shape(), Qt::PointingHandCursor);
        w.Label3MouseLeave();
        QCOMPARE(w.Label3->cursor().shape(), Qt::ArrowCursor);

        w.Button1->click();
        QVERIFY(!w.isVisible());
    }
};

QTEST_MAIN(TestCompany)
#include "tst_company.moc"
