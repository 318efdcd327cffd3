#include <QTest>

#include "app/U_Main.h"
#include "app/U_login.h"
#include "app/Startup.h"
#include <QTimer>
#include "app/db/DbError.h"
#include "tests/support/AppFixture.h"

using testsupport::TestDb;

class TestLogin : public QObject, testsupport::AppFixture {
    Q_OBJECT

    // Shows a fresh login window the way the program does (FormShow runs).
    std::unique_ptr<TFrm_Login> showLogin() {
        auto login = std::make_unique<TFrm_Login>();
        login->show();
        return login;
    }
    void choose(TFrm_Login& l, const QString& user, const QString& pass) {
        l.ComboBox1->setCurrentIndex(l.ComboBox1->findText(user));
        l.Edit2->setText(pass);
    }

private slots:
    void initTestCase() { TALLIX_SKIP_WITHOUT_TEST_SERVER(); }

    void init() {
        QVERIFY(start());
        QVERIFY(t->addUser("Tom", "Secret", 1));
        QVERIFY(t->addUser("  ABCDEFGHIJKLMNOPQRSTUVWXY  ", "x", 2));
        QVERIFY(t->addUser("O'Neil", "", 1));
    }
    void cleanup() { stop(); }

    void listsUsersAndPreselectsRemembered() {
        auto l = showLogin();
        QCOMPARE(l->windowTitle(), QString("Login"));
        QCOMPARE(l->ComboBox1->count(), 4);
        QCOMPARE(l->ComboBox1->itemText(0), QString("Admin"));
        QCOMPARE(l->ComboBox1->itemText(2), QString("  ABCDEFGHIJKLMNOPQRSTUVWXY  "));  // unchanged
        QCOMPARE(l->ComboBox1->currentIndex(), -1);
        QCOMPARE(l->Edit2->echoMode(), QLineEdit::Password);
        QTest::keyClicks(l->Edit2, "abc");
        QCOMPARE(l->Edit2->displayText(), QString("***"));  // a "*" for each character
        l->Edit2->clear();
        QVERIFY(l->Btn_ok->isDefault());
        // A minimise button, and nothing to maximise a fixed dialog with.
        QVERIFY(l->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(l->windowFlags().testFlag(Qt::CustomizeWindowHint));
        QVERIFY(!l->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        t->data()->ConfigIni->writeInteger("login", "username", 2);
        QCOMPARE(showLogin()->ComboBox1->currentIndex(), 2);
        t->data()->ConfigIni->writeInteger("login", "username", 9);
        QCOMPARE(showLogin()->ComboBox1->currentIndex(), -1);
    }

    void emptyPasswordUserLogsIn() {
        auto l = showLogin();
        choose(*l, "Admin", "");
        l->Btn_okClick();
        QVERIFY(dlg->requests.isEmpty());
        QVERIFY(l->LoginOK);
        QCOMPARE(main->UserName, QString("Admin"));
        QCOMPARE(main->UserPermit, 0);
        QCOMPARE(main->statusText(0), QString(" UserName: Admin"));
        QCOMPARE(l->result(), int(QDialog::Accepted));
        QCOMPARE(t->data()->ConfigIni->readInteger("login", "username", -5), 0);
    }

    void passwordRules() {
        auto l = showLogin();
        choose(*l, "Tom", "");
        l->Btn_okClick();
        QCOMPARE(dlg->messages(), QStringList({"Please input password！"}));
        QCOMPARE(dlg->last()->title, QString("Error"));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Error);
        QVERIFY(!l->LoginOK);

        dlg->clear();
        choose(*l, "Tom", "secret");  // letter case matters
        l->Btn_okClick();
        QCOMPARE(dlg->messages(), QStringList({"Password error，tried again！"}));
        QCOMPARE(l->Edit2->text(), QString());  // emptied for the next try
        QVERIFY(!l->LoginOK);
        QVERIFY(main->UserName.isEmpty());

        dlg->clear();
        choose(*l, "Tom", "Secret");
        l->Btn_okClick();
        QVERIFY(dlg->requests.isEmpty());
        QVERIFY(l->LoginOK);
        QCOMPARE(main->UserName, QString("Tom"));
        QCOMPARE(main->UserPermit, 1);
        QCOMPARE(t->data()->ConfigIni->readInteger("login", "username", -5), 1);
    }

    void nothingChosen() {
        auto l = showLogin();
        l->ComboBox1->setCurrentIndex(-1);
        l->Btn_okClick();
        QCOMPARE(dlg->messages(), QStringList({"Please select an Username！"}));
        QCOMPARE(dlg->last()->title, QString("Error"));
        QVERIFY(!l->LoginOK);
        QCOMPARE(t->data()->ConfigIni->readInteger("login", "username", -5), -1);
    }

    void longNameTrimmedAndCut() {
        auto l = showLogin();
        l->ComboBox1->setCurrentIndex(2);
        l->Edit2->setText("x");
        l->Btn_okClick();
        QVERIFY(l->LoginOK);
        QCOMPARE(main->UserName, QString("ABCDEFGHIJKLMNOPQRST"));
        QCOMPARE(main->UserPermit, 2);
        QCOMPARE(main->statusText(0), QString(" UserName: ABCDEFGHIJKLMNOPQRST"));
        QCOMPARE(t->data()->ConfigIni->readInteger("login", "username", -5), 2);
    }

    void quoteInUserName() {
        auto l = showLogin();
        choose(*l, "O'Neil", "");
        l->Btn_okClick();
        QVERIFY(dlg->errors().isEmpty());
        QVERIFY(l->LoginOK);
        QCOMPARE(main->UserName, QString("O'Neil"));
    }

    void failedOrCancelledSecondLoginChangesNothing() {
        auto first = showLogin();
        choose(*first, "Admin", "");
        first->Btn_okClick();
        QVERIFY(first->LoginOK);

        auto second = showLogin();
        choose(*second, "Tom", "wrong");
        second->Btn_okClick();
        second->Btn_ExitClick();
        QVERIFY(!second->LoginOK);
        QCOMPARE(second->result(), int(QDialog::Rejected));
        QCOMPARE(main->UserName, QString("Admin"));
        QCOMPARE(main->UserPermit, 0);
        QCOMPARE(main->statusText(0), QString(" UserName: Admin"));
    }

    void emptyUserTable() {
        QVERIFY(t->exec("delete from admin"));
        auto l = showLogin();
        QCOMPARE(l->ComboBox1->count(), 0);
        l->Btn_okClick();
        QCOMPARE(dlg->messages(), QStringList({"Please select an Username！"}));
    }

    void startUpEndsOnCancel() {
        TFrm_Login login;
        QTimer::singleShot(0, &login, [&login] { login.Btn_Exit->click(); });
        QVERIFY(!loginAtStart(*t->data(), login));
        QVERIFY(!main->isVisible());
        QVERIFY(main->UserName.isEmpty());
    }

    void startUpRunsAfterLogin() {
        TFrm_Login login;
        QTimer::singleShot(0, &login, [&login] {
            login.ComboBox1->setCurrentIndex(0);
            login.Btn_ok->click();
        });
        QVERIFY(loginAtStart(*t->data(), login));
        QCOMPARE(main->UserName, QString("Admin"));
    }

    void startUpWithoutConnectionAsksNoLogin() {
        t->data()->ConfigIni->writeString("Config", "DBConn", t->dir() + "/missing.db");
        t->openData();
        TFrm_Login login;
        bool shown = false;
        QTimer::singleShot(0, &login, [&] {
            shown = login.isVisible();
            login.reject();
        });
        QVERIFY(!loginAtStart(*t->data(), login));
        QVERIFY(!shown);
        QCOMPARE(dlg->messages(), QStringList({"连接数据库失败! "}));
    }

    // A user deleted on another workstation after the list was shown is
    // not logged in (with no row, the level read as a super user's).
    void userDeletedMeanwhileIsNotLoggedIn() {
        auto l = showLogin();
        QVERIFY(t->execBeside("delete from admin where username='O''Neil'"));
        choose(*l, "O'Neil", "");
        QTest::mouseClick(l->Btn_ok, Qt::LeftButton);
        QVERIFY(!l->LoginOK);
        QCOMPARE(dlg->errors().size(), 1);
        QVERIFY2(dlg->errors()[0].contains("no longer in the user list"), qPrintable(dlg->errors()[0]));
        QVERIFY(main->UserName.isEmpty());
    }

    // A workstation's address names no account: the names come through the
    // database's user-list login, which may read nothing else, and the
    // user's own login follows the password the server accepts.
    void aWorkstationLogsInAsTheUser() {
        if (!TestDb::onServer()) QSKIP("logins of the database server");
        t->data()->ConfigIni->writeString("Config", "DBConn", t->workstationAddress());
        t->openData();
        QVERIFY(t->data()->DBConnected);
        QVERIFY(dlg->requests.isEmpty());
        QVERIFY(!t->data()->Qry_Custom->active());
        QVERIFY_THROWS_EXCEPTION(db::DbError, t->scalar("select count(*) from custom"));
        auto l = showLogin();
        QCOMPARE(l->ComboBox1->count(), 4);
        l->ComboBox1->setCurrentIndex(l->ComboBox1->findText("Tom"));
        QTest::keyClicks(l->Edit2, "secret");
        QTest::mouseClick(l->Btn_ok, Qt::LeftButton);
        QCOMPARE(dlg->messages(), QStringList({"Password error，tried again！"}));
        QVERIFY(!l->LoginOK);
        QVERIFY_THROWS_EXCEPTION(db::DbError, t->scalar("select count(*) from custom"));
        QTest::keyClicks(l->Edit2, "Secret");
        QTest::keyClick(l->Edit2, Qt::Key_Return);
        QVERIFY(l->LoginOK);
        QCOMPARE(main->UserPermit, 1);
        QVERIFY(t->data()->Qry_Custom->active());  // the own company, readable now
        QCOMPARE(t->scalar("select count(*) from custom"), 0);
        QVERIFY_THROWS_EXCEPTION(db::DbError, t->scalar("select count(*) from admin"));  // a common user's login
    }

    void failedConnectionListsNobody() {
        t->data()->ConfigIni->writeString("Config", "DBConn", t->dir() + "/missing.db");
        t->openData();
        QVERIFY(t->data()->terminateRequested());
        auto l = showLogin();
        QCOMPARE(l->ComboBox1->count(), 0);
        QVERIFY(!l->LoginOK);
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
