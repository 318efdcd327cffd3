#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include "admin/U_adduser.h"
#include "admin/Windows.h"
#include "app/U_Main.h"
#include "app/U_login.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Guard.h"
#include "toolkit/Modal.h"

using testsupport::TestDb;

class TestAddUser : public QObject, testsupport::AppFixture {
    Q_OBJECT

    // "username|permit" of every row of admin, in key order. Passwords
    // cannot be read back: passwordIs() logs in with them.
    QStringList users() {
        const auto q = t->select("select * from admin order by id");
        QStringList out;
        for (q->first(); !q->eof(); q->next()) out << q->asString("username") + "|" + q->asString("permit");
        return out;
    }
    static QStringList nodes(const TFrm_AddUser& w) {
        QStringList out;
        for (int i = 0; i < w.TreeView1->topLevelItemCount(); ++i) out << w.TreeView1->topLevelItem(i)->text(0);
        return out;
    }
    static void select(TFrm_AddUser& w, const QString& node) {
        const auto found = w.TreeView1->findItems(node, Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        w.TreeView1->setCurrentItem(found.first());
        w.TreeView1Click();
    }
    static void type(TFrm_AddUser& w, const QString& name, int permit, const QString& pass) {
        w.Edit_username->setText(name);
        w.ComboBox1->setCurrentIndex(permit);
        if (permit < 0) w.ComboBox1->setEditText(QString());
        w.Edit_pass->setText(pass);
    }

private slots:
    void initTestCase() { TALLIX_SKIP_WITHOUT_TEST_SERVER(); }

    void init() {
        QVERIFY(start());
        registerAdminWindows();
        QVERIFY(t->addUser("Tom", "Secret", 1));
    }
    void cleanup() { stop(); }

    void onlySuperUsersGetTheWindow() {
        int runs = 0;
        toolkit::ScriptedModal modal([&](QDialog* d) {
            ++runs;
            auto* w = qobject_cast<TFrm_AddUser*>(d);
            [&] {
                QVERIFY(w);
                QCOMPARE(w->windowTitle(), QString("Manage User"));
                QCOMPARE(nodes(*w), QStringList({"Admin", "Tom"}));
            }();
            main->N29Click();  // a second request while it is open does nothing
            return 0;
        });
        main->UserPermit = 1;
        main->N29Click();
        QCOMPARE(dlg->messages(), QStringList({"You Cant see the project!"}));
        QCOMPARE(dlg->last()->title, QString("Warning"));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Information);
        QVERIFY(modal.shown.isEmpty());

        dlg->clear();
        main->UserPermit = 0;
        main->N29Click();
        QCOMPARE(modal.shown, QStringList({"TFrm_AddUser"}));
        QCOMPARE(runs, 1);
        QVERIFY(dlg->requests.isEmpty());
        QVERIFY(!Frm_AddUser);  // destroyed after closing
    }

