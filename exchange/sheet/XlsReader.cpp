// .xls: Excel 97-2003 (BIFF8) and Excel 5/95 (BIFF5) workbooks, read record
// by record from the workbook stream of the compound file. The globals give
// the sheets, the active tab, the date system, the number formats, the cell
// styles and the shared strings; the active sheet's records give its cells,
// formulas with the result the writing program calculated.
//
// Nothing a record states is trusted: every length is checked against the
// bytes there are, counts only bound how much room is set aside, and cells
// go through the same builder (and limits) as those of the other formats.
#include <QHash>
#include <QStringDecoder>
#include <QtEndian>

#include "exchange/sheet/CompoundFile.h"
#include "exchange/sheet/Readers.h"
#include "exchange/sheet/SheetStore.h"
#include "exchange/sheet/XlsRecords.h"

namespace sheet::detail {

namespace {

constexpr quint16 kBof = 0x0809, kEof = 0x000A, kFilePass = 0x002F, kCodePage = 0x0042, kDateMode = 0x0022,
                  kWindow1 = 0x003D, kWindow2 = 0x023E, kBoundSheet = 0x0085, kFormat = 0x041E, kXf = 0x00E0,
                  kSst = 0x00FC, kNumber = 0x0203, kRk = 0x027E, kMulRk = 0x00BD, kLabelSst = 0x00FD, kLabel = 0x0204,
                  kRString = 0x00D6, kBoolErr = 0x0205, kFormula = 0x0006, kString = 0x0207;

const char kPassword[] = "The workbook is protected by a password. Save it without a password and try again.";

struct BoundSheet {
    QString name;
    quint32 pos = 0;
    quint8 type = 0;  // 0 worksheet, 1 macro sheet, 2 chart, 6 module
};

QString errorText(quint8 code) {
    switch (code) {
    case 0x00: return QStringLiteral("#NULL!");
    case 0x07: return QStringLiteral("#DIV/0!");
    case 0x17: return QStringLiteral("#REF!");
    case 0x1D: return QStringLiteral("#NAME?");
    case 0x24: return QStringLiteral("#NUM!");
    case 0x2A: return QStringLiteral("#N/A");
    default: return QStringLiteral("#VALUE!");
    }
}

// A number packed into 30 bits: an integer or the high bits of a double,
// either possibly times 100.
double rkValue(quint32 rk) {
    double v;
    if (rk & 2) {
        v = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        memcpy(&v, &bits, sizeof v);
    }
    return (rk & 1) ? v / 100 : v;
}

class XlsReader {
public:
    XlsReader(const QByteArray& stream, const ReadContext& cx)
        : s_(stream), cx_(cx), b_(cx.limits, cx.error, cx.failure) {}
    std::unique_ptr<Workbook> read();

private:
    bool readGlobals();
    bool readSheet(const BoundSheet& sheet);
    bool readSst(const BiffRecord& r);
    int activeSheet();
    bool cell(const BiffRecord& r, bool* pendingString, int* pendingRow, int* pendingCol, quint16* pendingFmt);
    quint16 fmtOf(quint16 xf) const { return xf < xfFormat_.size() ? xfFormat_[xf] : 0; }
    bool damaged(const QString& why) {
        cx_.fail(Failure::Damaged, why);
        return false;
    }

