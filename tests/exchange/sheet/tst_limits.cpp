// Files that claim or hold absurd sizes: read within bounds, or refused with
// a reason; never memory out of proportion to what is really there.
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QtEndian>

#include "exchange/sheet/Workbook.h"
#include "tests/exchange/sheet/SheetFiles.h"

using sheet::Failure;
using sheet::Workbook;

namespace {

// Peak resident memory of this process, in MB, since the last reset.
qint64 peakMb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong() / 1024;
    return -1;
}
qint64 residentMb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong() / 1024;
    return -1;
}
void resetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

// A generator of n pieces of the given text, then the tail.
std::function<QByteArray()> pieces(const QByteArray& head, const QByteArray& piece, int n, const QByteArray& tail) {
    auto i = std::make_shared<int>(-1);
    return [=]() -> QByteArray {
        const int k = (*i)++;
        if (k < 0) return head;
        if (k < n) return piece;
        if (k == n) return tail;
        return QByteArray();
    };
}

// Rewrites the uncompressed size a zip states for a part, in its local and
// central headers, to claim.
QByteArray lieAboutSize(QByteArray zip, const QByteArray& name, quint32 claim) {
    for (const char* sig : {"PK\x03\x04", "PK\x01\x02"}) {
        const bool central = sig[2] == '\x01';
        const int nameAt = central ? 46 : 30;
        const int sizeAt = central ? 24 : 22;
        for (qsizetype at = zip.indexOf(sig); at >= 0; at = zip.indexOf(sig, at + 4)) {
            if (zip.mid(at + nameAt, name.size()) != name) continue;
            qToLittleEndian(claim, zip.data() + at + sizeAt);
        }
    }
    return zip;
}

}  // namespace

class TestLimits : public QObject {
    Q_OBJECT

    static std::unique_ptr<Workbook> open(const QByteArray& bytes, QString* error, Failure* f,
                                          const sheet::OpenOptions& o = {}) {
        return Workbook::openData(bytes, error, o, f);
    }

private slots:
    void zipBombOfBlanks() {
        // 100 MB of blanks inside the sheet, a few hundred kilobytes packed.
        const QByteArray head = testfiles::sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>").toUtf8();
        const int split = head.indexOf("</sheetData>");
        testfiles::Xlsx x;
        x.sheets << QString();
        x.extra << testfiles::Part{"xl/worksheets/sheet1.xml", {},
                                   pieces(head.left(split), QByteArray(1 << 20, ' '), 100,
                                          "<row r=\"2\"><c r=\"B2\"><v>2</v></c></row>" + head.mid(split))};
        const QByteArray bytes = x.bytes();
        QVERIFY(bytes.size() < 2 << 20);
        resetPeak();
        const qint64 before = residentMb();
        QString error;
        Failure f = Failure::None;
        auto wb = open(bytes, &error, &f);
        QVERIFY2(wb, qPrintable(error));
        QCOMPARE(wb->activeSheet().rowCount(), 2);
        QCOMPARE(wb->activeSheet().text(2, 2), QString("2"));
        QVERIFY2(peakMb() - before < 64, qPrintable(QString::number(peakMb() - before)));

        // With a lower bound the same part is refused, as a bomb.
        sheet::OpenOptions small;
        small.limits.maxPartBytes = 10 << 20;
        QVERIFY(!open(bytes, &error, &f, small));
        QCOMPARE(f, Failure::TooLarge);
        QVERIFY2(error.contains("zip bomb"), qPrintable(error));

        // A header that claims a small part: the part is read no further than
        // the claim (and never past the bound), and comes out cut short.
        const QByteArray lying = lieAboutSize(bytes, "xl/worksheets/sheet1.xml", 1000);
        resetPeak();
        QVERIFY(!open(lying, &error, &f));
        QCOMPARE(f, Failure::Damaged);
        QVERIFY(!error.isEmpty());
        QVERIFY(peakMb() - before < 64);
    }

