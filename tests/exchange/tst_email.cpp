// The e-mail address export: which addresses, which file, which counts.
#include <QDir>
#include <QTest>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "customers/U_Custom.h"
#include "exchange/U_email.h"
#include "exchange/Windows.h"
#include "tests/support/AppFixture.h"
#include "tests/support/FileSizeLimit.h"
#include "toolkit/Modal.h"

class TestEmail : public QObject, testsupport::AppFixture {
    Q_OBJECT

    void customer(const QVariant& email, const QString& company = "C") {
        db::Query q(Frm_Data->Connection);
        q.setSql("select * from custom");
        q.open();
        q.append();
        q.setValue("Company", company);
        q.setValue("Email", email);
        q.post();
    }
    static QByteArray contents(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QString exportDir() const { return QDir(t->dir()).filePath("export"); }
    void openList() {
        Frm_Data->Qry_Cust->setSql("select * from custom");
        Frm_Data->Qry_Cust->open();
    }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerExchangeWindows();
    }
    void init() {
        QVERIFY(start());
        // The four customers of the example: an address, an empty value,
        // three blanks, an address with a trailing blank.
        customer("first@example.com");
        customer(QVariant());
        customer("   ");
        customer("second@example.com ");
        openList();
    }
    void cleanup() { stop(); }

    void fourCustomers() {
        TFrm_Email w;
        w.show();
        QCOMPARE(w.windowTitle(), QString("Export Customer Email"));
        QCOMPARE(w.Edit1->text(), QDate::currentDate().toString("yyyy-MM-dd"));
        QCOMPARE(w.RadioGroup1->title(), QString("Customer record range "));
        QCOMPARE(w.RadioGroup1Item0->text(), QString("1.Current customer record"));
        QCOMPARE(w.RadioGroup1Item1->text(), QString("2.All Customer record"));
        QCOMPARE(w.Btn_start->text(), QString("Begin(&S)"));
        QCOMPARE(w.btn_exit->text(), QString("Exit(&E)"));
        // The folder beside the program is there as soon as the window is.
        QVERIFY(QFileInfo(exportDir()).isDir());

        w.Edit1->clear();
        QTest::keyClicks(w.Edit1, "mailing");
        QTest::mouseClick(w.Btn_start, Qt::LeftButton);
        const QString path = QDir(exportDir()).filePath("mailing.txt");
        QCOMPARE(w.lastFile(), path);
        QCOMPARE(contents(path), QByteArray("first@example.com\r\nsecond@example.com\r\n"));
        QCOMPARE(w.windowTitle(), QString("Export Customer Email( 2 )"));
        QCOMPARE(w.ProgressBar1->value(), 0);
        // The shared list stays where it was; the file is opened afterwards.
        QCOMPARE(Frm_Data->Qry_Cust->currentRow(), 0);
        QCOMPARE(dlg->last()->kind, toolkit::DialogRequest::OpenUrl);
        QCOMPARE(QUrl(dlg->last()->text).toLocalFile(), path);
        // No program on the desktop for it: the user is told where it is.
        dlg->urlResult = false;
        dlg->clear();
        QTest::mouseClick(w.Btn_start, Qt::LeftButton);
        // (after the question whether to replace the file written before)
        QCOMPARE(dlg->messages().size(), 2);
        QCOMPARE(dlg->messages().last(), "The file was saved as " + QDir::toNativeSeparators(path) + ".");
        dlg->urlResult = true;

        // The whole table counts rows read, not lines written.
        QTest::mouseClick(w.RadioGroup1Item1, Qt::LeftButton);
        w.Edit1->setText("everyone");
        QTest::mouseClick(w.Btn_start, Qt::LeftButton);
        QCOMPARE(contents(QDir(exportDir()).filePath("everyone.txt")), QByteArray("first@example.com\r\nsecond@example.com\r\n"));
        QCOMPARE(w.windowTitle(), QString("Export Customer Email( 4 )"));
    }

    void fileNames() {
        TFrm_Email w;
        w.show();
        w.Edit1->setText("   ");
        w.Btn_startClick();
        QCOMPARE(dlg->last()->text, QString("Filename not null!"));
        QCOMPARE(dlg->last()->title, QString("Warning"));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Information);
        w.Edit1->setText("");
        w.Btn_startClick();
        QCOMPARE(dlg->messages().count("Filename not null!"), 2);
        QCOMPARE(QDir(exportDir()).entryList(QDir::Files), QStringList());

