#include "customers/Matching.h"

#include <QStringView>

namespace matching {

namespace {

bool isAscii(const QString& s) {
    for (const QChar c : s)
        if (c.unicode() >= 0x80) return false;
    return true;
}

// Compatibility forms folded and case folded; plain ASCII (the common
// case, and the one that must be fast for 100,000 names) skips the
// normalisation, which leaves ASCII unchanged anyway.
QString folded(const QString& text) {
    if (isAscii(text)) return text.toLower();
    return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

// Scripts written without spaces between words.
bool isCjk(char32_t c) {
    switch (QChar::script(c)) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Hangul:
    case QChar::Script_Bopomofo:
        return true;
    default:
        return false;
    }
}

bool isApostrophe(char32_t c) { return c == U'\'' || c == U'\u2019' || c == U'\u2018' || c == U'\u02BC'; }

// Blanks, punctuation, and invisible format and control characters.
bool isSeparator(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Punctuation_Connector:
    case QChar::Punctuation_Dash:
    case QChar::Punctuation_Open:
    case QChar::Punctuation_Close:
    case QChar::Punctuation_InitialQuote:
    case QChar::Punctuation_FinalQuote:
    case QChar::Punctuation_Other:
        return true;
    default:
        return false;
    }
}

void appendCodePoint(QString& out, char32_t c) {
    if (QChar::requiresSurrogates(c)) {
        out += QChar(QChar::highSurrogate(c));
        out += QChar(QChar::lowSurrogate(c));
    } else {
        out += QChar(char16_t(c));
    }
}

}  // namespace

QString nameKey(const QString& text) {
    const QString s = folded(text);
    QString out;
    out.reserve(s.size());
    bool pendingBlank = false, lastCjk = false;
    const QStringView v(s);
    for (qsizetype i = 0; i < v.size(); ++i) {
        char32_t c = v[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < v.size() && v[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(v[i].unicode(), v[i + 1].unicode());
            ++i;
        }
        if (isApostrophe(c)) continue;
        if (isSeparator(c)) {
            pendingBlank = true;
            continue;
        }
        const bool cjk = c >= 0x2E80 && isCjk(c);
        if (pendingBlank && !out.isEmpty() && !cjk && !lastCjk) out += QLatin1Char(' ');
        pendingBlank = false;
        appendCodePoint(out, c);
        lastCjk = cjk;
    }
    return out;
}

QString emailKey(const QString& text) {
    QString s;
    for (const QChar c : folded(text))
        if (!c.isSpace()) s += c;
    if (s.startsWith(QLatin1String("mailto:"))) s = s.mid(7);
    if (s.startsWith(QLatin1Char('<')) && s.endsWith(QLatin1Char('>'))) s = s.mid(1, s.size() - 2);
    // Something on both sides of an "@": "n/a" or "-" in a hundred rows
    // names nobody.
    const qsizetype at = s.indexOf(QLatin1Char('@'));
    if (at <= 0 || at == s.size() - 1) return QString();
    return s;
}

QString telKey(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const int d = c.digitValue();
        if (d >= 0 && c.category() == QChar::Number_DecimalDigit) out += QChar(u'0' + d);
    }
    return out.size() >= kMinTelDigits ? out : QString();
}

QString numberKey(const QString& text) {
    const QString t = folded(text).trimmed();
    if (t.isEmpty()) return QString();
    for (const QChar c : t)
        if (c < u'0' || c > u'9') return QString();
    qsizetype zeros = 0;
    while (zeros + 1 < t.size() && t[zeros] == u'0') ++zeros;
    return t.mid(zeros);
}

QString keyOf(Rule rule, const QString& text) {
    switch (rule) {
    case Rule::CustomerNo: return numberKey(text);
    case Rule::Company:
    case Rule::Name: return nameKey(text);
    case Rule::Email: return emailKey(text);
    case Rule::Tel: return telKey(text);
    }
    return QString();
}

QString ruleWord(Rule rule) {
    switch (rule) {
    case Rule::CustomerNo: return QStringLiteral("custno");
    case Rule::Company: return QStringLiteral("company");
    case Rule::Email: return QStringLiteral("email");
    case Rule::Tel: return QStringLiteral("tel");
    case Rule::Name: return QStringLiteral("name");
    }
    return QString();
}

bool ruleFromWord(const QString& word, Rule* rule) {
    for (Rule r : {Rule::CustomerNo, Rule::Company, Rule::Email, Rule::Tel, Rule::Name}) {
        if (word.trimmed().compare(ruleWord(r), Qt::CaseInsensitive) == 0) {
            *rule = r;
            return true;
        }
    }
    return false;
}

QString ruleTitle(Rule rule) {
    switch (rule) {
    case Rule::CustomerNo: return QStringLiteral("Customer No.");
    case Rule::Company: return QStringLiteral("company name");
    case Rule::Email: return QStringLiteral("e-mail");
    case Rule::Tel: return QStringLiteral("telephone");
    case Rule::Name: return QStringLiteral("name");
    }
    return QString();
}

}  // namespace matching
