// Finding duplicate customers among 100,000 (2,000 of them written a
// second time: 1,000 with their name in capitals and a full stop, 1,000
// with another name but the same telephone), and what the window reads to
// list the groups. Run by hand:
//   build/bin/bench_duplicates [--server postgresql://user@host:port]
#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "app/U_data.h"
#include "bench/BenchData.h"
#include "bench/BenchExchange.h"
#include "customers/CustomerMerge.h"
#include "customers/DuplicateFinder.h"

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
    bench::Clock fill;
    bench::fill(d);
    d.Connection->beginTrans();
    bench::exec(d, "insert into custom (Company, Tel, Email, F_User) select upper(Company) || '.', '', '', F_User "
                   "from custom where CustID % 100 = 0");
    bench::exec(d, "insert into custom (Company, Tel, Email, F_User) select 'Other ' || CustID, Tel, '', F_User "
                   "from custom where CustID % 100 = 50 and CustID <= 100000");
    d.Connection->commitTrans();
    std::printf("fill 102,000 customers: %.0f ms\n", fill.ms());

    bench::resetPeak();
    bench::Clock all;
    const QVector<duplicates::Customer> customers = duplicates::readCustomers(d.Connection);
    const double readMs = all.ms();
    bench::Clock findClock;
    const QList<duplicates::Group> groups = duplicates::find(customers);
    const double findMs = findClock.ms();
    const double totalMs = all.ms();
    bench::Clock listClock;
    QList<qlonglong> ids;
    for (const duplicates::Group& g : groups) ids += g.members;
    const merge::Set shown = merge::read(d.Connection, ids);
    const double listMs = listClock.ms();
    const double peak = bench::peakMb();

    std::printf("customers read: %lld in %.0f ms\n", qlonglong(customers.size()), readMs);
    std::printf("groups found:   %lld in %.0f ms\n", qlonglong(groups.size()), findMs);
    std::printf("read + find:    %.0f ms (target < 2000 ms)\n", totalMs);
    std::printf("the groups' %lld customers read for the list: %.0f ms\n", qlonglong(shown.customers.size()), listMs);
    std::printf("peak memory:    %.0f MB (target < 300 MB)\n", peak);
    if (!groups.isEmpty()) std::printf("first group:    %s\n", qPrintable(groups.first().why()));
    const bool ok = groups.size() == 2000 && totalMs < 2000 && peak < 300;
    std::printf("Targets: %s\n", ok ? "met" : "NOT MET");
    return ok ? 0 : 2;
}
