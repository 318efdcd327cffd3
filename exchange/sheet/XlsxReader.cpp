// .xlsx and .xlsm: the workbook part names the sheets and the active tab,
// the styles give each cell style's number format, the shared strings hold
// the texts; the sheet itself is streamed, never held as a tree.
#include <QHash>
#include <QXmlStreamReader>

#include <QIODevice>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "exchange/sheet/Readers.h"
#include "exchange/sheet/SheetStore.h"
#include "exchange/sheet/XlsxCells.h"

namespace sheet::detail {

namespace {

using namespace xlsx;

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
    // A big table of shared strings read on a thread of its own while this
    // one reads the sheet; false with the error set.
    bool readSheetAndStrings(const QString& sheetPart, const QString& sharedPart);
    // A big sheet read by two threads, each half of it; false with the error set.
    bool readSheetInHalves(const QString& part, SheetState st);
    template <class Parse>
    bool readPart(const QString& part, const Parse& parse) {
        return readPartWith(zip_, b_, cx_, part, parse);
    }
    bool fail(Failure f, const QString& why) {
        cx_.fail(f, why);
        return false;
    }

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
    int readers_ = 1;  // threads whose rows the sheet holds
};

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

bool XlsxReader::readSharedStrings(const QString& part) {
    // An entry takes at least some 16 bytes ("<si><t>x</t></si>").
    b_.strings().reserveStrings(std::clamp<qint64>(zip_.claimedSize(part) / 16, 0, cx_.limits.maxSharedStrings));
    if (!readPart(part, [this](auto& x) { return parseSharedStrings(x, b_, cx_.limits); })) return false;
    sharedCount_ = quint32(b_.strings().count());
    return b_.checkTextBudget();
}

bool XlsxReader::readSheet(const QString& part) {
    // A cell takes at least some 30 bytes of sheet XML ("<c r="A1"><v>1</v></c>").
    const qint64 bytes = zip_.claimedSize(part);
    b_.expect(bytes / 30);
    const SheetState st{&xfFormat_, sharedCount_, date1904_, &cx_.limits};
    // A big sheet that holds its texts itself (no shared strings to wait
    // for) is read on two cores.
    if (cx_.reopen && !cx_.generalXmlOnly && sharedCount_ == 0 && bytes >= cx_.twoThreadsFrom) return readSheetInHalves(part, st);
    return readPart(part, [this, &st](auto& x) { return parseSheet(x, b_, st); });
}

bool XlsxReader::readSheetInHalves(const QString& part, SheetState st) {
    // A second thread, with a handle of its own on the file, inflates the
    // sheet's first part without reading it and reads the rest from the
    // first row element after the split point into a builder of its own.
    // Its rows are taken in when this thread, reading from the start, finds
    // its first row element after the split point exactly where the other
    // began; otherwise (a comment or CDATA that looks like a row, a row
    // without its number, anything the other could not read) this thread
    // reads on as if alone, and meets what there is to meet itself.
    struct Rest {
        std::mutex m;
        std::condition_variable changed;
        qint64 start = -2;  // -2 not found yet, -1 none
        bool done = false, ok = false;
        std::atomic<bool> stop{false};
        std::atomic<qint64> inflated{0};
        QString error;
        Failure failure = Failure::None;
    } rest;
    const qint64 bytes = zip_.claimedSize(part);
    SheetBuilder rb(cx_.limits, &rest.error, &rest.failure);
    rb.shareFormats(b_);
    // Inflating without reading is some ten times faster than reading:
    // the other thread inflates the first part too, and reads a little
    // less than half.
    SheetState::Split split;
    split.from = bytes / 20 * 11;
    rb.expect((bytes - split.from) / 30);
    rb.expectText((bytes - split.from) / 3);
    auto publish = [&rest](const std::function<void()>& f) {
        {
            std::lock_guard<std::mutex> lock(rest.m);
            f();
        }
        rest.changed.notify_all();
    };
    SheetState rs = st;  // the other thread's, made before this one changes st
    rs.midway = true;
    std::thread worker([&] {
        bool ok = false;
        [&] {
            ProgressMeter meter([&rest](qint64 done, qint64) {
                rest.inflated = done;
                return !rest.stop.load();
            });
            const std::unique_ptr<QIODevice> dev = cx_.reopen();
            ZipParts zip;
            QString why;
            if (!dev || !zip.open(dev.get(), cx_.limits, &why)) return;
            QIODevice* stream = zip.stream(part, cx_.limits.maxPartBytes, &meter, &why);
            if (!stream) return;
            FastXml x(stream);
            // The elements that open the sheet, up to its data.
            for (;;) {
                const XmlTok t = x.next();
                if (t == XmlTok::Done || t == XmlTok::Failed) return;
                if (t == XmlTok::Start && x.is("sheetData")) break;
            }
            const qint64 start = x.skipToTag(split.from, "row");
            publish([&] { rest.start = start; });
            if (start < 0) return;
            ok = parseSheet(x, rb, rs) == PartResult::Ok;
            zip.closeStream();
        }();
        publish([&] {
            if (rest.start == -2) rest.start = -1;
            rest.ok = ok;
            rest.done = true;
        });
    });
    auto takeRest = [&](qint64 at) {
        std::unique_lock<std::mutex> lock(rest.m);
        qint64 shown = split.from;
        // Waits, showing the other thread's progress (and letting the user cancel).
        auto wait = [&](const std::function<bool()>& until) {
            while (!until()) {
                rest.changed.wait_for(lock, std::chrono::milliseconds(50));
                if (!cx_.meter || until()) continue;
                const qint64 now = rest.inflated.load();
                lock.unlock();
                const bool go = cx_.meter->advance(std::max<qint64>(0, now - shown));
                shown = std::max(shown, now);
                lock.lock();
                if (!go) return false;
            }
            return true;
        };
        if (!wait([&] { return rest.start != -2; }) || rest.start != at) return false;
        if (!wait([&] { return rest.done; }) || !rest.ok || !b_.canTake(rb)) return false;
        b_.append(rb);
        readers_ = 2;
        return true;
    };
    split.handOff = [&](qint64 at) {
        const bool taken = takeRest(at);
        if (!taken) rest.stop = true;  // this thread reads on alone
        return taken;
    };
    st.split = &split;
    const bool ok = readPart(part, [this, &st](auto& x) { return parseSheet(x, b_, st); });
    rest.stop = true;
    worker.join();
    return ok;
}

bool XlsxReader::readSheetAndStrings(const QString& sheetPart, const QString& sharedPart) {
    // The second thread reads through a handle of its own on the file and
    // fills a builder of its own; only its pool of strings is kept.
    struct Apart {
        QString error;
        Failure failure = Failure::None;
        StringPool pool;
        bool ok = false;
    } apart;
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        ReadContext c = cx_;
        c.error = &apart.error;
        c.failure = &apart.failure;
        ProgressMeter meter([&](qint64, qint64) { return !stop.load(); });
        c.meter = &meter;
        const std::unique_ptr<QIODevice> dev = cx_.reopen();
        ZipParts zip;
        QString why;
        if (!dev || !zip.open(dev.get(), c.limits, &why)) {
            c.fail(Failure::Unreadable, QStringLiteral("The workbook cannot be read a second time: %1").arg(why));
            return;
        }
        SheetBuilder b(c.limits, c.error, c.failure);
        b.expectText(zip.claimedSize(sharedPart) / 3);
        b.strings().reserveStrings(std::clamp<qint64>(zip.claimedSize(sharedPart) / 16, 0, c.limits.maxSharedStrings));
        apart.ok = readPartWith(zip, b, c, sharedPart, [&](auto& x) { return parseSharedStrings(x, b, c.limits); }) &&
                   b.checkTextBudget();
        if (apart.ok) apart.pool.swap(b.strings());
    });
    b_.expect(zip_.claimedSize(sheetPart) / 30);
    SheetState st{&xfFormat_, 0, date1904_, &cx_.limits};
    st.deferShared = true;
    const bool ok = readPart(sheetPart, [this, &st](auto& x) { return parseSheet(x, b_, st); });
    if (!ok) stop = true;  // no need for the strings any more
    worker.join();
    if (!ok) return false;
    if (!apart.ok) return fail(apart.failure == Failure::None ? Failure::Damaged : apart.failure, apart.error);
    return b_.adoptSharedStrings(apart.pool);
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

    const qint64 sheetBytes = std::max<qint64>(0, zip_.claimedSize(sheetPart));
    const qint64 sharedBytes = sharedPart.isEmpty() ? 0 : std::max<qint64>(0, zip_.claimedSize(sharedPart));
    // Big parts on two cores: the shared strings on a thread of their own
    // while this one reads the sheet (each about half the work).
    const bool apart = cx_.reopen && sharedBytes >= (1 << 20) && sheetBytes >= (1 << 20);
    if (cx_.meter) cx_.meter->setTotal(apart ? sheetBytes : sheetBytes + sharedBytes);
    // Room for the text once, rather than growing a pool of many megabytes
    // step by step: about a character per three bytes of XML at most.
    b_.expectText((apart ? sheetBytes : sheetBytes + sharedBytes) / 3);
    if (!stylesPart.isEmpty() && !readStyles(stylesPart)) return nullptr;
    b_.setName(sheets_[active].name);
    if (apart) {
        if (!readSheetAndStrings(sheetPart, sharedPart)) return nullptr;
    } else {
        if (!sharedPart.isEmpty() && !readSharedStrings(sharedPart)) return nullptr;
        if (!readSheet(sheetPart)) return nullptr;
    }

    Workbook::Parts p;
    p.format = Format::Xlsx;
    for (const SheetRef& s : sheets_) p.sheetNames << s.name;
    p.active = active;
    p.date1904 = date1904_;
    p.sheet = b_.finish();
    p.readers = readers_;
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
