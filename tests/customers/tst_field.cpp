// The shown-field chooser, reached from the main window and the browser, and
// what it does to the browser's grids.
#include <QListWidget>
#include <QMenu>
#include <QTest>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "customers/U_Custom.h"
#include "customers/U_Field.h"
#include "customers/Windows.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

class TestField : public QObject, testsupport::AppFixture {
    Q_OBJECT

    static QStringList items(const QListWidget* l) {
        QStringList out;
        for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
        return out;
    }
    QStringList titles() {
        QStringList out;
        toolkit::DataGrid* g = Frm_Custom->DBGrid1;
        for (int i = 0; i < g->columnCountShown(); ++i) out << g->model()->headerData(i, Qt::Horizontal).toString();
        return out;
    }
    QString shownFlags(const QString& table) {
        const auto q = t->select("select * from T_FieldShow where TableName='" + table + "' order by ShowID");
        QString out;
        for (q->first(); !q->eof(); q->next()) out += q->asString("show");
        return out;
    }
    // Clicks an entry of a list as a user does.
    static void click(QListWidget* l, const QString& text, bool twice = false) {
        const auto found = l->findItems(text, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(text));
        const QPoint at = l->visualItemRect(found.first()).center();
        // A double-click is a click followed by a second press that the
        // window system reports as a double-click.
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, at);
        if (twice) QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, at);
    }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerCustomerWindows();
    }
    void init() {
        QVERIFY(start());
        setUser("Admin", 0);
        QVERIFY(t->exec("insert into custom (Company, Address) values ('Acme', 'A Street')"));
        main->resize(1200, 800);
        main->show();
        QVERIFY(Frm_Custom);
    }
    void cleanup() { stop(); }

    // Through the System menu: a hidden field moved over with the mouse, OK;
    // the browser grid shows the column at its ShowID place, not at the end.
    void shownColumnLandsAtItsPlace() {
        QVERIFY(!titles().contains("Address"));
        toolkit::ScriptedModal script([this](QDialog* d) {
            auto* f = qobject_cast<TFrm_Field*>(d);
            if (!f) return 0;
            [&] {
                QCOMPARE(f->windowTitle(), QString("Select Field"));
                QCOMPARE(f->Panel1->text(), QString("Hide Field"));
                QCOMPARE(f->Panel2->text(), QString("Show Field"));
                QCOMPARE(f->TableName, QString("Custom"));
                QCOMPARE(items(f->DstList).size(), t->scalar("select count(*) from T_FieldShow where show=1 and TableName='Custom'"));
                QVERIFY(items(f->SrcList).contains("Address"));
                click(f->SrcList, "Address");
                QTest::mouseClick(f->SP_right, Qt::LeftButton);
                QVERIFY(items(f->DstList).endsWith("Address"));
                QTest::mouseClick(f->Btn_ok, Qt::LeftButton);
            }();
            return 1;
        });
        main->N9->trigger();
        QCOMPARE(script.shown, QStringList({"TFrm_Field"}));
        QCOMPARE(dlg->messages(), QStringList({"modify finished"}));
        QCOMPARE(t->scalar("select show from T_FieldShow where TableName='Custom' and Field='Address'"), 1);
        const QStringList now = titles();
        QCOMPARE(now.indexOf("Address"), now.indexOf("City") + 1);  // ShowID 8 follows City's 7
        QCOMPARE(now.indexOf("Tel"), now.indexOf("Address") + 1);
    }

    // Every customer field chosen: more than the grid holds, which is said.
    void moreFieldsThanTheGridHoldsIsSaid() {
        toolkit::ScriptedModal script([this](QDialog* d) {
            auto* f = qobject_cast<TFrm_Field*>(d);
            if (!f) return 0;
            QTest::mouseClick(f->SP_allright, Qt::LeftButton);
            QTest::mouseClick(f->Btn_ok, Qt::LeftButton);
            return 1;
        });
        main->N9->trigger();
        QCOMPARE(t->scalar("select count(*) from T_FieldShow where show=1 and TableName='Custom'"), 18);
        QCOMPARE(dlg->messages().size(), 2);
        const QString note = dlg->messages()[0];
        QVERIFY2(note.contains("at most 17 columns") && note.contains("1 of the 18"), qPrintable(note));
        const QString last =
            t->text("select * from T_FieldShow where TableName='Custom' order by ShowID desc", "Name");
        QVERIFY2(note.contains(last), qPrintable(note));
        QCOMPARE(dlg->messages()[1], QString("modify finished"));
        QCOMPARE(titles().size(), 17);
        QVERIFY(!titles().contains(last));
    }

    // Cancel stores nothing, yet the grids are rebuilt from what is stored.
    void cancelStoresNothingButRebuilds() {
        const QString before = shownFlags("Custom");
        toolkit::ScriptedModal script([this](QDialog* d) {
            auto* f = qobject_cast<TFrm_Field*>(d);
            [&] {
                f->SP_allrightClick();
                QCOMPARE(f->SrcList->count(), 0);
                QVERIFY(!f->SP_right->isEnabled() && !f->SP_allright->isEnabled());
                // Meanwhile someone else shows the address column.
                QVERIFY(t->exec("update T_FieldShow set show=1 where TableName='Custom' and Field='Address'"));
                QTest::mouseClick(f->Btn_exit, Qt::LeftButton);
            }();
            return 0;
        });
        main->ShowField_CustExecute();
        QVERIFY(dlg->messages().isEmpty());
        QString expected = before;
        expected[7] = '1';  // Address only
        QCOMPARE(shownFlags("Custom"), expected);
        QVERIFY(titles().contains("Address"));  // rebuilt on closing
    }

    // ">>" then OK shows every field; "<<" then OK hides every field, and
    // the grid still names its rows.
    void allAndNothing() {
        toolkit::ScriptedModal all([](QDialog* d) {
            auto* f = qobject_cast<TFrm_Field*>(d);
            f->SP_allrightClick();
            f->Btn_okClick();
            return 1;
        });
        Frm_Custom->N2->trigger();  // "Select Show Field" in the grid's popup
        QCOMPARE(shownFlags("Custom"), QString(18, '1'));
        QCOMPARE(Frm_Custom->DBGrid1->columnCountShown(), 17);  // the grid's own limit

        toolkit::ScriptedModal none([](QDialog* d) {
            auto* f = qobject_cast<TFrm_Field*>(d);
            [&] {
                f->SP_allleftClick();
                QVERIFY(!f->SP_left->isEnabled() && !f->SP_allleft->isEnabled());
                QVERIFY(f->SP_right->isEnabled());
                f->Btn_okClick();
            }();
            return 1;
        });
        main->ShowField_CustExecute();
        QCOMPARE(shownFlags("Custom"), QString(18, '0'));
        QCOMPARE(titles(), QStringList({"Company"}));
        QCOMPARE(Frm_Custom->DBGrid1->model()->index(0, 0).data().toString(), QString("Acme"));
    }

    // A double-click moves like the arrows, and the first entry left is
    // selected for the next move.
    void doubleClicksMove() {
        TFrm_Field f;
        f.TableName = "Custom";
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const int shown = f.DstList->count();
        click(f.DstList, "Tel", true);
        QCOMPARE(f.DstList->count(), shown - 1);
        QCOMPARE(items(f.SrcList).last(), QString("Tel"));
        QCOMPARE(f.DstList->currentRow(), 0);
        click(f.SrcList, "Tel", true);
        QCOMPARE(items(f.DstList).last(), QString("Tel"));
        QCOMPARE(f.SrcList->currentRow(), 0);
    }

    // A quote in a title is text, not SQL; titles shared by two rows get
    // the same flag.
    void quotesAndSharedTitles() {
        QVERIFY(t->exec("update T_FieldShow set Name='Owner''s name' where TableName='Custom' and Field='F_User'"));
        QVERIFY(t->exec("update T_FieldShow set Name='Tel', show=0 where TableName='Custom' and Field='Fax'"));
        TFrm_Field f;
        f.TableName = "Custom";
        f.show();
        click(f.DstList, "Owner's name");
        f.SP_leftClick();
        click(f.SrcList, "Tel");
        f.SP_rightClick();
        f.Btn_okClick();
        QVERIFY(dlg->errors().isEmpty());
        QCOMPARE(t->scalar("select show from T_FieldShow where TableName='Custom' and Field='F_User'"), 0);
        QCOMPARE(t->scalar("select count(*) from T_FieldShow where TableName='Custom' and Name='Tel' and show=1"), 2);
    }

    // The flags of one OK are stored together: a refused statement leaves
    // every flag as it was, says why, and the dialog stays open.
    void refusedStoreChangesNothing() {
        QVERIFY(t->refuseWrites("T_FieldShow", "update", "refused by a rule", "new.Field='Url'"));
        const QString before = shownFlags("Custom");
        TFrm_Field f;
        f.TableName = "Custom";
        f.show();
        f.SP_allrightClick();
        QTest::mouseClick(f.Btn_ok, Qt::LeftButton);
        QCOMPARE(dlg->errors(), QStringList({"refused by a rule"}));
        QVERIFY(dlg->messages().isEmpty());
        QCOMPARE(shownFlags("Custom"), before);
        QVERIFY(f.isVisible());
        QVERIFY(!Frm_Data->Connection->inTransaction());
    }

    void singleInstance() {
        int runs = 0;
        toolkit::ScriptedModal script([&](QDialog*) {
            ++runs;
            main->ShowField_CustExecute();  // while it is open: nothing
            return 0;
        });
        main->ShowField_CustExecute();
        QCOMPARE(runs, 1);
    }
};

QTEST_MAIN(TestField)
#include "tst_field.moc"
