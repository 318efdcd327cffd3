#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "admin/U_other.h"
#include "admin/Windows.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

class TestOther : public QObject, testsupport::AppFixture {
    Q_OBJECT

    QStringList names(const QString& table) {
        const auto q = t->select("select * from " + table + " order by id");
        QStringList out;
        for (q->first(); !q->eof(); q->next()) out << q->asString("name");
        return out;
    }
    static QStringList items(const QComboBox& c) {
        QStringList out;
        for (int i = 0; i < c.count(); ++i) out << c.itemText(i);
        return out;
    }
    // What the editors offer the next time they fill their lists.
    QStringList countryCombo() {
        QComboBox c;
        main->FillComboById(t->data()->Qry_Country, &c, "country");
        return items(c);
    }
    QStringList typeCombo() {
        QComboBox c;
        t->data()->FillComboByName(t->data()->Qry_Type, &c, "type");
        return items(c);
    }
    static QAbstractItemModel* model(TFrm_Other& w) { return w.currentGrid()->model(); }
    // Types into a cell the way the grid's own editor does.
    static void typeInto(toolkit::DataGrid* g, int row, const QString& text) {
        const QModelIndex idx = g->model()->index(row, 0);
        g->setCurrentIndex(idx);
        auto openEditor = [g] {
            QLineEdit* ed = nullptr;
            for (auto* e : g->viewport()->findChildren<QLineEdit*>())
                if (e->isVisible()) ed = e;  // closed editors linger hidden until deleted
            return ed;
        };
        if (!openEditor()) g->edit(idx);  // Add opens one itself
        QLineEdit* ed = openEditor();
        QVERIFY(ed);
        ed->setText(text);
    }

private slots:
    void initTestCase() { TALLIX_SKIP_WITHOUT_TEST_SERVER(); }

    void init() {
        QVERIFY(start());
        registerAdminWindows();
    }
    void cleanup() { stop(); }

    void pagesShowTheirTables() {
        toolkit::ScriptedModal modal([&](QDialog* d) {
            auto* w = qobject_cast<TFrm_Other*>(d);
            [&] {
                QVERIFY(w);
                QCOMPARE(w->windowTitle(), QString("Management"));
                QCOMPARE(w->size(), QSize(473, 304));
                const QStringList captions = {"Country", "Position", "Department", "Resource", "Cust Type"};
                const QStringList tables = {"country", "zw", "department", "custfrom", "type"};
                toolkit::DataGrid* grids[] = {w->DBGrid2, w->DBGrid3, w->DBGrid4, w->DBGrid1, w->DBGrid5};
                QCOMPARE(w->PageControl1->currentIndex(), 0);
                for (int i = 0; i < 5; ++i) {
                    w->PageControl1->setCurrentIndex(i);
                    QCOMPARE(w->PageControl1->tabText(i), captions[i]);
                    QCOMPARE(t->data()->Qry_Other->tableName(), tables[i]);
                    QCOMPARE(w->currentGrid(), grids[i]);
                    for (int j = 0; j < 5; ++j)
                        QCOMPARE(grids[j]->dataSource(), j == i ? t->data()->DS_Other : nullptr);
                    QCOMPARE(grids[i]->model()->columnCount(), 1);
                    QCOMPARE(grids[i]->model()->headerData(0, Qt::Horizontal).toString(), QString("Contents"));
                    QCOMPARE(grids[i]->model()->rowCount(), names(tables[i]).size());
                    QCOMPARE(grids[i]->model()->index(0, 0).data().toString(), names(tables[i]).first());
                }
                main->N28Click();  // nothing while open
            }();
            return 0;
        });
        main->N28Click();
        QCOMPARE(modal.shown, QStringList({"TFrm_Other"}));
        QVERIFY(!Frm_Other);
    }

