// Record-set timings on 100,000 customers and 300,000 contacts.
// Run by hand: build/bin/bench_recordset [--server postgresql://user@host:port]
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "app/U_data.h"
#include "bench/BenchData.h"

namespace {

double ms(QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

long peakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
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
    TFrm_Data d(dir.path());
    if (!d.DBConnected) return 1;
    std::printf("engine: %s\n", bench::engineName(d));

    QElapsedTimer t;
    t.start();
    bench::fill(d);
    std::printf("fill 100,000 customers + 300,000 contacts: %.0f ms\n", ms(t));

    // Open, count and read the first screen of rows, every column.
    db::Query* cust = d.Qry_Cust;
    t.restart();
    cust->close();
    cust->setSql("select * from custom");
    cust->open();
    const int count = cust->recordCount();
    int chars = 0;
    for (int r = 0; r < 40; ++r)
        for (int f = 0; f < cust->fieldCount(); ++f) chars += cust->textAt(r, f).size();
    std::printf("open 'select * from custom' + count (%d) + first 40 rows: %.1f ms\n", count, ms(t));

    // The contact detail re-run when the customer cursor moves.
    db::Query* contact = d.Qry_Contact;
    contact->setMasterSource(d.DS_Cust);
    contact->setSql("Select * From Contact where CustID=:CustID");
    contact->open();
    const int moves = 200;
    t.restart();
    for (int i = 0; i < moves; ++i) {
        cust->setCurrentRow((i * 487) % count);
        chars += contact->recordCount();
        if (contact->recordCount() > 0) chars += contact->asString("Name").size();
    }
    std::printf("contact detail for another customer: %.2f ms each (%d moves)\n", ms(t) / moves, moves);

    // Company search anywhere in the name.
    t.restart();
    cust->close();
    cust->setSql("Select * from custom where company like '%77%'");
    cust->open();
    const int found = cust->recordCount();
    for (int r = 0; r < 40 && r < found; ++r) chars += cust->textAt(r, 2).size();
    std::printf("company search like '%%77%%' (%d rows) + first 40 rows: %.1f ms\n", found, ms(t));

    // Scrolling to the end and a client-side sort.
    t.restart();
    cust->close();
    cust->setSql("select * from custom");
    cust->open();
    for (int r = count - 40; r < count; ++r) chars += cust->textAt(r, 2).size();
    std::printf("open all + read the last 40 rows: %.1f ms\n", ms(t));
    t.restart();
    cust->sortBy("tel");
    for (int r = 0; r < 40; ++r) chars += cust->textAt(r, 2).size();
    std::printf("client-side sort by tel + first 40 rows: %.1f ms\n", ms(t));

    std::printf("peak memory: %.1f MB\n", peakKb() / 1024.0);
    return chars > 0 ? 0 : 1;
}
