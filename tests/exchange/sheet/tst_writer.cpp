// The .xlsx writer: what it writes reads back the same, the title row looks
// as promised, and no half-written file ever carries the target's name.
#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "exchange/sheet/Workbook.h"
#include "exchange/sheet/XlsxWriter.h"
#include "tests/exchange/sheet/SheetFiles.h"

using sheet::XlsxWriter;

namespace {
QString part(const QString& path, const QString& name) {
    return QString::fromUtf8(testfiles::unzip(path, name));
}
}  // namespace

class TestWriter : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void roundTrip_data() {
        QTest::addColumn<bool>("constantMemory");
        QTest::newRow("streamed") << true;
        QTest::newRow("shared strings") << false;
    }
    void roundTrip() {
        QFETCH(bool, constantMemory);
        const QStringList titles = {"公司名称", "电话", "Note"};
        const QList<QStringList> rows = {
            {"深圳市腾飞贸易有限公司", "0755-12345678", "He said \"hello\" & left"},
            {"007 Ltd", "+86 (755) 1234-5678", "two\nlines"},
            {"12345678901234567890", "00123", "=1+1"},
            {"", "13912345678", "tab\there; <tag> 'quotes'"},
            {"Müller_x0041_", "  leading and trailing  ", "😀 emoji"},
        };
        const QString path = dir.filePath(QStringLiteral("round%1.xlsx").arg(constantMemory));
        {
            XlsxWriter::Options o;
            o.constantMemory = constantMemory;
            o.sheetName = QStringLiteral("客户");
            XlsxWriter w(path, o);
            QVERIFY2(w.ok(), qPrintable(w.error()));
            QVERIFY(w.setTitles(titles));
            for (int r = 0; r < rows.size(); ++r) QVERIFY(w.writeRow(r + 2, rows[r]));
            QVERIFY2(w.commit(), qPrintable(w.error()));
        }
        QString error;
        auto wb = sheet::Workbook::open(path, &error);
        QVERIFY2(wb, qPrintable(error));
        const sheet::Worksheet& s = wb->activeSheet();
        QCOMPARE(s.name(), QString("客户"));
        QCOMPARE(s.rowCount(), rows.size() + 1);
        QCOMPARE(s.columnCount(), 3);
        for (int c = 0; c < titles.size(); ++c) QCOMPARE(s.text(1, c + 1), titles[c]);
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < 3; ++c) {
                QCOMPARE(s.text(r + 2, c + 1), rows[r][c]);
                // Text stays text: no number, no formula, no date.
                if (!rows[r][c].isEmpty()) QCOMPARE(s.kind(r + 2, c + 1), sheet::CellKind::Text);
            }
        // Nothing but the workbook is left in the folder.
        QCOMPARE(QDir(dir.path()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden), QStringList());
    }

    // Rows are written out behind the caller: many rows arrive whole and in
    // order, a dropped writer leaves nothing, and a row the library refuses
    // fails the workbook even though the refusal comes later.
    void manyRowsBehindTheCaller() {
        const QString path = dir.filePath("many.xlsx");
        const int n = 20000;
        auto cells = [](int r) {
            return QStringList{QStringLiteral("公司%1").arg(r), QString(), QStringLiteral("%1_x0041_").arg(r)};
        };
        {
            XlsxWriter w(path);
            QVERIFY(w.setTitles({"A", "B", "C"}));
            for (int r = 2; r <= n + 1; ++r) QVERIFY(w.writeRow(r, cells(r)));
            QVERIFY2(w.commit(), qPrintable(w.error()));
        }
        QString error;
        auto wb = sheet::Workbook::open(path, &error);
        QVERIFY2(wb, qPrintable(error));
        const sheet::Worksheet& s = wb->activeSheet();
        QCOMPARE(s.rowCount(), n + 1);
        for (int r : {2, 513, 514, 4097, n + 1})
            for (int c = 0; c < 3; ++c) QCOMPARE(s.text(r, c + 1), cells(r)[c]);
    }

    // Titles set after some rows (possible when rows are kept in memory):
    // the rows before and after all arrive.
    void titlesAfterSomeRows() {
        QString error;
        const QString late = dir.filePath("late.xlsx");
        {
            XlsxWriter::Options inMemory;
            inMemory.constantMemory = false;
            XlsxWriter w(late, inMemory);
            for (int r = 2; r < 1100; ++r) QVERIFY(w.writeRow(r, {QString::number(r)}));
            QVERIFY(w.setTitles({"A"}));
            for (int r = 1100; r <= 2000; ++r) QVERIFY(w.writeRow(r, {QString::number(r)}));
            QVERIFY2(w.commit(), qPrintable(w.error()));
        }
        auto lateWb = sheet::Workbook::open(late, &error);
        QVERIFY2(lateWb, qPrintable(error));
        QCOMPARE(lateWb->activeSheet().rowCount(), 2000);
        QCOMPARE(lateWb->activeSheet().text(1, 1), QString("A"));
        QCOMPARE(lateWb->activeSheet().text(2000, 1), QString("2000"));
    }

    // A writer dropped while its thread still has rows leaves no file.
    void droppedWriterLeavesNoFile() {
        const QString dropped = dir.filePath("dropped.xlsx");
        {
            XlsxWriter w(dropped);
            QVERIFY(w.setTitles({"A"}));
            for (int r = 2; r < 10000; ++r) QVERIFY(w.writeRow(r, {QString::number(r)}));
        }
        QVERIFY(!QFile::exists(dropped));
        QCOMPARE(QDir(dir.path()).entryList({"*dropped*"}, QDir::Files | QDir::Hidden), QStringList());
    }

    // A row that goes back is refused by the thread behind the caller: a
    // later call says which row, and no file is left.
    void rowGoingBackIsRefused() {
        const QString refused = dir.filePath("refused.xlsx");
        XlsxWriter w(refused);
        QVERIFY(w.setTitles({"A"}));
        for (int r = 2; r < 3000; ++r) QVERIFY(w.writeRow(r, {QString::number(r)}));
        w.writeRow(5, {"back"});  // streamed rows cannot go back
        for (int r = 3000; r < 6000 && w.ok(); ++r) w.writeRow(r, {QString::number(r)});
        QVERIFY(!w.commit());
        QVERIFY2(w.error().contains("row 5"), qPrintable(w.error()));
        QVERIFY(!QFile::exists(refused));
        QCOMPARE(QDir(dir.path()).entryList({"*refused*"}, QDir::Files | QDir::Hidden), QStringList());
    }

    void titleRowBoldFrozenAndWide() {
        const QString path = dir.filePath("titles.xlsx");
        XlsxWriter w(path);
        QVERIFY(w.setTitles({"公司名称", "A", "A rather long English title"}));
        QVERIFY(w.writeRow(2, {"x", "y", "z"}));
        QVERIFY(w.commit());
        const QString sheetXml = part(path, "xl/worksheets/sheet1.xml");
        QVERIFY(sheetXml.contains("state=\"frozen\""));
        QVERIFY(sheetXml.contains("ySplit=\"1\""));
        // Row 1 cells carry a style other than the default; that style is bold.
        QVERIFY(sheetXml.contains("<c r=\"A1\" s=\"1\""));
        QVERIFY(!sheetXml.contains("<c r=\"A2\" s="));
        const QString styles = part(path, "xl/styles.xml");
        QVERIFY(styles.contains("<b/>"));
        // Widths: wide characters count twice, and every title fits.
        QVERIFY(XlsxWriter::widthFor("公司名称") >= 8);
        QVERIFY(XlsxWriter::widthFor("公司名称") > XlsxWriter::widthFor("Name"));
        QVERIFY(XlsxWriter::widthFor("A rather long English title") >= 26);
        QCOMPARE(XlsxWriter::widthFor("A"), 8.43);
        QVERIFY(sheetXml.contains("<cols>"));
        double widest = 0;
        static const QRegularExpression width(QStringLiteral("width=\"([0-9.]+)\""));
        for (auto m = width.globalMatch(sheetXml); m.hasNext();) widest = std::max(widest, m.next().captured(1).toDouble());
        QVERIFY2(widest >= 26, qPrintable(QString::number(widest)));
    }

    void nothingHalfWritten() {
        const QString path = dir.filePath("target.xlsx");
        QVERIFY(!QFile::exists(path));
        {
            XlsxWriter w(path);
            QVERIFY(w.setTitles({"T"}));
            QVERIFY(w.writeRow(2, {"row"}));
            // While it is being written, the target's name is not there yet.
            QVERIFY(!QFile::exists(path));
        }  // dropped without commit
        QVERIFY(!QFile::exists(path));
        QCOMPARE(QDir(dir.path()).entryList({"*target*"}, QDir::Files | QDir::Hidden), QStringList());

        // A commit replaces an old file in one step.
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old content");
        }
        XlsxWriter w(path);
        QVERIFY(w.setTitles({"New"}));
        QVERIFY(w.commit());
        auto wb = sheet::Workbook::open(path, nullptr);
        QVERIFY(wb);
        QCOMPARE(wb->activeSheet().text(1, 1), QString("New"));
        QVERIFY(!w.commit());  // once only
        QVERIFY(!w.writeRow(2, {"late"}));  // nor written into afterwards
        QVERIFY(!w.setTitles({"late"}));
        // Readable by others as any new file of the user is, not only by its owner.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (!(mask & 0044))
            QVERIFY(QFileInfo(path).permissions().testFlag(QFileDevice::ReadOther));
    }

    void failuresSayWhere() {
        // A folder that takes no files, even for root.
        XlsxWriter proc(QStringLiteral("/proc/tallix-test.xlsx"));
        QVERIFY(!proc.ok());
        QVERIFY2(proc.error().contains("/proc"), qPrintable(proc.error()));
        QVERIFY(!proc.setTitles({"x"}));
        QVERIFY(!proc.commit());

        XlsxWriter missing(dir.filePath("no/such/folder/x.xlsx"));
        QVERIFY(!missing.ok());
        QVERIFY2(missing.error().contains("does not exist"), qPrintable(missing.error()));

        // A name the file system refuses: too long.
        const QString longName = dir.filePath(QString(300, 'n') + ".xlsx");
        XlsxWriter tooLong(longName);
        if (tooLong.ok()) {
            QVERIFY(tooLong.setTitles({"x"}));
            QVERIFY(!tooLong.commit());
        }
        QVERIFY(!tooLong.error().isEmpty());
        QVERIFY(!QFile::exists(longName));
        QCOMPARE(QDir(dir.path()).entryList({"*nnnn*"}, QDir::Files | QDir::Hidden), QStringList());
    }

    void escapesBeforeTheCut() {
        // An underscore that would read as a character code is written
        // escaped, and the escape counts against the cell's length: cut
        // after escaping, the cell fits, and the export goes on.
        const QString escapedLong = QStringLiteral("_x0041_") + QString(40000, 'x');
        const QString manyEscapes = QStringLiteral("A_x0041_").repeated(5000);
        const QString emojiAtTheEdge = QString(32766, 'z') + QStringLiteral("😀😀");
        const QString path = dir.filePath("escaped.xlsx");
        XlsxWriter w(path);
        QVERIFY(w.setTitles({"One", "Two", "Three", "Four"}));
        QVERIFY(w.writeRow(2, {escapedLong, manyEscapes, emojiAtTheEdge, QStringLiteral("short_x0041_")}));
        QCOMPARE(w.truncatedCells(), 3);
        QVERIFY2(w.commit(), qPrintable(w.error()));
        auto wb = sheet::Workbook::open(path, nullptr);
        QVERIFY(wb);
        const sheet::Worksheet& s = wb->activeSheet();
        // 32,767 characters stored, six of them the escape's.
        QCOMPARE(s.text(2, 1), QStringLiteral("_x0041_") + QString(32767 - 13, 'x'));
        // Never half an escape: "A_x0041_" is stored as 14 characters.
        QCOMPARE(s.text(2, 2), QStringLiteral("A_x0041_").repeated(32767 / 14) + QLatin1Char('A'));
        // Never half a character.
        QCOMPARE(s.text(2, 3), QString(32766, 'z') + QStringLiteral("😀"));
        QCOMPARE(s.text(2, 4), QStringLiteral("short_x0041_"));
    }

    void fullDiskSaidInWords() {
        // A small file system of its own, filled by the workbook: only where
        // this test may mount one (as root with the right to).
        const QString small = dir.filePath("small");
        QVERIFY(QDir().mkpath(small));
        if (::geteuid() != 0 ||
            ::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=256k") != 0)
            QSKIP("No small file system can be mounted here to fill.");
        struct Unmount {
            QByteArray at;
            ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
        } unmount{QFile::encodeName(small)};
        const QString path = QDir(small).filePath("full.xlsx");
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("the old file");
        }
        XlsxWriter w(path);
        QVERIFY2(w.ok(), qPrintable(w.error()));
        QVERIFY(w.setTitles({"Noise"}));
        // Text that does not pack: some 1 MB once zipped.
        QRandomGenerator rng(7);
        for (int r = 2; r < 200; ++r) {
            QString t;
            for (int i = 0; i < 5000; ++i) t += QChar(0x4E00 + int(rng.bounded(20000)));
            if (!w.writeRow(r, {t})) break;
        }
        QVERIFY(!w.commit());
        QVERIFY2(w.error().contains("the disk is full"), qPrintable(w.error()));
        QVERIFY2(!w.error().contains("ZIP") && !w.error().contains(".."), qPrintable(w.error()));
        // The old file is as it was, and nothing else is left behind.
        QFile old(path);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("the old file"));
        QCOMPARE(QDir(small).entryList(QDir::Files | QDir::Hidden), QStringList({"full.xlsx"}));
    }

    void longCellsAreCut() {
        const QString path = dir.filePath("long.xlsx");
        XlsxWriter w(path);
        QVERIFY(w.setTitles({"Profile"}));
        QVERIFY(w.writeRow(2, {QString(40000, 'x')}));
        QCOMPARE(w.truncatedCells(), 1);
        QVERIFY(w.commit());
        auto wb = sheet::Workbook::open(path, nullptr);
        QVERIFY(wb);
        QCOMPARE(wb->activeSheet().text(2, 1).size(), XlsxWriter::kMaxCellChars);
    }
};

QTEST_GUILESS_MAIN(TestWriter)
#include "tst_writer.moc"
