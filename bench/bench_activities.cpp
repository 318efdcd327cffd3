// The customer finder of the schedule and sales editors on 100,000
// customers: how long each keystroke takes until the list of matches is
// shown, for texts that begin names, sit inside them, or match nothing.
// Run by hand: build/bin/bench_activities
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>

#include "activities/CustomerFinder.h"
#include "activities/U_AddSchedule.h"
#include "activities/Windows.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "bench/BenchData.h"
#include "toolkit/ScriptedDialogs.h"

namespace {

struct Typing {
    const char* what;
    QString text;
};

// Types text into the box one key at a time, each keystroke measured until
// the window has processed it and painted the list of matches.
void type(TFrm_AddSchedule& d, const Typing& t, double& worstAll) {
    QLineEdit* edit = d.ComboBox3->lineEdit();
    edit->clear();
    d.Customers->search(QString());
    QList<double> ms;
    for (const QChar c : t.text) {
        QElapsedTimer timer;
        timer.start();
        if (c.unicode() < 128) {
            QTest::keyClicks(edit, QString(c));
        } else {
            // What an input method hands over: a key event carrying the text.
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(edit, &press);
        }
        QCoreApplication::processEvents();
        if (d.Customers->completer()->popup()->isVisible()) d.Customers->completer()->popup()->grab();
        ms << timer.nsecsElapsed() / 1e6;
    }
    const double worst = *std::max_element(ms.begin(), ms.end());
    double sum = 0;
    for (double m : ms) sum += m;
    worstAll = std::max(worstAll, worst);
    std::printf("%-44s %3d keys  mean %6.1f ms  worst %6.1f ms  (%d offered)\n", t.what, int(ms.size()),
                sum / ms.size(), worst, int(d.Customers->hits().size()));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir dir;
    if (!bench::copySuppliedDb(dir)) return 1;
    toolkit::ScriptedDialogs quiet;
    registerActivityWindows();
    TFrm_Main main;
    TFrm_Data d(dir.path());
    Frm_Data = &d;
    if (!d.DBConnected) return 1;
    bench::fill(d);
    // One customer in ten gets a Chinese name, as many real registers have.
    bench::exec(d, QStringLiteral("update custom set Company = '深圳市' || CustID || '号贸易有限公司' "
                                  "where CustID % 10 = 0"));
    main.UserName = QStringLiteral("Admin");
    std::printf("customers: %d\n", [&] {
        d.Qry_Temp->setSql(QStringLiteral("select count(*) from custom"));
        d.Qry_Temp->open();
        return int(d.Qry_Temp->field(0).asInteger());
    }());

    // The finder alone, each text asked 20 times.
    const char* texts[] = {"Company 7", "Company 99999", "99999", "company 5", "深圳市5", "贸易", "zzzz", ""};
    double worstFind = 0;
    for (const char* t : texts) {
        const QString text = QString::fromUtf8(t);
        QList<double> ms;
        int found = 0;
        for (int i = 0; i < 20; ++i) {
            QElapsedTimer timer;
            timer.start();
            found = int(activities::findCustomers(d.Connection, text).size());
            ms << timer.nsecsElapsed() / 1e6;
        }
        std::sort(ms.begin(), ms.end());
        worstFind = std::max(worstFind, ms.last());
        std::printf("find '%s'%*s median %6.2f ms  worst %6.2f ms  (%d found)\n", t,
                    std::max(0, 20 - int(text.size())), "", ms[ms.size() / 2], ms.last(), found);
    }

    // As a user types into the schedule editor's customer box.
    TFrm_AddSchedule dlg(&main);
    dlg.AddMode = true;
    dlg.show();
    QCoreApplication::processEvents();
    dlg.ComboBox3->setFocus();
    double worstKey = 0;
    for (const Typing& t : {Typing{"type 'Company 12345' (names begin with it)", QStringLiteral("Company 12345")},
                            Typing{"type '12345' (inside names only)", QStringLiteral("12345")},
                            Typing{"type 'company 4' (other letter case)", QStringLiteral("company 4")},
                            Typing{"type '深圳市4321' (Chinese, begins names)", QStringLiteral("深圳市4321")},
                            Typing{"type '贸易有限' (Chinese, inside names)", QStringLiteral("贸易有限")},
                            Typing{"type 'xyzzy' (matches nothing)", QStringLiteral("xyzzy")}})
        type(dlg, t, worstKey);
    std::printf("\nworst finder call %.1f ms, worst keystroke %.1f ms\n", worstFind, worstKey);
    Frm_Data = nullptr;
    return 0;
}
