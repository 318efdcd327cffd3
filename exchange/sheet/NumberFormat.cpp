#include "exchange/sheet/NumberFormat.h"

#include <QDate>
#include <QTime>
#include <cmath>

namespace sheet {

namespace {

const QDate kEpoch1900(1899, 12, 30);  // day 0 for serials from 61 on
const QDate kEpoch1904(1904, 1, 1);
constexpr double kMaxSerial = 2958465.99999999;  // 9999-12-31 in the 1900 system

// A non-negative number as decimal digits: value = 0.d1d2... x 10^point, at
// most 15 significant digits (what spreadsheets keep), no trailing zeros.
struct Decimal {
    QString digits;
    int point = 0;

    static Decimal of(double a) {
        Decimal d;
        if (!(a > 0) || !std::isfinite(a)) return d;
        const QString s = QString::number(a, 'e', 14);  // d.dddddddddddddde+XX
        const int e = int(s.indexOf(QLatin1Char('e')));
        d.digits = s.left(1) + s.mid(2, e - 2);
        d.point = s.mid(e + 1).toInt() + 1;
        d.trim();
        return d;
    }
    void trim() {
        while (!digits.isEmpty() && digits.back() == QLatin1Char('0')) digits.chop(1);
        if (digits.isEmpty()) point = 0;
    }
    bool isZero() const { return digits.isEmpty(); }
    // Rounds half away from zero to keep digits in all.
    void roundDigits(int keep) {
        if (keep >= digits.size()) return;
        if (keep < 0) {
            digits.clear();
            point = 0;
            return;
        }
        const bool up = digits[keep] >= QLatin1Char('5');
        digits.truncate(keep);
        if (up) {
            int i = int(digits.size()) - 1;
            while (i >= 0 && digits[i] == QLatin1Char('9')) digits[i--] = QLatin1Char('0');
            if (i >= 0) {
                digits[i] = QChar(digits[i].unicode() + 1);
            } else {
                digits.prepend(QLatin1Char('1'));
                ++point;
            }
        }
        trim();
    }
    void roundDecimals(int k) { roundDigits(point + k); }
    QString integerDigits() const {
        if (point <= 0 || digits.isEmpty()) return QString();
        QString s = digits.left(point);
        while (s.size() < point) s += QLatin1Char('0');
        return s;
    }
    QString fractionDigits(int k) const {
        QString s;
        s.reserve(k);
        for (int i = 0; i < k; ++i) {
            const int at = point + i;
            s += at >= 0 && at < digits.size() ? digits[at] : QLatin1Char('0');
        }
        return s;
    }
    // All fraction digits there are.
    QString allFractionDigits() const {
        const int n = int(digits.size()) - point;
        return n > 0 ? fractionDigits(n) : QString();
    }
};

const char* const kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                 "July",    "August",   "September", "October", "November", "December"};
const char* const kDays[7] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

bool startsWithCi(const QString& s, int at, const char* what) {
    const auto w = QLatin1String(what);
    return QStringView(s).mid(at, w.size()).compare(w, Qt::CaseInsensitive) == 0;
}

// Splits a code into sections at semicolons outside quotes, escapes and brackets.
QStringList splitSections(const QString& code) {
    QStringList out;
    QString cur;
    bool quote = false;
    bool bracket = false;
    for (int i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (quote) {
            cur += c;
            if (c == QLatin1Char('"')) quote = false;
            continue;
        }
        if (bracket) {
            cur += c;
            if (c == QLatin1Char(']')) bracket = false;
            continue;
        }
        if (c == QLatin1Char('\\') && i + 1 < code.size()) {
            cur += c;
            cur += code[++i];
            continue;
        }
        if (c == QLatin1Char('"')) quote = true;
        if (c == QLatin1Char('[')) bracket = true;
        if (c == QLatin1Char(';')) {
            out << cur;
            cur.clear();
            continue;
        }
        cur += c;
    }
    out << cur;
    return out;
}

using Token = NumberFormat::Token;
using Section = NumberFormat::Section;

void addLiteral(std::vector<Token>& t, const QString& s) {
    if (s.isEmpty()) return;
    if (!t.empty() && t.back().type == Token::Literal) t.back().text += s;
    else t.push_back({Token::Literal, s, 0});
}

bool isDatePart(Token::Type t) {
    switch (t) {
    case Token::Year: case Token::Month: case Token::Minute: case Token::Day: case Token::Hour:
    case Token::Second: case Token::SubSecond: case Token::AmPm: case Token::ElapsedH:
    case Token::ElapsedM: case Token::ElapsedS:
        return true;
    default: return false;
    }
}

bool isDigit(Token::Type t) { return t == Token::Zero || t == Token::Hash || t == Token::Quest; }

Section parseSection(const QString& s) {
    Section sec;
    std::vector<Token>& t = sec.tokens;
    const int n = int(s.size());
    auto run = [&](int i, QChar lower) {
        int j = i;
        while (j < n && s[j].toLower() == lower) ++j;
        return j - i;
    };
    for (int i = 0; i < n;) {
        const QChar c = s[i];
        const QChar lc = c.toLower();
        if (c == QLatin1Char('"')) {
            const int end = int(s.indexOf(QLatin1Char('"'), i + 1));
            const int stop = end < 0 ? n : end;
            addLiteral(t, s.mid(i + 1, stop - i - 1));
            i = stop + 1;
        } else if (c == QLatin1Char('\\')) {
            if (i + 1 < n) addLiteral(t, QString(s[i + 1]));
            i += 2;
        } else if (c == QLatin1Char('_')) {
            addLiteral(t, QStringLiteral(" "));  // room for the next character
            i += 2;
        } else if (c == QLatin1Char('*')) {
            i += 2;  // fill character: nothing to repeat into in plain text
        } else if (c == QLatin1Char('[')) {
            const int end = int(s.indexOf(QLatin1Char(']'), i + 1));
            const int stop = end < 0 ? n : end;
            const QString in = s.mid(i + 1, stop - i - 1);
            i = stop + 1;
            if (in.startsWith(QLatin1Char('$'))) {
                // [$sym-locale]: the symbol is shown, the locale is not.
                const int dash = int(in.indexOf(QLatin1Char('-')));
                addLiteral(t, in.mid(1, dash < 0 ? -1 : dash - 1));
            } else if (!in.isEmpty() && (in[0] == QLatin1Char('<') || in[0] == QLatin1Char('>') ||
                                         in[0] == QLatin1Char('='))) {
                int k = 0;
                while (k < in.size() && k < 2 &&
                       (in[k] == QLatin1Char('<') || in[k] == QLatin1Char('>') || in[k] == QLatin1Char('=')))
                    sec.op[k] = char(in[k].unicode()), ++k;
                bool ok = false;
                sec.operand = in.mid(k).trimmed().toDouble(&ok);
                sec.hasCondition = ok;
            } else {
                const QString l = in.toLower();
                auto all = [&](QChar ch) {
                    return !l.isEmpty() && std::all_of(l.begin(), l.end(), [ch](QChar x) { return x == ch; });
                };
                if (all(QLatin1Char('h'))) t.push_back({Token::ElapsedH, QString(), int(l.size())});
                else if (all(QLatin1Char('m'))) t.push_back({Token::ElapsedM, QString(), int(l.size())});
                else if (all(QLatin1Char('s'))) t.push_back({Token::ElapsedS, QString(), int(l.size())});
                // Colours, [DBNum..] and the like change nothing in the text.
            }
        } else if (c == QLatin1Char('0')) {
            t.push_back({Token::Zero, QString(), 0});
            ++i;
        } else if (c == QLatin1Char('#')) {
            t.push_back({Token::Hash, QString(), 0});
            ++i;
        } else if (c == QLatin1Char('?')) {
            t.push_back({Token::Quest, QString(), 0});
            ++i;
        } else if (c == QLatin1Char('.')) {
            t.push_back({Token::Point, QStringLiteral("."), 0});
            ++i;
        } else if (c == QLatin1Char(',')) {
            t.push_back({Token::Comma, QStringLiteral(","), 0});
            ++i;
        } else if (c == QLatin1Char('%')) {
            t.push_back({Token::Percent, QStringLiteral("%"), 0});
            ++i;
        } else if (lc == QLatin1Char('e') && i + 1 < n &&
                   (s[i + 1] == QLatin1Char('+') || s[i + 1] == QLatin1Char('-'))) {
            t.push_back({Token::Exp, QString(s[i + 1]), 0});
            i += 2;
        } else if (c == QLatin1Char('/')) {
            t.push_back({Token::Slash, QStringLiteral("/"), 0});
            ++i;
        } else if (c == QLatin1Char('@')) {
            t.push_back({Token::At, QString(), 0});
            sec.hasAt = true;
            ++i;
        } else if (startsWithCi(s, i, "general")) {
            t.push_back({Token::General, QString(), 0});
            sec.hasGeneral = true;
            i += 7;
        } else if (startsWithCi(s, i, "am/pm")) {
            t.push_back({Token::AmPm, QStringLiteral("AM/PM"), 0});
            i += 5;
        } else if (startsWithCi(s, i, "a/p")) {
            t.push_back({Token::AmPm, QStringLiteral("A/P"), 0});
            i += 3;
        } else if (QStringView(s).mid(i).startsWith(QStringLiteral("上午/下午"))) {
            t.push_back({Token::AmPm, QStringLiteral("上午/下午"), 0});
            i += 5;
        } else if (lc == QLatin1Char('g')) {
            i += run(i, lc);  // era names: the Gregorian year is shown instead
        } else if (lc == QLatin1Char('y') || lc == QLatin1Char('e')) {
            const int len = run(i, lc);
            t.push_back({Token::Year, QString(), lc == QLatin1Char('e') ? 4 : len});
            i += len;
        } else if (lc == QLatin1Char('m')) {
            const int len = run(i, lc);
            t.push_back({Token::Month, QString(), len});
            i += len;
        } else if (lc == QLatin1Char('d')) {
            const int len = run(i, lc);
            t.push_back({Token::Day, QString(), len});
            i += len;
        } else if (lc == QLatin1Char('h')) {
            const int len = run(i, lc);
            t.push_back({Token::Hour, QString(), len});
            i += len;
        } else if (lc == QLatin1Char('s')) {
            const int len = run(i, lc);
            t.push_back({Token::Second, QString(), len});
            i += len;
        } else {
            addLiteral(t, QString(c));
            ++i;
        }
    }
    for (const Token& k : t)
        if (isDatePart(k.type)) sec.date = true;
    if (sec.date) {
        // In a date section "m" next to hours or seconds means minutes, ".0"
        // after seconds is a fraction of a second, and other placeholders
        // and signs are plain text.
        std::vector<Token> out;
        for (size_t i = 0; i < t.size(); ++i) {
            Token k = t[i];
            if (k.type == Token::Point && i + 1 < t.size() && t[i + 1].type == Token::Zero) {
                bool afterSeconds = false;
                for (size_t j = i; j-- > 0;) {
                    if (t[j].type == Token::Second || t[j].type == Token::ElapsedS) afterSeconds = true;
                    if (t[j].type != Token::Literal) break;
                }
                if (afterSeconds) {
                    int digits = 0;
                    size_t j = i + 1;
                    while (j < t.size() && t[j].type == Token::Zero) ++digits, ++j;
                    out.push_back({Token::SubSecond, QString(), std::min(digits, 3)});
                    i = j - 1;
                    continue;
                }
            }
            if (!isDatePart(k.type) && k.type != Token::Literal && k.type != Token::General &&
                k.type != Token::At) {
                QString txt = k.text;
                if (k.type == Token::Zero) txt = QStringLiteral("0");
                else if (k.type == Token::Hash) txt = QStringLiteral("#");
                else if (k.type == Token::Quest) txt = QStringLiteral("?");
                else if (k.type == Token::Exp) txt = QStringLiteral("E") + k.text;
                addLiteral(out, txt);
                continue;
            }
            if (k.type == Token::Literal) {
                addLiteral(out, k.text);
                continue;
            }
            out.push_back(k);
        }
        for (size_t i = 0; i < out.size(); ++i) {
            if (out[i].type != Token::Month || out[i].len > 2) continue;
            Token::Type prev = Token::Literal, next = Token::Literal;
            for (size_t j = i; j-- > 0;)
                if (isDatePart(out[j].type)) {
                    prev = out[j].type;
                    break;
                }
            for (size_t j = i + 1; j < out.size(); ++j)
                if (isDatePart(out[j].type)) {
                    next = out[j].type;
                    break;
                }
            if (prev == Token::Hour || prev == Token::ElapsedH || next == Token::Second || next == Token::ElapsedS)
                out[i].type = Token::Minute;
        }
        t = out;
    }
    for (const Token& k : t)
        if (isDigit(k.type)) sec.hasDigits = true;
    return sec;
}

QString pad(qint64 v, int width) { return QString::number(v).rightJustified(width, QLatin1Char('0')); }

// Whole numbers as text at any magnitude: past 2^53 a double holds no more
// than its 15 or so significant digits, and the rest is shown as zeros (as
// spreadsheets do), never pushed through a 64-bit integer.
QString integerText(double v) {
    if (std::fabs(v) < 9007199254740992.0) return QString::number(qint64(v));
    const Decimal d = Decimal::of(std::fabs(v));
    return v < 0 ? QLatin1Char('-') + d.integerDigits() : d.integerDigits();
}

// Best fraction num/den for x with den at most maxDen. Numerator and
// denominator are whole doubles, so no magnitude overflows.
void bestFraction(double x, int maxDen, double* num, double* den) {
    double bn = std::round(x), bd = 1;
    double best = std::fabs(x - bn);
    // Past 2^53 every double is whole already.
    for (int d = 2; d <= maxDen && best > 0 && x < 9007199254740992.0; ++d) {
        const double n = std::round(x * d);
        const double err = std::fabs(x - n / d);
        if (err < best - 1e-12) {
            best = err;
            bn = n;
            bd = d;
        }
    }
    *num = bn;
    *den = bd;
}

}  // namespace

