// The readers: what each format gives for the cells of its active sheet.
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QBuffer>
#include <QTest>
#include <limits>

#include "exchange/sheet/TextFile.h"
#include "exchange/sheet/Workbook.h"
#include "exchange/sheet/XmlPull.h"
#include "exchange/sheet/ZipParts.h"
#include "tests/exchange/sheet/SheetFiles.h"

using sheet::CellKind;
using sheet::Workbook;

class TestReaders : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    int files = 0;

    // Opens bytes as a file of that name (format chosen by content).
    std::unique_ptr<Workbook> open(const QByteArray& bytes, const QString& name = QString(), QString* error = nullptr,
                                   sheet::OpenOptions options = {}) {
        const QString path = dir.filePath(name.isEmpty() ? QStringLiteral("file%1.bin").arg(++files) : name);
        if (!testfiles::write(path, bytes)) return nullptr;
        QString e;
        auto wb = Workbook::open(path, &e, options);
        if (error) *error = e;
        if (!wb && !error) qWarning("refused: %s", qPrintable(e));
        return wb;
    }
    // Every shown text of the active sheet, row by row, cells joined by "|".
    static QStringList texts(const Workbook& wb) {
        QStringList out;
        const sheet::Worksheet& s = wb.activeSheet();
        for (int r = 1; r <= s.rowCount(); ++r) {
            QStringList row;
            for (int c = 1; c <= s.columnCount(); ++c) row << s.text(r, c);
            out << row.join(QLatin1Char('|'));
        }
        return out;
    }

    // One row of an .xlsx sheet from (reference, attributes, inner XML).
    static QString c(const QString& ref, const QString& attrs, const QString& inner) {
        return QStringLiteral("<c r=\"%1\"%2>%3</c>").arg(ref, attrs.isEmpty() ? QString() : QLatin1Char(' ') + attrs, inner);
    }

