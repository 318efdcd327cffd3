#pragma once
// The big parts of an .xlsx read cell by cell: the shared strings and a
// sheet's data, parsed with either XML reader of XmlPull.h, and the loop
// that reads a part with the fast reader first and the general one when the
// fast one cannot follow it. Only XlsxReader.cpp includes this.
#include <QDateTime>
#include <climits>
#include <cmath>
#include <functional>
#include <type_traits>

#include "exchange/sheet/Readers.h"
#include "exchange/sheet/SheetStore.h"
#include "exchange/sheet/XmlPull.h"

namespace sheet::detail::xlsx {

inline bool parseDouble(QStringView s, double* v) {
    bool ok = false;
    *v = s.trimmed().toDouble(&ok);
    return ok;
}

// An ISO 8601 date or date-time ("d" cells).
inline bool parseIsoSerial(const QString& s, bool date1904, double* serial) {
    QDateTime dt = QDateTime::fromString(s.trimmed(), Qt::ISODateWithMs);
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(s.trimmed(), Qt::ISODate);
        if (d.isValid()) dt = QDateTime(d, QTime(0, 0));
    }
    if (!dt.isValid()) {
        const QTime t = QTime::fromString(s.trimmed(), Qt::ISODateWithMs);
        if (!t.isValid()) return false;
        *serial = t.msecsSinceStartOfDay() / 86400000.0;
        return true;
    }
    *serial = dateTimeToSerial(dt, date1904);
    return true;
}

enum class PartResult { Ok, Failed, Retry };

inline QString cellTooLong(const Limits& limits) {
    return QStringLiteral("A cell of the workbook holds more than %L1 characters, more than this program reads in one "
                          "cell")
        .arg(limits.maxCellChars);
}

// Text of a string item (<si> or <is>): its <t> elements, rich runs
// included, phonetic runs left out. The reader stands on the start tag.
template <class X>
bool readItem(X& x, QString* out) {
    out->clear();
    int depth = 1;
    for (;;) {
        switch (x.next()) {
        case XmlTok::Start:
            if (x.is("t")) {
                QString t;
                if (!x.readText(&t)) return false;
                if (out->isEmpty()) *out = t;
                else *out += t;
            } else if (x.is("rPh")) {
                if (!x.skip()) return false;
            } else {
                ++depth;
            }
            break;
        case XmlTok::End:
            if (--depth == 0) {
                *out = decodeXmlEscapes(*out);
                return true;
            }
            break;
        case XmlTok::Text: break;
        default: return false;
        }
    }
}

template <class X>
PartResult parseSharedStrings(X& x, SheetBuilder& b, const Limits& limits) {
    StringPool& pool = b.strings();
    QString item;
    for (;;) {
        const XmlTok t = x.next();
        if (t == XmlTok::Done) return PartResult::Ok;
        if (t == XmlTok::Failed) return x.unsupported() ? PartResult::Retry : PartResult::Failed;
        if (t != XmlTok::Start || !x.is("si")) continue;
        if (pool.count() >= limits.maxSharedStrings) {
            b.fail(Failure::TooLarge, QStringLiteral("The workbook's table of shared strings has more than %L1 "
                                                     "entries, more than this program reads.")
                                          .arg(limits.maxSharedStrings));
            return PartResult::Failed;
        }
        if (!readItem(x, &item)) return x.unsupported() ? PartResult::Retry : PartResult::Failed;
        if (item.size() > limits.maxCellChars) {
            b.fail(Failure::TooLarge, cellTooLong(limits) + QLatin1Char('.'));
            return PartResult::Failed;
        }
        pool.add(item);
        if ((pool.count() & 1023) == 0 && !b.checkTextBudget()) return PartResult::Failed;
    }
}

inline int viewToInt(QByteArrayView v, bool* ok) {
    v = v.trimmed();
    qint64 n = 0;
    *ok = !v.isEmpty() && v.size() <= 10;
    for (char c : v) {
        if (c < '0' || c > '9') {
            *ok = false;
            return 0;
        }
        n = n * 10 + (c - '0');
    }
    if (n > INT_MAX) *ok = false;
    return int(n);
}

// A shared-string index, digits only (blanks around allowed).
inline bool parseIndex(QStringView s, quint32* v) {
    s = s.trimmed();
    if (s.isEmpty() || s.size() > 10) return false;
    quint64 n = 0;
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
        n = n * 10 + (c.unicode() - '0');
    }
    if (n > 0xFFFFFFFFu) return false;
    *v = quint32(n);
    return true;
}

