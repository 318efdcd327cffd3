#pragma once
// Spreadsheet number formats: the text a cell shows for its value.
//
// A format code has up to four sections (positive; negative; zero; text),
// each made of digit placeholders (0 # ?), separators, percent, exponent,
// fractions, date and time parts, quoted and escaped literals, colours and
// conditions in brackets. Parsing happens once per code; formatting a value
// is then a walk over the parsed tokens.
#include <QDateTime>
#include <QString>
#include <vector>

namespace sheet {

// Serial day numbers as spreadsheets count them. In the 1900 system day 1 is
// 1900-01-01 and day 60 is the 29 February 1900 that never was (kept for
// compatibility with old spreadsheet programs); in the 1904 system day 0 is
// 1904-01-01. Fractions are the time of day. Invalid for negative serials
// and for serials past the year 9999.
QDateTime serialToDateTime(double serial, bool date1904, bool* ok = nullptr);
double dateTimeToSerial(const QDateTime& dt, bool date1904);

// The code of a built-in format id (0 to 58), empty for ids without one.
// Id 14 and 22 follow the system's short date, which is yyyy-MM-dd here.
QString builtinFormatCode(int id);

class NumberFormat {
public:
    NumberFormat();  // General
    explicit NumberFormat(const QString& code);

    const QString& code() const { return code_; }
    bool isGeneral() const { return general_; }
    // Shows a date or a time of day (the first section decides).
    bool isDate() const { return date_; }
    // Shows a time of day but no date.
    bool isTimeOnly() const { return timeOnly_; }

    QString format(double v, bool date1904 = false) const;
    // A text value through the format's text section, if it has one.
    QString formatText(const QString& text) const;

    // The General format: up to 15 significant digits, as a column wide
    // enough for the number would show it; scientific notation only for
    // magnitudes from 1e15 and below 1e-9.
    static QString general(double v);

    struct Token {
        enum Type {
            Literal, Zero, Hash, Quest, Point, Comma, Percent, Exp, Slash, At, General,
            Year, Month, Minute, Day, Hour, Second, SubSecond, AmPm, ElapsedH, ElapsedM, ElapsedS
        } type;
        QString text;  // literal text; for Exp "+" or "-"; for AmPm the two markers
        int len = 0;   // run length of date parts; digits of SubSecond
    };
    struct Section {
        std::vector<Token> tokens;
        bool date = false;
        bool hasCondition = false;
        char op[3] = {0, 0, 0};
        double operand = 0;
        bool hasDigits = false;
        bool hasAt = false;
        bool hasGeneral = false;
        bool matches(double v) const;
    };

private:
    QString formatNumberSection(const Section& s, double v, bool negativeSign) const;
    QString formatDateSection(const Section& s, double v, bool date1904) const;
    const Section* pick(double v, bool* negativeSign, double* shown) const;

    QString code_;
    std::vector<Section> sections_;
    bool general_ = true;
    bool date_ = false;
    bool timeOnly_ = false;
};

}  // namespace sheet
