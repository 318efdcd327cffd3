// Number formats: the text a cell shows for its value, and serial dates in
// both date systems.
#include <QTest>

#include "exchange/sheet/NumberFormat.h"

using sheet::NumberFormat;

class TestNumberFormat : public QObject {
    Q_OBJECT

    static QString f(const char* code, double v, bool date1904 = false) {
        return NumberFormat(QString::fromUtf8(code)).format(v, date1904);
    }

private slots:
    void general_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("integral") << 42.0 << "42";
        QTest::newRow("fraction") << 1234.5 << "1234.5";
        QTest::newRow("binary noise") << 0.1 + 0.2 << "0.3";
        QTest::newRow("negative") << -3.25 << "-3.25";
        QTest::newRow("third") << 1.0 / 3 << "0.333333333333333";
        // Long numbers come whole, as a wide column shows them: a phone number
        // kept as a number must not turn into 1.39123E+11.
        QTest::newRow("twelve digits") << 139123456789.0 << "139123456789";
        QTest::newRow("fifteen digits") << 999999999999999.0 << "999999999999999";
        QTest::newRow("huge") << 1.5e15 << "1.5E+15";
        QTest::newRow("tiny") << 1.5e-10 << "1.5E-10";
        QTest::newRow("small") << 0.000123 << "0.000123";
    }
    void general() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(NumberFormat::general(value), text);
        QCOMPARE(NumberFormat().format(value), text);
        QCOMPARE(f("General", value), text);
    }

    void numbers_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("0.00") << "0.00" << 3.14159 << "3.14";
        // Rounded as the decimal digits a spreadsheet keeps, not as the
        // binary fraction: 2.675 and 1.005 round up.
        QTest::newRow("0.00 half up") << "0.00" << 2.675 << "2.68";
        QTest::newRow("0.00 1.005") << "0.00" << 1.005 << "1.01";
        QTest::newRow("0.00 negative") << "0.00" << -1.5 << "-1.50";
        QTest::newRow("0") << "0" << 2.5 << "3";
        QTest::newRow("#,##0") << "#,##0" << 1234567.89 << "1,234,568";
        QTest::newRow("#,##0 zero") << "#,##0" << 0.0 << "0";
        QTest::newRow("#,##0 negative") << "#,##0" << -1234.0 << "-1,234";
        QTest::newRow("#,##0.00") << "#,##0.00" << 1234.5 << "1,234.50";
        QTest::newRow("#,### zero") << "#,###" << 0.0 << "";
        QTest::newRow("0%") << "0%" << 0.256 << "26%";
        QTest::newRow("0.00%") << "0.00%" << 0.25 << "25.00%";
        QTest::newRow("scientific") << "0.00E+00" << 12345.0 << "1.23E+04";
        QTest::newRow("scientific small") << "0.00E+00" << 0.000123 << "1.23E-04";
        QTest::newRow("engineering") << "##0.0E+0" << 12345.0 << "12.3E+3";
        QTest::newRow("fraction") << "# ?/?" << 1.5 << "1 1/2";
        // "?" keeps room with blanks, as LibreOffice shows these (see lo-kinds.ods).
        QTest::newRow("fraction proper") << "# ?/?" << 0.75 << " 3/4";
        QTest::newRow("fraction padded") << "# ?\?/?\?" << 1.25 << "1  1/4 ";
        QTest::newRow("fraction whole") << "# ?/?" << 3.0 << "3    ";
        QTest::newRow("fraction negative") << "# ?/?" << -0.5 << "- 1/2";
        QTest::newRow("fraction improper") << "?/?" << 1.25 << "5/4";
        QTest::newRow("fraction fixed") << "# ?/16" << 1.25 << "1 4/16";
        QTest::newRow("phone") << "000-0000" << 5551234.0 << "555-1234";
        QTest::newRow("leading zeros") << "00000" << 42.0 << "00042";
        QTest::newRow("thousands scale") << "#,##0," << 1234567.0 << "1,235";
        QTest::newRow("literal quoted") << "\"Tel: \"0" << 5.0 << "Tel: 5";
        QTest::newRow("literal after") << "0\" kg\"" << 5.0 << "5 kg";
        QTest::newRow("escaped") << "0\\%" << 5.0 << "5%";
        QTest::newRow("dollar") << "$#,##0.00" << 1234.5 << "$1,234.50";
        QTest::newRow("currency locale") << "[$€-407]#,##0.00" << 1234.5 << "€1,234.50";
        QTest::newRow("colour and parentheses") << "0.00;[Red](0.00)" << -5.0 << "(5.00)";
        QTest::newRow("zero section") << "0;-0;\"zero\"" << 0.0 << "zero";
        QTest::newRow("negative section") << "0;\"minus \"0" << -7.0 << "minus 7";
        QTest::newRow("spacing underscore") << "#,##0_);(#,##0)" << 12.0 << "12 ";
        QTest::newRow("accounting zero") << "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)" << 0.0 << " - ";
        QTest::newRow("condition") << "[<1000]0;#,##0" << 1234.0 << "1,234";
        QTest::newRow("text format shows numbers plainly") << "@" << 7.5 << "7.5";
        QTest::newRow("general with text") << "General\" pcs\"" << 3.0 << "3 pcs";
    }
    void numbers() {
        QFETCH(QString, code);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(NumberFormat(code).format(value), text);
    }

    void beyondSixtyFourBits_data() {
        // Whole parts past what a 64-bit integer holds: shown with the 15
        // digits a spreadsheet keeps, never through an integer that overflows.
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        const double two63 = 9223372036854775808.0;
        QTest::newRow("2^63 - 1024") << "# ?/?" << two63 - 1024 << "9223372036854770000    ";
        QTest::newRow("2^63") << "# ?/?" << two63 << "9223372036854780000    ";
        QTest::newRow("1e20") << "# ?/?" << 1e20 << "100000000000000000000    ";
        QTest::newRow("-1e20") << "# ?/?" << -1e20 << "-100000000000000000000    ";
        QTest::newRow("1e300 improper") << "?/?" << 1e300 << "1" + QString(300, '0') + "/1";
        QTest::newRow("1e20 fixed") << "?/16" << 1e20 << "1600000000000000000000/16";
        QTest::newRow("2^53 + half") << "# ?/?" << 4503599627370495.5 << "4503599627370495 1/2";
        QTest::newRow("huge denominator") << "# ?/99999999999999999999" << 0.5 << " 50000000000000000000/99999999999999999999";
        QTest::newRow("fixed") << "0.00" << 1e20 << "100000000000000000000.00";
        QTest::newRow("thousands") << "#,##0" << two63 << "9,223,372,036,854,780,000";
        QTest::newRow("general") << "General" << two63 << "9.22337E+18";
        QTest::newRow("largest double") << "# ?/?" << 1.7976931348623157e308 << "17976931348623200" + QString(292, '0') + "    ";
    }
    void beyondSixtyFourBits() {
        QFETCH(QString, code);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(NumberFormat(code).format(value), text);
    }

    void dates_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("serial");
        QTest::addColumn<QString>("text");
        // 45356 is 5 March 2024, a Tuesday, in the 1900 system.
        QTest::newRow("iso") << "yyyy-mm-dd" << 45356.0 << "2024-03-05";
        QTest::newRow("m/d/yy") << "m/d/yy" << 45356.0 << "3/5/24";
        QTest::newRow("d-mmm-yy") << "d-mmm-yy" << 45356.0 << "5-Mar-24";
        QTest::newRow("long") << "mmmm d, yyyy" << 45356.0 << "March 5, 2024";
        QTest::newRow("weekday") << "dddd" << 45356.0 << "Tuesday";
        QTest::newRow("chinese") << "yyyy\"年\"m\"月\"d\"日\"" << 45356.0 << "2024年3月5日";
        QTest::newRow("date and time") << "yyyy-mm-dd hh:mm:ss" << 45356.5 << "2024-03-05 12:00:00";
        QTest::newRow("am pm") << "h:mm AM/PM" << 0.5625 << "1:30 PM";
        QTest::newRow("am") << "h:mm AM/PM" << 0.25 << "6:00 AM";
        QTest::newRow("minutes not months") << "h:mm" << 0.5625 << "13:30";
        QTest::newRow("seconds rounded") << "hh:mm:ss" << (13.0 * 3600 + 30 * 60 + 59.6) / 86400 << "13:31:00";
        QTest::newRow("tenths") << "mm:ss.0" << (61.25) / 86400 << "01:01.3";
        QTest::newRow("elapsed hours") << "[h]:mm:ss" << 1.5 << "36:00:00";
        QTest::newRow("elapsed minutes") << "[mm]:ss" << 1.0 / 24 << "60:00";
        QTest::newRow("last day of february 1900") << "yyyy-mm-dd" << 59.0 << "1900-02-28";
        QTest::newRow("first of march 1900") << "yyyy-mm-dd" << 61.0 << "1900-03-01";
        QTest::newRow("first day") << "yyyy-mm-dd" << 1.0 << "1900-01-01";
        QTest::newRow("negative date") << "yyyy-mm-dd" << -1.0 << "########";
        QTest::newRow("built-in short date") << "" << 0.0 << "0";
    }
    void dates() {
        QFETCH(QString, code);
        QFETCH(double, serial);
        QFETCH(QString, text);
        if (code.isEmpty()) {
            // Built-in 14, the system short date, is yyyy-MM-dd here.
            QCOMPARE(NumberFormat(sheet::builtinFormatCode(14)).format(45356), QString("2024-03-05"));
            QCOMPARE(NumberFormat(sheet::builtinFormatCode(22)).format(45356.75), QString("2024-03-05 18:00"));
            return;
        }
        QCOMPARE(NumberFormat(code).format(serial), text);
    }

    void bothDateSystems() {
        // The same day is 1462 days earlier in the 1904 system.
        QCOMPARE(f("yyyy-mm-dd", 45356 - 1462, true), QString("2024-03-05"));
        QCOMPARE(f("yyyy-mm-dd", 0, true), QString("1904-01-01"));
        QCOMPARE(sheet::serialToDateTime(45356, false), QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
        QCOMPARE(sheet::serialToDateTime(45356 - 1462, true), QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
        QCOMPARE(sheet::serialToDateTime(60, false).date(), QDate(1900, 2, 28));
        for (const QDateTime& dt : {QDateTime(QDate(2024, 3, 5), QTime(13, 30)), QDateTime(QDate(1900, 1, 1), QTime(0, 0)),
                                    QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59))}) {
            for (bool d1904 : {false, true}) {
                if (d1904 && dt.date().year() < 1904) continue;
                QCOMPARE(sheet::serialToDateTime(sheet::dateTimeToSerial(dt, d1904), d1904), dt);
            }
        }
        bool ok = true;
        sheet::serialToDateTime(-1, false, &ok);
        QVERIFY(!ok);
        sheet::serialToDateTime(3e6, false, &ok);  // past the year 9999
        QVERIFY(!ok);
        // Almost a whole day rounds to the next day, not to 23:59:59.999.
        QCOMPARE(sheet::serialToDateTime(45356.99999999999, false).date(), QDate(2024, 3, 6));
    }

    void whatCountsAsADate() {
        QVERIFY(NumberFormat("yyyy-mm-dd").isDate());
        QVERIFY(NumberFormat("[$-409]m/d/yy h:mm AM/PM;@").isDate());
        QVERIFY(NumberFormat("[h]:mm").isDate());
        QVERIFY(NumberFormat("[h]:mm").isTimeOnly());
        QVERIFY(NumberFormat("h:mm:ss").isTimeOnly());
        QVERIFY(!NumberFormat("yyyy-mm-dd h:mm").isTimeOnly());
        QVERIFY(!NumberFormat("0.00").isDate());
        QVERIFY(!NumberFormat("[Red]0").isDate());
        QVERIFY(!NumberFormat("\"day \"0").isDate());  // a quoted d is text
        QVERIFY(!NumberFormat("General").isDate());
        QVERIFY(!NumberFormat("@").isDate());
        QVERIFY(NumberFormat("General").isGeneral());
        QVERIFY(NumberFormat("").isGeneral());
    }

    void textSections() {
        QCOMPARE(NumberFormat("@").formatText("007"), QString("007"));
        QCOMPARE(NumberFormat("0;-0;0;\"Note: \"@").formatText("hi"), QString("Note: hi"));
        QCOMPARE(NumberFormat("0.00").formatText("abc"), QString("abc"));
    }

    void builtIns() {
        QCOMPARE(sheet::builtinFormatCode(0), QString("General"));
        QCOMPARE(sheet::builtinFormatCode(4), QString("#,##0.00"));
        QCOMPARE(sheet::builtinFormatCode(49), QString("@"));
        QVERIFY(sheet::builtinFormatCode(23).isEmpty());
        for (int id : {14, 15, 16, 17, 22, 27, 31, 57, 58}) QVERIFY2(NumberFormat(sheet::builtinFormatCode(id)).isDate(), qPrintable(QString::number(id)));
        for (int id : {18, 19, 20, 21, 32, 33, 45, 46}) QVERIFY(NumberFormat(sheet::builtinFormatCode(id)).isTimeOnly());
        for (int id : {1, 2, 3, 9, 10, 11, 12, 37, 48}) QVERIFY(!NumberFormat(sheet::builtinFormatCode(id)).isDate());
    }
};

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "tst_numberformat.moc"
