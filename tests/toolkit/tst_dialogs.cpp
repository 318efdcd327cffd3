// The real dialogs as far as they can be driven offscreen: message boxes
// wide enough for their titles, never hidden under a splash, fixed dialogs
// without minimise and maximise, and password boxes that show "*".
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"

class TestDialogs : public QObject {
    Q_OBJECT

    // Runs check on the message box once it is up, then closes it.
    static void whenBoxIsUp(const std::function<void(QMessageBox*)>& check) {
        QTimer::singleShot(0, [check] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            check(box);
            box->done(QMessageBox::Ok);
        });
    }

private slots:
    void boxesFitTheirTitles() {
        toolkit::RealDialogs realBoxes;
        toolkit::Dialogs& real = realBoxes;
        QApplication::setApplicationName("Tallix V1.70");
        for (const QString title : {"Warning", "Tallix V1.70", "客户管理系统", "A rather long title for a box", ""}) {
            int width = 0;
            whenBoxIsUp([&](QMessageBox* box) { width = box->width(); });
            real.message("Ok.", title, toolkit::Icon::Information, QMessageBox::Ok);
            // An empty title shows the application's name.
            QVERIFY2(width >= toolkit::messageBoxWidthFor(title.isEmpty() ? "Tallix V1.70" : title), qPrintable(title));
        }
        int width = 0;
        whenBoxIsUp([&](QMessageBox* box) { width = box->width(); });
        real.error("x");
        QVERIFY(width >= toolkit::messageBoxWidthFor("Tallix V1.70"));
    }

    void noMessageUnderTheSplash() {
        QWidget splash(nullptr, Qt::SplashScreen | Qt::WindowStaysOnTopHint);
        splash.show();
        toolkit::RealDialogs realBoxes;
        toolkit::Dialogs& real = realBoxes;
        bool splashUp = true;
        QString detail;
        whenBoxIsUp([&](QMessageBox* box) {
            splashUp = splash.isVisible();
            detail = box->detailedText();
        });
        real.message("连接数据库失败! ", "客户管理系统", toolkit::Icon::Information, QMessageBox::Ok,
                     "The database file does not exist: /x.db");
        QVERIFY(!splashUp);
        QCOMPARE(detail, QString("The database file does not exist: /x.db"));
    }

    // A message box minimised by the window manager comes back at once.
    void messageBoxesStayUp() {
        toolkit::RealDialogs realBoxes;
        toolkit::Dialogs& real = realBoxes;
        bool cameBack = false;
        whenBoxIsUp([&](QMessageBox* box) {
            box->setWindowState(Qt::WindowMinimized);
            QTRY_VERIFY(!box->isMinimized());
            cameBack = box->isVisible();
        });
        real.message("Still here?", "Question", toolkit::Icon::Question, QMessageBox::Ok);
        QVERIFY(cameBack);
    }

    void fixedDialogsCannotBeMinimised() {
        QDialog d;
        toolkit::makeFixedDialog(&d, 300, 200);
        const Qt::WindowFlags f = d.windowFlags();
        QVERIFY(f.testFlag(Qt::CustomizeWindowHint));
        QVERIFY(!f.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!f.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(f.testFlag(Qt::WindowCloseButtonHint));
        QCOMPARE(d.minimumSize(), QSize(300, 200));
        QCOMPARE(d.maximumSize(), QSize(300, 200));
        // A window manager that minimises it anyway, with its main window:
        // both come back.
        QWidget owner;
        owner.show();
        QDialog child(&owner);
        toolkit::makeFixedDialog(&child, 200, 100);
        child.show();
        owner.setWindowState(Qt::WindowMinimized);
        child.setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(!child.isMinimized());
        QVERIFY(!owner.isMinimized());
        QVERIFY(child.isVisible());
    }

    void passwordsShowStars() {
        QLineEdit e;
        toolkit::makePasswordEdit(&e);
        e.show();
        QTest::keyClicks(&e, "s3cr*t");
        QCOMPARE(e.text(), QString("s3cr*t"));
        QCOMPARE(e.displayText(), QString("******"));
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
