// Workbooks written by other programs (LibreOffice, openpyxl, xlwt, Python's
// csv module; tests/exchange/files/make-files.py made them): what each must
// give, and that one workbook gives the same in each format it was saved in.
#include <QFile>
#include <QTest>

#include "exchange/sheet/Workbook.h"

using sheet::CellKind;
using sheet::Failure;
using sheet::Workbook;

namespace {

QString file(const QString& name) { return QStringLiteral(TALLIX_TEST_FILES "/") + name; }

std::unique_ptr<Workbook> openFile(const QString& name, QString* error = nullptr, Failure* failure = nullptr,
                                   const sheet::OpenOptions& o = {}) {
    QString e;
    auto wb = Workbook::open(file(name), &e, o, failure);
    if (error) *error = e;
    if (!wb && !error) qWarning("%s refused: %s", qPrintable(name), qPrintable(e));
    return wb;
}

}  // namespace

class TestOtherPrograms : public QObject {
    Q_OBJECT

private slots:
    void libreOfficeKindsInEveryFormat() {
        auto xls = openFile("lo-kinds.xls");
        auto xlsx = openFile("lo-kinds.xlsx");
        auto ods = openFile("lo-kinds.ods");
        QVERIFY(xls && xlsx && ods);
        QCOMPARE(xls->format(), sheet::Format::Xls);
        for (const auto* wb : {xls.get(), xlsx.get(), ods.get()}) {
            QCOMPARE(wb->sheetNames(), QStringList({"Kinds", "Other"}));
            QCOMPARE(wb->activeIndex(), 0);
            QVERIFY(!wb->date1904());
        }
        const sheet::Worksheet& s = xls->activeSheet();
        QCOMPARE(s.name(), QString("Kinds"));
        QCOMPARE(s.rowCount(), 3);
        QCOMPARE(s.columnCount(), 17);
        // What the .xls shows, cell by cell: its number formats, dates in
        // four forms, formula results of every kind.
        const QStringList row2 = {"Müller & Co", "010020", "1,234,568", "26%", "3/5/2024", "05.03.2024", "5-Mar-24",
                                  "Tuesday, March 05, 2024", "2024-03-05 18:30", "TRUE", "FALSE", "abcd", "3.00",
                                  "#DIV/0!", "3 1/4"};
        const QStringList row3 = {"深圳市腾飞贸易有限公司", "000007", "-4,322", "100%", "12/31/1999", "29.02.2000",
                                  "1-Jan-70", "Tuesday, December 31, 2024", "2024-12-31 23:59", "TRUE", "FALSE",
                                  "深圳市腾飞贸易有限公司!", "14.00", "#N/A", " 1/2"};
        for (int c = 1; c <= row2.size(); ++c) {
            QCOMPARE(s.text(2, c), row2[c - 1]);
            QCOMPARE(s.text(3, c), row3[c - 1]);
        }
        QCOMPARE(s.kind(2, 2), CellKind::Number);
        QCOMPARE(s.valueText(2, 2), QString("10020"));
        for (int c = 5; c <= 9; ++c) QCOMPARE(s.kind(2, c), CellKind::DateTime);
        QCOMPARE(s.valueText(2, 5), QString("2024-03-05"));
        QCOMPARE(s.valueText(2, 9), QString("2024-03-05 18:30:00"));
        QCOMPARE(s.kind(2, 10), CellKind::Boolean);
        QCOMPARE(s.valueText(2, 10), QString("True"));
        QCOMPARE(s.kind(2, 12), CellKind::Text);
        QCOMPARE(s.kind(2, 13), CellKind::Number);
        QCOMPARE(s.valueText(2, 13), QString("3"));
        QCOMPARE(s.kind(2, 14), CellKind::Error);
        // Past 2^63 a fraction format shows the whole number (LibreOffice itself shows #FMT).
        QCOMPARE(s.text(2, 16), QString("100000000000000000000    "));
        QCOMPARE(s.text(3, 16), QString("9223372036854780000    "));
        // The long text runs over several records of the .xls, switching
        // between two-byte and one-byte characters.
        const QString introduce = QString(3000, QChar(u'长')) + QString("Latin tail ").repeated(500) + QStringLiteral("中文结尾");
        QCOMPARE(s.text(2, 17), introduce);

        // The same workbook in the other formats shows the same texts (the
        // .ods as LibreOffice wrote them down).
        for (const auto* other : {xlsx.get(), ods.get()}) {
            const sheet::Worksheet& o = other->activeSheet();
            QCOMPARE(o.rowCount(), s.rowCount());
            QCOMPARE(o.columnCount(), s.columnCount());
            for (int r = 1; r <= s.rowCount(); ++r)
                for (int c = 1; c <= s.columnCount(); ++c) {
                    if (r > 1 && c == 16 && other == ods.get()) continue;  // "#FMT"
                    QCOMPARE(o.text(r, c), s.text(r, c));
                    if (s.kind(r, c) == CellKind::DateTime) QCOMPARE(o.valueText(r, c), s.valueText(r, c));
                }
        }
    }

