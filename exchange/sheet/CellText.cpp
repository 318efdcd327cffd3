#include "exchange/sheet/CellText.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <sys/statvfs.h>

namespace sheet {

namespace {

bool escapeAt(const QString& t, qsizetype i) {
    if (t[i] != QLatin1Char('_') || i + 6 >= t.size() || t[i + 1] != QLatin1Char('x') || t[i + 6] != QLatin1Char('_'))
        return false;
    for (int k = 2; k < 6; ++k)
        if (!isxdigit(t[i + k].toLatin1())) return false;
    return true;
}

}  // namespace

QString workbookCellText(const QString& text, int maxChars, bool* cut) {
    *cut = false;
    const bool escapes = text.contains(QLatin1String("_x"));
    if (!escapes && text.size() <= maxChars) return text;  // the usual case, untouched
    QString out;
    out.reserve(std::min<qsizetype>(text.size() + 16, qsizetype(maxChars) * 2));
    int points = 0;
    for (qsizetype i = 0; i < text.size();) {
        // One piece at a time: an escaped underscore, a surrogate pair or one character.
        if (escapes && escapeAt(text, i)) {
            if (points + 7 > maxChars) {
                *cut = true;
                break;
            }
            out += QLatin1String("_x005F_");
            points += 7;
            ++i;
            continue;
        }
        const qsizetype len = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        if (points + 1 > maxChars) {
            *cut = true;
            break;
        }
        out += QStringView(text).mid(i, len);
        ++points;
        i += len;
    }
    return out;
}

QString noRoomReason(const QString& folder, int errorNumber) {
    bool full = errorNumber == ENOSPC || errorNumber == EDQUOT;
    if (!full) {
        // The library may have done more after the write that failed; the
        // disk itself still tells.
        struct statvfs st {};
        if (::statvfs(QFile::encodeName(folder).constData(), &st) == 0)
            full = quint64(st.f_bavail) * st.f_frsize < 64 * 1024;
    }
    if (!full) return QString();
    return QStringLiteral("the disk is full (no room left in %1)").arg(QDir::toNativeSeparators(folder));
}

}  // namespace sheet
