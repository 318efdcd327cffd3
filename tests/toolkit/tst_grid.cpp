#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QTest>

#include "app/db/Query.h"
#include "tests/support/TestDb.h"
#include "toolkit/DataGrid.h"
#include "toolkit/ScriptedDialogs.h"

using testsupport::TestDb;

class TestGrid : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDb> t;
    toolkit::ScriptedDialogs dlg;

private slots:
    void init() {
        t = std::make_unique<TestDb>();
        QVERIFY(t->ok());
        QVERIFY(t->openData()->DBConnected);
        for (int i = 0; i < 130; ++i)
            QVERIFY(t->exec(QString("insert into custom (Company, Tel) values ('Co %1', '%2')")
                                .arg(i, 3, 10, QChar('0'))
                                .arg(1000 - i)));
        QVERIFY(t->exec("insert into contact (CustID, Name, Main) values ('1', 'Ann', 1)"));
        QVERIFY(t->exec("insert into contact (CustID, Name, Main) values ('1', 'Bob', 0)"));
        QVERIFY(t->exec("insert into contact (CustID, Name, Main) values ('2', 'Cy', 0)"));
    }
    void cleanup() { t.reset(); }

    void modelUnderTesterThroughEveryChange() {
        TFrm_Data* d = t->data();
        toolkit::DataGrid grid;
        grid.setDataSource(d->DS_Cust);
        QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        grid.addColumn("CustID", 60);
        grid.addColumn("Company", 150);
        grid.addColumn("nosuchfield", 40);  // shows empty, breaks nothing
        db::Query* q = d->Qry_Cust;
        q->open();
        QCOMPARE(grid.model()->rowCount(), 130);
        QCOMPARE(grid.model()->index(129, 1).data().toString(), QString("Co 129"));
        QCOMPARE(grid.columnWidth(1), 150);
        q->setDisplayLabel("Company", "Company Name");
        QCOMPARE(grid.model()->headerData(1, Qt::Horizontal).toString(), QString("Company Name"));
        q->append();
        q->setValue("Company", "New");
        q->post();
        QCOMPARE(grid.model()->rowCount(), 131);
        QCOMPARE(grid.model()->index(130, 1).data().toString(), QString("New"));
        QCOMPARE(grid.currentIndex().row(), 130);  // the grid follows the cursor
        q->edit();
        q->setValue("Company", "Renamed");
        q->post();
        QCOMPARE(grid.model()->index(130, 1).data().toString(), QString("Renamed"));
        q->remove();
        QCOMPARE(grid.model()->rowCount(), 130);
        q->sortBy("Tel");  // text: "1000" < "871" < ... < "999"
        QCOMPARE(grid.model()->index(0, 1).data().toString(), QString("Co 000"));
        QCOMPARE(grid.model()->index(1, 1).data().toString(), QString("Co 129"));
        QCOMPARE(grid.model()->index(129, 1).data().toString(), QString("Co 001"));
        grid.clearColumns();
        grid.addColumn("Tel", 80);
        q->close();
        QCOMPARE(grid.model()->rowCount(), 0);
        q->setSql("select * from custom where Company like '%12%'");
        q->open();
        QCOMPARE(grid.model()->rowCount(), 12);  // 012, 112, 120..129
    }

    void gridMovesTheCursorAndDetailFollows() {
        TFrm_Data* d = t->data();
        toolkit::DataGrid custGrid, contactGrid;
        custGrid.setDataSource(d->DS_Cust);
        contactGrid.setDataSource(d->DS_Contact);
        QAbstractItemModelTester tester(contactGrid.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        custGrid.addColumn("Company", 100);
        contactGrid.addColumn("Name", 80);
        contactGrid.addColumn("CustID", 40);
        contactGrid.addColumn("Main", 40);
        contactGrid.setCheckBoxColumn(2);
        d->Qry_Cust->setSql("select * from custom order by CustID");
        d->Qry_Cust->open();
        d->Qry_Contact->setMasterSource(d->DS_Cust);
        d->Qry_Contact->setSql("Select * From Contact where CustID=:CustID");
        d->Qry_Contact->open();
        QCOMPARE(contactGrid.model()->rowCount(), 2);
        QCOMPARE(contactGrid.model()->index(0, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(contactGrid.model()->index(1, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(!contactGrid.model()->index(0, 2).data(Qt::DisplayRole).isValid());
        custGrid.setCurrentIndex(custGrid.model()->index(1, 0));
        QCOMPARE(d->Qry_Cust->currentRow(), 1);
        QCOMPARE(contactGrid.model()->rowCount(), 1);
        QCOMPARE(contactGrid.model()->index(0, 0).data().toString(), QString("Cy"));
        custGrid.setCurrentIndex(custGrid.model()->index(5, 0));
        QCOMPARE(contactGrid.model()->rowCount(), 0);
    }

    // The row picked with the mouse is deleted; the one that followed it is
    // then current in the record set, in the grid, and for the detail grid.
    void deleteThroughAShownGridKeepsTheFollowingRow() {
        TFrm_Data* d = t->data();
        toolkit::DataGrid custGrid, contactGrid;
        custGrid.setDataSource(d->DS_Cust);
        contactGrid.setDataSource(d->DS_Contact);
        custGrid.addColumn("Company", 120);
        contactGrid.addColumn("Name", 80);
        d->Qry_Cust->setSql("select * from custom order by CustID");
        d->Qry_Cust->open();
        d->LinkContactDetail();
        custGrid.resize(300, 300);
        custGrid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&custGrid));
        QTest::mouseClick(custGrid.viewport(), Qt::LeftButton, {},
                          custGrid.visualRect(custGrid.model()->index(0, 0)).center());
        QCOMPARE(d->Qry_Cust->currentRow(), 0);
        QCOMPARE(contactGrid.model()->rowCount(), 2);  // Ann and Bob of customer 1
        d->Qry_Cust->remove();
        // Customer 2 ("Co 001") follows, with its one contact.
        QCOMPARE(d->Qry_Cust->asString("Company"), QString("Co 001"));
        QCOMPARE(custGrid.currentIndex().row(), 0);
        QCOMPARE(custGrid.selectionModel()->selectedRows().first().data().toString(), QString("Co 001"));
        QCOMPARE(contactGrid.model()->rowCount(), 1);
        QCOMPARE(contactGrid.model()->index(0, 0).data().toString(), QString("Cy"));

        QTest::mouseClick(custGrid.viewport(), Qt::LeftButton, {},
                          custGrid.visualRect(custGrid.model()->index(4, 0)).center());
        QCOMPARE(d->Qry_Cust->asString("Company"), QString("Co 005"));
        d->Qry_Cust->remove();
        QCOMPARE(d->Qry_Cust->asString("Company"), QString("Co 006"));
        QCOMPARE(custGrid.currentIndex().row(), 4);
        QCOMPARE(custGrid.selectionModel()->selectedRows().first().data().toString(), QString("Co 006"));
    }

    // An editable grid: a double-click on a cell of another row opens that
    // cell's editor at once, as it does on the current row.
    void doubleClickEditsAnyRow() {
        TFrm_Data* d = t->data();
        d->Qry_Other->setSql("select * from country");
        d->Qry_Other->open();
        toolkit::DataGrid grid;
        grid.setDataSource(d->DS_Other);
        grid.addColumn("name", 150);
        grid.setEditable(true);
        grid.resize(300, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        const QPoint at = grid.visualRect(grid.model()->index(3, 0)).center();
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
        QLineEdit* editor = nullptr;
        for (auto* e : grid.viewport()->findChildren<QLineEdit*>())
            if (e->isVisible()) editor = e;
        QVERIFY2(editor, "no cell editor opened");
        QCOMPARE(editor->text(), QString("Japan"));
        QCOMPARE(grid.currentIndex().row(), 3);
    }

    // Rows that cannot be read while the grid paints (the table gone, as a
    // lost server or a locked file would do): the grid shows what it has,
    // says so once, and the user's next action reads again.
    void readsThatFailWhilePainting() {
        TFrm_Data* d = t->data();
        toolkit::DataGrid grid;
        grid.setDataSource(d->DS_Cust);
        grid.addColumn("Company", 150);
        grid.resize(300, 200);
        d->Qry_Cust->setSql("select * from custom order by CustID");
        d->Qry_Cust->open();
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QCOMPARE(grid.model()->index(0, 0).data().toString(), QString("Co 000"));

        QVERIFY(t->exec("alter table custom rename to custom_gone"));
        grid.scrollToBottom();
        grid.viewport()->repaint();  // painted now, inside this call
        QVERIFY(grid.recordModel()->readsFailed());
        QVERIFY(dlg.errors().isEmpty());  // not from inside the painting
        QCoreApplication::processEvents();
        QCOMPARE(dlg.errors().size(), 1);
        grid.viewport()->repaint();
        QCoreApplication::processEvents();
        QCOMPARE(dlg.errors().size(), 1);  // once
        // What was read before still shows; the rest is empty.
        QCOMPARE(grid.model()->index(0, 0).data().toString(), QString("Co 000"));
        QVERIFY(!grid.model()->index(129, 0).data().isValid());

        // An action while it still fails says so again, once.
        QTest::keyClick(&grid, Qt::Key_Up);
        grid.viewport()->repaint();
        QCoreApplication::processEvents();
        QCOMPARE(dlg.errors().size(), 2);

        QVERIFY(t->exec("alter table custom_gone rename to custom"));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        grid.viewport()->repaint();
        QCoreApplication::processEvents();
        QVERIFY(!grid.recordModel()->readsFailed());
        QCOMPARE(grid.model()->index(129, 0).data().toString(), QString("Co 129"));
        QCOMPARE(dlg.errors().size(), 2);
    }
};

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
