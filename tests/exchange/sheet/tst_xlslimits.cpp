// .xls workbook streams that lie, break off or never end, and text fields
// that never close: each read within bounds or refused with a reason.
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QDir>
#include <QTest>
#include <QtEndian>

#include "exchange/sheet/Workbook.h"
#include "tests/exchange/sheet/SheetFiles.h"
#include "tests/fuzz/FuzzEntry.h"

using sheet::Failure;
using sheet::Workbook;

namespace {

qint64 peakMb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong() / 1024;
    return -1;
}
void resetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

void record(QByteArray& s, quint16 type, const QByteArray& body) {
    char h[4];
    qToLittleEndian(type, h);
    qToLittleEndian(quint16(body.size()), h + 2);
    s.append(h, 4);
    s += body;
}

// Where the first record of a type starts in a stream (-1 if none).
qsizetype recordAt(const QByteArray& s, quint16 type) {
    for (qsizetype at = 0; at + 4 <= s.size();) {
        const quint16 t = qFromLittleEndian<quint16>(s.constData() + at);
        if (t == type) return at;
        at += 4 + qFromLittleEndian<quint16>(s.constData() + at + 2);
    }
    return -1;
}

testfiles::Xls small() {
    testfiles::Xls x;
    x.sheets << testfiles::XlsSheet{"S", {{0, 0, QString("Name")}, {0, 1, QString("Amount")}, {1, 0, QString("Alpha")},
                                         {1, 1, 12.5}, {2, 0, QString("Beta")}, {2, 1, true}}};
    return x;
}

std::unique_ptr<Workbook> openStream(const QByteArray& stream, QString* error, Failure* f, const sheet::OpenOptions& o = {}) {
    return Workbook::openData(testfiles::compoundFile(QStringLiteral("Workbook"), stream), error, o, f);
}

}  // namespace

class TestXlsLimits : public QObject {
    Q_OBJECT

private slots:
    void brokenRecordsSayWhy() {
        const QByteArray good = small().stream();
        QString error;
        Failure f = Failure::None;
        QVERIFY(openStream(good, &error, &f));

        // Cut in the middle of the sheet's records.
        const qsizetype cell = good.lastIndexOf(QByteArray("\xFD\x00\x0A\x00", 4));  // the last LABELSST
        QVERIFY(cell > 0);
        QByteArray cut = good.left(cell + 7);
        QVERIFY(!openStream(cut, &error, &f));
        QCOMPARE(f, Failure::Damaged);
        QVERIFY2(error.contains("ends in the middle of a record"), qPrintable(error));

        // A cell naming a shared string the table does not have.
        QByteArray badIndex = good;
        qToLittleEndian(quint32(4000000), badIndex.data() + cell + 4 + 6);
        QVERIFY(!openStream(badIndex, &error, &f));
        QVERIFY2(error.contains("refers to shared string 4000000"), qPrintable(error));

        // A sheet said to start past the stream's end.
        QByteArray lost = good;
        const qsizetype bs = recordAt(lost, 0x0085);
        qToLittleEndian(quint32(0x7FFFFFF0), lost.data() + bs + 4);
        QVERIFY(!openStream(lost, &error, &f));
        QVERIFY2(error.contains("cannot be found in the workbook stream"), qPrintable(error));

        // Not a workbook stream at all, and an Excel version we do not read.
        QVERIFY(!openStream(QByteArray(5000, 'x'), &error, &f));
        QCOMPARE(f, Failure::Damaged);
        QByteArray biff4 = good;
        qToLittleEndian(quint16(0x0400), biff4.data() + 4);
        QVERIFY(!openStream(biff4, &error, &f));
        QCOMPARE(f, Failure::Unsupported);

        // Protected by a password.
        testfiles::Xls locked = small();
        locked.password = true;
        QVERIFY(!Workbook::openData(locked.bytes(), &error, {}, &f));
        QCOMPARE(f, Failure::Encrypted);
    }

    void claimsSetNothingAside() {
        // The shared-string table claims four billion entries and holds three.
        QByteArray s = small().stream();
        const qsizetype sst = recordAt(s, 0x00FC);
        qToLittleEndian(quint32(0xFFFFFFFF), s.data() + sst + 4);
        qToLittleEndian(quint32(0xFFFFFFFF), s.data() + sst + 8);
        resetPeak();
        QString error;
        Failure f = Failure::None;
        auto wb = openStream(s, &error, &f);
        QVERIFY2(wb, qPrintable(error));
        QCOMPARE(wb->activeSheet().text(3, 1), QString("Beta"));
        QVERIFY(peakMb() < 200);
    }