// ---- dates -------------------------------------------------------------------

QDateTime serialToDateTime(double serial, bool date1904, bool* ok) {
    if (ok) *ok = false;
    if (!std::isfinite(serial) || serial < 0 || serial > kMaxSerial) return QDateTime();
    // Milliseconds, rounded, so that 0.9999999 of a day does not show 23:59:59.
    const qint64 ms = std::llround(serial * 86400000.0);
    qint64 days = ms / 86400000;
    const qint64 rest = ms % 86400000;
    QDate d;
    if (date1904) {
        d = kEpoch1904.addDays(days);
    } else if (days >= 61) {
        d = kEpoch1900.addDays(days);
    } else if (days == 60) {
        d = QDate(1900, 2, 28);  // the day that never was shows as the day before
    } else if (days >= 1) {
        d = QDate(1899, 12, 31).addDays(days);
    } else {
        d = QDate(1899, 12, 31);  // day 0: a bare time of day
    }
    if (!d.isValid()) return QDateTime();
    if (ok) *ok = true;
    return QDateTime(d, QTime::fromMSecsSinceStartOfDay(int(rest)));
}

double dateTimeToSerial(const QDateTime& dt, bool date1904) {
    const QDate d = dt.date();
    double days;
    if (date1904) days = double(kEpoch1904.daysTo(d));
    else if (d >= QDate(1900, 3, 1)) days = double(kEpoch1900.daysTo(d));
    else days = double(QDate(1899, 12, 31).daysTo(d));
    return days + dt.time().msecsSinceStartOfDay() / 86400000.0;
}