private slots:
    // A part read the way an XML reader reads it, a few kilobytes at a time
    // through Qt's buffer: every byte arrives, not only the first buffers.
    void partReadInSmallPiecesArrivesWhole() {
        QByteArray content;
        for (int i = 0; content.size() < 100000; ++i) content += QByteArray::number(i) + ' ';
        const QByteArray package = testfiles::zip({testfiles::Part(QStringLiteral("big.txt"), content)});
        QBuffer dev;
        dev.setData(package);
        QVERIFY(dev.open(QIODevice::ReadOnly));
        sheet::detail::ZipParts zip;
        QString why;
        QVERIFY2(zip.open(&dev, sheet::Limits(), &why), qPrintable(why));
        for (int chunk : {100, 8192, 16384, 65536}) {
            QIODevice* in = zip.stream(zip.find(QStringLiteral("big.txt")), 1 << 20, nullptr, &why);
            QVERIFY2(in, qPrintable(why));
            QByteArray got;
            QByteArray buf(chunk, '\0');
            for (qint64 n; (n = in->read(buf.data(), chunk)) > 0;) got.append(buf.constData(), n);
            QVERIFY(in->atEnd());
            QCOMPARE(got.size(), content.size());
            QVERIFY(got == content);
            zip.closeStream();
        }
    }

    void initTestCase() { QVERIFY(dir.isValid()); }

    void xlsxCellKinds() {
        testfiles::Xlsx x;
        // Shared strings: plain, rich runs with a phonetic run left out, an
        // escaped carriage return, an escaped underscore.
        x.shared = QStringLiteral(
            "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
            "<si><t>Plain</t></si>"
            "<si><r><rPr><b/></rPr><t>Ri</t></r><r><t xml:space=\"preserve\">ch </t></r><rPh sb=\"0\" eb=\"1\"><t>PHONETIC</t></rPh></si>"
            "<si><t>Line_x000D_Two</t></si>"
            "<si><t>A_x005F_x0041_B</t></si>"
            "<si><t>&lt;&amp;&gt; &#x4E2D;&#25991;</t></si>"
            "</sst>");
        // Styles: 1 "0.00", 2 "#,##0", 3 yyyy-mm-dd, 4 m/d/yy, 5 percent, 6 text, 7 built-in 14.
        x.styles = testfiles::stylesXml({{164, "0.00"}, {165, "yyyy-mm-dd"}, {166, "m/d/yy"}},
                                        {164, 3, 165, 166, 9, 49, 14});
        x.sheets << testfiles::sheetXml(
            "<row r=\"1\">" + c("A1", "t=\"s\"", "<v>0</v>") + c("B1", "t=\"s\"", "<v>1</v>") + c("C1", "t=\"s\"", "<v>2</v>") +
            c("D1", "t=\"s\"", "<v>3</v>") + c("E1", "t=\"s\"", "<v>4</v>") + "</row>"
            "<row r=\"2\">" + c("A2", "t=\"inlineStr\"", "<is><t>Inline</t></is>") +
            c("B2", "t=\"inlineStr\"", "<is><r><t>In</t></r><r><t>line rich</t></r></is>") +
            c("C2", "t=\"b\"", "<v>1</v>") + c("D2", "t=\"b\"", "<v>0</v>") + c("E2", "t=\"e\"", "<v>#DIV/0!</v>") + "</row>"
            "<row r=\"3\">" + c("A3", "", "<f>1+1</f><v>2</v>") + c("B3", "t=\"str\"", "<f>\"a\"&amp;\"b\"</f><v>ab</v>") +
            c("C3", "s=\"1\"", "<v>3.14159</v>") + c("D3", "s=\"2\"", "<v>1234567.89</v>") + c("E3", "s=\"5\"", "<v>0.256</v>") + "</row>"
            "<row r=\"4\">" + c("A4", "s=\"3\"", "<v>45356</v>") + c("B4", "s=\"4\"", "<v>45356</v>") +
            c("C4", "s=\"7\"", "<v>45356.5</v>") + c("D4", "s=\"6\" t=\"s\"", "<v>0</v>") + c("E4", "", "<v>139123456789</v>") + "</row>");
        auto wb = open(x.bytes());
        QVERIFY(wb);
        QCOMPARE(wb->format(), sheet::Format::Xlsx);
        const sheet::Worksheet& s = wb->activeSheet();
        QCOMPARE(s.rowCount(), 4);
        QCOMPARE(s.columnCount(), 5);
        QCOMPARE(texts(*wb), QStringList({"Plain|Rich |Line\rTwo|A_x0041_B|<&> 中文",
                                          "Inline|Inline rich|TRUE|FALSE|#DIV/0!",
                                          "2|ab|3.14|1,234,568|26%",
                                          "2024-03-05|3/5/24|2024-03-05|Plain|139123456789"}));
        QCOMPARE(s.kind(1, 1), CellKind::Text);
        QCOMPARE(s.kind(2, 3), CellKind::Boolean);
        QCOMPARE(s.value(2, 3), QVariant(true));
        QCOMPARE(s.valueText(2, 3), QString("True"));
        QCOMPARE(s.valueText(2, 4), QString("False"));
        QCOMPARE(s.kind(2, 5), CellKind::Error);
        QCOMPARE(s.kind(3, 1), CellKind::Number);
        QCOMPARE(s.valueText(3, 1), QString("2"));  // no ".0"
        QCOMPARE(s.valueText(3, 3), QString("3.14159"));
        QCOMPARE(s.kind(4, 1), CellKind::DateTime);
        QCOMPARE(s.value(4, 1).toDateTime(), QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
        QCOMPARE(s.valueText(4, 2), QString("2024-03-05"));
        QCOMPARE(s.valueText(4, 3), QString("2024-03-05 12:00:00"));
        QCOMPARE(s.kind(4, 5), CellKind::Number);
        QCOMPARE(s.valueText(4, 5), QString("139123456789"));
        const sheet::Cell cell = s.cell(3, 4);
        QCOMPARE(cell.kind, CellKind::Number);
        QCOMPARE(cell.text, QString("1,234,568"));
        QCOMPARE(cell.valueText, QString("1234567.89"));
        QVERIFY(s.cell(9, 9).isEmpty());
        QVERIFY(s.text(0, 1).isEmpty());
    }

    void bothXmlReadersAgree() {
        // The fast reader and QXmlStreamReader give the same cells, and
        // constructs outside the fast reader's subset fall back unnoticed.
        const QString rows = "<row r=\"1\">" + c("A1", "t=\"inlineStr\"", "<is><t><![CDATA[<cdata & text>]]></t></is>") +
                             c("B1", "t=\"s\"", "<v>0</v>") + "<!-- a comment -->" + c("C1", "", "<v>1.5</v>") + "</row>";
        testfiles::Xlsx plain;
        plain.sheets << testfiles::sheetXml(rows);
        plain.shared = testfiles::sharedXml({"shared & escaped \"quoted\""});
        testfiles::Xlsx doctype = plain;
        doctype.sheets[0] = testfiles::sheetXml(rows).replace("<worksheet", "<!DOCTYPE worksheet>\n<worksheet");
        testfiles::Xlsx latin1 = plain;
        latin1.extra << testfiles::Part{"xl/worksheets/sheet1.xml",
                                        testfiles::sheetXml(rows + "<row r=\"2\">" + c("A2", "t=\"inlineStr\"", "<is><t>Müller</t></is>") + "</row>")
                                            .replace("encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\"")
                                            .toLatin1()};
        for (const testfiles::Xlsx& x : {plain, doctype, latin1}) {
            sheet::OpenOptions general;
            general.generalXmlOnly = true;
            auto fast = open(x.bytes());
            auto slow = open(x.bytes(), QString(), nullptr, general);
            QVERIFY(fast && slow);
            QCOMPARE(texts(*fast), texts(*slow));
            QCOMPARE(fast->activeSheet().text(1, 1), QString("<cdata & text>"));
            QCOMPARE(fast->activeSheet().text(1, 2), QString("shared & escaped \"quoted\""));
        }
        QCOMPARE(open(latin1.bytes())->activeSheet().text(2, 1), QString("Müller"));
    }

    void usedRangeAndPositions() {
        testfiles::Xlsx x;
        // Cells without references follow each other; a dimension claim means nothing.
        x.sheets << testfiles::sheetXml("<row r=\"3\"><c><v>1</v></c><c><v>2</v></c></row>"
                                        "<row><c r=\"E4\"><v>3</v></c></row>"
                                        "<row r=\"9\"><c r=\"B9\" t=\"inlineStr\"><is><t></t></is></c></row>")
                        .replace("<sheetData>", "<dimension ref=\"A1:XFD1048576\"/><sheetData>");
        auto wb = open(x.bytes());
        QVERIFY(wb);
        const sheet::Worksheet& s = wb->activeSheet();
        QCOMPARE(s.rowCount(), 4);  // an empty text is no value: row 9 is not used
        QCOMPARE(s.columnCount(), 5);
        QCOMPARE(s.text(3, 1), QString("1"));
        QCOMPARE(s.text(3, 2), QString("2"));
        QCOMPARE(s.text(4, 5), QString("3"));
        QVERIFY(s.rowIsEmpty(1));
        QVERIFY(!s.rowIsEmpty(3));
        QVERIFY(s.rowIsEmpty(5));
        QCOMPARE(s.storedCells(), 3);
    }

    void activeSheet() {
        testfiles::Xlsx x;
        x.sheets << testfiles::sheetXml(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>first</t></is></c></row>)")
                 << testfiles::sheetXml(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>second</t></is></c></row>)");
        x.sheetNames << "One" << "Two";
        x.activeTab = 1;
        auto wb = open(x.bytes());
        QVERIFY(wb);
        QCOMPARE(wb->sheetNames(), QStringList({"One", "Two"}));
        QCOMPARE(wb->activeIndex(), 1);
        QCOMPARE(wb->activeSheet().name(), QString("Two"));
        QCOMPARE(wb->activeSheet().text(1, 1), QString("second"));
        x.activeTab = 7;  // out of range: the first sheet
        QCOMPARE(open(x.bytes())->activeSheet().text(1, 1), QString("first"));

        const QString t1 = "<table:table table:name=\"A\"><table:table-row><table:table-cell office:value-type=\"string\"><text:p>in A</text:p></table:table-cell></table:table-row></table:table>";
        const QString t2 = "<table:table table:name=\"B\"><table:table-row><table:table-cell office:value-type=\"string\"><text:p>in B</text:p></table:table-cell></table:table-row></table:table>";
        auto o = open(testfiles::ods(t1 + t2, "B"));
        QVERIFY(o);
        QCOMPARE(o->activeSheet().text(1, 1), QString("in B"));
        QCOMPARE(o->activeIndex(), 1);
        QCOMPARE(open(testfiles::ods(t1 + t2, "Missing"))->activeSheet().text(1, 1), QString("in A"));

        testfiles::Xls xls;
        xls.sheets << testfiles::XlsSheet{"One", {{0, 0, QString("first")}}} << testfiles::XlsSheet{"Two", {{0, 0, QString("second")}}};
        xls.activeTab = 1;
        auto b = open(xls.bytes(), "active.xls");
        QVERIFY(b);
        QCOMPARE(b->format(), sheet::Format::Xls);
        QCOMPARE(b->activeSheet().text(1, 1), QString("second"));
    }

    void xlsxDateSystems() {
        // The same days written in either system read the same.
        for (bool d1904 : {false, true}) {
            testfiles::Xlsx x;
            x.date1904 = d1904;
            x.styles = testfiles::stylesXml({{164, "yyyy-mm-dd hh:mm"}}, {14, 164});
            const int day = d1904 ? 45356 - 1462 : 45356;
            x.sheets << testfiles::sheetXml(QStringLiteral("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>%1</v></c><c r=\"B1\" s=\"2\"><v>%1.75</v></c></row>").arg(day));
            auto wb = open(x.bytes());
            QVERIFY(wb);
            QCOMPARE(wb->date1904(), d1904);
            QCOMPARE(wb->activeSheet().text(1, 1), QString("2024-03-05"));
            QCOMPARE(wb->activeSheet().valueText(1, 1), QString("2024-03-05"));
            QCOMPARE(wb->activeSheet().text(1, 2), QString("2024-03-05 18:00"));
            QCOMPARE(wb->activeSheet().valueText(1, 2), QString("2024-03-05 18:00:00"));
        }
        // ISO dates in "d" cells, as some writers keep them.
        testfiles::Xlsx iso;
        iso.sheets << testfiles::sheetXml(R"(<row r="1"><c r="A1" t="d"><v>2024-03-05T10:30:00</v></c><c r="B1" t="d"><v>2024-03-05</v></c></row>)");
        auto wb = open(iso.bytes());
        QVERIFY(wb);
        QCOMPARE(wb->activeSheet().kind(1, 1), CellKind::DateTime);
        QCOMPARE(wb->activeSheet().valueText(1, 1), QString("2024-03-05 10:30:00"));
        QCOMPARE(wb->activeSheet().text(1, 2), QString("2024-03-05"));
    }

    void odsCells() {
        const QString table = R"(<table:table table:name="Data">
            <table:table-column table:number-columns-repeated="3"/>
            <table:table-row>
              <table:table-cell office:value-type="string"><text:p>Two<text:s text:c="2"/>spaces</text:p><text:p>second line</text:p></table:table-cell>
              <table:table-cell office:value-type="float" office:value="1234.5"><text:p>1,234.50</text:p></table:table-cell>
              <table:table-cell office:value-type="percentage" office:value="0.25"><text:p>25%</text:p></table:table-cell>
            </table:table-row>
            <table:table-row table:number-rows-repeated="2">
              <table:table-cell table:number-columns-repeated="2" office:value-type="float" office:value="7"><text:p>7</text:p></table:table-cell>
              <table:table-cell office:value-type="boolean" office:boolean-value="true"><text:p>TRUE</text:p></table:table-cell>
            </table:table-row>
            <table:table-row table:number-rows-repeated="1000000"><table:table-cell table:number-columns-repeated="1024"/></table:table-row>
            <table:table-row>
              <table:table-cell office:value-type="date" office:date-value="2024-03-05"><text:p>05/03/24</text:p></table:table-cell>
              <table:table-cell office:value-type="time" office:time-value="PT13H30M00S"><text:p>13:30</text:p></table:table-cell>
              <table:table-cell office:value-type="string"><office:annotation><text:p>a note</text:p></office:annotation><text:p>noted</text:p></table:table-cell>
              <table:covered-table-cell/>
              <table:table-cell office:value-type="float" office:value="3" calcext:value-type="error"><text:p>#DIV/0!</text:p></table:table-cell>
            </table:table-row>
          </table:table>)";
        auto wb = open(testfiles::ods(table));
        QVERIFY(wb);
        QCOMPARE(wb->format(), sheet::Format::Ods);
        const sheet::Worksheet& s = wb->activeSheet();
        // Repeated empty rows move the position without storing anything.
        QCOMPARE(s.rowCount(), 1000004);
        QCOMPARE(s.columnCount(), 5);
        QCOMPARE(s.storedCells(), 13);
        QCOMPARE(s.text(1, 1), QString("Two  spaces\nsecond line"));
        QCOMPARE(s.text(1, 2), QString("1,234.50"));
        QCOMPARE(s.value(1, 2), QVariant(1234.5));
        QCOMPARE(s.valueText(1, 2), QString("1234.5"));
        QCOMPARE(s.text(2, 1), QString("7"));
        QCOMPARE(s.text(3, 2), QString("7"));
        QCOMPARE(s.kind(3, 3), CellKind::Boolean);
        QCOMPARE(s.valueText(3, 3), QString("True"));
        QCOMPARE(s.kind(1000004, 1), CellKind::DateTime);
        QCOMPARE(s.text(1000004, 1), QString("05/03/24"));  // as the file shows it
        QCOMPARE(s.valueText(1000004, 1), QString("2024-03-05"));
        QCOMPARE(s.valueText(1000004, 2), QString("13:30:00"));
        QCOMPARE(s.text(1000004, 3), QString("noted"));
        QCOMPARE(s.kind(1000004, 5), CellKind::Error);
        QVERIFY(s.rowIsEmpty(500000));

        // Runs of spaces count whole, up to the cell bound (then the cell is refused).
        const QString spaces = R"(<table:table table:name="S"><table:table-row><table:table-cell office:value-type="string">)"
                               R"(<text:p>a<text:s text:c="5000"/>b</text:p></table:table-cell></table:table-row></table:table>)";
        auto sp = open(testfiles::ods(spaces));
        QVERIFY(sp);
        QCOMPARE(sp->activeSheet().text(1, 1), "a" + QString(5000, ' ') + "b");
        sheet::OpenOptions o;
        o.limits.maxCellChars = 4000;
        QString error;
        QVERIFY(!open(testfiles::ods(spaces), QString(), &error, o));
        QVERIFY2(error.contains("4,000 characters"), qPrintable(error));
    }

    void xlsCells() {
        testfiles::Xls x;
        x.sheets << testfiles::XlsSheet{"客户", {{0, 0, QString("公司名称")}, {0, 1, QString("Amount")}, {1, 0, QString("Müller GmbH")},
                                                 {1, 1, 1234.5}, {2, 0, QString("007")}, {2, 1, 42.0},
                                                 {3, 0, QDate(2024, 3, 5)}, {3, 1, QDateTime(QDate(2024, 3, 5), QTime(18, 0))}}};
        // The workbook stream read where it lies in one piece, and gathered
        // from sectors scattered over the file: the same cells.
        testfiles::Xls longer = x;
        for (int i = 0; i < 200; ++i) longer.sheets[0].cells << testfiles::XlsCell{10 + i, 0, QString("filler %1").arg(i)};
        auto inOnePiece = open(longer.bytes(), "onepiece.xls");
        auto scattered = open(testfiles::compoundFile("Workbook", longer.stream(), true), "scattered.xls");
        QVERIFY(inOnePiece && scattered);
        QCOMPARE(texts(*scattered), texts(*inOnePiece));
        QCOMPARE(inOnePiece->activeSheet().text(210, 1), QString("filler 199"));

        auto wb = open(x.bytes(), "cells.xls");
        QVERIFY(wb);
        const sheet::Worksheet& s = wb->activeSheet();
        QCOMPARE(s.name(), QString("客户"));
        // Dates shown through their cell styles' formats (built-in 14 and 22).
        QCOMPARE(texts(*wb), QStringList({"公司名称|Amount", "Müller GmbH|1234.5", "007|42", "2024-03-05|2024-03-05 18:00"}));
        QCOMPARE(s.kind(3, 1), CellKind::Text);
        QCOMPARE(s.kind(4, 1), CellKind::DateTime);
        QCOMPARE(s.valueText(4, 2), QString("2024-03-05 18:00:00"));
        // A workbook counting from 1904 gives the same days.
        x.date1904 = true;
        auto w1904 = open(x.bytes(), "cells1904.xls");
        QVERIFY(w1904);
        QCOMPARE(w1904->activeSheet().valueText(4, 1), QString("2024-03-05"));
    }

    void xlsRefusals() {
        testfiles::Xls locked;
        locked.sheets << testfiles::XlsSheet{"S", {{0, 0, QString("x")}}};
        locked.password = true;
        QString error;
        QVERIFY(!open(locked.bytes(), "locked.xls", &error));
        QVERIFY2(error.contains("password"), qPrintable(error));

        // A few hundred bytes claiming a whole sheet's worth of cells: the
        // claim sets nothing aside, the cells there are count.
        testfiles::Xls huge;
        huge.sheets << testfiles::XlsSheet{"Big", {{0, 0, QString("x")}}, 65536, 256};
        auto big = open(huge.bytes(), "huge.xls", &error);
        QVERIFY2(big, qPrintable(error));
        QCOMPARE(big->activeSheet().rowCount(), 1);
        QCOMPARE(big->activeSheet().columnCount(), 1);

        // A compound file without a workbook, and a protected .xlsx.
        QVERIFY(!open(testfiles::compoundFile("WordDocument", QByteArray(5000, 'x')), "doc.xls", &error));
        QVERIFY2(error.contains("Word document"), qPrintable(error));
        QVERIFY(!open(testfiles::compoundFile("EncryptedPackage", QByteArray(5000, 'x')), "locked.xlsx", &error));
        QVERIFY2(error.contains("password"), qPrintable(error));
    }

    void csvShapes() {
        QCOMPARE(sheet::detectSeparator(u"a,b,c\n1,2,3\n"), QChar(','));
        QCOMPARE(sheet::detectSeparator(u"a;b;c\n1;2,5;3\n"), QChar(';'));
        QCOMPARE(sheet::detectSeparator(u"a\tb\n1\t2\n"), QChar('\t'));
        QCOMPARE(sheet::detectSeparator(u"\"x,y\";b\n\"1,5\";2\n"), QChar(';'));
        bool sepLine = false;
        QCOMPARE(sheet::detectSeparator(u"sep=|\na|b\n", &sepLine), QChar('|'));
        QVERIFY(sepLine);

        const QByteArray csv = "Name,Note,Zip\r\n"
                               "\"Smith, John\",\"said \"\"hi\"\"\",007\r\n"
                               "\"Two\r\nlines\",,\"\"\n"
                               "\n"
                               "last,row";
        auto wb = open(csv, "shapes.csv");
        QVERIFY(wb);
        QCOMPARE(wb->format(), sheet::Format::Csv);
        QCOMPARE(wb->activeSheet().name(), QString("shapes"));
        QCOMPARE(texts(*wb), QStringList({"Name|Note|Zip", "Smith, John|said \"hi\"|007", "Two\nlines||", "||", "last|row|"}));
        QCOMPARE(wb->activeSheet().kind(2, 3), CellKind::Text);  // "007" stays text

        auto semi = open("sep=;\na;b\n1,5;2\n", "semi.txt");
        QVERIFY(semi);
        QCOMPARE(texts(*semi), QStringList({"a|b", "1,5|2"}));
    }

    void csvEncodings_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        const QString chinese = QStringLiteral("公司名称,城市\n深圳市腾飞贸易有限公司,深圳\n");
        const QString western = QStringLiteral("Name,City\nMüller Söhne,Zürich\nCafé René,Besançon\n");
        auto enc = [](const char* name, const QString& s) {
            QStringEncoder e(name);
            return QByteArray(e(s));
        };
        QTest::newRow("utf-8") << chinese.toUtf8() << "UTF-8";
        QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF") + chinese.toUtf8() << "UTF-8";
        QTest::newRow("utf-16le bom") << QByteArray("\xFF\xFE") + enc("UTF-16LE", chinese) << "UTF-16LE";
        QTest::newRow("utf-16be bom") << QByteArray("\xFE\xFF") + enc("UTF-16BE", western) << "UTF-16BE";
        QTest::newRow("utf-16le bare") << enc("UTF-16LE", western) << "UTF-16LE";
        QTest::newRow("gb18030") << enc("GB18030", chinese) << "GB18030";
        QTest::newRow("windows-1252") << enc("Windows-1252", western) << "Windows-1252";
        QTest::newRow("windows-1252 chinese lookalike") << enc("Windows-1252", QStringLiteral("Dürüm,Çiğ\nÖl,Ää\n")) << "Windows-1252";
    }
    void csvEncodings() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        QCOMPARE(sheet::detectTextEncoding(bytes).name, encoding);
        auto wb = open(bytes, QStringLiteral("enc%1.csv").arg(++files));
        QVERIFY(wb);
        const sheet::Worksheet& s = wb->activeSheet();
        QStringDecoder d(encoding.toLatin1().constData());
        QString expected = d(bytes);
        if (expected.startsWith(QChar(0xFEFF))) expected.remove(0, 1);
        const QStringList lines = expected.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(s.rowCount(), lines.size());
        for (int r = 0; r < lines.size(); ++r) {
            const QStringList fields = lines[r].split(QLatin1Char(','));
            for (int c = 0; c < fields.size(); ++c) QCOMPARE(s.text(r + 1, c + 1), fields[c]);
        }
    }

    // Bytes no encoding can read as the file's text are refused, not read as
    // replacement marks or as a legacy encoding that garbles the rest.
    void csvBytesOutsideTheEncodingRefused() {
        const QByteArray chinese = QStringLiteral("公司名称,城市\n深圳市腾飞贸易有限公司,深圳\n").toUtf8();
        struct Case {
            const char* what;
            QByteArray bytes;
            int line;
        } cases[] = {{"stray byte", chinese + "Alpha,\xFF\n", 3},
                     {"byte order mark", "\xEF\xBB\xBF" + chinese + "Alpha,caf\xE9\n", 3},
                     {"cut sequence", "a,b\n" + chinese.left(chinese.size() - 5) + "\n", 3},
                     {"first line", "caf\xE9," + chinese, 1}};
        for (const Case& c : cases) {
            QString error;
            QVERIFY2(!open(c.bytes, QStringLiteral("bad%1.csv").arg(++files), &error), c.what);
            QVERIFY2(error.contains(QStringLiteral("line %1 holds bytes that are not UTF-8").arg(c.line)),
                     qPrintable(QStringLiteral("%1: %2").arg(c.what, error)));
        }
        // Legacy text stays legacy: Chinese in GB18030 forms a UTF-8 sequence
        // now and then by chance; here every common character, in the order
        // of its codes, which holds each such chance.
        QByteArray gb = QStringEncoder("GB18030")(QStringLiteral("名称\n"));
        for (int lead = 0xB0; lead <= 0xF7; ++lead)
            for (int trail = 0xA1; trail <= 0xFE; ++trail)
                if (lead != 0xD7 || trail < 0xFA) gb += char(lead), gb += char(trail);
        gb += '\n';
        const QString all = QStringDecoder("GB18030")(gb.mid(5, gb.size() - 6));
        QCOMPARE(all.size(), 6763);
        QCOMPARE(sheet::detectTextEncoding(gb).name, QString("GB18030"));
        QCOMPARE(sheet::detectTextEncoding(gb).badByte, qsizetype(-1));
        auto wb = open(gb, QStringLiteral("gb%1.csv").arg(++files));
        QVERIFY(wb);
        QCOMPARE(wb->activeSheet().text(2, 1), all);
        // A UTF-16 file cut in the middle of a character.
        QString error;
        QVERIFY(!open(QByteArray("\xFF\xFE") + QByteArray(QStringEncoder("UTF-16LE")(QStringLiteral("a,b\n深"))).left(9),
                      QStringLiteral("cut%1.csv").arg(++files), &error));
        QVERIFY2(error.contains("not valid UTF-16LE"), qPrintable(error));
    }

    void sameTextsInEveryFormat() {
        // One small table in four formats: the import sees the same texts.
        const QStringList expected = {"公司名称|Amount|Code|Day", "Müller & Co|1234.5|007|2024-03-05", "Beta|42|010|2024-12-31"};
        testfiles::Xlsx x;
        x.shared = testfiles::sharedXml({"公司名称", "Amount", "Code", "Day", "Müller & Co", "007", "Beta", "010"});
        x.styles = testfiles::stylesXml({}, {14});
        x.sheets << testfiles::sheetXml(R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="s"><v>2</v></c><c r="D1" t="s"><v>3</v></c></row>
            <row r="2"><c r="A2" t="s"><v>4</v></c><c r="B2"><v>1234.5</v></c><c r="C2" t="s"><v>5</v></c><c r="D2" s="1"><v>45356</v></c></row>
            <row r="3"><c r="A3" t="s"><v>6</v></c><c r="B3"><v>42</v></c><c r="C3" t="s"><v>7</v></c><c r="D3" s="1"><v>45657</v></c></row>)");
        testfiles::Xls xls;
        xls.sheets << testfiles::XlsSheet{"S", {{0, 0, QString("公司名称")}, {0, 1, QString("Amount")}, {0, 2, QString("Code")}, {0, 3, QString("Day")},
                                               {1, 0, QString("Müller & Co")}, {1, 1, 1234.5}, {1, 2, QString("007")}, {1, 3, QDate(2024, 3, 5)},
                                               {2, 0, QString("Beta")}, {2, 1, 42.0}, {2, 2, QString("010")}, {2, 3, QDate(2024, 12, 31)}}};
        const QByteArray ods = testfiles::ods(R"(<table:table table:name="S">
            <table:table-row><table:table-cell office:value-type="string"><text:p>公司名称</text:p></table:table-cell><table:table-cell office:value-type="string"><text:p>Amount</text:p></table:table-cell><table:table-cell office:value-type="string"><text:p>Code</text:p></table:table-cell><table:table-cell office:value-type="string"><text:p>Day</text:p></table:table-cell></table:table-row>
            <table:table-row><table:table-cell office:value-type="string"><text:p>Müller &amp; Co</text:p></table:table-cell><table:table-cell office:value-type="float" office:value="1234.5"><text:p>1234.5</text:p></table:table-cell><table:table-cell office:value-type="string"><text:p>007</text:p></table:table-cell><table:table-cell office:value-type="date" office:date-value="2024-03-05"><text:p>2024-03-05</text:p></table:table-cell></table:table-row>
            <table:table-row><table:table-cell office:value-type="string"><text:p>Beta</text:p></table:table-cell><table:table-cell office:value-type="float" office:value="42"><text:p>42</text:p></table:table-cell><table:table-cell office:value-type="string"><text:p>010</text:p></table:table-cell><table:table-cell office:value-type="date" office:date-value="2024-12-31"><text:p>2024-12-31</text:p></table:table-cell></table:table-row>
            </table:table>)");
        const QByteArray csv = QStringLiteral("公司名称,Amount,Code,Day\n\"Müller & Co\",1234.5,007,2024-03-05\nBeta,42,010,2024-12-31\n").toUtf8();
        for (const auto& [bytes, name] : {std::pair{x.bytes(), QString("same.xlsx")}, std::pair{xls.bytes(), QString("same.xls")},
                                          std::pair{ods, QString("same.ods")}, std::pair{csv, QString("same.csv")}}) {
            auto wb = open(bytes, name);
            QVERIFY2(wb, qPrintable(name));
            QCOMPARE(texts(*wb), expected);
        }
    }

    void bigSharedStringTables() {
        // Shared strings and sheet of a megabyte and more are read at the
        // same time; the cells come out the same, and what is wrong in
        // either part is still said.
        QStringList texts;
        QString rows;
        for (int i = 0; i < 40000; ++i) texts << QStringLiteral("shared text number %1 with some more words").arg(i);
        texts[7] = QString();  // an empty string: its cells stay empty
        for (int r = 1; r <= 20000; ++r)
            rows += QStringLiteral("<row r=\"%1\"><c r=\"A%1\" t=\"s\"><v>%2</v></c><c r=\"B%1\"><v>%1</v></c>"
                                   "<c r=\"C%1\" t=\"inlineStr\"><is><t>inline %1</t></is></c><c r=\"D%1\" t=\"s\"><v>%3</v></c></row>")
                        .arg(r)
                        .arg((r * 7) % 40000)
                        .arg(r % 2 ? 7 : 39999);
        testfiles::Xlsx x;
        x.shared = testfiles::sharedXml(texts);
        x.sheets << testfiles::sheetXml(rows);
        QVERIFY(x.shared.size() > (1 << 20) && x.sheets[0].size() > (1 << 20));
        QString error;
        auto wb = open(x.bytes(), "big.xlsx", &error);
        QVERIFY2(wb, qPrintable(error));
        const sheet::Worksheet& sh = wb->activeSheet();
        QCOMPARE(sh.rowCount(), 20000);
        QCOMPARE(sh.text(1, 1), texts[7 % 40000]);
        QCOMPARE(sh.text(12345, 1), texts[(12345 * 7) % 40000]);
        QCOMPARE(sh.text(12345, 2), QString("12345"));
        QCOMPARE(sh.text(12345, 3), QString("inline 12345"));
        QCOMPARE(sh.kind(1, 4), CellKind::Empty);  // shared string 7 is empty
        QCOMPARE(sh.text(2, 4), texts[39999]);
        QCOMPARE(sh.storedCells(), 20000 * 3 + 10000 - 1);  // A1 names the empty string
        // The same from the general XML reader.
        sheet::OpenOptions general;
        general.generalXmlOnly = true;
        auto slow = open(x.bytes(), "big-general.xlsx", &error, general);
        QVERIFY(slow);
        QCOMPARE(slow->activeSheet().text(12345, 1), sh.text(12345, 1));
        QCOMPARE(slow->activeSheet().storedCells(), sh.storedCells());

        // A cell naming a string past the table's end.
        testfiles::Xlsx bad = x;
        bad.sheets[0] = testfiles::sheetXml(rows + "<row r=\"20001\"><c r=\"A20001\" t=\"s\"><v>40000</v></c></row>");
        QVERIFY(!open(bad.bytes(), "bad-index.xlsx", &error));
        QVERIFY2(error.contains("Cell A20001 refers to shared string 40000, but the workbook has only 40000."), qPrintable(error));
        // A table that breaks off.
        testfiles::Xlsx cut = x;
        cut.shared = x.shared.left(x.shared.size() - 100);
        QVERIFY(!open(cut.bytes(), "cut-strings.xlsx", &error));
        QVERIFY2(error.contains("sharedStrings.xml"), qPrintable(error));
    }

    void bigSheetReadByTwoThreads() {
        // A sheet holding its own texts is read by two threads when it is
        // big; the cells come out exactly as one thread reads them, and
        // whatever the second thread cannot follow is read by the first.
        auto rowsXml = [](int n, const QString& before, bool numbered) {
            QString rows;
            for (int r = 1; r <= n; ++r) {
                const QString at = numbered ? QStringLiteral(" r=\"%1\"").arg(r) : QString();
                rows += before + QStringLiteral("<row%1>").arg(at);
                auto ref = [&](const char* col) { return numbered ? QStringLiteral(" r=\"%1%2\"").arg(col).arg(r) : QString(); };
                rows += QStringLiteral("<c%1 t=\"inlineStr\"><is><t>Company %2 &amp; Sons &lt;公司&gt;</t></is></c>").arg(ref("A")).arg(r);
                rows += QStringLiteral("<c%1 s=\"1\"><v>%2</v></c>").arg(ref("B")).arg(45000 + r % 400);
                rows += QStringLiteral("<c%1 s=\"2\"><v>0.%2</v></c>").arg(ref("C")).arg(r % 97);
                if (r % 3) rows += QStringLiteral("<c%1 t=\"b\"><v>%2</v></c>").arg(ref("D")).arg(r % 2);
                rows += QStringLiteral("<c%1><f>A%2&amp;B%2</f></c>").arg(ref("E")).arg(r);
                rows += QStringLiteral("<c%1 t=\"e\"><v>#N/A</v></c>").arg(ref("F"));
                rows += QStringLiteral("<c%1 t=\"inlineStr\"><is><r><t>rich </t></r><r><t xml:space=\"preserve\">%2 </t></r></is></c>").arg(ref("G")).arg(r);
                rows += QStringLiteral("</row>");
            }
            return rows;
        };
        testfiles::Xlsx x;
        x.styles = testfiles::stylesXml({{164, "yyyy-mm-dd"}}, {164, 10});
        x.sheets << testfiles::sheetXml(rowsXml(3000, QString(), true));
        sheet::OpenOptions two, one;
        two.twoThreadsFrom = 1;
        one.twoThreadsFrom = std::numeric_limits<qint64>::max();
        auto sameAsOneThread = [&](const QByteArray& bytes, const QString& name, int readers,
                                   sheet::OpenOptions o2 = {}, sheet::OpenOptions o1 = {}) {
            o2.twoThreadsFrom = two.twoThreadsFrom;
            o1.twoThreadsFrom = one.twoThreadsFrom;
            QString e1, e2;
            auto a = open(bytes, name + "-1.xlsx", &e1, o1);
            auto b = open(bytes, name + "-2.xlsx", &e2, o2);
            QCOMPARE(bool(b), bool(a));
            QCOMPARE(e2, e1);
            if (!a) return;
            if (readers > 0) QCOMPARE(b->sheetReaders(), readers);
            QCOMPARE(b->activeSheet().storedCells(), a->activeSheet().storedCells());
            QCOMPARE(texts(*b), texts(*a));
            const sheet::Worksheet& sa = a->activeSheet();
            const sheet::Worksheet& sb = b->activeSheet();
            for (int r = 1; r <= sa.rowCount(); ++r)
                for (int c = 1; c <= sa.columnCount(); ++c) {
                    QCOMPARE(sb.kind(r, c), sa.kind(r, c));
                    QCOMPARE(sb.value(r, c), sa.value(r, c));
                }
        };
        {
            auto wb = open(x.bytes(), "halves.xlsx", nullptr, two);
            QVERIFY(wb);
            const sheet::Worksheet& sh = wb->activeSheet();
            QCOMPARE(sh.rowCount(), 3000);
            QCOMPARE(sh.text(2999, 1), QString("Company 2999 & Sons <公司>"));
            QCOMPARE(sh.kind(2999, 2), CellKind::DateTime);
            QCOMPARE(sh.kind(2999, 5), CellKind::Uncalculated);
            QCOMPARE(sh.text(2999, 7), QString("rich 2999 "));
        }
        sameAsOneThread(x.bytes(), "halves", 2);
        // The same file written with rows shuffled: still one sheet in order.
        {
            testfiles::Xlsx shuffled = x;
            const QString all = rowsXml(3000, QString(), true);
            const qsizetype mid = all.indexOf("<row r=\"2000\">");
            shuffled.sheets[0] = testfiles::sheetXml(all.mid(mid) + all.left(mid));
            sameAsOneThread(shuffled.bytes(), "shuffled", 2);
        }
        // Rows that give no number: the second thread cannot know them.
        {
            testfiles::Xlsx unnumbered = x;
            unnumbered.sheets[0] = testfiles::sheetXml(rowsXml(3000, QString(), false));
            sameAsOneThread(unnumbered.bytes(), "unnumbered", 1);
        }
        // Comments that look like rows, where the second thread begins
        // (taken for a row by the second thread, unless it happens to begin
        // between a comment and its row).
        {
            testfiles::Xlsx comments = x;
            comments.sheets[0] = testfiles::sheetXml(rowsXml(3000, "<!-- <row r=\"1\"> -->", true));
            sameAsOneThread(comments.bytes(), "comments", -1);
        }
        // A sheet that breaks off, and one with a bad cell late in it: the
        // same refusal either way.
        {
            testfiles::Xlsx cut = x;
            cut.sheets[0] = x.sheets[0].left(x.sheets[0].size() - 300);
            sameAsOneThread(cut.bytes(), "cut", 1);
            testfiles::Xlsx badRow = x;
            badRow.sheets[0] = testfiles::sheetXml(rowsXml(3000, QString(), true) + "<row r=\"99999999\"/>");
            sameAsOneThread(badRow.bytes(), "badrow", 1);
        }
        // A limit passed only by both halves together is met as one thread meets it.
        {
            sheet::OpenOptions few;
            few.limits.maxCells = 3000 * 6;
            sameAsOneThread(x.bytes(), "limit", 1, few, few);
            few.limits.maxCells = 3000 * 7;
            sameAsOneThread(x.bytes(), "underlimit", 2, few, few);
        }
        // Cancelled while two threads read: a cancel, not a damaged file.
        {
            sheet::OpenOptions cancel = two;
            int calls = 0;
            cancel.progress = [&calls](qint64, qint64) { return ++calls < 3; };
            QString error;
            sheet::Failure failure = sheet::Failure::None;
            const QString path = dir.filePath("cancel.xlsx");
            QVERIFY(testfiles::write(path, x.bytes()));
            QVERIFY(!Workbook::open(path, &error, cancel, &failure));
            QCOMPARE(failure, sheet::Failure::Cancelled);
        }
    }

    void fastReaderKeepsBlanksAndRefusesBadBytes() {
        // Blanks that begin a text are kept when the text runs past one of
        // the pieces the reader takes at a time (256 KiB).
        auto firstText = [](const QByteArray& xml, QString* error) {
            QBuffer dev;
            dev.setData(xml);
            dev.open(QIODevice::ReadOnly);
            sheet::detail::FastXml x(&dev);
            QString text;
            for (;;) {
                const sheet::detail::XmlTok t = x.next();
                if (t == sheet::detail::XmlTok::Start && x.is("t")) {
                    if (!x.readText(&text)) break;
                    return text;
                }
                if (t == sheet::detail::XmlTok::Done || t == sheet::detail::XmlTok::Failed) break;
            }
            *error = x.errorString();
            return QString("(none)");
        };
        for (int k = 1; k <= 3; ++k)
            for (const QByteArray& value : {QByteArray("   lead"), QByteArray("\t\n x"), QByteArray("    ")})
                for (int before = 1; before <= 3; ++before) {
                    const QByteArray head = "<r><x>", tail = "</x><t xml:space=\"preserve\">";
                    const qsizetype fill = qsizetype(k) * 0x40000 - before - head.size() - tail.size();
                    const QByteArray xml = head + QByteArray(fill, 'f') + tail + value + "</t></r>";
                    QString error;
                    QCOMPARE(firstText(xml, &error), QString::fromUtf8(value));
                }
        QString error;
        const QByteArray manyBlanks(3 << 20, ' ');
        QCOMPARE(firstText("<r>" + manyBlanks + "<t>ok</t></r>", &error), QString("ok"));
        QCOMPARE(firstText("<r><t>" + manyBlanks + "x</t></r>", &error), QString("(none)"));
        QVERIFY2(error.contains("more than a megabyte of blanks"), qPrintable(error));

        // Bytes that are not UTF-8, and a tag broken by markup in it: refused,
        // where they were read as replacement characters and as a name.
        auto sheetWith = [&](const QByteArray& cell) {
            testfiles::Xlsx x;
            x.sheets << QString();
            x.extra << testfiles::Part("xl/worksheets/sheet1.xml",
                                       testfiles::sheetXml("%1").toUtf8().replace("%1", "<row r=\"1\">" + cell + "</row>"));
            return x.bytes();
        };
        QVERIFY(!open(sheetWith("<c r=\"A1\" t=\"inlineStr\"><is><t>\xff\xfe\xc3 Co</t></is></c>"), "bad-utf8.xlsx", &error));
        QVERIFY2(!error.isEmpty(), "refused in words");
        QVERIFY(!open(sheetWith("<c <<r=\"A1\" t=\"inlineStr\"><is><t>Co</t></is></c>"), "broken-tag.xlsx", &error));
        auto ok = open(sheetWith("<c r=\"A1\" t=\"inlineStr\"><is><t>\xef\xbf\xbd Co</t></is></c>"), "fffd.xlsx", &error);
        QVERIFY2(ok, qPrintable(error));
        QCOMPARE(ok->activeSheet().text(1, 1), QString::fromUtf8("\xef\xbf\xbd Co"));
    }

    void formatByContentNotName() {
        testfiles::Xlsx x;
        x.sheets << testfiles::sheetXml(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>zip inside</t></is></c></row>)");
        auto wb = open(x.bytes(), "really-an-xlsx.csv");
        QVERIFY(wb);
        QCOMPARE(wb->format(), sheet::Format::Xlsx);
        auto t = open("a,b\n", "text.xlsx");
        QVERIFY(t);
        QCOMPARE(t->format(), sheet::Format::Csv);
    }

    void refusalsSayWhy_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("words");
        QTest::newRow("pdf") << QByteArray("%PDF-1.4\n...") << int(sheet::Failure::NotAWorkbook) << "not a workbook";
        QByteArray binary(4000, '\0');
        for (int i = 0; i < binary.size(); ++i) binary[i] = char((i * 37) % 256);
        QTest::newRow("binary") << binary << int(sheet::Failure::NotAWorkbook) << "not a workbook";
        QTest::newRow("empty") << QByteArray() << int(sheet::Failure::NotAWorkbook) << "empty";
        QTest::newRow("old excel") << QByteArray("\x09\x04\x06\x00\x00\x00\x10\x00", 8) << int(sheet::Failure::Unsupported) << "Excel 4.0";
        QTest::newRow("html") << QByteArray("<html><body><table></table></body></html>") << int(sheet::Failure::Unsupported) << "web page";
        const QByteArray zipped = testfiles::zip({{"readme.txt", "hello"}});
        QTest::newRow("other zip") << zipped << int(sheet::Failure::NotAWorkbook) << "not a workbook";
        QTest::newRow("word") << testfiles::zip({{"word/document.xml", "<w/>"}}) << int(sheet::Failure::NotAWorkbook) << "Word";
        testfiles::Xlsx x;
        x.sheets << testfiles::sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
        const QByteArray good = x.bytes();
        QTest::newRow("cut short") << good.left(good.size() / 2) << int(sheet::Failure::Damaged) << "damaged";
        testfiles::Xlsx broken = x;
        broken.sheets[0] = testfiles::sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></row>");
        QTest::newRow("bad xml") << broken.bytes() << int(sheet::Failure::Damaged) << "sheet1.xml";
        testfiles::Xlsx badShared = x;
        badShared.sheets[0] = testfiles::sheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>5</v></c></row>");
        badShared.shared = testfiles::sharedXml({"only one"});
        QTest::newRow("shared string out of range") << badShared.bytes() << int(sheet::Failure::Damaged) << "shared string 5";
    }
    void refusalsSayWhy() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, failure);
        QFETCH(QString, words);
        QString error;
        sheet::Failure f = sheet::Failure::None;
        auto wb = Workbook::openData(bytes, &error, {}, &f);
        QVERIFY(!wb);
        QCOMPARE(int(f), failure);
        QVERIFY2(error.contains(words, Qt::CaseInsensitive), qPrintable(error));
        QString byPath;
        QVERIFY(!open(bytes, QString(), &byPath));
        QCOMPARE(byPath, error);
    }

    void missingFile() {
        QString error;
        sheet::Failure f = sheet::Failure::None;
        QVERIFY(!Workbook::open(dir.filePath("nothing-here.xlsx"), &error, {}, &f));
        QCOMPARE(f, sheet::Failure::Unreadable);
        QVERIFY(error.contains("does not exist"));
        QVERIFY(!Workbook::open(dir.path(), &error, {}, &f));
        QVERIFY(error.contains("folder"));
    }

    // Line ends as XML reads them: a CR LF or a lone CR written in the file is
    // one "\n" (in text, shared strings and CDATA); a CR written as "_x000D_"
    // or "&#13;" stays. Both XML readers agree.
    void lineEndsInXml_data() {
        QTest::addColumn<bool>("general");
        QTest::newRow("fast reader") << false;
        QTest::newRow("QXmlStreamReader") << true;
    }
    void lineEndsInXml() {
        QFETCH(bool, general);
        testfiles::Xlsx x;
        x.sheets << testfiles::sheetXml("<row r=\"1\">" + c("A1", "t=\"s\"", "<v>0</v>") +
                                        c("B1", "t=\"inlineStr\"", "<is><t>one\rtwo</t></is>") +
                                        c("C1", "t=\"inlineStr\"", "<is><t><![CDATA[a\r\nb]]></t></is>") + "</row>");
        x.shared = "<?xml version=\"1.0\"?><sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                   "<si><t>ABC_x000D_\r\nDEF&#13;</t></si></sst>";
        sheet::OpenOptions o;
        o.generalXmlOnly = general;
        QString error;
        auto wb = open(x.bytes(), QString(), &error, o);
        QVERIFY2(wb, qPrintable(error));
        QCOMPARE(wb->activeSheet().text(1, 1), QString("ABC\r\nDEF\r"));
        QCOMPARE(wb->activeSheet().text(1, 2), QString("one\ntwo"));
        QCOMPARE(wb->activeSheet().text(1, 3), QString("a\nb"));
    }
};

QTEST_GUILESS_MAIN(TestReaders)
#include "tst_readers.moc"
