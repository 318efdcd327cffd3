#include "app/db/Values.h"

#include "app/db/DbError.h"
#include "app/db/SqlTokens.h"

namespace db {

namespace {

// The stored forms read directly: QDateTime::fromString() with a format
// costs tens of microseconds a call, which a sort or an export over 100,000
// rows pays for each. Anything else goes the slow way.
QDateTime parseDateTimeFast(const QString& t) {
    const qsizetype n = t.size();
    if (n != 10 && n != 16 && n != 19 && n != 23) return QDateTime();
    auto num = [&](qsizetype at, int len, bool* ok) {
        int v = 0;
        for (int i = 0; i < len; ++i) {
            const char16_t c = t[at + i].unicode();
            if (c < u'0' || c > u'9') *ok = false;
            v = v * 10 + (c - u'0');
        }
        return v;
    };
    auto is = [&](qsizetype at, char16_t c) { return t[at].unicode() == c; };
    bool ok = is(4, u'-') && is(7, u'-');
    const QDate date(num(0, 4, &ok), num(5, 2, &ok), num(8, 2, &ok));
    int h = 0, m = 0, sec = 0, ms = 0;
    if (n >= 16) {
        ok = ok && (is(10, u' ') || is(10, u'T')) && is(13, u':');
        h = num(11, 2, &ok);
        m = num(14, 2, &ok);
        // "hh:mm" is read only with a space, as the slow way does.
        if (n == 16) ok = ok && is(10, u' ');
    }
    if (n >= 19) {
        ok = ok && is(16, u':');
        sec = num(17, 2, &ok);
    }
    if (n == 23) {
        ok = ok && is(19, u'.');
        ms = num(20, 3, &ok);
    }
    if (!ok || !date.isValid() || !QTime::isValid(h, m, sec, ms)) return QDateTime();
    return QDateTime(date, QTime(h, m, sec, ms));
}

}  // namespace

QDateTime parseDateTime(const QString& s) {
    const QString t = s.trimmed();
    if (const QDateTime dt = parseDateTimeFast(t); dt.isValid()) return dt;
    static const char* formats[] = {"yyyy-MM-dd hh:mm:ss", "yyyy-MM-ddThh:mm:ss",
                                    "yyyy-MM-dd hh:mm:ss.zzz", "yyyy-MM-ddThh:mm:ss.zzz",
                                    "yyyy-MM-dd hh:mm", "yyyy-MM-dd"};
    for (const char* f : formats) {
        QDateTime dt = QDateTime::fromString(t, QString::fromLatin1(f));
        if (dt.isValid()) return dt;
    }
    return QDateTime();
}

FieldKind kindOfMetaType(int id) {
    switch (id) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong:
    case QMetaType::ULongLong: case QMetaType::Short: case QMetaType::UShort:
        return FieldKind::Integer;
    case QMetaType::Double: case QMetaType::Float: return FieldKind::Float;
    case QMetaType::Bool: return FieldKind::Bool;
    case QMetaType::QDateTime: case QMetaType::QDate: case QMetaType::QTime:
        return FieldKind::DateTime;
    default: return FieldKind::Text;
    }
}

QVariant fromEngine(const QVariant& raw, FieldKind kind) {
    if (raw.isNull()) return QVariant();
    bool ok = false;
    switch (kind) {
    case FieldKind::Integer: {
        const qlonglong n = raw.toLongLong(&ok);
        return ok ? QVariant(n) : raw;
    }
    case FieldKind::Float: {
        const double d = raw.toDouble(&ok);
        return ok ? QVariant(d) : raw;
    }
    case FieldKind::Bool: {
        const QString s = raw.toString().trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
        const qlonglong n = s.toLongLong(&ok);
        return ok ? QVariant(n != 0) : raw;
    }
    case FieldKind::DateTime: {
        if (raw.typeId() == QMetaType::QDateTime) return raw;
        const QDateTime dt = parseDateTime(raw.toString());
        return dt.isValid() ? QVariant(dt) : raw;
    }
    case FieldKind::Text:
    case FieldKind::Memo: return raw.typeId() == QMetaType::QString ? raw : QVariant(raw.toString());
    }
    return raw;
}