QString builtinFormatCode(int id) {
    switch (id) {
    case 0: return QStringLiteral("General");
    case 1: return QStringLiteral("0");
    case 2: return QStringLiteral("0.00");
    case 3: return QStringLiteral("#,##0");
    case 4: return QStringLiteral("#,##0.00");
    case 5: return QStringLiteral("$#,##0_);($#,##0)");
    case 6: return QStringLiteral("$#,##0_);[Red]($#,##0)");
    case 7: return QStringLiteral("$#,##0.00_);($#,##0.00)");
    case 8: return QStringLiteral("$#,##0.00_);[Red]($#,##0.00)");
    case 9: return QStringLiteral("0%");
    case 10: return QStringLiteral("0.00%");
    case 11: return QStringLiteral("0.00E+00");
    case 12: return QStringLiteral("# ?/?");
    case 13: return QStringLiteral("# ?\?/?\?");
    case 14: return QStringLiteral("yyyy-mm-dd");
    case 15: return QStringLiteral("d-mmm-yy");
    case 16: return QStringLiteral("d-mmm");
    case 17: return QStringLiteral("mmm-yy");
    case 18: return QStringLiteral("h:mm AM/PM");
    case 19: return QStringLiteral("h:mm:ss AM/PM");
    case 20: return QStringLiteral("h:mm");
    case 21: return QStringLiteral("h:mm:ss");
    case 22: return QStringLiteral("yyyy-mm-dd h:mm");
    // East Asian built-ins: the forms a Simplified Chinese system shows.
    case 27: case 36: case 50: case 52: case 57: return QStringLiteral("yyyy\"年\"m\"月\"");
    case 28: case 29: case 51: case 53: case 54: case 58: return QStringLiteral("m\"月\"d\"日\"");
    case 30: return QStringLiteral("m-d-yy");
    case 31: return QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
    case 32: return QStringLiteral("h\"时\"mm\"分\"");
    case 33: return QStringLiteral("h\"时\"mm\"分\"ss\"秒\"");
    case 34: case 55: return QStringLiteral("上午/下午h\"时\"mm\"分\"");
    case 35: case 56: return QStringLiteral("上午/下午h\"时\"mm\"分\"ss\"秒\"");
    case 37: return QStringLiteral("#,##0_);(#,##0)");
    case 38: return QStringLiteral("#,##0_);[Red](#,##0)");
    case 39: return QStringLiteral("#,##0.00_);(#,##0.00)");
    case 40: return QStringLiteral("#,##0.00_);[Red](#,##0.00)");
    case 41: return QStringLiteral("_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)");
    case 42: return QStringLiteral("_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)");
    case 43: return QStringLiteral("_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)");
    case 44: return QStringLiteral("_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"??_);_(@_)");
    case 45: return QStringLiteral("mm:ss");
    case 46: return QStringLiteral("[h]:mm:ss");
    case 47: return QStringLiteral("mm:ss.0");
    case 48: return QStringLiteral("##0.0E+0");
    case 49: return QStringLiteral("@");
    default: return QString();
    }
}