    void startsLockedAndAddUnlocks() {
        TFrm_AddUser w;
        for (QWidget* c : {(QWidget*)w.Edit_username, (QWidget*)w.ComboBox1, (QWidget*)w.Edit_pass,
                           (QWidget*)w.Label1, (QWidget*)w.btn_save})
            QVERIFY(!c->isEnabled());

        dlg->answers = {QMessageBox::Yes};
        w.ToolButton1Click();
        QVERIFY(w.AddMode);
        type(w, "Ann", 1, "pw");
        w.btn_saveClick();
        QCOMPARE(dlg->messages(), QStringList({"Add succeed ,Are you continue"}));
        QCOMPARE(dlg->last()->title, QString("success"));
        QCOMPARE(dlg->last()->buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(users().last(), QString("Ann|1"));
        QVERIFY(t->passwordIs("Ann", "pw"));
        if (!TestDb::onServer()) QVERIFY(t->storedPassword("Ann").startsWith("$argon2id$"));
        QCOMPARE(nodes(w), QStringList({"Admin", "Tom", "Ann"}));
        // Yes: ready for the next user.
        QVERIFY(w.Edit_username->text().isEmpty() && w.Edit_pass->text().isEmpty());
        QVERIFY(w.ComboBox1->currentText().isEmpty());
        QVERIFY(w.Edit_username->isEnabled() && w.btn_save->isEnabled());
        QVERIFY(w.AddMode);

        dlg->answers = {QMessageBox::No};
        type(w, "Bob", 0, "");
        w.btn_saveClick();
        QVERIFY(!w.btn_save->isEnabled());
        QVERIFY(w.Edit_username->isEnabled());  // the fields stay enabled
        QCOMPARE(users().last(), QString("Bob|0"));
        QVERIFY(t->passwordIs("Bob", ""));

        w.Button2Click();
        QVERIFY(!w.AddMode);
        QVERIFY(!w.Edit_username->isEnabled() && !w.Label3->isEnabled() && !w.btn_save->isEnabled());
    }

    void superUserSavedUntouchedStaysSuper() {
        TFrm_AddUser w;
        select(w, "Admin");
        QCOMPARE(w.Edit_username->text(), QString("Admin"));
        QCOMPARE(w.ComboBox1->currentIndex(), 0);
        QCOMPARE(w.Edit_pass->text(), QString());  // never shown
        w.ToolButton2Click();
        QVERIFY(!w.AddMode);
        QTest::keyClicks(w.Edit_pass, "  new pass  ");
        QTest::mouseClick(w.btn_save, Qt::LeftButton);
        QVERIFY(dlg->requests.isEmpty());
        QCOMPARE(users().first(), QString("Admin|0"));
        QVERIFY(t->passwordIs("Admin", "new pass"));  // stored trimmed
        QVERIFY(!t->passwordIs("Admin", ""));
        // Edit mode keeps its state after saving; the password typed is not kept on show.
        QCOMPARE(w.Edit_pass->text(), QString());
        QVERIFY(w.btn_save->isEnabled());

        // Rename and promote through the same row; an empty password field
        // keeps the password.
        select(w, "Tom");
        QCOMPARE(w.Edit_pass->text(), QString());
        w.ToolButton2Click();
        w.Edit_username->setText(" Thomas ");
        w.ComboBox1->setCurrentIndex(0);
        w.btn_saveClick();
        QCOMPARE(users(), QStringList({"Admin|0", "Thomas|0"}));
        QVERIFY(t->passwordIs("Thomas", "Secret"));
        QCOMPARE(nodes(w), QStringList({"Admin", "Thomas"}));
    }

    void typedPermissionChoosesNothing() {
        TFrm_AddUser w;
        w.ToolButton1Click();
        w.ComboBox1->setCurrentIndex(0);
        w.Edit_username->setText("Cy");
        // Typing over the chosen entry, even its own text, chooses no entry.
        QTest::keyClick(w.ComboBox1->lineEdit(), Qt::Key_End);
        QTest::keyClick(w.ComboBox1->lineEdit(), Qt::Key_Backspace);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString("户"));
        QApplication::sendEvent(w.ComboBox1->lineEdit(), &key);
        QTest::keyClick(w.ComboBox1->lineEdit(), Qt::Key_Return);
        QCOMPARE(w.ComboBox1->currentText(), QString("超级用户"));
        QCOMPARE(w.ComboBox1->currentIndex(), -1);
        w.btn_saveClick();
        QCOMPARE(users().last(), QString("Cy|-1"));
    }

    void userWithoutPermissionLogsInAsCommonUser() {
        {
            TFrm_AddUser w;
            w.ToolButton1Click();
            type(w, "Dee", -1, "pw");
            w.btn_saveClick();
        }
        QCOMPARE(users().last(), QString("Dee|-1"));
        TFrm_Login login;
        login.show();
        login.ComboBox1->setCurrentIndex(login.ComboBox1->findText("Dee"));
        login.Edit2->setText("pw");
        login.Btn_okClick();
        QVERIFY(login.LoginOK);
        QCOMPARE(main->UserName, QString("Dee"));
        QCOMPARE(main->UserPermit, -1);
        dlg->clear();
        toolkit::ScriptedModal modal([](QDialog*) { return 0; });
        main->N29Click();
        QCOMPARE(dlg->messages(), QStringList({"You Cant see the project!"}));
        QVERIFY(modal.shown.isEmpty());
    }

    void duplicateNamesRefusedTrimmed() {
        QVERIFY(t->addUser(" Eve ", "", 1));
        TFrm_AddUser w;
        const QStringList before = users();
        w.ToolButton1Click();
        for (const QString& name : {QString("  Tom  "), QString("Eve")}) {
            dlg->clear();
            type(w, name, 1, "x");
            w.btn_saveClick();
            QCOMPARE(dlg->messages(), QStringList({"The username is exist ,Please change a username!"}));
            QCOMPARE(dlg->last()->icon, toolkit::Icon::None);
            QCOMPARE(w.Edit_username->text(), name);  // the window is unchanged
        }
        QCOMPARE(users(), before);
        // Letter case makes another name.
        dlg->clear();
        type(w, "tom", 1, "x");
        w.btn_saveClick();
        QCOMPARE(dlg->messages(), QStringList({"Add succeed ,Are you continue"}));
    }

