// .xlsx and .xlsm: the workbook part names the sheets and the active tab,
// the styles give each cell style's number format, the shared strings hold
// the texts; the sheet itself is streamed, never held as a tree.
#include <QHash>
#include <QXmlStreamReader>
#include <cmath>

#include "exchange/sheet/Readers.h"
#include "exchange/sheet/SheetStore.h"
#include "exchange/sheet/XmlPull.h"
#include <climits>

namespace sheet::detail {

namespace {

struct Rel {
    QString type;
    QString target;  // resolved part path
};

bool typeIs(const QString& relType, const char* last) {
    return relType.endsWith(QLatin1Char('/') + QLatin1String(last), Qt::CaseInsensitive);
}

QString relsPathOf(QString part) {
    part.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
}

QString xmlWhy(const QString& part, const QXmlStreamReader& x) {
    return QStringLiteral("The part %1 of the workbook is damaged: %2 (line %3).")
        .arg(part, x.errorString())
        .arg(x.lineNumber());
}

// Id -> relationship of a part's relationships file; empty when it has none.
bool readRels(ZipParts& zip, const QString& part, const Limits& limits, QHash<QString, Rel>* out, QString* why) {
    out->clear();
    const QString stored = zip.find(relsPathOf(part));
    if (stored.isEmpty()) return true;
    QByteArray bytes;
    if (!zip.readAll(stored, limits.maxSmallPartBytes, &bytes, why)) return false;
    QXmlStreamReader x(bytes);
    while (!x.atEnd() && !x.hasError()) {
        if (x.readNext() == QXmlStreamReader::StartElement && x.name() == u"Relationship") {
            const auto a = x.attributes();
            Rel r;
            r.type = a.value(QStringLiteral("Type")).toString();
            const QString mode = a.value(QStringLiteral("TargetMode")).toString();
            if (mode.compare(QLatin1String("External"), Qt::CaseInsensitive) != 0)
                r.target = resolvePartPath(part, a.value(QStringLiteral("Target")).toString());
            out->insert(a.value(QStringLiteral("Id")).toString(), r);
            if (out->size() > 100000) break;
        }
    }
    if (x.hasError()) {
        *why = xmlWhy(stored, x);
        return false;
    }
    return true;
}

bool parseDouble(QStringView s, double* v) {
    bool ok = false;
    *v = s.trimmed().toDouble(&ok);
    return ok;
}

// An ISO 8601 date or date-time ("d" cells).
bool parseIsoSerial(const QString& s, bool date1904, double* serial) {
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

class XlsxReader {
public:
    XlsxReader(ZipParts& zip, const ReadContext& cx)
        : zip_(zip), cx_(cx), b_(cx.limits, cx.error, cx.failure) {}

    std::unique_ptr<Workbook> read(const QString& workbookPart);

private:
    bool readWorkbook(const QString& part);
    bool readStyles(const QString& part);
    bool readSharedStrings(const QString& part);
    bool readSheet(const QString& part);
    // Reads one part with parse, which takes either XML reader.
    template <class Parse>
    bool readPart(const QString& part, const Parse& parse);
    bool fail(Failure f, const QString& why) {
        cx_.fail(f, why);
        return false;
    }
    // Why reading a streamed part stopped; false, with the reason set.
    bool streamFailed(const QString& part, const QString& xmlError);

    ZipParts& zip_;
    const ReadContext& cx_;
    SheetBuilder b_;

    bool date1904_ = false;
    int activeTab_ = 0;
    struct SheetRef {
        QString name;
        QString rid;
    };
    QList<SheetRef> sheets_;
    QHash<QString, Rel> rels_;
    std::vector<quint16> xfFormat_;  // cell style -> index of its number format
    quint32 sharedCount_ = 0;
};

bool XlsxReader::streamFailed(const QString& part, const QString& xmlError) {
    if (cx_.error && !cx_.error->isEmpty()) return false;  // the builder said why
    if (zip_.cancelledRead()) return fail(Failure::Cancelled, QStringLiteral("Reading was cancelled."));
    if (zip_.exceeded())
        return fail(Failure::TooLarge,
                    QStringLiteral("The part %1 of the workbook is larger than %L2 bytes once unpacked; it is "
                                   "refused as a likely zip bomb.")
                        .arg(part)
                        .arg(cx_.limits.maxPartBytes));
    return fail(Failure::Damaged,
                QStringLiteral("The part %1 of the workbook is damaged: %2.").arg(part, xmlError));
}

bool XlsxReader::readWorkbook(const QString& part) {
    QByteArray bytes;
    QString why;
    if (!zip_.readAll(part, cx_.limits.maxSmallPartBytes, &bytes, &why)) return fail(Failure::Damaged, why);
    QXmlStreamReader x(bytes);
    bool sawWorkbook = false;
    while (!x.atEnd() && !x.hasError()) {
        if (x.readNext() != QXmlStreamReader::StartElement) continue;
        const auto n = x.name();
        if (n == u"workbook") {
            sawWorkbook = true;
        } else if (n == u"workbookPr") {
            const QStringView d = x.attributes().value(QStringLiteral("date1904"));
            date1904_ = d == u"1" || d.compare(u"true", Qt::CaseInsensitive) == 0;
        } else if (n == u"workbookView") {
            bool ok = false;
            const int t = x.attributes().value(QStringLiteral("activeTab")).toInt(&ok);
            if (ok && t >= 0) activeTab_ = t;
        } else if (n == u"sheet") {
            SheetRef s;
            for (const QXmlStreamAttribute& a : x.attributes()) {
                if (a.name() == u"name" && a.prefix().isEmpty()) s.name = a.value().toString();
                // r:id, whatever the relationships namespace is called.
                else if (a.name() == u"id" && !a.namespaceUri().isEmpty()) s.rid = a.value().toString();
            }
            sheets_ << s;
            if (sheets_.size() > 10000) return fail(Failure::Damaged, QStringLiteral("The workbook lists too many sheets."));
        }
    }
    if (x.hasError()) return fail(Failure::Damaged, xmlWhy(part, x));
    if (!sawWorkbook || sheets_.isEmpty())
        return fail(Failure::Damaged, QStringLiteral("The workbook lists no sheets."));
    return true;
}

bool XlsxReader::readStyles(const QString& part) {
    QByteArray bytes;
    QString why;
    if (!zip_.readAll(part, cx_.limits.maxSmallPartBytes, &bytes, &why)) return fail(Failure::Damaged, why);
    QHash<int, QString> custom;
    std::vector<int> xfIds;
    QXmlStreamReader x(bytes);
    bool inXfs = false;
    while (!x.atEnd() && !x.hasError()) {
        const auto tok = x.readNext();
        if (tok == QXmlStreamReader::EndElement && x.name() == u"cellXfs") inXfs = false;
        if (tok != QXmlStreamReader::StartElement) continue;
        const auto n = x.name();
        if (n == u"numFmt") {
            const auto a = x.attributes();
            bool ok = false;
            const int id = a.value(QStringLiteral("numFmtId")).toInt(&ok);
            if (ok && custom.size() < 65536) custom.insert(id, a.value(QStringLiteral("formatCode")).toString());
        } else if (n == u"cellXfs") {
            inXfs = true;
        } else if (n == u"xf" && inXfs) {
            bool ok = false;
            const int id = x.attributes().value(QStringLiteral("numFmtId")).toInt(&ok);
            xfIds.push_back(ok ? id : 0);
            if (xfIds.size() > 200000) return fail(Failure::Damaged, QStringLiteral("The workbook's styles are too many."));
        }
    }
    if (x.hasError()) return fail(Failure::Damaged, xmlWhy(part, x));
    QHash<int, quint16> byId;
    xfFormat_.reserve(xfIds.size());
    for (int id : xfIds) {
        auto it = byId.find(id);
        if (it == byId.end()) {
            QString code = custom.value(id);
            if (code.isEmpty()) code = builtinFormatCode(id);
            it = byId.insert(id, b_.formatIndex(code));
        }
        xfFormat_.push_back(*it);
    }
    return true;
}

enum class PartResult { Ok, Failed, Retry };

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
        pool.add(item);
        if ((pool.count() & 1023) == 0 && !b.checkTextBudget()) return PartResult::Failed;
    }
}

int viewToInt(QByteArrayView v, bool* ok) {
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

struct SheetState {
    const std::vector<quint16>* xfFormat;
    quint32 sharedCount;
    bool date1904;
    const Limits* limits;
};

template <class X>
PartResult parseSheet(X& x, SheetBuilder& b, const SheetState& st) {
    auto broken = [&]() { return x.unsupported() ? PartResult::Retry : PartResult::Failed; };
    int row = 0, col = 0;
    bool inData = false;
    QString v, inlineText;
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
            QByteArrayView r;
            bool ok = false;
            const int n = x.rawAttribute("r", &r) ? viewToInt(r, &ok) : 0;
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
        bool hasV = false, hasInline = false;
        v.clear();
        for (;;) {
            const XmlTok t = x.next();
            if (t == XmlTok::End && x.is("c")) break;
            if (t == XmlTok::Failed || t == XmlTok::Done) return broken();
            if (t != XmlTok::Start) continue;
            if (x.is("v")) {
                if (!x.readText(&v)) return broken();
                hasV = true;
            } else if (x.is("is")) {
                if (!readItem(x, &inlineText)) return broken();
                hasInline = true;
            } else if (!x.skip()) {
                return broken();
            }
        }
        const quint16 fmt = size_t(styleIndex) < st.xfFormat->size() ? (*st.xfFormat)[size_t(styleIndex)] : 0;
        bool ok = true;
        if (ty == T::Shared) {
            bool num = false;
            const uint idx = QStringView(v).trimmed().toUInt(&num);
            if (!hasV || !num) continue;
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

template <class Parse>
bool XlsxReader::readPart(const QString& part, const Parse& parse) {
    // Our own fast reader first; a part it cannot follow is read again,
    // from the start, by QXmlStreamReader.
    const SheetBuilder::Mark m = b_.mark();
    for (int pass = cx_.generalXmlOnly ? 1 : 0; pass < 2; ++pass) {
        QString why;
        QIODevice* dev = zip_.stream(part, cx_.limits.maxPartBytes, cx_.meter, &why);
        if (!dev) return fail(zip_.encrypted(part) ? Failure::Encrypted : Failure::TooLarge, why);
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
            b_.rollback(m);
            continue;
        }
        if (r == PartResult::Failed) {
            const bool res = streamFailed(part, err);
            zip_.closeStream();
            return res;
        }
        zip_.closeStream();
        return true;
    }
    return fail(Failure::Damaged, QStringLiteral("The part %1 of the workbook cannot be read.").arg(part));
}

bool XlsxReader::readSharedStrings(const QString& part) {
    if (!readPart(part, [this](auto& x) { return parseSharedStrings(x, b_, cx_.limits); })) return false;
    sharedCount_ = quint32(b_.strings().count());
    return b_.checkTextBudget();
}

bool XlsxReader::readSheet(const QString& part) {
    // A cell takes at least some 30 bytes of sheet XML ("<c r="A1"><v>1</v></c>").
    b_.expect(zip_.claimedSize(part) / 30);
    const SheetState st{&xfFormat_, sharedCount_, date1904_, &cx_.limits};
    return readPart(part, [this, &st](auto& x) { return parseSheet(x, b_, st); });
}

std::unique_ptr<Workbook> XlsxReader::read(const QString& workbookPart) {
    if (workbookPart.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive))
        return cx_.fail(Failure::Unsupported, QStringLiteral("The file is an Excel binary workbook (.xlsb), which this "
                                                         "program does not read. Save it as .xlsx."));
    if (!readWorkbook(workbookPart)) return nullptr;
    QString why;
    if (!readRels(zip_, workbookPart, cx_.limits, &rels_, &why)) return cx_.fail(Failure::Damaged, why);
    b_.setDate1904(date1904_);

    QString stylesPart, sharedPart;
    for (const Rel& r : rels_) {
        if (typeIs(r.type, "styles")) stylesPart = r.target;
        else if (typeIs(r.type, "sharedStrings")) sharedPart = r.target;
    }
    // Some writers leave the relationships out; the usual names still work.
    if (stylesPart.isEmpty()) stylesPart = resolvePartPath(workbookPart, QStringLiteral("styles.xml"));
    if (sharedPart.isEmpty()) sharedPart = resolvePartPath(workbookPart, QStringLiteral("sharedStrings.xml"));
    stylesPart = zip_.find(stylesPart);
    sharedPart = zip_.find(sharedPart);

    // The sheet the workbook opens on; a chart there means the first worksheet.
    auto partOf = [&](int i) -> QString {
        if (i < 0 || i >= sheets_.size()) return QString();
        const Rel r = rels_.value(sheets_[i].rid);
        if (!typeIs(r.type, "worksheet")) return QString();
        return zip_.find(r.target);
    };
    int active = activeTab_ < sheets_.size() ? activeTab_ : 0;
    QString sheetPart = partOf(active);
    if (sheetPart.isEmpty()) {
        for (int i = 0; i < sheets_.size() && sheetPart.isEmpty(); ++i) {
            sheetPart = partOf(i);
            if (!sheetPart.isEmpty()) active = i;
        }
    }
    if (sheetPart.isEmpty())
        return cx_.fail(Failure::Damaged, QStringLiteral("The workbook has no worksheet that can be found in the file."));

    if (cx_.meter)
        cx_.meter->setTotal(std::max<qint64>(0, zip_.claimedSize(sheetPart)) +
                            (sharedPart.isEmpty() ? 0 : std::max<qint64>(0, zip_.claimedSize(sharedPart))));
    // Room for the text once, rather than growing a pool of many megabytes
    // step by step: about a character per three bytes of XML at most.
    b_.expectText((std::max<qint64>(0, zip_.claimedSize(sheetPart)) +
                   (sharedPart.isEmpty() ? 0 : std::max<qint64>(0, zip_.claimedSize(sharedPart)))) / 3);
    if (!stylesPart.isEmpty() && !readStyles(stylesPart)) return nullptr;
    if (!sharedPart.isEmpty() && !readSharedStrings(sharedPart)) return nullptr;
    b_.setName(sheets_[active].name);
    if (!readSheet(sheetPart)) return nullptr;

    Workbook::Parts p;
    p.format = Format::Xlsx;
    for (const SheetRef& s : sheets_) p.sheetNames << s.name;
    p.active = active;
    p.date1904 = date1904_;
    p.sheet = b_.finish();
    return std::make_unique<Workbook>(std::move(p));
}

}  // namespace

QString resolvePartPath(const QString& fromPart, const QString& target) {
    QString t = target;
    t.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QString from = fromPart;
    from.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QString path;
    if (t.startsWith(QLatin1Char('/'))) path = t.mid(1);
    else path = from.left(from.lastIndexOf(QLatin1Char('/')) + 1) + t;
    QStringList out;
    for (const QString& seg : path.split(QLatin1Char('/'))) {
        if (seg.isEmpty() || seg == QLatin1String(".")) continue;
        if (seg == QLatin1String("..")) {
            if (!out.isEmpty()) out.removeLast();
            continue;
        }
        out << seg;
    }
    return out.join(QLatin1Char('/'));
}

QString decodeXmlEscapes(const QString& s) {
    // Most texts have no underscore at all; looking for one character is quick.
    const qsizetype first = s.indexOf(QLatin1Char('_'));
    if (first < 0 || s.indexOf(QLatin1String("_x"), first) < 0) return s;
    QString out;
    out.reserve(s.size());
    const int n = int(s.size());
    for (int i = 0; i < n; ++i) {
        if (s[i] == QLatin1Char('_') && i + 6 < n && s[i + 1] == QLatin1Char('x') && s[i + 6] == QLatin1Char('_')) {
            bool ok = false;
            const uint code = QStringView(s).mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(char16_t(code));
                i += 6;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

QString xlsxWorkbookPart(ZipParts& zip, const Limits& limits) {
    QHash<QString, Rel> rels;
    QString why;
    if (readRels(zip, QString(), limits, &rels, &why)) {
        for (const Rel& r : rels)
            if (typeIs(r.type, "officeDocument")) {
                const QString stored = zip.find(r.target);
                if (!stored.isEmpty()) return stored;
            }
    }
    return zip.find(QStringLiteral("xl/workbook.xml"));
}

std::unique_ptr<Workbook> readXlsx(ZipParts& zip, const QString& workbookPart, const ReadContext& cx) {
    XlsxReader r(zip, cx);
    return r.read(workbookPart);
}

}  // namespace sheet::detail