// ---- parsing -----------------------------------------------------------------

NumberFormat::NumberFormat() : code_(QStringLiteral("General")) {}

NumberFormat::NumberFormat(const QString& code) : code_(code) {
    const QString trimmed = code.trimmed();
    if (trimmed.isEmpty() || trimmed.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0) return;
    general_ = false;
    for (const QString& s : splitSections(code)) sections_.push_back(parseSection(s));
    if (sections_.size() > 4) sections_.resize(4);
    const Section& first = sections_.front();
    date_ = first.date;
    if (date_) {
        bool hasDate = false;
        for (const Token& t : first.tokens)
            if (t.type == Token::Year || t.type == Token::Month || t.type == Token::Day) hasDate = true;
        timeOnly_ = !hasDate;
    }
}

bool NumberFormat::Section::matches(double v) const {
    const QLatin1String o(op);
    if (o == QLatin1String("<")) return v < operand;
    if (o == QLatin1String(">")) return v > operand;
    if (o == QLatin1String("=")) return v == operand;
    if (o == QLatin1String("<=") || o == QLatin1String("=<")) return v <= operand;
    if (o == QLatin1String(">=") || o == QLatin1String("=>")) return v >= operand;
    if (o == QLatin1String("<>")) return v != operand;
    return false;
}