struct SheetState {
    const std::vector<quint16>* xfFormat;
    quint32 sharedCount;
    bool date1904;
    const Limits* limits;
    // The shared strings are being read elsewhere: cells keep their indices
    // (SheetBuilder::addSharedRef) to be checked once the table is there.
    bool deferShared = false;
    // Read from the middle of the sheet's data: the reader stands before a
    // row element, and that row must give its number.
    bool midway = false;
    // The rest of the sheet read elsewhere at the same time: offered the
    // first row element that begins at or after byte from, handOff(where it
    // begins) is true when that rest has been taken in and reading stops.
    struct Split {
        qint64 from = 0;
        std::function<bool(qint64)> handOff;
    };
    const Split* split = nullptr;
};

template <class X>
PartResult parseSheet(X& x, SheetBuilder& b, const SheetState& st) {
    auto broken = [&]() { return x.unsupported() ? PartResult::Retry : PartResult::Failed; };
    int row = 0, col = 0;
    bool inData = st.midway;
    bool offered = false;
    QString v, inlineText, formula;
    for (;;) {
        const XmlTok tok = x.next();
        if (tok == XmlTok::Done) return PartResult::Ok;
        if (tok == XmlTok::Failed) return broken();
        if (tok == XmlTok::End) {
            if (x.is("sheetData")) inData = false;
            continue;
        }
        if (tok != XmlTok::Start) continue;
        if (!inData) {
            if (x.is("sheetData")) inData = true;
            continue;
        }
        if (x.is("row")) {
            if constexpr (std::is_same_v<X, FastXml>) {
                if (st.split && !offered && x.tagOffset() >= st.split->from) {
                    offered = true;
                    if (st.split->handOff(x.tagOffset())) return PartResult::Ok;
                }
            }
            QByteArrayView r;
            bool ok = false;
            const int n = x.rawAttribute("r", &r) ? viewToInt(r, &ok) : 0;
            if (st.midway && row == 0 && !ok) {
                // Its number would follow from the rows before, which were not read here.
                b.fail(Failure::Damaged, QStringLiteral("A row without its number."));
                return PartResult::Failed;
            }
            row = ok ? n : row + 1;
            col = 0;
            if (row < 1 || row > st.limits->maxRows) {
                b.fail(Failure::TooLarge, QStringLiteral("The sheet has a row numbered %1, beyond the last row a sheet "
                                                         "can have.")
                                              .arg(QString::fromLatin1(r.first(std::min<qsizetype>(20, r.size())))));
                return PartResult::Failed;
            }
            continue;
        }
        if (!x.is("c")) {
            if (!x.skip()) return broken();
            continue;
        }
        // A cell: its place, type and style, then its value.
        QByteArrayView ref, type, style;
        int r = 0, c = 0;
        if (x.rawAttribute("r", &ref) && parseCellRef(ref, &r, &c)) {
            row = r;  // a reference outside its row element: the reference wins
            col = c;
        } else {
            ++col;
        }
        if (row == 0) row = 1;
        // The type is looked at after the children are read, when the view is gone.
        enum class T { Number, Shared, Inline, Str, Bool, Error, Date } ty = T::Number;
        if (x.rawAttribute("t", &type)) {
            if (type == "s") ty = T::Shared;
            else if (type == "inlineStr") ty = T::Inline;
            else if (type == "str") ty = T::Str;
            else if (type == "b") ty = T::Bool;
            else if (type == "e") ty = T::Error;
            else if (type == "d") ty = T::Date;
        }
        int styleIndex = 0;
        if (x.rawAttribute("s", &style)) {
            bool ok = false;
            styleIndex = viewToInt(style, &ok);
        }
        bool hasV = false, hasInline = false, hasF = false;
        v.clear();
        for (;;) {
            const XmlTok t = x.next();
            if (t == XmlTok::End && x.is("c")) break;
            if (t == XmlTok::Failed || t == XmlTok::Done) return broken();
            if (t != XmlTok::Start) continue;
            if (x.is("v")) {
                if (!x.readText(&v)) return broken();
                hasV = true;
            } else if (x.is("f")) {
                if (!x.readText(&formula)) return broken();
                hasF = true;
            } else if (x.is("is")) {
                if (!readItem(x, &inlineText)) return broken();
                hasInline = true;
            } else if (!x.skip()) {
                return broken();
            }
        }
        if (v.size() > st.limits->maxCellChars || (hasInline && inlineText.size() > st.limits->maxCellChars)) {
            b.fail(Failure::TooLarge, cellTooLong(*st.limits) + QStringLiteral(" (cell %1%2).").arg(columnName(col)).arg(row));
            return PartResult::Failed;
        }
        const quint16 fmt = size_t(styleIndex) < st.xfFormat->size() ? (*st.xfFormat)[size_t(styleIndex)] : 0;
        bool ok = true;
        if (hasF && (!hasV || QStringView(v).trimmed().isEmpty()) && ty != T::Str && ty != T::Inline) {
            // A formula and no result: written by a program that does not
            // calculate. (An empty text result is written as type "str".)
            if (!b.addUncalculated(row, col, formula)) return PartResult::Failed;
            continue;
        }
        if (ty == T::Shared) {
            quint32 idx = 0;
            if (!hasV || !parseIndex(v, &idx)) continue;
            if (st.deferShared) {
                if (!b.addSharedRef(row, col, idx, fmt)) return PartResult::Failed;
                continue;
            }
            if (idx >= st.sharedCount) {
                b.fail(Failure::Damaged, QStringLiteral("Cell %1%2 refers to shared string %3, but the workbook has "
                                                        "only %4.")
                                             .arg(columnName(col))
                                             .arg(row)
                                             .arg(idx)
                                             .arg(st.sharedCount));
                return PartResult::Failed;
            }
            ok = b.addPooledText(row, col, idx, fmt);
        } else if (ty == T::Inline) {
            ok = b.addText(row, col, hasInline ? inlineText : decodeXmlEscapes(v), fmt);
        } else if (ty == T::Str) {
            ok = b.addText(row, col, decodeXmlEscapes(v), fmt);
        } else if (ty == T::Bool) {
            if (!hasV) continue;
            const QStringView t = QStringView(v).trimmed();
            ok = b.addBool(row, col, t == u"1" || t.compare(u"true", Qt::CaseInsensitive) == 0);
        } else if (ty == T::Error) {
            ok = b.addError(row, col, QStringView(v).trimmed());
        } else if (ty == T::Date) {
            double serial = 0;
            if (!hasV || !parseIsoSerial(v, st.date1904, &serial)) continue;
            const quint16 f = b.format(fmt).isDate() ? fmt : b.formatIndex(QStringLiteral("yyyy-mm-dd"));
            ok = b.addDate(row, col, serial, f, b.format(f).isTimeOnly());
        } else {
            if (!hasV || QStringView(v).trimmed().isEmpty()) {
                if (hasInline) ok = b.addText(row, col, inlineText, fmt);
                if (!ok) return PartResult::Failed;
                continue;
            }
            double d = 0;
            if (!parseDouble(v, &d)) ok = b.addText(row, col, v, fmt);  // not a number after all
            else ok = b.addNumber(row, col, d, fmt);
        }
        if (!ok) return PartResult::Failed;
    }
}