    void deleteAskedAndAnsweredNo() {
        TFrm_AddUser w;
        select(w, "Tom");
        const QStringList before = users();
        dlg->answers = {QMessageBox::No};
        w.ToolButton4Click();
        QCOMPARE(dlg->messages(), QStringList({"Are sure delete the record?"}));
        QCOMPARE(dlg->last()->title, QString("info"));
        QCOMPARE(dlg->last()->buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(users(), before);
        QCOMPARE(nodes(w), QStringList({"Admin", "Tom"}));

        w.ToolButton4Click();  // Yes
        QCOMPARE(users(), QStringList({"Admin|0"}));
        QVERIFY(!t->passwordIs("Tom", "Secret"));
        QCOMPARE(nodes(w), QStringList({"Admin"}));
        // The highlight moved to the remaining user, and the fields with it:
        // what is highlighted is what a second Delete or a Save acts on.
        QVERIFY(w.TreeView1->currentItem());
        QCOMPARE(w.TreeView1->currentItem()->text(0), QString("Admin"));
        QCOMPARE(w.Edit_username->text(), QString("Admin"));
        QVERIFY(w.TreeView1->currentItem()->isSelected());

        // The last super user can be neither deleted nor made a common user:
        // nobody could manage users, or log in, any more.
        dlg->clear();
        w.ToolButton4Click();
        QCOMPARE(dlg->messages(), QStringList({TFrm_AddUser::lastSuperUserText()}));
        w.ToolButton2Click();
        w.ComboBox1->setCurrentIndex(1);
        w.btn_saveClick();
        QCOMPARE(dlg->messages().last(), TFrm_AddUser::lastSuperUserText());
        QCOMPARE(users(), QStringList({"Admin|0"}));

        // With a second super user, the first may go.
        QVERIFY(t->addUser("Eve", "", 0));
        w.ToolButton6Click();
        select(w, "Admin");
        dlg->clear();
        w.ToolButton4Click();  // Yes
        QCOMPARE(users(), QStringList({"Eve|0"}));
        QCOMPARE(w.Edit_username->text(), QString("Eve"));
    }

    // As a user does it: a new user typed in after focusing the tree shows
    // nobody else's name or rights.
    void addingShowsNobodyElse() {
        TFrm_AddUser w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.ToolButton1, Qt::LeftButton);
        w.TreeView1->setFocus();
        QCoreApplication::processEvents();
        QCOMPARE(w.Edit_username->text(), QString());
        QCOMPARE(w.ComboBox1->currentIndex(), -1);
        QTest::keyClicks(w.Edit_username, "Newbie");
        dlg->answers = {QMessageBox::Yes};
        QTest::mouseClick(w.btn_save, Qt::LeftButton);
        QVERIFY(users().contains("Newbie|-1"));
        QCoreApplication::processEvents();
        // Ready for the next one: nothing of Admin's crept in.
        QCOMPARE(w.Edit_username->text(), QString());
        QCOMPARE(w.ComboBox1->currentIndex(), -1);
        QVERIFY(w.TreeView1->selectedItems().isEmpty());
    }

    void noUserSelectedWritesNothing() {
        TFrm_AddUser w;
        const QStringList before = users();
        w.ToolButton4Click();
        QCOMPARE(dlg->messages(), QStringList({"Select a user"}));
        QCOMPARE(dlg->last()->title, QString("info"));
        QCOMPARE(dlg->last()->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

        // Typed in, but never chosen from the list.
        dlg->clear();
        w.ToolButton2Click();
        type(w, "Zed", 1, "z");
        w.btn_saveClick();
        w.ToolButton4Click();
        QCOMPARE(dlg->messages(), QStringList({TFrm_AddUser::noUserText(), TFrm_AddUser::noUserText()}));
        QCOMPARE(dlg->last()->title, QString("info"));
        QVERIFY(dlg->errors().isEmpty());
        QCOMPARE(users(), before);
    }

    void refusedRowIsNotWritten() {
        TFrm_AddUser w;
        w.ToolButton1Click();
        QVERIFY(t->refuseWrites("admin", "insert", "refused by a rule"));
        type(w, "Ned", 1, "");
        QVERIFY(!toolkit::guarded([&] { w.btn_saveClick(); }));
        QCOMPARE(dlg->errors(), QStringList({"refused by a rule"}));
        QCOMPARE(users(), QStringList({"Admin|0", "Tom|1"}));
        QVERIFY(!t->passwordIs("Ned", ""));
        // Nothing stays pending to be written by the next save.
        QVERIFY(t->allowWrites("admin", "insert"));
        type(w, "Fay", 1, "");
        w.btn_saveClick();
        QCOMPARE(users(), QStringList({"Admin|0", "Tom|1", "Fay|1"}));
    }

    void quotesInNames() {
        TFrm_AddUser w;
        w.ToolButton1Click();
        type(w, "O'Neil", 1, "q");
        w.btn_saveClick();
        w.Button2Click();
        select(w, "O'Neil");
        QCOMPARE(w.Edit_username->text(), QString("O'Neil"));
        QVERIFY(t->passwordIs("O'Neil", "q"));
        dlg->clear();
        w.ToolButton1Click();
        type(w, "O'Neil", 1, "q");
        w.btn_saveClick();
        QCOMPARE(dlg->messages(), QStringList({"The username is exist ,Please change a username!"}));
    }
};

QTEST_MAIN(TestAddUser)
#include "tst_adduser.moc"