        w.Edit1->setText("  padded  ");
        w.Btn_startClick();
        QVERIFY(QFile::exists(QDir(exportDir()).filePath("padded.txt")));
    }

    void duplicatesAndUnicode() {
        QVERIFY(t->exec("delete from custom"));
        customer("same@example.com");
        customer("same@example.com");
        customer("müller@bücher.de");
        customer("a@x.com; b@y.com");
        customer("line@one.com\n line@two.com\r\n\r\n");  // typed over lines: one line each
        openList();
        TFrm_Email w;
        w.show();
        w.Edit1->setText("dups");
        w.Btn_startClick();
        QCOMPARE(contents(QDir(exportDir()).filePath("dups.txt")),
                 QString("same@example.com\r\nsame@example.com\r\nmüller@bücher.de\r\na@x.com; b@y.com\r\n"
                         "line@one.com\r\nline@two.com\r\n")
                     .toUtf8());
    }

    void emptySource() {
        QVERIFY(t->exec("delete from custom"));
        openList();
        TFrm_Email w;
        w.show();
        w.Edit1->setText("none");
        w.Btn_startClick();
        const QString path = QDir(exportDir()).filePath("none.txt");
        QVERIFY(QFile::exists(path));
        QCOMPARE(contents(path), QByteArray());
        QCOMPARE(w.windowTitle(), QString("Export Customer Email( 0 )"));
        QCOMPARE(QUrl(dlg->last()->text).toLocalFile(), path);
    }

    void replaceOrKeep() {
        QVERIFY(QDir().mkpath(exportDir()));
        const QString path = QDir(exportDir()).filePath("kept.txt");
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old");
        }
        TFrm_Email w;
        w.show();
        w.Edit1->setText("kept");
        dlg->answers << QMessageBox::No;
        w.Btn_startClick();
        QCOMPARE(contents(path), QByteArray("old"));
        QVERIFY(w.lastFile().isEmpty());
        dlg->answers << QMessageBox::Yes;
        w.Btn_startClick();
        QCOMPARE(contents(path), QByteArray("first@example.com\r\nsecond@example.com\r\n"));
    }

    void unwritableFolder() {
        TFrm_Email w;
        w.show();
        QVERIFY(QDir(exportDir()).removeRecursively());
        {
            QFile blocker(exportDir());
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        w.Edit1->setText("x");
        w.Btn_startClick();
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Warning);
        QVERIFY(dlg->last()->text.contains(QDir::toNativeSeparators(exportDir())));
        QVERIFY(w.lastFile().isEmpty());
    }

    // The disk fills up while an existing export is replaced: the old file
    // stays whole, the failure is told with its cause, nothing is opened.
    void fullDiskKeepsTheOldFile() {
        for (int i = 0; i < 300; ++i) customer(QString("person%1@example.com").arg(i));
        openList();
        TFrm_Email w;
        w.show();
        const QString path = QDir(exportDir()).filePath(w.Edit1->text() + ".txt");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("kept@example.com\r\n");
        old.close();
        dlg->answers = {QMessageBox::Yes};  // replace it
        {
            testsupport::FileSizeLimit disk(4096);
            QTest::mouseClick(w.Btn_start, Qt::LeftButton);
        }
        QCOMPARE(contents(path), QByteArray("kept@example.com\r\n"));
        QCOMPARE(dlg->messages().size(), 2);
        QVERIFY2(dlg->messages()[1].startsWith("Cannot write " + QDir::toNativeSeparators(path)),
                 qPrintable(dlg->messages()[1]));
        QVERIFY2(dlg->messages()[1].contains("too large"), qPrintable(dlg->messages()[1]));
        for (const auto& r : dlg->requests) QVERIFY(r.kind != toolkit::DialogRequest::OpenUrl);
        QVERIFY(w.lastFile().isEmpty());
        QCOMPARE(QDir(exportDir()).entryList(QDir::Files), QStringList({QFileInfo(path).fileName()}));
        QVERIFY(!main->statusNote().contains(QFileInfo(path).fileName()));

        // With room again it is written, and where it is stays in view even
        // though the desktop reported it opened.
        QTest::mouseClick(w.Btn_start, Qt::LeftButton);
        QVERIFY(contents(path).startsWith("first@example.com\r\n"));
        QCOMPARE(main->statusNote(), "The file was saved as " + QDir::toNativeSeparators(path) + ".");
    }

    void oneWindowFromBothEntries() {
        TFrm_Custom browser;
        int inner = 0;
        toolkit::ScriptedModal modal([&](QDialog* d) {
            if (qobject_cast<TFrm_Email*>(d)) {
                // A second request while it is open does nothing.
                main->EMail1Click();
                browser.Email1->trigger();
                ++inner;
            }
            return 0;
        });
        main->EMail1->trigger();
        QCOMPARE(modal.shown, QStringList({"TFrm_Email"}));
        QCOMPARE(inner, 1);
        browser.Email1->trigger();
        QCOMPARE(modal.shown, QStringList({"TFrm_Email", "TFrm_Email"}));
        QCOMPARE(browser.Email1->text(), QString("Export Customer E-mail"));
        QCOMPARE(main->EMail1->text(), QString("Export Customer E-Mail"));
    }
};

QTEST_MAIN(TestEmail)
#include "tst_email.moc"