// Why reading a streamed part stopped; false, with the reason set.
inline bool streamFailed(ZipParts& zip, const ReadContext& cx, const QString& part, const QString& xmlError) {
    if (cx.error && !cx.error->isEmpty()) return false;  // the builder said why
    if (zip.cancelledRead()) return cx.fail(Failure::Cancelled, QStringLiteral("Reading was cancelled.")), false;
    if (zip.exceeded())
        return cx.fail(Failure::TooLarge, QStringLiteral("The part %1 of the workbook is larger than %L2 bytes once "
                                                         "unpacked; it is refused as a likely zip bomb.")
                                              .arg(part)
                                              .arg(cx.limits.maxPartBytes)),
               false;
    return cx.fail(Failure::Damaged, QStringLiteral("The part %1 of the workbook is damaged: %2.").arg(part, xmlError)),
           false;
}

// Reads one part into b with parse, which takes either XML reader: our own
// fast reader first; a part it cannot follow is read again, from the start,
// by QXmlStreamReader.
template <class Parse>
bool readPartWith(ZipParts& zip, SheetBuilder& b, const ReadContext& cx, const QString& part, const Parse& parse) {
    const SheetBuilder::Mark m = b.mark();
    for (int pass = cx.generalXmlOnly ? 1 : 0; pass < 2; ++pass) {
        QString why;
        QIODevice* dev = zip.stream(part, cx.limits.maxPartBytes, cx.meter, &why);
        if (!dev) return cx.fail(zip.encrypted(part) ? Failure::Encrypted : Failure::TooLarge, why), false;
        PartResult r;
        QString err;
        if (pass == 0) {
            FastXml x(dev);
            r = parse(x);
            err = x.errorString();
        } else {
            QtXml x(dev);
            r = parse(x);
            err = x.errorString();
        }
        if (r == PartResult::Retry) {
            b.rollback(m);
            continue;
        }
        if (r == PartResult::Failed) {
            const bool res = streamFailed(zip, cx, part, err);
            zip.closeStream();
            return res;
        }
        zip.closeStream();
        return true;
    }
    return cx.fail(Failure::Damaged, QStringLiteral("The part %1 of the workbook cannot be read.").arg(part)), false;
}

}  // namespace sheet::detail::xlsx