    void entryAddedRenamedDeletedReachesTheEditors() {
        TFrm_Other w;
        w.show();
        toolkit::DataGrid* g = w.DBGrid2;
        QAbstractItemModelTester tester(g->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(g->model()->rowCount(), 7);

        w.ToolButton1Click();
        QCOMPARE(g->model()->rowCount(), 8);  // the new row, not stored yet
        QCOMPARE(g->currentIndex().row(), 7);
        QVERIFY(g->model()->flags(g->model()->index(7, 0)) & Qt::ItemIsEditable);
        QVERIFY(g->model()->setData(g->model()->index(7, 0), "Brazil"));
        QCOMPARE(names("country").size(), 7);
        g->setCurrentIndex(g->model()->index(2, 0));  // leaving the row posts it
        QCOMPARE(g->model()->rowCount(), 8);
        QCOMPARE(names("country").last(), QString("Brazil"));
        QCOMPARE(countryCombo().last(), QString("Brazil"));

        // Changed in place, posted when the cursor moves on.
        typeInto(g, 7, "Brasil");
        QCOMPARE(names("country").last(), QString("Brazil"));  // still in the cell editor
        g->setCurrentIndex(g->model()->index(0, 0));
        QCOMPARE(g->model()->index(7, 0).data().toString(), QString("Brasil"));
        QCOMPARE(names("country").last(), QString("Brasil"));
        QCOMPARE(names("country").size(), 8);
        QVERIFY(countryCombo().contains("Brasil"));
        QVERIFY(!countryCombo().contains("Brazil"));

        g->setCurrentIndex(g->model()->index(7, 0));
        w.ToolButton3Click();  // answered Yes
        QCOMPARE(dlg->messages(), QStringList({"Are you Sure to delete this record"}));
        QCOMPARE(dlg->last()->title, QString("Warning"));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Information);
        QCOMPARE(dlg->last()->buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(g->model()->rowCount(), 7);
        QVERIFY(!countryCombo().contains("Brasil"));
        QVERIFY(dlg->errors().isEmpty());
    }

    void typedRowPostedOnOtherPagesAndOnClose() {
        {
            TFrm_Other w;
            w.show();
            w.PageControl1->setCurrentIndex(4);
            QAbstractItemModelTester tester(model(w), QAbstractItemModelTester::FailureReportingMode::QtTest);
            w.ToolButton1Click();
            typeInto(w.DBGrid5, 6, "Reseller");
            w.ToolButton1Click();  // the next new row stores the first
            QCOMPARE(names("type").last(), QString("Reseller"));
            QCOMPARE(model(w)->rowCount(), 8);
            typeInto(w.DBGrid5, 7, "Agent");
            w.PageControl1->setCurrentIndex(1);  // leaving the page stores it
            QCOMPARE(names("type").last(), QString("Agent"));
            QCOMPARE(t->data()->Qry_Other->tableName(), QString("zw"));
            w.ToolButton1Click();
            typeInto(w.DBGrid3, 6, "Clerk");
            w.ToolButton6Click();  // Exit
            QVERIFY(!w.isVisible());
        }
        QCOMPARE(names("zw").last(), QString("Clerk"));
        QCOMPARE(typeCombo(), QStringList({"Agent", "Distributor", "Key account", "Partner", "Prospect",
                                           "Reseller", "Retailer", "Wholesaler"}));
        QVERIFY(dlg->requests.isEmpty());
    }

    void untouchedNewRowLeavesNothing() {
        {
            TFrm_Other w;
            w.show();
            toolkit::DataGrid* g = w.DBGrid2;
            QAbstractItemModelTester tester(g->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
            w.ToolButton1Click();
            w.ToolButton1Click();  // still one new row
            QCOMPARE(g->model()->rowCount(), 8);
            g->setCurrentIndex(g->model()->index(3, 0));
            QCOMPARE(g->model()->rowCount(), 7);
            QCOMPARE(t->data()->Qry_Other->currentRow(), 3);
            w.ToolButton1Click();
            w.ToolButton6Click();
        }
        QCOMPARE(names("country").size(), 7);
        QVERIFY(dlg->requests.isEmpty());
    }

    void refusedRowShownAndNotStored() {
        TFrm_Other w;
        w.show();
        toolkit::DataGrid* g = w.DBGrid2;
        QAbstractItemModelTester tester(g->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        // A rule of the database refuses every new country.
        QVERIFY(t->refuseWrites("country", "insert", "refused by a rule"));
        w.ToolButton1Click();
        QVERIFY(g->model()->setData(g->model()->index(7, 0), QString("Atlantis")));
        g->setCurrentIndex(g->model()->index(0, 0));
        QCOMPARE(dlg->errors(), QStringList({"refused by a rule"}));
        // The refusal was shown and the refused row is gone, not left on
        // screen as if stored; the cursor is where the user moved it.
        QCOMPARE(g->model()->rowCount(), 7);
        QCOMPARE(g->currentIndex().row(), 0);
        QCOMPARE(t->data()->Qry_Other->currentRow(), 0);
        QCOMPARE(names("country").size(), 7);
        QVERIFY(!t->data()->Qry_Other->changing());

        // Refused again at closing: shown, dropped, and the window closes.
        dlg->clear();
        w.ToolButton1Click();
        QVERIFY(g->model()->setData(g->model()->index(7, 0), QString("Atlantis")));
        w.ToolButton6Click();
        QCOMPARE(dlg->errors().size(), 1);
        QVERIFY(!w.isVisible());
        QVERIFY(!t->data()->Qry_Other->changing());
        QCOMPARE(names("country").size(), 7);
    }

    // As a user does it: a refused entry typed in, a click on another row,
    // then Delete. What is highlighted is what goes.
    void deleteAfterARefusedEntryHitsTheHighlightedRow() {
        TFrm_Other w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        toolkit::DataGrid* g = w.DBGrid2;
        QVERIFY(t->refuseWrites("country", "insert", "refused by a rule"));
        QTest::mouseClick(w.ToolButton1, Qt::LeftButton);
        QLineEdit* editor = nullptr;
        for (auto* e : g->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible()) editor = e;
        QVERIFY(editor);
        // A cell takes no more than its column holds.
        QCOMPARE(editor->maxLength(), 50);
        QTest::keyClicks(editor, QString(60, 'z'));
        QCOMPARE(editor->text().size(), 50);
        editor->clear();
        QTest::keyClicks(editor, "Atlantis");
        const QRect germany = g->visualRect(g->model()->index(1, 0));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, germany.center());
        QCOMPARE(dlg->errors(), QStringList({"refused by a rule"}));
        QCOMPARE(g->model()->rowCount(), 7);
        QCOMPARE(g->currentIndex().row(), 1);
        const QModelIndexList selected = g->selectionModel()->selectedRows();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first().data().toString(), QString("Germany"));
        QCOMPARE(t->data()->Qry_Other->asString("name"), QString("Germany"));

        QTest::mouseClick(w.ToolButton3, Qt::LeftButton);  // Yes
        QCOMPARE(dlg->messages(), QStringList({"Are you Sure to delete this record"}));
        QCOMPARE(names("country"),
                 QStringList({"China", "United States", "Japan", "United Kingdom", "France", "Italy"}));
        QCOMPARE(g->selectionModel()->selectedRows().first().data().toString(), QString("United States"));
    }

    void deleteAnsweredNoAndEmptyList() {
        TFrm_Other w;
        w.show();
        w.PageControl1->setCurrentIndex(3);
        const QStringList before = names("custfrom");
        dlg->answers = {QMessageBox::No};
        w.ToolButton3Click();
        QCOMPARE(dlg->messages(), QStringList({"Are you Sure to delete this record"}));
        QCOMPARE(names("custfrom"), before);
        QCOMPARE(model(w)->rowCount(), before.size());

        QVERIFY(t->exec("delete from department"));
        w.PageControl1->setCurrentIndex(2);
        QCOMPARE(model(w)->rowCount(), 0);
        dlg->clear();
        w.ToolButton3Click();
        QCOMPARE(dlg->messages(), QStringList({TFrm_Other::emptyListText()}));
        QCOMPARE(dlg->last()->title, QString("Warning"));
        QCOMPARE(dlg->last()->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(dlg->errors().isEmpty());

        // A new row not yet stored is dropped by Delete, after asking.
        w.ToolButton1Click();
        dlg->clear();
        w.ToolButton3Click();
        QCOMPARE(dlg->messages(), QStringList({"Are you Sure to delete this record"}));
        QCOMPARE(model(w)->rowCount(), 0);
        QVERIFY(names("department").isEmpty());
    }

    void refreshShowsOtherWritersRows() {
        TFrm_Other w;
        w.show();
        QVERIFY(t->exec("insert into country (name) values ('Spain')"));
        QCOMPARE(model(w)->rowCount(), 7);
        w.ToolButton5Click();
        QCOMPARE(model(w)->rowCount(), 8);
        QCOMPARE(model(w)->headerData(0, Qt::Horizontal).toString(), QString("Contents"));
    }

    void gridsStayReadOnlyUnlessAsked() {
        TFrm_Data* d = t->data();
        toolkit::DataGrid grid;
        grid.setDataSource(d->DS_Cust);
        grid.addColumn("Company", 100);
        d->Qry_Cust->open();
        QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        const int rows = grid.model()->rowCount();
        d->Qry_Cust->append();  // an editor adding a customer
        QCOMPARE(grid.model()->rowCount(), rows);
        QVERIFY(!(grid.model()->flags(grid.model()->index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(!grid.model()->setData(grid.model()->index(0, 0), "x"));
        QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
        d->Qry_Cust->setValue("Company", "Acme");
        d->Qry_Cust->post();
        QCOMPARE(grid.model()->rowCount(), rows + 1);
        QCOMPARE(grid.model()->index(rows, 0).data().toString(), QString("Acme"));
    }
};

QTEST_MAIN(TestOther)
#include "tst_other.moc"