    const QByteArray& s_;
    const ReadContext& cx_;
    SheetBuilder b_;
    BiffText text_;
    bool biff8_ = true;
    bool date1904_ = false;
    int activeTab_ = -1;
    QList<BoundSheet> sheets_;
    QHash<int, QString> formats_;    // format id -> code, as the workbook states them
    std::vector<quint16> xfIds_;     // cell style -> format id
    std::vector<quint16> xfFormat_;  // cell style -> index into the builder's formats
    quint32 sharedCount_ = 0;
};

bool XlsReader::readSst(const BiffRecord& r) {
    BiffSegments seg(r.parts);
    quint32 total = 0, unique = 0;
    if (!seg.u32(&total) || !seg.u32(&unique)) return damaged(QStringLiteral("The workbook's table of shared strings is cut short."));
    StringPool& pool = b_.strings();
    // Every string takes at least three bytes: a claim is no more than a hint.
    pool.reserve(std::min<qint64>(qint64(unique), r.bytes() / 3) * 8);
    QString item;
    for (quint32 i = 0; i < unique; ++i) {
        if (seg.atEnd()) break;  // fewer than claimed: the cells say whether any is missing
        if (pool.count() >= cx_.limits.maxSharedStrings)
            return b_.fail(Failure::TooLarge, QStringLiteral("The workbook's table of shared strings has more than %L1 "
                                                             "entries, more than this program reads.")
                                                  .arg(cx_.limits.maxSharedStrings));
        if (!text_.unicodeString(seg, 2, &item)) return damaged(QStringLiteral("A shared string of the workbook is cut short."));
        pool.add(item);
        if ((pool.count() & 1023) == 0 && !b_.checkTextBudget()) return false;
    }
    sharedCount_ = quint32(pool.count());
    return b_.checkTextBudget();
}

bool XlsReader::readGlobals() {
    BiffWalker w(s_, 0);
    BiffRecord r;
    if (!w.next(&r) || r.type != kBof || r.size() < 4)
        return damaged(QStringLiteral("The workbook stream does not start as an Excel 5 to 2003 workbook does."));
    const quint16 version = r.u16(0);
    if (version != 0x0600 && version != 0x0500) {
        cx_.fail(Failure::Unsupported, QStringLiteral("The workbook was written by an Excel version this program does not "
                                                      "read. Save it as .xlsx."));
        return false;
    }
    biff8_ = version == 0x0600;
    text_.setBiff8(biff8_);
    bool sawSst = false;
    while (w.next(&r)) {
        switch (r.type) {
        case kEof: break;
        case kFilePass:
            cx_.fail(Failure::Encrypted, QString::fromLatin1(kPassword));
            return false;
        case kCodePage:
            if (r.size() >= 2) text_.setCodePage(r.u16(0));
            break;
        case kDateMode:
            if (r.size() >= 2) date1904_ = r.u16(0) == 1;
            break;
        case kWindow1:
            if (r.size() >= 12 && activeTab_ < 0) activeTab_ = r.u16(10);
            break;
        case kFormat: {
            if (r.size() < 3) break;
            BiffSegments seg(r.parts);
            quint16 id = 0;
            QString code;
            seg.u16(&id);
            if (text_.unicodeString(seg, biff8_ ? 2 : 1, &code) && formats_.size() < 65536) formats_.insert(id, code);
            break;
        }
        case kXf:
            if (r.size() >= 4 && xfIds_.size() < 65536) xfIds_.push_back(r.u16(2));
            break;
        case kBoundSheet: {
            if (r.size() < 7) break;
            BoundSheet b;
            b.pos = r.u32(0);
            b.type = r.u8(5);
            BiffSegments seg(r.parts);
            seg.skip(6);
            text_.unicodeString(seg, 1, &b.name);
            sheets_ << b;
            if (sheets_.size() > 65535) return damaged(QStringLiteral("The workbook lists too many sheets."));
            break;
        }
        case kSst:
            if (sawSst) break;  // one table; a second one is not Excel's
            sawSst = true;
            if (!readSst(r)) return false;
            break;
        default: break;
        }
        if (r.type == kEof) break;
        if (cx_.meter && !cx_.meter->advance(r.bytes() + 4)) return false;
    }
    if (w.failed()) return damaged(w.why());
    // Cell style -> format, each format code parsed once.
    QHash<int, quint16> byId;
    xfFormat_.reserve(xfIds_.size());
    for (quint16 id : xfIds_) {
        auto it = byId.find(id);
        if (it == byId.end()) {
            QString code = formats_.value(id);
            if (code.isEmpty()) code = builtinFormatCode(id);
            it = byId.insert(id, b_.formatIndex(code));
        }
        xfFormat_.push_back(*it);
    }
    return true;
}

// The tab the workbook opens on; a chart or a module there, or no tab at
// all, means the first worksheet, as with the other formats.
int XlsReader::activeSheet() {
    if (activeTab_ >= 0 && activeTab_ < sheets_.size() && sheets_[activeTab_].type == 0) return activeTab_;
    if (activeTab_ < 0) {
        // No WINDOW1: the worksheet whose own window says it is the one shown.
        for (int i = 0; i < sheets_.size(); ++i) {
            if (sheets_[i].type != 0 || sheets_[i].pos >= quint32(s_.size())) continue;
            BiffWalker w(s_, sheets_[i].pos);
            BiffRecord r;
            for (int k = 0; k < 100000 && w.next(&r) && r.type != kEof; ++k)
                if (r.type == kWindow2 && r.size() >= 2 && (r.u16(0) & 0x0400)) return i;
        }
    }
    for (int i = 0; i < sheets_.size(); ++i)
        if (sheets_[i].type == 0) return i;
    return -1;
}

bool XlsReader::cell(const BiffRecord& r, bool* pendingString, int* pendingRow, int* pendingCol, quint16* pendingFmt) {
    const int row = r.u16(0) + 1, col = r.u16(2) + 1;
    const quint16 fmt = fmtOf(r.u16(4));
    switch (r.type) {
    case kNumber: return r.size() < 14 || b_.addNumber(row, col, r.f64(6), fmt);
    case kRk: return r.size() < 10 || b_.addNumber(row, col, rkValue(r.u32(6)), fmt);
    case kMulRk: {
        const int n = (r.size() - 6) / 6;
        for (int i = 0; i < n; ++i)
            if (!b_.addNumber(row, col + i, rkValue(r.u32(6 + i * 6)), fmtOf(r.u16(4 + i * 6)))) return false;
        return true;
    }
    case kLabelSst: {
        if (r.size() < 10) return true;
        const quint32 idx = r.u32(6);
        if (idx >= sharedCount_)
            return damaged(QStringLiteral("Cell %1%2 refers to shared string %3, but the workbook has only %4.")
                               .arg(columnName(col))
                               .arg(row)
                               .arg(idx)
                               .arg(sharedCount_));
        return b_.addPooledText(row, col, idx, fmt);
    }
    case kLabel:
    case kRString: {
        BiffSegments seg(r.parts);
        seg.skip(6);
        QString t;
        if (!text_.unicodeString(seg, 2, &t)) return damaged(QStringLiteral("The text of cell %1%2 is cut short.").arg(columnName(col)).arg(row));
        return b_.addText(row, col, t, fmt);
    }
    case kBoolErr:
        if (r.size() < 8) return true;
        if (r.u8(7)) return b_.addError(row, col, errorText(r.u8(6)));
        return b_.addBool(row, col, r.u8(6) != 0);
    case kFormula: {
        if (r.size() < 14) return true;
        // The result: a number, or a tag in the first byte when the last two are 0xFFFF.
        if (r.u16(12) != 0xFFFF) return b_.addNumber(row, col, r.f64(6), fmt);
        switch (r.u8(6)) {
        case 0:  // text, in the STRING record that follows
            *pendingString = true;
            *pendingRow = row;
            *pendingCol = col;
            *pendingFmt = fmt;
            return true;
        case 1: return b_.addBool(row, col, r.u8(8) != 0);
        case 2: return b_.addError(row, col, errorText(r.u8(8)));
        default: return true;  // an empty text
        }
    }
    default: return true;
    }
}

bool XlsReader::readSheet(const BoundSheet& sheet) {
    const auto missing = [&] {
        return damaged(QStringLiteral("The sheet \"%1\" cannot be found in the workbook stream.").arg(sheet.name));
    };
    if (sheet.pos >= quint32(s_.size())) return missing();
    BiffWalker w(s_, sheet.pos);
    BiffRecord r;
    if (!w.next(&r) || r.type != kBof) return missing();
    // About one cell per 12 bytes of what follows: room once, not step by step.
    b_.expect((s_.size() - qint64(sheet.pos)) / 12);
    int depth = 0;  // charts embedded in the sheet have a substream of their own
    bool pending = false;
    int pRow = 0, pCol = 0;
    quint16 pFmt = 0;
    qint64 sinceProgress = 0;
    while (w.next(&r)) {
        if (r.type == kBof) {
            ++depth;
            continue;
        }
        if (r.type == kEof) {
            if (depth == 0) break;
            --depth;
            continue;
        }
        if (depth > 0) continue;
        if (r.type == kString) {
            if (!pending) continue;
            pending = false;
            BiffSegments seg(r.parts);
            QString t;
            if (!text_.unicodeString(seg, 2, &t))
                return damaged(QStringLiteral("The result of the formula in cell %1%2 is cut short.").arg(columnName(pCol)).arg(pRow));
            if (!b_.addText(pRow, pCol, t, pFmt)) return false;
            continue;
        }
        switch (r.type) {
        case kNumber: case kRk: case kMulRk: case kLabelSst: case kLabel: case kRString: case kBoolErr: case kFormula:
            if (r.size() < 6) continue;
            pending = false;  // a text result must come right after its formula
            if (!cell(r, &pending, &pRow, &pCol, &pFmt)) return false;
            break;
        default: break;
        }
        sinceProgress += r.bytes() + 4;
        if (sinceProgress > 65536) {
            if (cx_.meter && !cx_.meter->advance(sinceProgress)) return false;
            sinceProgress = 0;
        }
    }
    if (w.failed()) return damaged(w.why());
    return true;
}

std::unique_ptr<Workbook> XlsReader::read() {
    if (cx_.meter) cx_.meter->setTotal(s_.size());
    if (!readGlobals()) return nullptr;
    b_.setDate1904(date1904_);
    if (sheets_.isEmpty()) return cx_.fail(Failure::Damaged, QStringLiteral("The workbook lists no sheets."));
    const int active = activeSheet();
    if (active < 0) return cx_.fail(Failure::NotAWorkbook, QStringLiteral("The workbook has no worksheet (only charts or macros)."));
    b_.setName(sheets_[active].name);
    if (!readSheet(sheets_[active])) return nullptr;
    Workbook::Parts p;
    p.format = Format::Xls;
    for (const BoundSheet& s : sheets_) p.sheetNames << s.name;
    p.active = active;
    p.date1904 = date1904_;
    p.sheet = b_.finish();
    return std::make_unique<Workbook>(std::move(p));
}

}  // namespace

std::unique_ptr<Workbook> readXls(const QByteArray& data, const ReadContext& cx) {
    CompoundFile cf;
    QString why;
    if (!cf.open(&data, &why)) return cx.fail(Failure::Damaged, why);
    QString stream = cf.find(QStringLiteral("Workbook"));
    if (stream.isEmpty()) stream = cf.find(QStringLiteral("Book"));
    if (stream.isEmpty()) return cx.fail(Failure::NotAWorkbook, QStringLiteral("The file holds no Excel workbook."));
    QByteArray wb;
    if (!cf.read(stream, cx.limits.maxFileBytes, &wb, &why)) return cx.fail(Failure::Damaged, why);
    XlsReader r(wb, cx);
    auto out = r.read();
    if (!out && cx.meter && cx.meter->cancelled()) return cx.fail(Failure::Cancelled, QStringLiteral("Reading was cancelled."));
    return out;
}

}  // namespace sheet::detail
