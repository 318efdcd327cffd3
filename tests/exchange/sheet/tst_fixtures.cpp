// Every file of the shared corpus of workbooks written by other programs
// (some broken or hostile on purpose) is read or refused with a reason:
// no crash, no hang, no memory out of proportion to the file. The same
// files go through the fuzz targets' entry points.
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include "exchange/sheet/Workbook.h"
#include "tests/fuzz/FuzzEntry.h"

namespace {
qint64 peakKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}
void resetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

QStringList corpus() {
    QStringList out;
    QDirIterator it(QStringLiteral(TALLIX_FIXTURES), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        const QString lower = f.toLower();
        if (lower.endsWith(".md") || lower.endsWith("license")) continue;
        out << f;
    }
    out.sort();
    return out;
}
}  // namespace

class TestFixtures : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (!QFileInfo::exists(QStringLiteral(TALLIX_FIXTURES)))
            QSKIP("The shared corpus of workbooks (../shared/fixtures/workbooks) is not on this machine.");
    }

    void everyFileReadOrRefused() {
        const QStringList files = corpus();
        QVERIFY(!files.isEmpty());
        int read = 0, refused = 0;
        for (const QString& path : files) {
            const QString name = path.mid(QStringLiteral(TALLIX_FIXTURES).size() + 1);
            const qint64 size = QFileInfo(path).size();
            resetPeak();
            const qint64 before = peakKb();
            QElapsedTimer t;
            t.start();
            QString error;
            sheet::Failure failure = sheet::Failure::None;
            auto wb = sheet::Workbook::open(path, &error, {}, &failure);
            if (wb) {
                ++read;
                const sheet::Worksheet& s = wb->activeSheet();
                QStringList header;
                for (int c = 1; c <= s.columnCount(); ++c) header << s.text(1, c);
                // Every cell's shown text and value text can be had.
                qint64 cells = 0;
                for (int r = 1; r <= s.rowCount(); ++r)
                    for (int c = 1; c <= s.columnCount(); ++c) {
                        const sheet::Cell cell = s.cell(r, c);
                        if (!cell.isEmpty()) ++cells;
                        QVERIFY2(cell.isEmpty() || cell.value.isValid(), qPrintable(name));
                    }
                QCOMPARE(cells, s.storedCells());
                qInfo("read    %-52s %3d x %-3d  [%s]", qPrintable(name), s.rowCount(), s.columnCount(),
                      qPrintable(header.join(QLatin1Char('|')).left(60)));
            } else {
                ++refused;
                QVERIFY2(!error.isEmpty(), qPrintable(name + ": refused without a reason"));
                QVERIFY2(failure != sheet::Failure::None && failure != sheet::Failure::Cancelled, qPrintable(name));
                qInfo("refused %-52s %s", qPrintable(name), qPrintable(error));
            }
            const qint64 ms = t.elapsed();
            const qint64 grew = peakKb() - before;
            QVERIFY2(ms < 10000, qPrintable(QStringLiteral("%1 took %2 ms").arg(name).arg(ms)));
            // Memory in proportion: a generous multiple of the file, at least 64 MB.
            QVERIFY2(grew < std::max<qint64>(64 * 1024, size / 1024 * 50),
                     qPrintable(QStringLiteral("%1 took %2 KB more memory").arg(name).arg(grew)));
        }
        qInfo("%d files read, %d refused with a reason", read, refused);
        QVERIFY(read > refused);
    }

    void replayThroughFuzzEntries() {
        for (const QString& path : corpus()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
            // The entries trap on a refusal without a reason and on readers
            // that disagree; reaching here is the check.
            const long cells = fuzz::workbook(data, size_t(bytes.size()));
            const long xlsCells = fuzz::xls(data, size_t(bytes.size()));
            fuzz::text(data, size_t(bytes.size()));
            QVERIFY(cells >= -1 && xlsCells >= -1);
        }
    }

    // The fuzz targets' own starting points: each is read, and both XML
    // readers read it alike (the entries stop the test where they do not).
    void seedsReadAlike_data() {
        QTest::addColumn<QString>("path");
        QDirIterator it(QStringLiteral(TALLIX_FUZZ_SEEDS), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString f = it.next();
            QTest::newRow(qPrintable(f.mid(QStringLiteral(TALLIX_FUZZ_SEEDS).size() + 1))) << f;
        }
    }
    void seedsReadAlike() {
        QFETCH(QString, path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
        const QString kind = QFileInfo(path).dir().dirName();
        long cells = -1;
        if (kind == QLatin1String("xlsx")) cells = fuzz::xlsxParts(data, size_t(bytes.size()));
        else if (kind == QLatin1String("ods")) cells = fuzz::odsParts(data, size_t(bytes.size()));
        else cells = fuzz::text(data, size_t(bytes.size()));
        QVERIFY2(cells > 0, "a seed the readers refuse starts the fuzzer nowhere useful");
    }
};

QTEST_GUILESS_MAIN(TestFixtures)
#include "tst_fixtures.moc"