QVariant toEngine(const QVariant& v, const FieldDef& f, const QString& fmt) {
    if (v.isNull()) return QVariant();
    switch (f.kind) {
    case FieldKind::Bool:
        if (v.typeId() == QMetaType::QString) {
            const QString s = v.toString().trimmed();
            if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return 1;
            if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || s.isEmpty()) return 0;
        }
        return v.toBool() ? 1 : 0;
    case FieldKind::Integer: {
        if (v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty()) return QVariant();
        bool ok = false;
        const qlonglong n = v.toLongLong(&ok);
        if (!ok)
            throw DbError(QStringLiteral("'%1' is not a valid integer value").arg(v.toString()));
        return n;
    }
    case FieldKind::Float: {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok)
            throw DbError(QStringLiteral("'%1' is not a valid floating point value").arg(v.toString()));
        return d;
    }
    case FieldKind::DateTime:
        if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().toString(fmt);
        if (v.typeId() == QMetaType::QDate) return QDateTime(v.toDate(), QTime(0, 0)).toString(fmt);
        {
            const QString s = v.toString();
            if (s.trimmed().isEmpty()) return QVariant();
            const QDateTime dt = parseDateTime(s);
            if (!dt.isValid()) throw DbError(QStringLiteral("'%1' is not a valid date and time").arg(s));
            return dt.toString(fmt);
        }
    case FieldKind::Text:
    case FieldKind::Memo: {
        if (v.typeId() == QMetaType::QDateTime) return textOf(v);
        // Refused here in words, the same way on every engine.
        const QString s = v.toString();
        if (const int at = unstorableAt(s); at >= 0)
            throw DbError(unstorableMessage(f.name, describeUnstorable(s, at)));
        // Empty text set on purpose is stored as empty text: a null QString
        // would reach the engine as NULL.
        return s.isNull() ? QStringLiteral("") : s;
    }
    }
    return v;
}

QVariant compareValue(const QVariant& v, const FieldDef& f, const QString& fmt) {
    try {
        return toEngine(v, f, fmt);
    } catch (const DbError&) {
        return v;
    }
}

bool bindsAsIs(const QVariant& v, const QString& what) {
    switch (v.typeId()) {
    case QMetaType::QDateTime:
    case QMetaType::QDate:
    case QMetaType::Bool: return false;
    case QMetaType::QString: {
        const auto* s = static_cast<const QString*>(v.constData());
        if (const int at = unstorableAt(*s); at >= 0) throw DbError(unstorableMessage(what, describeUnstorable(*s, at)));
        return !s->isNull();
    }
    default: return true;
    }
}

QVariant bindable(const QVariant& v, const QString& fmt, const QString& what) {
    if (bindsAsIs(v, what)) return v;
    switch (v.typeId()) {
    case QMetaType::QDateTime: return v.toDateTime().isValid() ? QVariant(v.toDateTime().toString(fmt)) : QVariant();
    case QMetaType::QDate:
        return v.toDate().isValid() ? QVariant(v.toDate().toString(QStringLiteral("yyyy-MM-dd"))) : QVariant();
    // A text typed as nothing is empty text, not null: "where name = ''".
    case QMetaType::QString: return QVariant(QStringLiteral(""));
    case QMetaType::Bool: return v.toBool() ? 1 : 0;
    default: return v;
    }
}

QString textOf(const QVariant& v) {
    if (v.isNull()) return QString();
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.toString(QStringLiteral("yyyy-MM-dd"))
                                        : dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    case QMetaType::Double: return QString::number(v.toDouble(), 'g', 15);
    default: break;
    }
    return v.toString();
}

}  // namespace db