const NumberFormat::Section* NumberFormat::pick(double v, bool* negativeSign, double* shown) const {
    *negativeSign = false;
    *shown = v;
    // Text sections (only @ and literals) do not show numbers.
    std::vector<const Section*> num;
    for (size_t i = 0; i < sections_.size() && i < 3; ++i) num.push_back(&sections_[i]);
    if (num.empty()) return nullptr;
    if (num[0]->hasCondition || (num.size() > 1 && num[1]->hasCondition)) {
        // Conditions pick the section; only the first shows a minus sign.
        const Section* chosen = nullptr;
        if (num[0]->hasCondition ? num[0]->matches(v) : true) chosen = num[0];
        else if (num.size() > 1 && (!num[1]->hasCondition || num[1]->matches(v))) chosen = num[1];
        else if (num.size() > 2) chosen = num[2];
        else chosen = num[0];
        *shown = std::fabs(v);
        *negativeSign = v < 0 && chosen == num[0];
        return chosen;
    }
    if (v < 0 && num.size() >= 2) {
        *shown = -v;
        return num[1];
    }
    if (v == 0 && num.size() >= 3) return num[2];
    if (v < 0) {
        *negativeSign = true;
        *shown = -v;
    }
    return num[0];
}

// ---- formatting --------------------------------------------------------------

QString NumberFormat::general(double v) {
    if (!std::isfinite(v)) return QStringLiteral("#NUM!");
    if (v == 0) return QStringLiteral("0");
    const bool neg = v < 0;
    const double a = std::fabs(v);
    Decimal d = Decimal::of(a);
    QString out;
    if (a >= 1e15 || a < 1e-9) {
        d.roundDigits(6);
        const int exp = d.point - 1;
        out = d.digits.left(1);
        if (d.digits.size() > 1) out += QLatin1Char('.') + d.digits.mid(1);
        out += exp < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
        out += pad(std::abs(exp), 2);
    } else {
        QString ip = d.integerDigits();
        if (ip.isEmpty()) ip = QStringLiteral("0");
        out = ip;
        const QString fp = d.allFractionDigits();
        if (!fp.isEmpty()) out += QLatin1Char('.') + fp;
    }
    return neg ? QLatin1Char('-') + out : out;
}

QString NumberFormat::format(double v, bool date1904) const {
    if (general_ || sections_.empty()) return general(v);
    if (!std::isfinite(v)) return QStringLiteral("#NUM!");
    bool neg = false;
    double shown = v;
    const Section* s = pick(v, &neg, &shown);
    if (!s) return general(v);
    if (s->date) {
        // Dates before day 0 cannot be shown; spreadsheets fill the cell with #.
        if (v < 0) return QStringLiteral("########");
        return formatDateSection(*s, v, date1904);
    }
    if (!s->hasDigits && !s->hasGeneral) {
        if (s->hasAt) return general(v);  // a text section does not format numbers
        QString out;
        for (const Token& t : s->tokens)
            if (t.type == Token::Literal) out += t.text;
        return neg ? QLatin1Char('-') + out : out;
    }
    return formatNumberSection(*s, shown, neg);
}

QString NumberFormat::formatText(const QString& text) const {
    if (general_ || sections_.empty()) return text;
    const Section* s = nullptr;
    if (sections_.size() >= 4) s = &sections_[3];
    else if (sections_.size() == 1 && sections_[0].hasAt) s = &sections_[0];
    if (!s) return text;
    QString out;
    for (const Token& t : s->tokens) {
        if (t.type == Token::At) out += text;
        else if (t.type == Token::Literal) out += t.text;
    }
    return out;
}

