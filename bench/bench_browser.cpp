// The customer browser on 100,000 customers and 300,000 contacts: how long
// the user waits for it to open, filter, search and sort, each step measured
// until the grids have painted. Run by hand:
//   build/bin/bench_browser [--server postgresql://user@host:port]
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "bench/BenchData.h"
#include "customers/U_Custom.h"
#include "customers/Windows.h"
#include "toolkit/ScriptedDialogs.h"

namespace {

// Runs a user step and waits until the browser has been painted again.
double step(const char* what, const std::function<void()>& fn) {
    QElapsedTimer t;
    t.start();
    fn();
    QCoreApplication::processEvents();
    Frm_Custom->grab();
    const double ms = t.nsecsElapsed() / 1e6;
    std::printf("%-46s %8.1f ms   (%d customers, %d contacts shown)\n", what, ms,
                Frm_Data->Qry_Cust->recordCount(), Frm_Data->Qry_Contact->recordCount());
    return ms;
}

QTreeWidgetItem* node(const QString& code) {
    const auto found = Frm_Custom->TreeView1->findItems(code + "-", Qt::MatchStartsWith | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    bench::Database where;
    if (!bench::prepare(dir, argc, argv, where)) return 1;
    struct Drop {
        bench::Database& w;
        ~Drop() { bench::dropServerDb(w); }
    } drop{where};
    toolkit::ScriptedDialogs quiet;  // any failure is recorded, not shown
    registerCustomerWindows();
    TFrm_Main main;
    TFrm_Data d(dir.path());
    Frm_Data = &d;
    if (!d.DBConnected) return 1;
    std::printf("engine: %s\n", bench::engineName(d));
    bench::fill(d);
    main.UserName = QStringLiteral("Admin");
    main.resize(1280, 800);

    double worst = 0;
    auto run = [&](const char* what, const std::function<void()>& fn) { worst = std::max(worst, step(what, fn)); };
    QElapsedTimer open;
    open.start();
    main.show();
    QCoreApplication::processEvents();
    if (!Frm_Custom) return 1;
    Frm_Custom->grab();
    const double openMs = open.nsecsElapsed() / 1e6;
    worst = openMs;
    std::printf("%-46s %8.1f ms   (%d customers, %d contacts shown)\n", "open the main window and the browser", openMs,
                d.Qry_Cust->recordCount(), d.Qry_Contact->recordCount());

    run("scroll the customer grid to the end", [] { Frm_Custom->DBGrid1->scrollToBottom(); });
    run("category filter 01 (its subtree)", [] {
        Frm_Custom->TreeView1->setCurrentItem(node("01"));
        Frm_Custom->TreeView1DblClick();
    });
    run("root node: all customers again", [] {
        Frm_Custom->TreeView1->setCurrentItem(Frm_Custom->TreeView1->topLevelItem(0));
        Frm_Custom->TreeView1DblClick();
    });
    run("company search '77'", [] {
        Frm_Custom->Edit_Key->setText(QStringLiteral("77"));
        Frm_Custom->Btn_S_CustClick();
    });
    run("company search '' (every customer)", [] {
        Frm_Custom->Edit_Key->clear();
        Frm_Custom->Btn_S_CustClick();
    });
    run("sort by company", [] { Frm_Custom->N14Click(); });
    run("sort by tel", [] { Frm_Custom->N15Click(); });
    run("sort by ID", [] { Frm_Custom->IP1Click(); });
    run("contact search 'Person 12'", [] {
        Frm_Custom->Edit_Name->setText(QStringLiteral("Person 12"));
        Frm_Custom->Btn_S_ContactClick();
    });
    run("refresh", [] { Frm_Custom->N6Click(); });
    std::printf("slowest step: %.1f ms (target 300 ms); errors: %lld\n", worst,
                static_cast<long long>(quiet.errors().size()));
    return quiet.errors().isEmpty() ? 0 : 1;
}