    void dateSystem1904() {
        auto xls = openFile("lo-kinds-1904.xls");
        auto ods = openFile("lo-kinds-1904.ods");
        QVERIFY(xls && ods);
        QVERIFY(xls->date1904());
        for (const auto* wb : {xls.get(), ods.get()}) {
            const sheet::Worksheet& s = wb->activeSheet();
            QCOMPARE(s.text(2, 5), QString("3/5/2024"));
            QCOMPARE(s.valueText(2, 5), QString("2024-03-05"));
            QCOMPARE(s.valueText(3, 6), QString("2000-02-29"));
            QCOMPARE(s.valueText(3, 9), QString("2024-12-31 23:59:59"));
        }
    }

    void xlwtContacts() {
        // An .xls as a script writes it: booleans, dates with a day-first
        // format, a zip code with leading zeros, a date typed as text.
        auto wb = openFile("xlwt-contacts.xls");
        QVERIFY(wb);
        const sheet::Worksheet& s = wb->activeSheet();
        QCOMPARE(s.name(), QString("Contacts"));
        QCOMPARE(s.rowCount(), 4);
        QCOMPARE(s.columnCount(), 7);
        QCOMPARE(s.text(1, 1), QString("公司编码"));
        QCOMPARE(s.kind(2, 3), CellKind::Boolean);
        QCOMPARE(s.valueText(2, 3), QString("True"));
        QCOMPARE(s.valueText(3, 3), QString("False"));
        QCOMPARE(s.kind(2, 4), CellKind::DateTime);
        QCOMPARE(s.text(2, 4), QString("5/3/1980"));
        QCOMPARE(s.valueText(2, 4), QString("1980-03-05"));
        QCOMPARE(s.text(4, 4), QString("3/2/2001"));
        QCOMPARE(s.kind(4, 7), CellKind::Text);
        QCOMPARE(s.text(4, 7), QString("3/5/2024"));
        QCOMPARE(s.text(2, 5), QString("010020"));
        QCOMPARE(s.text(3, 5), QString("000007"));
        QCOMPARE(s.valueText(2, 1), QString("1"));
    }

    void excel95FromTheCorpus() {
        // Excel 5/95 workbooks: one byte per character in the workbook's code page.
        const QString dir = QStringLiteral(TALLIX_FIXTURES "/calamine/");
        if (!QFile::exists(dir + "biff5_write.xls")) QSKIP("The shared corpus of workbooks is not on this machine.");
        QString error;
        auto wb = Workbook::open(dir + "biff5_write.xls", &error);
        QVERIFY2(wb, qPrintable(error));
        QCOMPARE(wb->format(), sheet::Format::Xls);
        QVERIFY(wb->activeSheet().storedCells() > 0);
        auto rich = Workbook::open(dir + "biff5-rich-text-string.xls", &error);
        QVERIFY2(rich, qPrintable(error));
        QVERIFY(rich->activeSheet().storedCells() > 0);
    }

    void uncalculatedFormulas() {
        auto wb = openFile("openpyxl-uncalculated.xlsx");
        QVERIFY(wb);
        const sheet::Worksheet& s = wb->activeSheet();
        QCOMPARE(s.rowCount(), 4);
        QCOMPARE(s.kind(3, 1), CellKind::Uncalculated);
        QCOMPARE(s.value(3, 1).toString(), QString("=\"Be\"&\"ta\""));
        QVERIFY(s.text(3, 1).isEmpty());
        QCOMPARE(s.kind(3, 2), CellKind::Uncalculated);
        QVERIFY(!s.rowIsEmpty(3));  // a row of formulas is not an empty row
        QCOMPARE(s.storedCells(), 12);
        // Calculated by LibreOffice, the same formulas have results.
        auto lo = openFile("lo-kinds.xlsx");
        QVERIFY(lo);
        QCOMPARE(lo->activeSheet().kind(2, 13), CellKind::Number);
    }

    void longTextComesWhole() {
        auto wb = openFile("openpyxl-long.xlsx");
        QVERIFY(wb);
        const QString t = wb->activeSheet().text(2, 2);
        QCOMPARE(t.size(), 40000);
        QCOMPARE(t.left(3), QStringLiteral("一丁丂"));
        // A cell longer than the reader's bound is refused, not cut.
        sheet::OpenOptions o;
        o.limits.maxCellChars = 39999;
        QString error;
        Failure f = Failure::None;
        QVERIFY(!openFile("openpyxl-long.xlsx", &error, &f, o));
        QCOMPARE(f, Failure::TooLarge);
        QVERIFY2(error.contains("39,999 characters"), qPrintable(error));
    }

    void passwordProtectedOds() {
        QString error;
        Failure f = Failure::None;
        QVERIFY(!openFile("lo-locked.ods", &error, &f));
        QCOMPARE(f, Failure::Encrypted);
        QVERIFY2(error.contains("protected by a password"), qPrintable(error));
    }

    void csvQuoteNeverClosed() {
        QString error;
        Failure f = Failure::None;
        QVERIFY(!openFile("python-unclosed-quote.csv", &error, &f));
        QCOMPARE(f, Failure::Damaged);
        QVERIFY2(error.contains("row 3, column 2 is never closed"), qPrintable(error));
    }

    // A UTF-8 list with a line in Windows-1252 appended: read in either
    // encoding, part of it would come in garbled; refused by its line.
    void csvOfTwoEncodings() {
        QString error;
        Failure f = Failure::None;
        QVERIFY(!openFile("python-mixed-encodings.csv", &error, &f));
        QCOMPARE(f, Failure::Damaged);
        QVERIFY2(error.contains("line 4 holds bytes that are not UTF-8"), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestOtherPrograms)
#include "tst_otherprograms.moc"
