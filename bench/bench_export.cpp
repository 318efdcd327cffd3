// The spreadsheet and e-mail exports on 100,000 customers (and 300,000
// contacts), against python3-xlsxwriter writing the same cells. Run by hand:
//   build/bin/bench_export <output folder>
// The folder receives the database and every file written, for opening in
// other programs.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "bench/BenchData.h"
#include "bench/BenchExchange.h"
#include "customers/U_Custom.h"
#include "customers/Windows.h"
#include "exchange/U_Export.h"
#include "exchange/U_email.h"
#include "exchange/Windows.h"
#include "toolkit/ScriptedDialogs.h"

namespace {

const char* kXlsxwriter = R"(
import sys, time, sqlite3
import xlsxwriter
t = time.perf_counter()
db = sqlite3.connect(sys.argv[1])
cols = ["Company", "CustType", "Category", "Country", "Province", "City", "Address", "PostCode", "Tel", "Fax",
        "Income", "Email", "Url", "[From]", "Introduce", "[Date]"]
titles = ["公司名称", "客户类型", "行业", "国家", "省份", "城市", "通讯地址", "邮政编码", "电话", "传真", "年收入", "电子信箱",
          "网址", "客户来源", "企业简介", "添加时间"]
wb = xlsxwriter.Workbook(sys.argv[2], {"constant_memory": True})
ws = wb.add_worksheet()
bold = wb.add_format({"bold": True})
for c, title in enumerate(titles):
    ws.write_string(0, c, title, bold)
r = 1
for row in db.execute("select " + ",".join(cols) + " from custom"):
    for c, v in enumerate(row):
        if v is not None and v != "":
            ws.write_string(r, c, str(v))
    r += 1
wb.close()
print(r - 1)
print("ok %.1f" % ((time.perf_counter() - t) * 1000))
)";

struct Step {
    double ms;
    double cpu;
    double peak;
};

template <class F>
Step measure(F&& fn) {
    bench::resetPeak();
    bench::Clock c;
    fn();
    return {c.ms(), c.cpuMs(), bench::peakMb()};
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir temp;
    QString out = app.arguments().value(1);
    if (out.isEmpty()) {
        out = temp.path();
        std::printf("(no output folder given: using %s, removed at the end)\n", qPrintable(out));
    }
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(out));
        return 1;
    }
    const QString dbPath = QDir(out).filePath("custom.db");
    QFile::remove(dbPath);
    if (!QFile::copy(QStringLiteral(TALLIX_SUPPLIED_DB), dbPath)) return 1;
    QFile(dbPath).setPermissions(QFile::ReadOwner | QFile::WriteOwner);

    toolkit::ScriptedDialogs quiet;  // replaces files without asking, opens nothing
    registerCustomerWindows();
    registerExchangeWindows();
    TFrm_Main main;
    TFrm_Data d(out);
    Frm_Data = &d;
    if (!d.DBConnected) return 1;
    bench::fill(d);
    main.UserName = QStringLiteral("Admin");
    main.resize(1280, 800);
    main.show();  // the browser shows the shared customer list
    QCoreApplication::processEvents();
    std::printf("Export benchmark: 100,000 customers, 300,000 contacts; files in %s\n\n", qPrintable(out));

    TFrm_Export ex;
    ex.show();
    QCoreApplication::processEvents();
    ex.RadioGroup1Item1->setChecked(true);
    ex.Edit_Name->setText(QStringLiteral("customers-all"));
    const Step all = measure([&] { ex.Btn_OKClick(); });

    db::Query* cust = d.Qry_Cust;
    cust->close();
    cust->setSql(QStringLiteral("select * from custom"));
    cust->open();
    QCoreApplication::processEvents();
    int moves = 0;
    QObject::connect(cust, &toolkit::RecordSource::currentRowChanged, &app, [&] { ++moves; });
    ex.RadioGroup1Item0->setChecked(true);
    ex.Edit_Name->setText(QStringLiteral("customers-current"));
    const Step current = measure([&] {
        ex.Btn_OKClick();
        QCoreApplication::processEvents();
        if (Frm_Custom) Frm_Custom->grab();  // until the browser has painted again
    });

    ex.ExportCustomers = false;
    ex.RadioGroup2Item1->setChecked(true);
    ex.Edit_Contact->setText(QStringLiteral("contacts-all"));
    const Step contacts = measure([&] { ex.BitBtn1Click(); });

    TFrm_Email em;
    em.show();
    em.RadioGroup1Item1->setChecked(true);
    em.Edit1->setText(QStringLiteral("emails-all"));
    const Step mailAll = measure([&] { em.Btn_startClick(); });
    em.RadioGroup1Item0->setChecked(true);
    em.Edit1->setText(QStringLiteral("emails-current"));
    const Step mailCurrent = measure([&] { em.Btn_startClick(); });

    double pyMs = 0;
    QString pyOut;
    const QString pyFile = QDir(out).filePath("customers-python-xlsxwriter.xlsx");
    const bool py = bench::runPython(QString::fromLatin1(kXlsxwriter), {dbPath, pyFile}, &pyMs, &pyOut);

    auto line = [](const char* what, const Step& s, const QString& file) {
        std::printf("%-40s %8.0f ms (cpu %5.0f ms) %6.0f MB  %s (%.1f MB)\n", what, s.ms, s.cpu, s.peak,
                    qPrintable(QFileInfo(file).fileName()), QFileInfo(file).size() / 1048576.0);
    };
    line("customers, all records", all, QDir(out).filePath("customers-all.xlsx"));
    line("customers, current list (all 100,000)", current, QDir(out).filePath("export/customers-current.xlsx"));
    std::printf("   the shared list moved %d time(s) during the export\n", moves);
    line("contacts, all records (300,000)", contacts, QDir(out).filePath("contacts-all.xlsx"));
    line("e-mail addresses, all records", mailAll, QDir(out).filePath("export/emails-all.txt"));
    line("e-mail addresses, current list", mailCurrent, QDir(out).filePath("export/emails-current.txt"));
    if (py)
        std::printf("%-40s %8.0f ms               ratio %.1fx (all records)\n", "python3-xlsxwriter, same cells", pyMs,
                    pyMs / all.ms);
    else
        std::printf("python3-xlsxwriter: not measured (%s)\n", qPrintable(pyOut.left(200)));
    const bool ok = all.ms < 2500 && current.ms < 2500 && all.peak < 300 && current.peak < 300 && mailAll.ms < 500 &&
                    mailCurrent.ms < 500 && (!py || pyMs / all.ms >= 3) && moves <= 1;
    std::printf("\nTargets: exports < 2500 ms and < 300 MB, e-mail < 500 ms, >= 3x python3-xlsxwriter: %s\n",
                ok ? "met" : "NOT MET");
    return ok ? 0 : 2;
}
