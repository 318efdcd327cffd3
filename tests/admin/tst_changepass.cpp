#include <QTest>

#include "admin/U_changepass.h"
#include "admin/Windows.h"
#include "app/U_Main.h"
#include "app/U_login.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Guard.h"
#include "toolkit/Modal.h"

using testsupport::TestDb;

class TestChangePass : public QObject, testsupport::AppFixture {
    Q_OBJECT

    bool passwordIs(const QString& name, const QString& password) { return t->passwordIs(name, password); }
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
        QVERIFY(t->addUser("Tom", "Secret", 1));
        // A name stored with blanks: found by the name exactly as chosen at login.
        QVERIFY(t->addUser(" Sue ", "pw", 1));
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
        QVERIFY(passwordIs("Tom", "Secret"));
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
        QVERIFY(passwordIs("Tom", "Secret"));
    }

    void emptyNewPasswordAcceptedAndAskedAtNextLogin() {
        TFrm_ChangePass w;
        w.show();
        type(w, "Secret", "", "");
        w.Btn_okClick();
        QCOMPARE(dlg->messages(), QStringList({"Change pass succeed"}));
        QCOMPARE(dlg->last()->title, QString("success"));
        QVERIFY(!w.isVisible());
        QVERIFY(passwordIs("Tom", ""));
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
        // Typed as a user types.
        QTest::keyClicks(w.Edit_oldpass, "pw");
        QTest::keyClicks(w.Edit_newpass, "  two words  ");
        QTest::keyClicks(w.Edit_pass, "  two words  ");
        QTest::mouseClick(w.Btn_ok, Qt::LeftButton);
        QCOMPARE(dlg->messages(), QStringList({"Change pass succeed"}));
        QVERIFY(passwordIs(" Sue ", "  two words  "));
        QVERIFY(!passwordIs(" Sue ", "two words"));
        QVERIFY(passwordIs("Tom", "Secret"));
        if (!TestDb::onServer()) QVERIFY(!t->storedPassword(" Sue ").contains("two words"));
        QVERIFY(login(" Sue ", "  two words  "));
    }

    // On a file the user is found by the name chosen at the login; renamed
    // since, it is not found. On a server the login is the user's own role,
    // whatever the name: only a deleted user is gone.
    void userGoneSinceLoginWritesNothing() {
        if (TestDb::onServer())
            QVERIFY(t->execBeside("delete from admin where username='Tom'"));
        else
            QVERIFY(t->execBeside("update admin set username='Thomas' where username='Tom'"));
        TFrm_ChangePass w;
        w.show();
        type(w, "", "x", "x");
        w.Btn_okClick();
        QCOMPARE(dlg->messages(), QStringList({TFrm_ChangePass::noUserText("Tom")}));
        if (!TestDb::onServer()) QVERIFY(passwordIs("Thomas", "Secret"));
        QVERIFY(!passwordIs("Tom", "x"));
        QVERIFY(w.isVisible());
    }

    void refusedPostKeepsOldPassword() {
        if (TestDb::onServer()) QSKIP("the server keeps the password in the user's role, not in a table");
        TFrm_ChangePass w;
        w.show();
        QVERIFY(t->refuseWrites("admin", "update", "refused by a rule"));
        type(w, "Secret", "new", "new");
        QVERIFY(!toolkit::guarded([&] { w.Btn_okClick(); }));
        QCOMPARE(dlg->errors(), QStringList({"refused by a rule"}));
        QVERIFY(dlg->messages().isEmpty());
        QVERIFY(w.isVisible());
        QVERIFY(passwordIs("Tom", "Secret"));
    }
};

QTEST_MAIN(TestChangePass)
#include "tst_changepass.moc"
