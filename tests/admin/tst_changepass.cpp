#include <QTest>

#include "admin/U_changepass.h"
#include "admin/Windows.h"
#include "app/U_Main.h"
#include "app/U_login.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Guard.h"
#include "toolkit/Modal.h"

class TestChangePass : public QObject, testsupport::AppFixture {
    Q_OBJECT

    QString passwordOf(const QString& name) {
        return t->text("select * from admin where username='" + name + "'", "password");
    }
    // Logs in through the login dialog, as the program does.
    bool login(const QString& name, const QString& pass) {
        TFrm_Login l;
        l.show();
        l.ComboBox1->setCurrentIndex(l.ComboBox1->findText(name));
        l.Edit2->setText(pass);
        l.Btn_okClick();
        return l.LoginOK;
    }
    static void type(TFrm_ChangePass& w, const QString& old, const QString& neu, const QString& again) {
        w.Edit_oldpass->setText(old);
        w.Edit_newpass->setText(neu);
        w.Edit_pass->setText(again);
    }

private slots:
    void initTestCase() { TALLIX_SKIP_WITHOUT_TEST_SERVER(); }

    void init() {
        QVERIFY(start());
        registerAdminWindows();
        QVERIFY(t->exec("insert into admin (username, password, permit) values ('Tom', 'Secret', 1)"));
        // A name stored with blanks: found by the name exactly as chosen at login.
        QVERIFY(t->exec("insert into admin (username, password, permit) values (' Sue ', 'pw', 1)"));
        QVERIFY(login("Tom", "Secret"));
        QCOMPARE(main->LoginName, QString("Tom"));
    }
    void cleanup() { stop(); }

    void windowAsOpenedByTheMenu() {
        toolkit::ScriptedModal modal([&](QDialog* d) {
            auto* w = qobject_cast<TFrm_ChangePass*>(d);
            [&] {
                QVERIFY(w);
                QCOMPARE(w->windowTitle(), QString("Change Password"));
            }();
            main->N31Click();  // nothing while open
            type(*w, "Secret", "x", "x");
            w->btn_exitClick();  // leaves without change
            return 0;
        });
        main->UserPermit = 1;  // any user may change their password
        main->N31Click();
        QCOMPARE(modal.shown, QStringList({"TFrm_ChangePass"}));
        QCOMPARE(passwordOf("Tom"), QString("Secret"));
        QVERIFY(dlg->requests.isEmpty());
    }

    void wrongOldPasswordAndMismatchRefused() {
        TFrm_ChangePass w;
        w.show();
        type(w, "secret", "new", "new");  // letter case matters
        w.Btn_okClick();
        QCOMPARE(dlg->messages(), QStringList({"Old Password error!"}));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::None);
        type(w, " Secret", "new", "new");  // no trimming
        w.Btn_okClick();
        QCOMPARE(dlg->messages().size(), 2);

        dlg->clear();
        type(w, "Secret", "new", "New");
        w.Btn_okClick();
        QCOMPARE(dlg->messages(), QStringList({"Input password again!"}));
        QCOMPARE(dlg->last()->title, QString("Checked Pass"));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Information);
        QVERIFY(w.isVisible());
        QCOMPARE(w.Edit_pass->text(), QString("New"));  // texts kept
        QCOMPARE(passwordOf("Tom"), QString("Secret"));
    }

    void emptyNewPasswordAcceptedAndAskedAtNextLogin() {
        TFrm_ChangePass w;
        w.show();
        type(w, "Secret", "", "");
        w.Btn_okClick();
        QCOMPARE(dlg->messages(), QStringList({"Change pass succeed"}));
        QCOMPARE(dlg->last()->title, QString("success"));
        QVERIFY(!w.isVisible());
        QCOMPARE(passwordOf("Tom"), QString(""));
        QCOMPARE(main->UserName, QString("Tom"));  // still logged in
        QVERIFY(!login("Tom", "Secret"));
        QVERIFY(login("Tom", ""));
    }

    void blanksKeptAndRowFoundByLoginName() {
        QVERIFY(login(" Sue ", "pw"));
        QCOMPARE(main->UserName, QString("Sue"));
        QCOMPARE(main->LoginName, QString(" Sue "));
        TFrm_ChangePass w;
        w.show();
        type(w, "pw", "  two words  ", "  two words  ");
        w.Btn_okClick();
        QCOMPARE(dlg->messages(), QStringList({"Change pass succeed"}));
        QCOMPARE(passwordOf(" Sue "), QString("  two words  "));
        QCOMPARE(passwordOf("Tom"), QString("Secret"));
        QVERIFY(login(" Sue ", "  two words  "));
    }

    void userGoneSinceLoginWritesNothing() {
        QVERIFY(t->exec("update admin set username='Thomas' where username='Tom'"));
        TFrm_ChangePass w;
        w.show();
        type(w, "", "x", "x");
        w.Btn_okClick();
        QCOMPARE(dlg->messages(), QStringList({TFrm_ChangePass::noUserText("Tom")}));
        QCOMPARE(passwordOf("Thomas"), QString("Secret"));
        QCOMPARE(passwordOf("Tom"), QString("<none>"));
        QVERIFY(w.isVisible());
    }

    void refusedPostKeepsOldPassword() {
        TFrm_ChangePass w;
        w.show();
        QVERIFY(t->refuseWrites("admin", "update", "refused by a rule"));
        type(w, "Secret", "new", "new");
        QVERIFY(!toolkit::guarded([&] { w.Btn_okClick(); }));
        QCOMPARE(dlg->errors(), QStringList({"refused by a rule"}));
        QVERIFY(dlg->messages().isEmpty());
        QVERIFY(w.isVisible());
        QCOMPARE(passwordOf("Tom"), QString("Secret"));
    }
};

QTEST_MAIN(TestChangePass)
#include "tst_changepass.moc"
