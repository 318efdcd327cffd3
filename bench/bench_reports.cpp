// The reports on 100,000 customers and 300,000 contacts: how long the user
// waits for the first page of each preview, how long 10,000 envelope labels
// take to reach a PDF file, and the peak memory of it all. Each report is
// also written as a PDF into the folder named on the command line, through
// the same painting the preview's "Save as PDF" and the printer use, so the
// pages can be looked at.
//
// Run by hand: build/bin/bench_reports <output folder>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "bench/BenchData.h"
#include "reports/LabelSheet.h"
#include "reports/U_R_Cust.h"
#include "reports/U_R_CustBar.h"
#include "reports/U_R_CustBasic.h"
#include "reports/Windows.h"
#include "toolkit/Modal.h"
#include "toolkit/ScriptedDialogs.h"
#include "toolkit/report/Output.h"
#include "toolkit/report/Preview.h"

namespace {

long peakKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Chinese names, addresses and companies on part of the list, so the PDFs
// show Chinese next to Latin text.
void chinese(TFrm_Data& d) {
    d.Connection->beginTrans();
    bench::exec(d, "update custom set Company = '深圳华强电子有限公司' || CustID, "
                   "Address = '广东省深圳市福田区华强北路' || CustID || '号' where CustID % 2 = 0");
    bench::exec(d, "update contact set Name = '张伟' || ContactId, Company = '深圳华强电子有限公司' || CustID, "
                   "Address = '广东省深圳市福田区华强北路' || CustID || '号赛格广场' || (ContactId % 50) || '楼', "
                   "PostCode = '518031' where ContactId % 2 = 0");
    bench::exec(d, "update contact set Address = CustID || ' Harbour Road, Kowloon', PostCode = '999077' "
                   "where ContactId % 2 = 1");
    // One address long enough to wrap, one name long enough to push "(Receive)".
    bench::exec(d, "update contact set Address = '广东省深圳市南山区粤海街道科技园南区深南大道一万零一号"
                   "高新技术产业园区软件大厦东座十八楼一千八百零八室', Name = 'Maximilian Featherstonehaugh' "
                   "where ContactId = 5");
    d.Connection->commitTrans();
}

void openList(TFrm_Data& d, const QString& sql) {
    d.Qry_Cust->close();
    d.Qry_Cust->setSql(sql);
    d.Qry_Cust->open();
}

// From the preview command to its first page painted on screen.
double firstPage(const char* cls, int* pagesKnown) {
    QElapsedTimer t;
    double ms = -1;
    toolkit::ScriptedModal script([&](QDialog* dlg) {
        dlg->grab();
        ms = t.nsecsElapsed() / 1e6;
        if (auto* p = qobject_cast<report::PreviewWindow*>(dlg)) *pagesKnown = p->document()->knownPages();
        return 0;
    });
    t.start();
    Frm_Main->openReport(QString::fromLatin1(cls), false);
    QCoreApplication::processEvents();
    return ms;
}

template <class Window>
double writePdf(const QString& path, int* pages) {
    Window w;
    const auto doc = w.document();
    QElapsedTimer t;
    t.start();
    const report::Outcome out = report::writePdf(*doc, path);
    const double ms = t.nsecsElapsed() / 1e6;
    *pages = out.pages;
    if (out.result != report::Outcome::Done) std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(out.error));
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_reports <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.absolutePath())) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    QTemporaryDir dir;
    if (!bench::copySuppliedDb(dir)) return 1;
    toolkit::ScriptedDialogs quiet;  // any failure is recorded, not shown
    registerReportWindows();
    TFrm_Main main;
    TFrm_Data d(dir.path());
    Frm_Data = &d;
    if (!d.DBConnected) return 1;
    std::printf("filling the database ...\n");
    bench::fill(d);
    chinese(d);
    std::printf("after filling: peak %ld MB\n\n", peakKb() / 1024);

    openList(d, QStringLiteral("select * from custom"));
    d.Qry_Cust->setCurrentRow(41234);
    std::printf("%d customers in the list\n", d.Qry_Cust->recordCount());
    double worst = 0;
    for (const char* cls : {"TFrm_R_Cust", "TFrm_R_CustBasic", "TFrm_R_CustBar"}) {
        int known = 0;
        const double ms = firstPage(cls, &known);
        worst = std::max(worst, ms);
        std::printf("first page of the %-17s preview %8.1f ms   (%d page(s) laid out)\n", cls, ms, known);
    }

    // What "Last page" costs on the whole list: every page laid out, none drawn.
    {
        TFrm_R_CustBasic w;
        const auto doc = w.document();
        QElapsedTimer t;
        t.start();
        const int count = doc->pageCount();
        std::printf("all pages of the basic report counted      %8.1f ms   (%d pages)\n", t.nsecsElapsed() / 1e6,
                    count);
    }

    // 3,334 customers of three contacts each: 10,002 labels.
    openList(d, QStringLiteral("select * from custom where CustID <= 3334"));
    std::printf("\n%d customers in the list\n", d.Qry_Cust->recordCount());
    int pages = 0;
    const double labelsMs =
        writePdf<TFrm_R_CustBar>(out.filePath(QStringLiteral("R_CustBar.pdf")), &pages);
    std::printf("envelope labels to PDF                     %8.1f ms   (%d pages)\n", labelsMs, pages);
    const double custMs = writePdf<TFrm_R_Cust>(out.filePath(QStringLiteral("R_Cust.pdf")), &pages);
    std::printf("customer list to PDF                       %8.1f ms   (%d pages)\n", custMs, pages);
    const double basicMs = writePdf<TFrm_R_CustBasic>(out.filePath(QStringLiteral("R_CustBasic.pdf")), &pages);
    std::printf("customer basic information to PDF          %8.1f ms   (%d pages)\n", basicMs, pages);

    // The same labels on a ready-cut sheet, started at label 5.
    EnvelopSettings sheet;
    sheet.sheet = SheetById(QStringLiteral("2x7"));
    sheet.start = 5;
    WriteEnvelopSettings(*d.ConfigIni, sheet);
    const double sheetMs = writePdf<TFrm_R_CustBar>(out.filePath(QStringLiteral("R_CustBar_2x7.pdf")), &pages);
    std::printf("labels on a 2 x 7 sheet to PDF             %8.1f ms   (%d pages)\n", sheetMs, pages);

    const long peak = peakKb();
    std::printf("\nworst first page %.1f ms (target < 1000), 10,000 labels %.1f ms (target < 5000), "
                "peak memory %ld MB (target < 400)\n",
                worst, labelsMs, peak / 1024);
    std::printf("PDFs in %s\n", qPrintable(QDir::toNativeSeparators(out.absolutePath())));
    return worst < 1000 && labelsMs < 5000 && peak < 400 * 1024 ? 0 : 1;
}
