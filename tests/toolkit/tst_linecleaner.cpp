// One-line fields keep no control characters: pasted text loses them, and
// the user is told; multi-line fields keep their line breaks.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QVBoxLayout>

#include "toolkit/LineCleaner.h"
#include "toolkit/ScriptedDialogs.h"

class TestLineCleaner : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { toolkit::cleanOneLineFields(); }

    void controlsAreRemoved() {
        bool removed = true;
        QCOMPARE(toolkit::withoutControls("Acme Ltd", &removed), QString("Acme Ltd"));
        QVERIFY(!removed);
        QCOMPARE(toolkit::withoutControls(QString("A\acme\x1b Ltd\x7f"), &removed), QString("Acme Ltd"));
        QVERIFY(removed);
        // Breaks between words leave one blank; none at the start.
        QCOMPARE(toolkit::withoutControls(QString("\r\nAcme\r\nLtd\tGroup\v\f")), QString("Acme Ltd Group "));
        QCOMPARE(toolkit::withoutControls(QString::fromUtf16(u"x\u0085y\u2028z\u009b")), QString("x y z"));
        QCOMPARE(toolkit::withoutControls(QString("华强\u0007电子")), QString("华强电子"));
    }

    void pastedTextArrivesClean() {
        toolkit::ScriptedDialogs dlg;
        QDialog d;
        d.setWindowTitle("Add Customer");
        auto* lay = new QVBoxLayout(&d);
        auto* edit = new QLineEdit(&d);
        auto* box = new QComboBox(&d);
        box->setEditable(true);
        auto* memo = new QPlainTextEdit(&d);
        lay->addWidget(edit);
        lay->addWidget(box);
        lay->addWidget(memo);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));

        QGuiApplication::clipboard()->setText(QString("Acme\a\x1b Trading\vLtd\x7f\r\n"));
        edit->setFocus();
        QTest::keyClicks(edit, "The ");
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), QString("The Acme Trading Ltd "));
        QTRY_COMPARE(dlg.messages().size(), 1);
        QVERIFY(dlg.messages()[0].contains("Control characters"));
        QCOMPARE(dlg.last()->title, QString("Add Customer"));
        // Typing on goes where the paste ended.
        QTest::keyClicks(edit, "!");
        QCOMPARE(edit->text(), QString("The Acme Trading Ltd !"));

        // The line of an editable box is a one-line field too.
        box->lineEdit()->setFocus();
        QTest::keyClick(box->lineEdit(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box->currentText(), QString("Acme Trading Ltd "));
        QTRY_COMPARE(dlg.messages().size(), 2);

        // A memo keeps its lines; clean text says nothing.
        dlg.clear();
        QGuiApplication::clipboard()->setText(QString("line one\nline two"));
        memo->setFocus();
        QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(memo->toPlainText(), QString("line one\nline two"));
        edit->clear();
        QGuiApplication::clipboard()->setText(QString("Plain text"));
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), QString("Plain text"));
        QTest::qWait(20);
        QVERIFY(dlg.requests.isEmpty());
    }
};

QTEST_MAIN(TestLineCleaner)
#include "tst_linecleaner.moc"
