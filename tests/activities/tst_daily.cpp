// The daily work log: its list window inside the main window, its editor,
// and the main window's commands that open and delete entries.
#include <QMdiSubWindow>
#include <QTest>

#include "activities/U_AddDaily.h"
#include "activities/U_Daily.h"
#include "activities/Windows.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "tests/activities/ActivityTest.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

using acttest::choose;
using acttest::popupAt;
using toolkit::Navigator;
using toolkit::ScriptedModal;

class TestDaily : public QObject, testsupport::AppFixture {
    Q_OBJECT

    db::Query* q() { return t->data()->Qry_Daily; }
    static QString esc(QString s) { return s.replace("'", "''"); }
    void addEntry(const QString& subject, const QString& content, const QString& date, const QString& author) {
        QVERIFY(t->exec(QString("insert into T_Daily (Subject, Content, AddDate, author) values ('%1', '%2', "
                                "'%3 00:00:00', '%4')")
                            .arg(esc(subject), esc(content), date, esc(author))));
    }
    QStringList listed(const char* field = "Subject") {
        QStringList out;
        const int f = q()->fieldIndex(field);
        for (int i = 0; i < q()->recordCount(); ++i) out << q()->textAt(i, f);
        return out;
    }
    QStringList shownColumn(int column) {
        QStringList out;
        QAbstractItemModel* m = Frm_Daily->DBGrid1->model();
        for (int r = 0; r < m->rowCount(); ++r) out << m->index(r, column).data().toString();
        return out;
    }
    TFrm_Daily* openList() {
        main->N53->trigger();  // Activities > Daily Work Log
        return Frm_Daily;
    }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerActivityWindows();
    }

    void init() {
        QVERIFY(start());
        setUser("Admin", 0);
        addEntry("Visit Acme", "talked about pumps", "2026-03-02", "Admin");
        addEntry("Call Beta", "ordered tea samples", "2026-03-01", "Tom");
        addEntry("Plan week", "nothing special", "2026-03-01", "Admin");
        addEntry("admin's own", "lower case owner", "2026-03-03", "admin");
        main->resize(1000, 700);
        main->show();
    }
    void cleanup() { stop(); }

    void listShowsOwnEntriesByDate() {
        QVERIFY(openList());
        QCOMPARE(Frm_Daily->windowTitle(), QString("日记"));
        QCOMPARE(Frm_Daily->Label1->text(), QString("请输入关键字"));
        QCOMPARE(Frm_Daily->Btn_Search->text(), QString("搜索"));
        QCOMPARE(Frm_Daily->Edit_Key->width(), 329);
        QCOMPARE(Frm_Daily->font().family(), QString("宋体"));
        QCOMPARE(Frm_Daily->font().pointSize(), 9);
        // Exactly the user's own, by date; "admin" is another user.
        QCOMPARE(listed(), QStringList({"Plan week", "Visit Acme"}));
        // Columns from the shown-field rows of "daily".
        toolkit::DataGrid* g = Frm_Daily->DBGrid1;
        QCOMPARE(g->columnCountShown(), 4);
        QStringList titles;
        for (int c = 0; c < 4; ++c) titles << g->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"Date", "Subject", "Content", "Author"}));
        QCOMPARE(g->columnWidth(2), 300);
        QCOMPARE(shownColumn(0), QStringList({"2026-03-01", "2026-03-02"}));
        QStringList popup;
        for (QAction* a : Frm_Daily->PopupMenu1->actions()) popup << a->text();
        QCOMPARE(popup, QStringList({"新建日记", "编辑日记", "删除日记"}));
        // A second request brings the same window to the front.
        TFrm_Daily* first = Frm_Daily;
        main->Main_DailyExecute();
        QCOMPARE(Frm_Daily, first);
        int lists = 0;
        for (QMdiSubWindow* s : main->MdiArea->subWindowList()) lists += qobject_cast<TFrm_Daily*>(s->widget()) != nullptr;
        QCOMPARE(lists, 1);
    }

    void searchCoversEveryAuthor() {
        QVERIFY(openList());
        QLineEdit* key = Frm_Daily->Edit_Key;
        // An empty key lists every author's entries.
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(listed().size(), 4);
        // Found only in the content of another user's entry.
        QTest::keyClicks(key, "tea");
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(listed(), QStringList({"Call Beta"}));
        QCOMPARE(listed("author"), QStringList({"Tom"}));
        QCOMPARE(Frm_Daily->DBGrid1->columnCountShown(), 4);
        QVERIFY(Frm_Daily->Btn_Search->isEnabled());
        // Subject and content alike; the key as typed, blanks included.
        key->clear();
        QTest::keyClicks(key, "a");
        QTest::mouseClick(Frm_Daily->Btn_Search, Qt::LeftButton);
        QCOMPARE(listed().size(), 4);
        key->clear();
        QTest::keyClicks(key, "Acme ");
        QTest::keyClick(key, Qt::Key_Enter);
        QVERIFY(listed().isEmpty());
        // A quote is text; "%" stays a wildcard.
        key->clear();
        QTest::keyClicks(key, "admin's");
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(listed(), QStringList({"admin's own"}));
        key->clear();
        QTest::keyClicks(key, "ea%s");
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(listed(), QStringList({"Call Beta"}));
        QVERIFY(dlg->errors().isEmpty());
    }

    void addFromThePopupMenu() {
        QVERIFY(openList());
        int rounds = 0;
        ScriptedModal modal([&](QDialog* d) {
            auto* e = qobject_cast<TFrm_AddDaily*>(d);
            if (!e) return 0;
            ++rounds;
            [&] {
                QCOMPARE(e->windowTitle(), QString("新建日记"));
                QCOMPARE(e->Btn_OK->text(), QString("新增(&A)"));
                QCOMPARE(e->Btn_Exit->text(), QString("退出(&Q)"));
                QCOMPARE(e->GroupBox1->title(), QString(" 日记 "));
                QCOMPARE(e->size(), QSize(570, 333));
                QVERIFY(!e->DBNavigator1->isEnabled());
                QVERIFY(e->Edit_Subject->text().isEmpty());
                QCOMPARE(e->DateTimePicker1->date(), QDate::currentDate());
                // An empty subject is refused and nothing is written.
                QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
                QCOMPARE(dlg->messages(), QStringList({"主题不能为空!"}));
                QCOMPARE(dlg->last()->title, QString());
                QCOMPARE(dlg->last()->icon, toolkit::Icon::Information);
                acttest::typeText(e->Edit_Subject, "周报 O'Brien 100%_");
                acttest::typeText(e->Memo1, "第一行\n第二行 'quoted'");
                QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
                QVERIFY(e->isVisible());  // stays open, fields as they are
                QCOMPARE(e->Edit_Subject->text(), QString("周报 O'Brien 100%_"));
                QTest::mouseClick(e->Btn_OK, Qt::LeftButton);  // the same again
                QTest::mouseClick(e->Btn_Exit, Qt::LeftButton);
            }();
            return 0;
        });
        QMenu* menu = popupAt(Frm_Daily->DBGrid1, 0);
        choose(menu, Frm_Daily->N1);
        QCOMPARE(rounds, 1);
        const QString added = "select * from T_Daily where Subject='周报 O''Brien 100%_'";
        QCOMPARE(t->rowCount(added), 2);
        QCOMPARE(t->text(added, "Content"), QString("第一行\n第二行 'quoted'"));
        QCOMPARE(t->text(added, "author"), QString("Admin"));
        // An unchanged date is today's.
        QCOMPARE(t->value(added, "AddDate").toDateTime(), QDateTime(QDate::currentDate(), QTime(0, 0)));
        // The list shows them at once.
        QCOMPARE(listed().size(), 4);
        QVERIFY(!main->openWindow("TFrm_AddDaily"));
    }

    void navigatorMovesTheGrid() {
        QVERIFY(openList());
        Frm_Daily->Edit_Key->clear();
        Frm_Daily->Btn_SearchClick();  // every author: four entries
        toolkit::DataGrid* g = Frm_Daily->DBGrid1;
        acttest::clickRow(g, 0, 1);
        ScriptedModal modal([&](QDialog* d) {
            auto* e = qobject_cast<TFrm_AddDaily*>(d);
            if (!e) return 0;
            [&] {
                QCOMPARE(e->windowTitle(), QString("编辑日记"));
                QCOMPARE(e->Btn_OK->text(), QString("保存(&A)"));
                QCOMPARE(e->Edit_Subject->text(), QString("Visit Acme"));
                QVERIFY(e->DBNavigator1->isEnabled());
                e->Edit_Subject->setText("typed, not saved");
                // Asked first; discarded, it moves on without saving.
                dlg->answers = {QMessageBox::Discard};
                QTest::mouseClick(e->DBNavigator1->button(Navigator::Next), Qt::LeftButton);
                QCOMPARE(dlg->messages(), QStringList({"Save changes?"}));
                QCOMPARE(e->Edit_Subject->text(), QString("Call Beta"));
                QCOMPARE(e->Memo1->toPlainText(), QString("ordered tea samples"));
                QCOMPARE(e->DateTimePicker1->date(), QDate(2026, 3, 1));
                QCOMPARE(g->currentIndex().row(), 1);
                QTest::mouseClick(e->DBNavigator1->button(Navigator::Last), Qt::LeftButton);
                QCOMPARE(e->Edit_Subject->text(), QString("admin's own"));
                QCOMPARE(g->currentIndex().row(), 3);
                QCOMPARE(g->selectionModel()->selectedRows(1).first().data().toString(), QString("admin's own"));
                QTest::mouseClick(e->DBNavigator1->button(Navigator::First), Qt::LeftButton);
                QCOMPARE(g->currentIndex().row(), 0);
                QTest::mouseClick(e->Btn_Exit, Qt::LeftButton);
            }();
            return 0;
        });
        acttest::doubleClickRow(g, 0, 1);
        QCOMPARE(modal.shown, QStringList({"TFrm_AddDaily"}));
        // Moving did not save what was typed.
        QCOMPARE(t->rowCount("select * from T_Daily where Subject='typed, not saved'"), 0);
    }

    void editingAnothersEntryMakesYouItsAuthor() {
        QVERIFY(openList());
        QTest::keyClicks(Frm_Daily->Edit_Key, "Beta");
        QTest::keyClick(Frm_Daily->Edit_Key, Qt::Key_Return);
        QCOMPARE(listed("author"), QStringList({"Tom"}));
        ScriptedModal modal([&](QDialog* d) {
            auto* e = qobject_cast<TFrm_AddDaily*>(d);
            if (!e) return 0;
            e->Edit_Subject->clear();
            QTest::keyClicks(e->Edit_Subject, "Call Beta again");
            e->DateTimePicker1->setDate(QDate(2025, 12, 31));
            QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
            return 0;
        });
        QMenu* menu = popupAt(Frm_Daily->DBGrid1, 0);
        choose(menu, Frm_Daily->N2);
        QCOMPARE(modal.shown, QStringList({"TFrm_AddDaily"}));
        const QString row = "select * from T_Daily where Subject='Call Beta again'";
        QCOMPARE(t->text(row, "author"), QString("Admin"));
        QCOMPARE(t->text(row, "Content"), QString("ordered tea samples"));
        QCOMPARE(t->text(row, "AddDate"), QString("2025-12-31"));
        QCOMPARE(t->rowCount("select * from T_Daily where author='Tom'"), 0);
        QCOMPARE(shownColumn(0), QStringList({"2025-12-31"}));
        QCOMPARE(shownColumn(3), QStringList({"Admin"}));
    }

    void emptySubjectKeepsTheEditorOpen() {
        QVERIFY(openList());
        bool stillOpen = false;
        ScriptedModal modal([&](QDialog* d) {
            auto* e = qobject_cast<TFrm_AddDaily*>(d);
            if (!e) return 0;
            e->Edit_Subject->clear();
            e->Memo1->setPlainText("changed");
            QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
            stillOpen = e->isVisible();
            return 0;
        });
        main->EditDailyExecute();
        QVERIFY(stillOpen);
        QCOMPARE(dlg->messages(), QStringList({"主题不能为空!"}));
        QCOMPARE(t->text("select * from T_Daily where Subject='Plan week'", "Content"), QString("nothing special"));
    }

    void deleteAsksAndNoKeepsTheRow() {
        QVERIFY(openList());
        toolkit::DataGrid* g = Frm_Daily->DBGrid1;
        dlg->answers = {QMessageBox::No};
        choose(popupAt(g, 1), Frm_Daily->N3);
        QCOMPARE(dlg->messages(), QStringList({"Are sure delete this record?"}));
        QCOMPARE(dlg->last()->title, QString("Warning"));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Information);
        QCOMPARE(dlg->last()->buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(listed(), QStringList({"Plan week", "Visit Acme"}));
        QCOMPARE(t->rowCount("select * from T_Daily"), 4);
        // Yes deletes the row under the cursor (the one right-clicked).
        dlg->answers = {QMessageBox::Yes};
        choose(popupAt(g, 1), Frm_Daily->N3);
        QCOMPARE(listed(), QStringList({"Plan week"}));
        QCOMPARE(t->rowCount("select * from T_Daily where Subject='Visit Acme'"), 0);
        QCOMPARE(t->rowCount("select * from T_Daily"), 3);
    }

    void commandsWithoutAnEntry() {
        // The list was never opened: editing says so plainly, deleting does nothing.
        ScriptedModal modal([](QDialog*) { return 0; });
        main->EditDailyExecute();
        QVERIFY(modal.shown.isEmpty());
        QCOMPARE(dlg->messages(), QStringList({"没有可以编辑的日记：请先打开日记列表，选中一篇日记。"}));
        QVERIFY(dlg->errors().isEmpty());
        dlg->clear();
        main->DelDailyExecute();
        QVERIFY(dlg->requests.isEmpty());
        // An empty list: nothing to edit or delete, and no engine error either.
        setUser("Nobody", 0);
        QVERIFY(openList());
        QCOMPARE(q()->recordCount(), 0);
        main->DelDailyExecute();
        QVERIFY(dlg->requests.isEmpty());
        main->EditDailyExecute();
        QCOMPARE(dlg->messages().size(), 1);
        QVERIFY(modal.shown.isEmpty());
        // Adding works without the list too: it opens the user's own entries.
        q()->close();
        ScriptedModal add([](QDialog* d) {
            auto* e = static_cast<TFrm_AddDaily*>(d);
            e->Edit_Subject->setText("first");
            e->Btn_OKClick();
            return 0;
        });
        main->AddDailyExecute();
        QCOMPARE(t->text("select * from T_Daily where Subject='first'", "author"), QString("Nobody"));
        QCOMPARE(listed(), QStringList({"first"}));
    }

    void longTextsStoredExactlyOrCapped() {
        QVERIFY(openList());
        const QString memo = QString("行'%_\n").repeated(1000);  // 5,000 characters
        QCOMPARE(memo.size(), 5000);
        int typed = 0;
        ScriptedModal modal([&](QDialog* d) {
            auto* e = static_cast<TFrm_AddDaily*>(d);
            // The subject box takes no more than its column holds.
            QTest::keyClicks(e->Edit_Subject, QString(150, 'x'));
            typed = e->Edit_Subject->text().size();
            e->Memo1->setPlainText(memo);
            e->Btn_OKClick();
            return 0;
        });
        main->AddDailyExecute();
        QCOMPARE(typed, 100);
        const QString row = "select * from T_Daily where length(Subject)=100";
        QCOMPARE(t->rowCount(row), 1);
        QCOMPARE(t->text(row, "Content"), memo);
        QVERIFY(dlg->errors().isEmpty());
    }

    void refusedSaveLeavesNothingHalfDone() {
        QVERIFY(openList());
        QVERIFY(t->refuseWrites("T_Daily", "insert", "disk full"));
        bool open = false;
        ScriptedModal modal([&](QDialog* d) {
            auto* e = static_cast<TFrm_AddDaily*>(d);
            e->Edit_Subject->setText("lost?");
            QTest::mouseClick(e->Btn_OK, Qt::LeftButton);
            open = e->isVisible();
            return 0;
        });
        main->AddDailyExecute();
        QVERIFY(open);
        QCOMPARE(dlg->errors(), QStringList({"disk full"}));
        QCOMPARE(q()->state(), db::Query::State::Browse);
        QCOMPARE(listed(), QStringList({"Plan week", "Visit Acme"}));
        QCOMPARE(t->rowCount("select * from T_Daily"), 4);
    }

    void closingReleasesTheWindowButNotTheList() {
        QVERIFY(openList());
        QMdiSubWindow* sub = main->MdiArea->activeSubWindow();
        QVERIFY(sub && sub->widget() == Frm_Daily);
        sub->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Frm_Daily);
        // The list stays open: the commands still act on its current row.
        QVERIFY(q()->active());
        q()->setCurrentRow(1);
        main->DelDailyExecute();
        QCOMPARE(t->rowCount("select * from T_Daily where Subject='Visit Acme'"), 0);
        // Opened again, it starts afresh.
        QVERIFY(openList());
        QCOMPARE(listed(), QStringList({"Plan week"}));
    }
};

QTEST_MAIN(TestDaily)
#include "tst_daily.moc"
