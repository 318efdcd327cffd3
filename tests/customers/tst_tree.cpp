#include <QTest>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "customers/U_Custom.h"
#include "customers/U_S_Cust.h"
#include "customers/U_addcust.h"
#include "customers/U_tree.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

namespace {

// The tree as indented lines: one blank per level before each node text.
QStringList shape(QTreeWidget* tree) {
    QStringList out;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* n, int depth) {
        out << QString(depth, QLatin1Char(' ')) + n->text(0);
        for (int i = 0; i < n->childCount(); ++i) walk(n->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i) walk(tree->topLevelItem(i), 0);
    return out;
}

QTreeWidgetItem* node(QTreeWidget* tree, const QString& text) {
    const auto found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

}  // namespace

class TestTree : public QObject, testsupport::AppFixture {
    Q_OBJECT

    QStringList stored() {
        const auto q = t->select("select * from category order by code");
        QStringList out;
        for (q->first(); !q->eof(); q->next()) out << q->asString("code") + "=" + q->asString("name");
        return out;
    }
    // What the user does to add one category.
    static void add(TFrm_Tree& w, const QString& code, const QString& name) {
        w.tb_addClick();
        w.Edit_code->setText(code);
        w.Edit_name->setText(name);
        w.btn_saveClick();
    }
    static void click(TFrm_Tree& w, const QString& text) {
        QTreeWidgetItem* n = node(w.TreeView1, text);
        QVERIFY2(n, qPrintable(text));
        w.TreeView1->setCurrentItem(n);
        w.TreeView1Click();
    }

private slots:
    void initTestCase() { TALLIX_SKIP_WITHOUT_TEST_SERVER(); }

    void init() {
        QVERIFY(start());
        main->RootCategory = "All";
    }
    void cleanup() { stop(); }

    void codeLevels() {
        QCOMPARE(CodeLevel("222222", "01"), 1);
        QCOMPARE(CodeLevel("222222", "0101"), 2);
        QCOMPARE(CodeLevel("222222", "010101010101"), 6);
        QCOMPARE(CodeLevel("222222", "1"), -1);
        QCOMPARE(CodeLevel("222222", "123"), -1);
        QCOMPARE(CodeLevel("222222", "01010101010101"), -1);
        QCOMPARE(CodeLevel("222222", ""), -1);
        QCOMPARE(CodeLevel("", "01"), -1);
        QVERIFY(IsNumber(""));
        QVERIFY(IsNumber("2147483647"));
        QVERIFY(!IsNumber("2147483648"));
        QVERIFY(!IsNumber("0a"));
    }

    void treeShapeFromTable() {
        // Stored in no particular order; a 3-digit code, a row whose parent
        // is missing (0301, with its child) and a six-level chain.
        for (const char* row : {"02=Two", "0101=One.One", "123=Odd", "01=One", "010101=Deep", "0301=Orphan",
                                "030101=Orphan child", "01010101=L4", "0101010101=L5", "010101010101=L6",
                                "0102= Padded "})
        {
            const QStringList p = QString(row).split('=');
            QVERIFY(t->exec(QString("insert into category (code, name) values ('%1', '%2')").arg(p[0], p[1])));
        }
        QTreeWidget tree;
        FillCategoryTree(&tree);
        QCOMPARE(shape(&tree), QStringList({"All", " 01-One", "  0101-One.One", "   010101-Deep", "    01010101-L4",
                                            "     0101010101-L5", "      010101010101-L6", "  0102-Padded",
                                            " 02-Two"}));
        QVERIFY(tree.topLevelItem(0)->isExpanded());
        QVERIFY(!tree.topLevelItem(0)->child(0)->isExpanded());

        // The window shows the same tree; clicking a level-6 node or the root
        // loads nothing into the fields.
        TFrm_Tree w;
        QCOMPARE(w.windowTitle(), QString("Customer Category"));
        QCOMPARE(shape(w.TreeView1), shape(&tree));
        click(w, "0101010101-L5");
        QCOMPARE(w.Edit_code->text(), QString("0101010101"));
        QCOMPARE(w.Edit_name->text(), QString("L5"));
        click(w, "010101010101-L6");
        click(w, "All");
        QCOMPARE(w.Edit_code->text(), QString("0101010101"));
        QCOMPARE(w.Edit_name->text(), QString("L5"));
    }