    void millionRowClaims() {
        testfiles::Xlsx x;
        x.sheets << testfiles::sheetXml(R"(<row r="1"><c r="A1"><v>1</v></c></row><row r="1048576"><c r="C1048576"><v>2</v></c></row>)")
                        .replace("<sheetData>", "<dimension ref=\"A1:XFD1048576\"/><sheetData>");
        resetPeak();
        const qint64 before = residentMb();
        QString error;
        Failure f = Failure::None;
        auto wb = open(x.bytes(), &error, &f);
        QVERIFY2(wb, qPrintable(error));
        QCOMPARE(wb->activeSheet().rowCount(), 1048576);
        QCOMPARE(wb->activeSheet().columnCount(), 3);
        QCOMPARE(wb->activeSheet().storedCells(), 2);
        QVERIFY(peakMb() - before < 16);

        x.sheets[0] = testfiles::sheetXml(R"(<row r="1048577"><c><v>1</v></c></row>)");
        QVERIFY(!open(x.bytes(), &error, &f));
        QCOMPARE(f, Failure::TooLarge);
        QVERIFY2(error.contains("1048577"), qPrintable(error));
        x.sheets[0] = testfiles::sheetXml(R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)");
        QVERIFY(open(x.bytes(), &error, &f));  // a reference past the last column is no reference: next column
    }

    void millionSharedStrings() {
        QByteArray sst = "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"4000000000\" uniqueCount=\"4000000000\">";
        sst.reserve(30 << 20);
        for (int i = 0; i < 1000000; ++i) sst += "<si><t>s" + QByteArray::number(i) + "</t></si>";
        sst += "</sst>";
        testfiles::Xlsx x;
        x.shared = QString::fromLatin1(sst);
        x.sheets << testfiles::sheetXml(R"(<row r="1"><c r="A1" t="s"><v>999999</v></c><c r="B1" t="s"><v>0</v></c></row>)");
        const QByteArray bytes = x.bytes();
        sst.clear();
        sst.squeeze();
        x.shared.clear();
        resetPeak();
        const qint64 before = residentMb();
        QString error;
        Failure f = Failure::None;
        auto wb = open(bytes, &error, &f);
        QVERIFY2(wb, qPrintable(error));
        QCOMPARE(wb->activeSheet().text(1, 1), QString("s999999"));
        QCOMPARE(wb->activeSheet().text(1, 2), QString("s0"));
        QVERIFY2(peakMb() - before < 120, qPrintable(QString::number(peakMb() - before)));

        sheet::OpenOptions small;
        small.limits.maxSharedStrings = 1000;
        QVERIFY(!open(bytes, &error, &f, small));
        QCOMPARE(f, Failure::TooLarge);
        QVERIFY2(error.contains("shared strings"), qPrintable(error));
    }

    void cellAndTextBudgets() {
        QString rows;
        for (int r = 1; r <= 20; ++r) {
            rows += QStringLiteral("<row r=\"%1\">").arg(r);
            for (int c = 0; c < 10; ++c) rows += QStringLiteral("<c t=\"inlineStr\"><is><t>cell %1.%2</t></is></c>").arg(r).arg(c);
            rows += QStringLiteral("</row>");
        }
        testfiles::Xlsx x;
        x.sheets << testfiles::sheetXml(rows);
        sheet::OpenOptions o;
        o.limits.maxCells = 100;
        QString error;
        Failure f = Failure::None;
        QVERIFY(!open(x.bytes(), &error, &f, o));
        QCOMPARE(f, Failure::TooLarge);
        QVERIFY2(error.contains("100 cells"), qPrintable(error));
        o.limits.maxCells = 1000;
        o.limits.maxTextChars = 500;
        QVERIFY(!open(x.bytes(), &error, &f, o));
        QCOMPARE(f, Failure::TooLarge);
        QVERIFY2(error.contains("characters"), qPrintable(error));
        QVERIFY(open(x.bytes(), &error, &f));
    }