QString NumberFormat::formatNumberSection(const Section& s, double v, bool negativeSign) const {
    const std::vector<Token>& t = s.tokens;
    const int n = int(t.size());
    int exp = -1, point = -1, slash = -1;
    int percent = 0;
    for (int i = 0; i < n; ++i) {
        if (t[i].type == Token::Exp && exp < 0) exp = i;
        else if (t[i].type == Token::Point && point < 0 && exp < 0) point = i;
        else if (t[i].type == Token::Percent) ++percent;
        else if (t[i].type == Token::Slash && slash < 0 && exp < 0) {
            // A slash between digit placeholders makes a fraction.
            bool before = false, after = false;
            for (int j = i - 1; j >= 0 && !before; --j)
                if (isDigit(t[j].type)) before = true;
            for (int j = i + 1; j < n && !after; ++j)
                if (isDigit(t[j].type) || (t[j].type == Token::Literal && !t[j].text.isEmpty() && t[j].text[0].isDigit()))
                    after = true;
            if (before && after) slash = i;
        }
    }
    for (int i = 0; i < percent; ++i) v *= 100;

    // The integer part runs up to the point (or exponent, or end).
    const int intEnd = point >= 0 ? point : exp >= 0 ? exp : n;
    // Commas: between digit placeholders of the integer part they group
    // thousands; right after the last placeholder they divide by 1,000.
    bool thousands = false;
    int scale = 0;
    {
        int lastDigit = -1;
        for (int i = 0; i < intEnd; ++i)
            if (isDigit(t[i].type)) lastDigit = i;
        for (int i = 0; i < intEnd; ++i) {
            if (t[i].type != Token::Comma) continue;
            if (i < lastDigit) thousands = thousands || [&] {
                for (int j = i - 1; j >= 0; --j)
                    if (isDigit(t[j].type)) return true;
                return false;
            }();
            else if (lastDigit >= 0 && i > lastDigit) ++scale;
        }
        if (point >= 0) {
            // "0.0,," scales too.
            for (int i = point + 1; i < (exp >= 0 ? exp : n); ++i) {
                if (t[i].type == Token::Comma) {
                    bool digitAfter = false;
                    for (int j = i + 1; j < n; ++j)
                        if (isDigit(t[j].type)) digitAfter = true;
                    if (!digitAfter) ++scale;
                }
            }
        }
    }
    for (int i = 0; i < scale; ++i) v /= 1000;

    if (slash >= 0) {
        // Fraction: [integer placeholders] literal numerator / denominator.
        int numStart = slash - 1;
        while (numStart > 0 && isDigit(t[numStart - 1].type)) --numStart;
        int intLast = numStart - 1;
        while (intLast >= 0 && !isDigit(t[intLast].type)) --intLast;
        const bool hasInt = intLast >= 0;
        int denDigits = 0;
        double fixedDen = 0;
        QString fixedDigits;
        int denEnd = slash + 1;
        if (denEnd < n && t[denEnd].type == Token::Literal && !t[denEnd].text.isEmpty() && t[denEnd].text[0].isDigit()) {
            QString digits;
            const QString& lt = t[denEnd].text;
            int k = 0;
            while (k < lt.size() && lt[k].isDigit()) digits += lt[k++];
            fixedDen = digits.toDouble();
            fixedDigits = digits;
            if (!std::isfinite(fixedDen)) fixedDen = 0;  // hundreds of digits: no denominator to keep
        } else {
            while (denEnd < n && isDigit(t[denEnd].type)) ++denDigits, ++denEnd;
        }
        double whole = 0, frac = v;
        if (hasInt) {
            whole = std::floor(v);
            frac = v - whole;
        }
        double num = 0, den = 1;
        if (fixedDen > 0) {
            den = fixedDen;
            num = std::round(frac * den);
        } else {
            bestFraction(frac, int(std::min(999.0, std::pow(10.0, std::max(1, denDigits)) - 1)), &num, &den);
        }
        if (hasInt && num == den) {
            whole += 1;
            num = 0;
        }
        // "?" placeholders keep their width with blanks, so that fractions
        // line up: 0.5 in "# ??/??" shows "  1/2 ".
        int numWidth = 0, denWidth = 0;
        bool numBlanks = false, denBlanks = false;
        for (int i = numStart; i < slash; ++i) {
            ++numWidth;
            numBlanks = numBlanks || t[i].type == Token::Quest;
        }
        for (int i = slash + 1; i < denEnd; ++i) {
            ++denWidth;
            denBlanks = denBlanks || t[i].type == Token::Quest;
        }
        QString out = negativeSign ? QStringLiteral("-") : QString();
        if (hasInt) {
            for (int i = 0; i <= intLast; ++i) {
                if (t[i].type == Token::Literal) out += t[i].text;
            }
            if (whole != 0 || num == 0 || t[intLast].type == Token::Zero) out += integerText(whole);
        }
        for (int i = intLast + 1; i < numStart; ++i)
            if (t[i].type == Token::Literal) out += t[i].text;
        if (num != 0 || !hasInt) {
            const QString ns = integerText(num), ds = fixedDen > 0 ? fixedDigits : integerText(den);
            if (numBlanks && ns.size() < numWidth) out += QString(numWidth - ns.size(), QLatin1Char(' '));
            out += ns + QLatin1Char('/') + ds;
            if (denBlanks && ds.size() < denWidth) out += QString(denWidth - ds.size(), QLatin1Char(' '));
        } else if (numBlanks || denBlanks) {
            // A whole number leaves the fraction's room blank.
            out += QString(numWidth + 1 + (fixedDen > 0 ? 0 : denWidth), QLatin1Char(' '));
        }
        for (int i = std::max(denEnd, slash + 1); i < n; ++i) {
            if (t[i].type == Token::Literal) {
                if (fixedDen > 0 && i == slash + 1) {
                    QString rest = t[i].text;
                    while (!rest.isEmpty() && rest[0].isDigit()) rest.remove(0, 1);
                    out += rest;
                } else {
                    out += t[i].text;
                }
            } else if (t[i].type == Token::Percent) {
                out += QLatin1Char('%');
            }
        }
        return out;
    }

    // Placeholders of the integer, fraction and exponent parts.
    int intDigits = 0, intZeros = 0, decDigits = 0, expDigits = 0;
    bool intHash = false;
    for (int i = 0; i < intEnd; ++i)
        if (isDigit(t[i].type)) {
            ++intDigits;
            if (t[i].type == Token::Zero) ++intZeros;
            else intHash = true;
        }
    if (point >= 0)
        for (int i = point + 1; i < (exp >= 0 ? exp : n); ++i)
            if (isDigit(t[i].type)) ++decDigits;
    if (exp >= 0)
        for (int i = exp + 1; i < n; ++i)
            if (isDigit(t[i].type)) ++expDigits;

    Decimal d = Decimal::of(v);
    int exponent = 0;
    if (exp >= 0) {
        if (!d.isZero()) {
            exponent = d.point - 1;
            const int per = std::max(1, intDigits);
            if (intHash && per > 1) {
                // Engineering notation: exponents in steps of the integer placeholders.
                exponent = int(std::floor(double(exponent) / per)) * per;
            } else {
                exponent -= std::max(1, intZeros) - 1;
            }
            d.point -= exponent;
            d.roundDecimals(decDigits);
            if (!(intHash && per > 1) && d.point > std::max(1, intZeros)) {
                // Rounding carried into a new digit: 9.99 -> 10.0 becomes 1.00E+1.
                d.point -= 1;
                exponent += 1;
                d.roundDecimals(decDigits);
            }
        }
    } else {
        d.roundDecimals(decDigits);
    }

    QString intStr = d.integerDigits();
    if (thousands && !intStr.isEmpty()) {
        QString grouped;
        int c = 0;
        for (int i = int(intStr.size()) - 1; i >= 0; --i) {
            grouped.prepend(intStr[i]);
            if (++c % 3 == 0 && i > 0) grouped.prepend(QLatin1Char(','));
        }
        intStr = grouped;
    }
    const bool isZero = d.isZero();

    QString out;
    // Integer part: filled right to left, extra digits before the first placeholder.
    {
        QString digits = intStr;
        int firstDigit = -1;
        for (int i = 0; i < intEnd; ++i)
            if (isDigit(t[i].type)) {
                firstDigit = i;
                break;
            }
        QString part;
        for (int i = intEnd - 1; i >= 0; --i) {
            const Token& k = t[i];
            if (isDigit(k.type)) {
                QString put;
                if (!digits.isEmpty()) {
                    // Separators travel with the digits they group.
                    put = digits.right(1);
                    digits.chop(1);
                    while (!digits.isEmpty() && digits.back() == QLatin1Char(',')) {
                        put.prepend(QLatin1Char(','));
                        digits.chop(1);
                    }
                    if (i == firstDigit) {
                        put.prepend(digits);
                        digits.clear();
                    }
                } else if (k.type == Token::Zero) {
                    put = QStringLiteral("0");
                } else if (k.type == Token::Quest) {
                    put = QStringLiteral(" ");
                }
                part.prepend(put);
            } else if (k.type == Token::Literal) {
                part.prepend(k.text);
            } else if (k.type == Token::Percent) {
                part.prepend(QLatin1Char('%'));
            } else if (k.type == Token::General) {
                part.prepend(general(v));
            }
        }
        if (firstDigit < 0 && !s.hasGeneral) part.prepend(digits);
        out += part;
    }
    if (point >= 0) {
        out += QLatin1Char('.');
        const QString frac = d.fractionDigits(decDigits);
        // Where the remaining digits are all zero, # shows nothing and ? a blank.
        int lastNonZero = -1;
        for (int i = 0; i < frac.size(); ++i)
            if (frac[i] != QLatin1Char('0')) lastNonZero = i;
        int k = 0;
        for (int i = point + 1; i < (exp >= 0 ? exp : n); ++i) {
            const Token& tk = t[i];
            if (isDigit(tk.type)) {
                const QChar c = k < frac.size() ? frac[k] : QLatin1Char('0');
                if (k <= lastNonZero || tk.type == Token::Zero) out += c;
                else if (tk.type == Token::Quest) out += QLatin1Char(' ');
                ++k;
            } else if (tk.type == Token::Literal) {
                out += tk.text;
            } else if (tk.type == Token::Percent) {
                out += QLatin1Char('%');
            }
        }
    }
    if (exp >= 0) {
        out += QLatin1Char('E');
        if (exponent < 0) out += QLatin1Char('-');
        else if (t[exp].text == QLatin1String("+")) out += QLatin1Char('+');
        out += pad(std::abs(exponent), std::max(1, expDigits));
        for (int i = exp + 1; i < n; ++i) {
            if (t[i].type == Token::Literal) out += t[i].text;
            else if (t[i].type == Token::Percent) out += QLatin1Char('%');
        }
    }
    Q_UNUSED(isZero);
    return negativeSign ? QLatin1Char('-') + out : out;
}