    void addingFollowsTheCodeRules() {
        TFrm_Tree w;
        QVERIFY(!w.Edit_code->isEnabled() && !w.Edit_name->isEnabled() && !w.btn_save->isEnabled());
        add(w, "01", "Trade");
        add(w, "0101", "Retail");
        add(w, "010101", "Shops");
        add(w, "0101010101", "Ten digits");  // needs its parents first
        QCOMPARE(dlg->messages(), QStringList({"Code error,Parent not exist!"}));
        add(w, "01010101", "Eight");
        add(w, "0101010101", "Ten digits");
        QCOMPARE(dlg->messages().size(), 1);
        QCOMPARE(shape(w.TreeView1), QStringList({"All", " 01-Trade", "  0101-Retail", "   010101-Shops",
                                                  "    01010101-Eight", "     0101010101-Ten digits"}));
        QVERIFY(w.Changed);

        const QList<QPair<QString, QString>> refused = {
            {"0201", "Code error,Parent not exist!"},
            {"1", "Code  error!"},
            {"123", "Code  error!"},
            {"", "Code  error!"},
            {"0a", "The Code must be number"},
            {"01", "Code Repeat!"},
            {"2147483648", "The Code must be number"},  // ten digits, beyond 32 bits
            {"-1", "The Code must be number"},          // a sign is no code digit
            {" 1", "The Code must be number"},
        };
        const QStringList before = stored();
        for (const auto& [code, message] : refused) {
            dlg->clear();
            add(w, code, "X");
            QCOMPARE(dlg->messages(), QStringList({message}));
            QCOMPARE(dlg->last()->icon, toolkit::Icon::None);
            QCOMPARE(dlg->last()->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            // Back to idle with the fields filled but closed.
            QCOMPARE(w.Edit_code->text(), code);
            QVERIFY(!w.Edit_code->isEnabled() && !w.Edit_name->isEnabled() && !w.btn_save->isEnabled());
            QVERIFY(w.tb_add->isEnabled() && w.tb_edit->isEnabled());
        }
        QCOMPARE(stored(), before);

        // Name and code are stored trimmed; an empty name is accepted.
        dlg->clear();
        add(w, "02", "  Services  ");
        add(w, "0201", "");
        QVERIFY(dlg->requests.isEmpty());
        QVERIFY(stored().contains("02=Services"));
        QVERIFY(stored().contains("0201="));
        QVERIFY(node(w.TreeView1, "0201-"));
    }

    void deleteLeafRefuseParent() {
        for (const char* c : {"01", "0101", "0102", "02"})
            QVERIFY(t->exec(QString("insert into category (code, name) values ('%1', 'n%1')").arg(c)));
        TFrm_Tree w;
        click(w, "01-n01");
        w.tb_delClick();
        QCOMPARE(dlg->messages(),
                 QStringList({"Dont delete has child directory，Please delete child directory first!"}));
        QCOMPARE(stored().size(), 4);
        QVERIFY(w.Changed);

        // Cancel keeps everything.
        click(w, "0102-n0102");
        dlg->clear();
        dlg->answers = {QMessageBox::Cancel};
        w.tb_delClick();
        QCOMPARE(dlg->messages(), QStringList({"Are you sure delete this directory?"}));
        QCOMPARE(dlg->last()->buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(stored().size(), 4);
        QVERIFY(node(w.TreeView1, "0102-n0102"));

        dlg->answers = {QMessageBox::Ok};
        w.tb_delClick();
        QCOMPARE(stored(), QStringList({"01=n01", "0101=n0101", "02=n02"}));
        QCOMPARE(shape(w.TreeView1), QStringList({"All", " 01-n01", "  0101-n0101", " 02-n02"}));
        // The node now selected is loaded as a click would.
        QTreeWidgetItem* now = w.selectedNode();
        QVERIFY(now);
        QCOMPARE(w.Edit_code->text(), NodeCode(now));
    }

    // A category customers are filed under is not deleted: they would keep
    // a code that names nothing.
    void deleteRefusesACategoryInUse() {
        for (const char* c : {"01", "02"})
            QVERIFY(t->exec(QString("insert into category (code, name) values ('%1', 'n%1')").arg(c)));
        QVERIFY(t->exec("insert into custom (Company, Category) values ('A', '02'), ('B', '02'), ('C', '0201')"));
        TFrm_Tree w;
        click(w, "02-n02");
        w.tb_delClick();
        QCOMPARE(dlg->messages(), QStringList({TFrm_Tree::categoryInUseText(2)}));
        QCOMPARE(dlg->last()->title, QString("Information"));
        QCOMPARE(stored(), QStringList({"01=n01", "02=n02"}));
        QVERIFY(node(w.TreeView1, "02-n02"));
        QVERIFY(t->exec("update custom set Category='01' where Category='02'"));
        dlg->clear();
        w.tb_delClick();  // OK
        QCOMPARE(dlg->messages(), QStringList({"Are you sure delete this directory?"}));
        QCOMPARE(stored(), QStringList({"01=n01"}));
    }

    // Up and Down move the highlight; the fields follow it, and Save and
    // Delete act on the category they show.
    void keyboardMovesTheFieldsWithIt() {
        for (const char* c : {"01", "0101", "02"})
            QVERIFY(t->exec(QString("insert into category (code, name) values ('%1', 'n%1')").arg(c)));
        TFrm_Tree w;
        w.show();
        click(w, "02-n02");
        QCOMPARE(w.Edit_code->text(), QString("02"));
        w.TreeView1->setFocus();
        QTest::keyClick(w.TreeView1, Qt::Key_Up);
        QCOMPARE(w.TreeView1->currentItem()->text(0), QString("01-n01"));
        QCOMPARE(w.Edit_code->text(), QString("01"));
        QTest::keyClick(w.TreeView1, Qt::Key_Right);  // opens 01
        QTest::keyClick(w.TreeView1, Qt::Key_Down);
        QCOMPARE(w.TreeView1->currentItem()->text(0), QString("0101-n0101"));
        QCOMPARE(w.Edit_code->text(), QString("0101"));
        QCOMPARE(w.Edit_name->text(), QString("n0101"));
        // Renamed by keyboard alone: the highlighted category.
        QTest::mouseClick(w.tb_edit, Qt::LeftButton);
        w.Edit_name->selectAll();
        QTest::keyClicks(w.Edit_name, "Retail");
        QTest::keyClick(w.Edit_name, Qt::Key_Return);
        QVERIFY(dlg->requests.isEmpty());
        QCOMPARE(stored(), QStringList({"01=n01", "0101=Retail", "02=n02"}));
        QVERIFY(node(w.TreeView1, "0101-Retail"));
        // Down again and Delete: the category shown goes, nothing else.
        w.TreeView1->setFocus();
        QTest::keyClick(w.TreeView1, Qt::Key_Down);
        QCOMPARE(w.Edit_code->text(), QString("02"));
        QTest::mouseClick(w.tb_del, Qt::LeftButton);
        QCOMPARE(dlg->messages(), QStringList({"Are you sure delete this directory?"}));
        QCOMPARE(stored(), QStringList({"01=n01", "0101=Retail"}));
        QCOMPARE(shape(w.TreeView1), QStringList({"All", " 01-n01", "  0101-Retail"}));
    }

    // A Save that writes nothing says why.
    void aSaveThatChangesNothingSaysWhy() {
        for (const char* c : {"01", "02"})
            QVERIFY(t->exec(QString("insert into category (code, name) values ('%1', 'n%1')").arg(c)));
        TFrm_Tree w;
        w.show();
        // Nothing chosen yet.
        w.tb_editClick();
        w.Edit_name->setText("None?");
        w.btn_saveClick();
        QCOMPARE(dlg->messages().size(), 1);
        QVERIFY(dlg->messages()[0].contains("Choose a category"));
        // The name as it is.
        click(w, "01-n01");
        w.tb_editClick();
        w.btn_saveClick();
        QCOMPARE(dlg->messages().size(), 2);
        QVERIFY(dlg->messages()[1].contains("same as before"));
        // Deleted on another workstation meanwhile.
        QVERIFY(t->exec("delete from category where code='01'"));
        w.tb_editClick();
        w.Edit_name->setText("Gone");
        w.btn_saveClick();
        QCOMPARE(dlg->messages().size(), 3);
        QVERIFY(dlg->messages()[2].contains("deleted on another workstation"));
        QCOMPARE(stored(), QStringList({"02=n02"}));
        for (const auto& r : dlg->requests) QCOMPARE(r.title, QString("Information"));
    }

    void renameKeepsTheTree() {
        for (const char* c : {"01", "0101", "02"})
            QVERIFY(t->exec(QString("insert into category (code, name) values ('%1', 'n%1')").arg(c)));
        TFrm_Tree w;
        click(w, "0101-n0101");
        QTreeWidgetItem* before = w.selectedNode();
        QTreeWidgetItem* other = node(w.TreeView1, "02-n02");
        w.tb_editClick();
        w.Edit_name->setText("  Wholesale ");
        w.btn_saveClick();
        QVERIFY(dlg->requests.isEmpty());
        QCOMPARE(stored(), QStringList({"01=n01", "0101=Wholesale", "02=n02"}));
        // The same node objects: the tree was not rebuilt.
        QCOMPARE(node(w.TreeView1, "0101-Wholesale"), before);
        QCOMPARE(node(w.TreeView1, "02-n02"), other);
        QVERIFY(!w.Edit_name->isEnabled() && !w.btn_save->isEnabled());
        QVERIFY(w.Changed);

        // A form naming a code that is no category: nothing is written.
        const QStringList now = stored();
        click(w, "01-n01");
        w.tb_addClick();
        w.Edit_code->setText("0199");
        w.Edit_name->setText("New?");
        w.tb_editClick();
        w.btn_saveClick();
        QCOMPARE(stored(), now);
        QCOMPARE(shape(w.TreeView1), QStringList({"All", " 01-n01", "  0101-Wholesale", " 02-n02"}));
    }

    // Another workstation renamed or deleted the category after this tree
    // was filled: a rename says so in words, and writes nothing over it.
    void renameAfterAnotherWorkstation() {
        QVERIFY(t->exec("insert into category (code, name) values ('01', 'Trade'), ('02', 'Retail')"));
        TFrm_Tree w;
        w.show();
        click(w, "01-Trade");
        QVERIFY(t->execBeside("update category set name = 'Commerce' where code = '01'"));
        QTest::mouseClick(w.tb_edit, Qt::LeftButton);
        w.Edit_name->clear();
        QTest::keyClicks(w.Edit_name, "Wholesale");
        QTest::mouseClick(w.btn_save, Qt::LeftButton);
        QCOMPARE(dlg->messages(), QStringList({TFrm_Tree::categoryRenamedText("Commerce")}));
        QCOMPARE(stored(), QStringList({"01=Commerce", "02=Retail"}));
        QVERIFY(node(w.TreeView1, "01-Commerce"));
        // Saved again, knowing, it replaces theirs.
        dlg->clear();
        click(w, "01-Commerce");
        QTest::mouseClick(w.tb_edit, Qt::LeftButton);
        w.Edit_name->clear();
        QTest::keyClicks(w.Edit_name, "Wholesale");
        QTest::mouseClick(w.btn_save, Qt::LeftButton);
        QVERIFY(dlg->requests.isEmpty());
        QCOMPARE(stored(), QStringList({"01=Wholesale", "02=Retail"}));

        click(w, "02-Retail");
        QVERIFY(t->execBeside("delete from category where code = '02'"));
        QTest::mouseClick(w.tb_edit, Qt::LeftButton);
        w.Edit_name->clear();
        QTest::keyClicks(w.Edit_name, "Shops");
        QTest::mouseClick(w.btn_save, Qt::LeftButton);
        QCOMPARE(dlg->messages(), QStringList({TFrm_Tree::categoryDeletedText()}));
        QCOMPARE(stored(), QStringList({"01=Wholesale"}));
        QCOMPARE(shape(w.TreeView1), QStringList({"All", " 01-Wholesale"}));
    }

    void selectForEditor() {
        QVERIFY(t->exec("insert into category (code, name) values ('01', 'Trade'), ('0101', 'Retail')"));
        TFrm_AddCust editor;
        TFrm_Tree w;
        w.SelectFor = 1;
        w.show();
        click(w, "0101-Retail");
        w.TreeView1DblClick();
        QVERIFY(!w.isVisible());
        QCOMPARE(editor.CategoryCode, QString("0101"));
        QCOMPARE(editor.Edit_Category->text(), QString("Retail"));
        QCOMPARE(t->data()->ConfigIni->readString("login", "Category", "?"), QString("Retail"));
        QCOMPARE(t->data()->ConfigIni->readString("login", "CateCode", "?"), QString("0101"));
    }

    void selectForSearchThroughLookup() {
        QVERIFY(t->exec("insert into category (code, name) values ('01', 'Trade'), ('0101', 'Retail')"));
        TFrm_S_Cust search;
        int nested = -1;
        toolkit::ScriptedModal modal([&](QDialog* d) {
            auto* w = qobject_cast<TFrm_Tree*>(d);
            if (!w) return 0;
            if (w->SelectFor != 2) return 0;
            // A second lookup while the window is open opens nothing.
            search.Btn_LookupClick();
            nested = int(Frm_Tree == w);
            click(*w, "0101-Retail");
            w->ToolButton1Click();
            return 0;
        });
        search.Btn_LookupClick();
        QCOMPARE(modal.shown, QStringList({"TFrm_Tree"}));
        QCOMPARE(nested, 1);
        QCOMPARE(search.Edit_cate->text(), QString("0101"));
        QVERIFY(!Frm_Tree);  // destroyed after closing
        // Management mode hands nothing over, and a double-click still closes.
        TFrm_Tree w;
        w.show();
        click(w, "01-Trade");
        w.TreeView1DblClick();
        QVERIFY(!w.isVisible());
        QCOMPARE(search.Edit_cate->text(), QString("0101"));
    }

    void browserTreeRefilledOnClose() {
        TFrm_Custom browser;
        auto marker = [&] {
            browser.TreeView1->clear();
            browser.TreeView1->addTopLevelItem(new QTreeWidgetItem(QStringList("stale")));
        };
        marker();
        {
            TFrm_Tree w;  // nothing changed: the browser keeps its tree
            w.show();
            w.tb_closeClick();
        }
        QCOMPARE(shape(browser.TreeView1), QStringList({"stale"}));
        {
            TFrm_Tree w;
            w.show();
            add(w, "01", "Trade");
            add(w, "0101", "Retail");
            w.tb_closeClick();
        }
        QCOMPARE(shape(browser.TreeView1), QStringList({"All", " 01-Trade", "  0101-Retail"}));
        // Closing by Esc (reject) refills too, and so does a refused Save.
        marker();
        {
            TFrm_Tree w;
            w.show();
            add(w, "1", "x");
            w.reject();
        }
        QCOMPARE(shape(browser.TreeView1), QStringList({"All", " 01-Trade", "  0101-Retail"}));
    }
};

QTEST_MAIN(TestTree)
#include "tst_tree.moc"