    void cellsBeyondTheLimit() {
        // 100,000 number cells against a limit of 50,000: refused, quickly.
        QByteArray s = small().stream();
        QByteArray cells;
        for (int r = 0; r < 100000; ++r) {
            QByteArray rk(10, '\0');
            qToLittleEndian(quint16(r % 65536), rk.data());
            qToLittleEndian(quint16(2 + r / 65536), rk.data() + 2);
            qToLittleEndian(quint32((r << 2) | 2), rk.data() + 6);
            record(cells, 0x027E, rk);
        }
        const qsizetype eof = s.size() - 4;  // the sheet's EOF
        s.insert(eof, cells);
        sheet::OpenOptions o;
        o.limits.maxCells = 50000;
        QString error;
        Failure f = Failure::None;
        QElapsedTimer t;
        t.start();
        QVERIFY(!openStream(s, &error, &f, o));
        QCOMPARE(f, Failure::TooLarge);
        QVERIFY(t.elapsed() < 5000);
        // Within the default limits the same cells are read, numbers whole.
        auto wb = openStream(s, &error, &f);
        QVERIFY2(wb, qPrintable(error));
        QCOMPARE(wb->activeSheet().text(60001, 3), QString("60000"));
        QCOMPARE(wb->activeSheet().text(70000 - 65536 + 1, 4), QString("70000"));
    }

    // Inputs that once crashed a reader (tests/fuzz/regressions): each is
    // read or refused with a reason, through every entry.
    void earlierFindingsStayMended() {
        const QDir dir(QStringLiteral(TALLIX_FUZZ_REGRESSIONS));
        const QStringList files = dir.entryList(QDir::Files);
        QVERIFY(!files.isEmpty());
        for (const QString& name : files) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
            QVERIFY2(fuzz::xls(data, size_t(bytes.size())) >= -1, qPrintable(name));
            QVERIFY2(fuzz::workbook(data, size_t(bytes.size())) >= -1, qPrintable(name));
            QVERIFY2(fuzz::text(data, size_t(bytes.size())) >= -1, qPrintable(name));
        }
    }

    void randomDamageNeverCrashes() {
        // Bytes flipped anywhere in the stream: read or refused with a reason.
        testfiles::Xls x = small();
        x.sheets << testfiles::XlsSheet{"T", {{0, 0, QString("长文本 long text")}, {3, 2, 1e300}, {4, 4, QDate(2024, 3, 5)}}};
        const QByteArray good = x.stream();
        QRandomGenerator rng(20240305);
        int read = 0, refused = 0;
        for (int round = 0; round < 400; ++round) {
            QByteArray s = good;
            const int flips = 1 + int(rng.bounded(8));
            for (int k = 0; k < flips; ++k) s[int(rng.bounded(quint32(s.size())))] = char(rng.bounded(256));
            const QByteArray file = testfiles::compoundFile(QStringLiteral("Workbook"), s);
            const long cells = fuzz::xls(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()));
            if (cells >= 0) ++read;
            else ++refused;
        }
        QVERIFY(read > 0);
        qInfo("%d damaged workbooks read, %d refused", read, refused);
    }

    void csvFieldsAreBounded() {
        sheet::OpenOptions o;
        o.limits.maxCellChars = 1000;
        QString error;
        Failure f = Failure::None;
        for (const QByteArray& field : {QByteArray(5000, 'x'), "\"" + QByteArray(5000, 'x') + "\"",
                                        "\"" + QByteArray(2500, 'x') + "\r\n" + QByteArray(2500, 'y') + "\""}) {
            QVERIFY(!Workbook::openData("Name,Note\nA," + field + "\n", &error, o, &f));
            QCOMPARE(f, Failure::TooLarge);
            QVERIFY2(error.contains("row 2, column 2"), qPrintable(error));
        }
        // A quoted field as big as the file is stopped at the bound, not read whole first.
        const QByteArray huge = "Name,Note\nA,\"" + QByteArray(60 << 20, 'z') + "\"\n";
        o.limits.maxCellChars = 1 << 20;
        resetPeak();
        const qint64 before = peakMb();
        QVERIFY(!Workbook::openData(huge, &error, o, &f));
        QCOMPARE(f, Failure::TooLarge);
        QVERIFY2(peakMb() - before < 100, qPrintable(QStringLiteral("%1 MB more").arg(peakMb() - before)));
        // Closed quotes read as they should; one left open is refused by its place.
        auto wb = Workbook::openData("a,\"b \"\"c\"\"\"\n\"d\ne\",f\n", &error);
        QVERIFY(wb);
        QCOMPARE(wb->activeSheet().text(1, 2), QString("b \"c\""));
        QCOMPARE(wb->activeSheet().text(2, 1), QString("d\ne"));
        QVERIFY(!Workbook::openData("a,b\nc,\"d\ne,f\ng,h\n", &error, {}, &f));
        QCOMPARE(f, Failure::Damaged);
        QVERIFY2(error.contains("row 2, column 2 is never closed"), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestXlsLimits)
#include "tst_xlslimits.moc"