    void odsRepeatsThatNeverEnd() {
        // A filled cell repeated across every column of a million rows.
        const QByteArray bytes = testfiles::ods(R"(<table:table table:name="T">
            <table:table-row table:number-rows-repeated="1048576"><table:table-cell table:number-columns-repeated="16384" office:value-type="float" office:value="1"><text:p>1</text:p></table:table-cell></table:table-row>
            </table:table>)");
        sheet::OpenOptions o;
        o.limits.maxCells = 200000;
        QString error;
        Failure f = Failure::None;
        QElapsedTimer t;
        t.start();
        QVERIFY(!open(bytes, &error, &f, o));
        QCOMPARE(f, Failure::TooLarge);
        QVERIFY(t.elapsed() < 10000);
        // Repeats past the last column are refused outright.
        const QByteArray wide = testfiles::ods(R"(<table:table table:name="T"><table:table-row>
            <table:table-cell table:number-columns-repeated="20000" office:value-type="string"><text:p>x</text:p></table:table-cell>
            </table:table-row></table:table>)");
        QVERIFY(!open(wide, &error, &f));
        QCOMPARE(f, Failure::TooLarge);
    }

    void deepNesting() {
        QString deep;
        for (int i = 0; i < 20000; ++i) deep += "<x>";
        for (int i = 0; i < 20000; ++i) deep += "</x>";
        testfiles::Xlsx x;
        x.sheets << testfiles::sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>").replace("<sheetData>", deep + "<sheetData>");
        QString error;
        Failure f = Failure::None;
        auto wb = open(x.bytes(), &error, &f);
        // Read by the general reader after the fast one gives up, or refused: never a crash.
        if (wb) QCOMPARE(wb->activeSheet().text(1, 1), QString("1"));
        else QVERIFY(!error.isEmpty());
    }

    void damagedStreamsEnd() {
        // A part whose packed data is broken midway ends the read with a
        // reason; it must not leave a reader waiting for more (found by fuzzing).
        QString rows;
        for (int r = 1; r <= 400; ++r)
            rows += QStringLiteral("<table:table-row><table:table-cell office:value-type=\"string\"><text:p>row %1 %2</text:p>"
                                   "</table:table-cell></table:table-row>").arg(r).arg(r * 7919);
        QByteArray ods = testfiles::ods("<table:table table:name=\"T\">" + rows + "</table:table>");
        QString xlsxRows;
        for (int r = 1; r <= 400; ++r) xlsxRows += QStringLiteral("<row r=\"%1\"><c t=\"inlineStr\"><is><t>row %1 %2</t></is></c></row>").arg(r).arg(r * 7919);
        testfiles::Xlsx x;
        x.sheets << testfiles::sheetXml(xlsxRows);
        QByteArray xlsx = x.bytes();
        for (auto [bytes, part] : {std::pair{&ods, QByteArray("content.xml")}, std::pair{&xlsx, QByteArray("xl/worksheets/sheet1.xml")}}) {
            const qsizetype at = bytes->indexOf(part);
            QVERIFY(at > 0);
            for (qsizetype i = at + part.size() + 200; i < at + part.size() + 260 && i < bytes->size(); ++i) (*bytes)[i] = char(0xA5);
            for (bool general : {false, true}) {
                sheet::OpenOptions o;
                o.generalXmlOnly = general;
                QString error;
                Failure f = Failure::None;
                QElapsedTimer t;
                t.start();
                QVERIFY(!open(*bytes, &error, &f, o));
                QCOMPARE(f, Failure::Damaged);
                QVERIFY(!error.isEmpty());
                QVERIFY(t.elapsed() < 5000);
            }
        }
    }

    void cancelled() {
        QString rows;
        for (int r = 1; r <= 6000; ++r) rows += QStringLiteral("<row r=\"%1\"><c><v>%1</v></c><c t=\"inlineStr\"><is><t>%2</t></is></c></row>").arg(r).arg(QString(300, 'x'));
        testfiles::Xlsx x;
        x.sheets << testfiles::sheetXml(rows);
        int calls = 0;
        sheet::OpenOptions o;
        o.progress = [&](qint64 done, qint64 total) {
            ++calls;
            return done < total / 2;
        };
        QString error;
        Failure f = Failure::None;
        QVERIFY(!open(x.bytes(), &error, &f, o));
        QCOMPARE(f, Failure::Cancelled);
        QVERIFY(calls >= 1);

        o.progress = [&](qint64 done, qint64 total) {
            return done <= total;  // the whole is never less than the part done
        };
        QVERIFY(open(x.bytes(), &error, &f, o));
    }
};

QTEST_GUILESS_MAIN(TestLimits)
#include "tst_limits.moc"
