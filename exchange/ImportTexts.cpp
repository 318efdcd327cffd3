// Texts people write in cells for yes/no and dates, read as the columns need them.
#include "exchange/ImportRun.h"

#include <QLocale>
#include <QRegularExpression>

// ---- texts people write --------------------------------------------------------

bool parseYesNo(const QString& text, bool* value) {
    const QString t = text.trimmed().toLower();
    static const QStringList yes = {QStringLiteral("true"), QStringLiteral("1"), QStringLiteral("yes"),
                                    QStringLiteral("y"), QStringLiteral("是"), QStringLiteral("-1")};
    static const QStringList no = {QStringLiteral("false"), QStringLiteral("0"), QStringLiteral("no"),
                                   QStringLiteral("n"), QStringLiteral("否")};
    if (yes.contains(t)) {
        *value = true;
        return true;
    }
    if (no.contains(t)) {
        *value = false;
        return true;
    }
    return false;
}

QDate parseDateText(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return QDate();
    // The form written most, 2024-03-05, read without the expressions below.
    auto digit = [&](int i) { return t[i] >= u'0' && t[i] <= u'9'; };
    auto separator = [&](int i) { return t[i] == u'-' || t[i] == u'/' || t[i] == u'.'; };
    if (t.size() == 10 && digit(0) && digit(1) && digit(2) && digit(3) && separator(4) && digit(5) && digit(6) &&
        separator(7) && digit(8) && digit(9)) {
        auto number = [&](int from, int n) {
            int v = 0;
            for (int i = from; i < from + n; ++i) v = v * 10 + (t[i].unicode() - u'0');
            return v;
        };
        return QDate(number(0, 4), number(5, 2), number(8, 2));
    }
    // Year first: 2024-03-05, 2024/3/5, 2024.3.5, with or without a time after it.
    static const QRegularExpression ymd(QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})(?:[ T]\\d{1,2}:\\d{2}(?::\\d{2}(?:\\.\\d+)?)?)?$"));
    auto m = ymd.match(t);
    if (m.hasMatch()) return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    static const QRegularExpression cjk(QStringLiteral("^(\\d{4})\\s*年\\s*(\\d{1,2})\\s*月\\s*(\\d{1,2})\\s*日$"));
    m = cjk.match(t);
    if (m.hasMatch()) return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    // Month names leave no doubt which number is the day.
    const QLocale c = QLocale::c();
    for (const char* f : {"d MMMM yyyy", "d MMM yyyy", "MMMM d, yyyy", "MMM d, yyyy", "MMMM d yyyy", "MMM d yyyy",
                          "d-MMM-yyyy", "dd-MMM-yyyy", "d-MMMM-yyyy", "d.MMM.yyyy"}) {
        const QDate d = c.toDate(t, QString::fromLatin1(f));
        if (d.isValid()) return d;
    }
    // Numbers only, year last: readable only when the day is above 12.
    static const QRegularExpression dmy(QStringLiteral("^(\\d{1,2})[-/.](\\d{1,2})[-/.](\\d{4})$"));
    m = dmy.match(t);
    if (m.hasMatch()) {
        const int a = m.captured(1).toInt(), b = m.captured(2).toInt(), y = m.captured(3).toInt();
        if (a > 12 && b <= 12) return QDate(y, b, a);
        if (b > 12 && a <= 12) return QDate(y, a, b);
        if (a == b) return QDate(y, a, b);  // 05/05/2024 reads the same either way
    }
    return QDate();
}

bool isAmbiguousDateText(const QString& text) {
    static const QRegularExpression dmy(QStringLiteral("^(\\d{1,2})[-/.](\\d{1,2})[-/.](\\d{2}|\\d{4})$"));
    const auto m = dmy.match(text.trimmed());
    if (!m.hasMatch()) return false;
    const int a = m.captured(1).toInt(), b = m.captured(2).toInt();
    return a != b && a >= 1 && b >= 1 && a <= 12 && b <= 12;
}