QString NumberFormat::formatDateSection(const Section& s, double v, bool date1904) const {
    int subDigits = 0;
    bool seconds = false, ampm = false;
    for (const Token& t : s.tokens) {
        if (t.type == Token::SubSecond) subDigits = std::max(subDigits, t.len);
        if (t.type == Token::Second || t.type == Token::ElapsedS) seconds = true;
        if (t.type == Token::AmPm) ampm = true;
    }
    // Round to the smallest unit shown; without seconds, minutes are cut.
    double unit = 1.0 / 86400000.0;
    if (seconds) unit = std::pow(10.0, -subDigits) / 86400.0;
    const double r = std::round(v / unit) * unit;
    bool ok = false;
    const QDateTime dt = serialToDateTime(r, date1904, &ok);
    if (!ok) return general(v);
    const QDate date = dt.date();
    const QTime time = dt.time();
    const double totalSeconds = std::floor(r * 86400.0 + 1e-6);
    QString out;
    for (const Token& t : s.tokens) {
        switch (t.type) {
        case Token::Literal: out += t.text; break;
        case Token::Year:
            out += t.len <= 2 ? pad(date.year() % 100, 2) : pad(date.year(), 4);
            break;
        case Token::Month:
            if (t.len == 1) out += QString::number(date.month());
            else if (t.len == 2) out += pad(date.month(), 2);
            else if (t.len == 3) out += QString::fromLatin1(kMonths[date.month() - 1]).left(3);
            else if (t.len == 5) out += QString::fromLatin1(kMonths[date.month() - 1]).left(1);
            else out += QString::fromLatin1(kMonths[date.month() - 1]);
            break;
        case Token::Day:
            if (t.len == 1) out += QString::number(date.day());
            else if (t.len == 2) out += pad(date.day(), 2);
            else if (t.len == 3) out += QString::fromLatin1(kDays[date.dayOfWeek() - 1]).left(3);
            else out += QString::fromLatin1(kDays[date.dayOfWeek() - 1]);
            break;
        case Token::Hour: {
            int h = time.hour();
            if (ampm) {
                h %= 12;
                if (h == 0) h = 12;
            }
            out += t.len >= 2 ? pad(h, 2) : QString::number(h);
            break;
        }
        case Token::Minute: out += t.len >= 2 ? pad(time.minute(), 2) : QString::number(time.minute()); break;
        case Token::Second: out += t.len >= 2 ? pad(time.second(), 2) : QString::number(time.second()); break;
        case Token::SubSecond: {
            const QString ms = pad(time.msec(), 3);
            out += QLatin1Char('.') + ms.left(t.len);
            break;
        }
        case Token::AmPm: {
            const bool pm = time.hour() >= 12;
            if (t.text == QLatin1String("A/P")) out += pm ? QStringLiteral("P") : QStringLiteral("A");
            else if (t.text == QLatin1String("AM/PM")) out += pm ? QStringLiteral("PM") : QStringLiteral("AM");
            else out += pm ? QStringLiteral("下午") : QStringLiteral("上午");
            break;
        }
        case Token::ElapsedH: out += pad(qint64(totalSeconds / 3600), t.len); break;
        case Token::ElapsedM: {
            // Minutes after elapsed hours stay below 60; on their own they run on.
            out += pad(qint64(totalSeconds / 60), t.len);
            break;
        }
        case Token::ElapsedS: out += pad(qint64(totalSeconds), t.len); break;
        case Token::General: out += general(v); break;
        default: break;
        }
    }
    return out;
}

}  // namespace sheet
