// .xls (BIFF5 and BIFF8) through FreeXL. Before FreeXL sees a file, the
// workbook stream is walked here: FreeXL does not tell which sheet the
// workbook opens on, and it allocates a cell slot for every position a
// sheet's dimensions claim, so a few hundred bytes claiming 65,536 rows by
// 256 columns must be refused before it gets to them.
#include <QDate>
#include <QFile>
#include <QtEndian>
#include <freexl.h>

#include "exchange/sheet/CompoundFile.h"
#include "exchange/sheet/Readers.h"
#include "exchange/sheet/SheetStore.h"

namespace sheet::detail {

namespace {

quint16 u16(const char* p) { return qFromLittleEndian<quint16>(p); }
quint32 u32(const char* p) { return qFromLittleEndian<quint32>(p); }

struct BoundSheet {
    QString name;
    quint32 pos = 0;
    quint8 type = 0;  // 0 worksheet, 2 chart, 6 module, 1 macro sheet
};

struct BiffScan {
    bool encrypted = false;
    bool biff8 = true;
    int activeTab = 0;
    bool date1904 = false;
    QList<BoundSheet> sheets;
    quint64 sstUnique = 0;
};

// Walks the records of the globals substream.
bool scanGlobals(const QByteArray& s, BiffScan* out, QString* why) {
    const char* d = s.constData();
    const qint64 n = s.size();
    qint64 pos = 0;
    bool first = true;
    while (pos + 4 <= n) {
        const quint16 type = u16(d + pos);
        const quint16 len = u16(d + pos + 2);
        const char* body = d + pos + 4;
        if (pos + 4 + len > n) break;  // cut short: FreeXL will say more
        if (first) {
            if (type != 0x0809 || len < 4) {
                *why = QStringLiteral("The workbook stream does not start as an Excel 5 to 2003 workbook does.");
                return false;
            }
            out->biff8 = u16(body) == 0x0600;
            first = false;
        }
        switch (type) {
        case 0x002F: out->encrypted = true; break;                            // FILEPASS
        case 0x0022: if (len >= 2) out->date1904 = u16(body) == 1; break;     // DATEMODE
        case 0x003D: if (len >= 12) out->activeTab = u16(body + 10); break;   // WINDOW1
        case 0x00FC: if (len >= 8) out->sstUnique = u32(body + 4); break;     // SST
        case 0x0085: {                                                         // BOUNDSHEET
            if (len < 7) break;
            BoundSheet b;
            b.pos = u32(body);
            b.type = quint8(body[5]);
            const int cch = quint8(body[6]);
            if (out->biff8 && len >= 8) {
                const bool wide = body[7] & 1;
                const int bytes = wide ? cch * 2 : cch;
                if (8 + bytes <= len)
                    b.name = wide ? QString::fromUtf16(reinterpret_cast<const char16_t*>(body + 8), cch)
                                  : QString::fromLatin1(body + 8, cch);
            } else if (7 + cch <= len) {
                b.name = QString::fromLatin1(body + 7, cch);
            }
            out->sheets << b;
            if (out->sheets.size() > 65535) {
                *why = QStringLiteral("The workbook lists too many sheets.");
                return false;
            }
            break;
        }
        case 0x000A: return true;  // EOF of the globals
        default: break;
        }
        pos += 4 + len;
    }
    return !first;
}

// The dimensions a sheet substream claims: rows x columns.
bool sheetDimensions(const QByteArray& s, quint32 at, bool biff8, quint64* rows, quint64* cols) {
    const char* d = s.constData();
    const qint64 n = s.size();
    qint64 pos = at;
    int records = 0;
    while (pos + 4 <= n && records++ < 100000) {
        const quint16 type = u16(d + pos);
        const quint16 len = u16(d + pos + 2);
        if (pos + 4 + len > n) return false;
        const char* body = d + pos + 4;
        if (type == 0x0200) {
            if (biff8 && len >= 14) {
                *rows = u32(body + 4);
                *cols = u16(body + 10);
            } else if (len >= 10) {
                *rows = u16(body + 2);
                *cols = u16(body + 6);
            }
            return true;
        }
        if (type == 0x000A) return false;
        pos += 4 + len;
    }
    return false;
}

QString freexlWhy(int code) {
    switch (code) {
    case FREEXL_FILE_NOT_FOUND: return QStringLiteral("The file cannot be opened.");
    case FREEXL_INSUFFICIENT_MEMORY: return QStringLiteral("There is not enough memory to read the workbook.");
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND: return QStringLiteral("The file holds no Excel workbook stream.");
    case FREEXL_UNSUPPORTED_CHARSET: return QStringLiteral("The workbook's character set is not supported.");
    case FREEXL_INVALID_CHARACTER: return QStringLiteral("The workbook holds text that cannot be converted.");
    case FREEXL_CRAFTED_FILE: return QStringLiteral("The workbook's records contradict each other.");
    default: return QStringLiteral("The workbook's records are damaged (reader error %1).").arg(code);
    }
}

const char kCannotRead[] =
    "The .xls reader cannot make sense of this workbook's records. Open it in a spreadsheet program and save "
    "it as .xlsx, then import that file.";

class FreeXlHandle {
public:
    ~FreeXlHandle() {
        if (h) freexl_close(h);
    }
    const void* h = nullptr;
};

}  // namespace

std::unique_ptr<Workbook> readXls(const QString& path, const QByteArray& data, const ReadContext& cx) {
    CompoundFile cf;
    QString why;
    if (!cf.open(&data, &why)) return cx.fail(Failure::Damaged, why);
    QString stream = cf.find(QStringLiteral("Workbook"));
    if (stream.isEmpty()) stream = cf.find(QStringLiteral("Book"));
    if (stream.isEmpty()) return cx.fail(Failure::NotAWorkbook, QStringLiteral("The file holds no Excel workbook."));
    QByteArray wb;
    if (!cf.read(stream, cx.limits.maxFileBytes, &wb, &why)) return cx.fail(Failure::Damaged, why);
    BiffScan scan;
    if (!scanGlobals(wb, &scan, &why)) return cx.fail(Failure::Damaged, why);
    if (scan.encrypted)
        return cx.fail(Failure::Encrypted, QStringLiteral("The workbook is protected by a password. Save it without "
                                                          "a password and try again."));
    // Every shared string takes at least three bytes of the stream.
    if (scan.sstUnique > quint64(wb.size()) / 3 + 1)
        return cx.fail(Failure::Damaged, QStringLiteral("The workbook claims %L1 shared strings, more than its %L2 "
                                                        "bytes can hold.")
                                             .arg(scan.sstUnique)
                                             .arg(wb.size()));
    int worksheets = 0;
    for (const BoundSheet& b : scan.sheets) {
        if (b.type != 0) continue;
        ++worksheets;
        quint64 rows = 0, cols = 0;
        if (b.pos < quint32(wb.size()) && sheetDimensions(wb, b.pos, scan.biff8, &rows, &cols) &&
            rows * cols > quint64(cx.limits.maxXlsCells))
            return cx.fail(Failure::TooLarge, QStringLiteral("The sheet \"%1\" claims %L2 rows by %L3 columns, more "
                                                             "than this program reads.")
                                                  .arg(b.name)
                                                  .arg(rows)
                                                  .arg(cols));
    }
    if (!scan.sheets.isEmpty() && worksheets == 0)
        return cx.fail(Failure::NotAWorkbook, QStringLiteral("The workbook has no worksheet (only charts or macros)."));
    int activeOrdinal = 0;  // among worksheets
    QString activeName;
    {
        const int tab = scan.activeTab < scan.sheets.size() && scan.sheets[scan.activeTab].type == 0 ? scan.activeTab : -1;
        int ord = 0;
        for (int i = 0; i < scan.sheets.size(); ++i) {
            if (scan.sheets[i].type != 0) continue;
            if (i == tab || (tab < 0 && ord == 0)) {
                activeOrdinal = ord;
                activeName = scan.sheets[i].name;
                if (i == tab) break;
            }
            ++ord;
        }
    }
    wb.clear();

    FreeXlHandle fx;
    int rc = freexl_open(QFile::encodeName(path).constData(), &fx.h);
    if (rc != FREEXL_OK) {
        fx.h = nullptr;  // a failed open leaves nothing to close
        return cx.fail(rc == FREEXL_INSUFFICIENT_MEMORY ? Failure::TooLarge : Failure::Damaged,
                       freexlWhy(rc) + QLatin1Char(' ') + QString::fromLatin1(kCannotRead));
    }
    // FreeXL answers some workbooks it does not understand with success and no handle.
    if (!fx.h) return cx.fail(Failure::Damaged, QString::fromLatin1(kCannotRead));
    unsigned int info = 0;
    if (freexl_get_info(fx.h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
        return cx.fail(Failure::Encrypted, QStringLiteral("The workbook is protected by a password. Save it without "
                                                          "a password and try again."));
    bool date1904 = scan.date1904;
    if (freexl_get_info(fx.h, FREEXL_BIFF_DATEMODE, &info) == FREEXL_OK) date1904 = info == FREEXL_BIFF_DATEMODE_1904;
    unsigned int count = 0;
    if (freexl_get_info(fx.h, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0)
        return cx.fail(Failure::Damaged, QStringLiteral("The workbook has no readable worksheet."));
    QStringList names;
    int index = -1;
    for (unsigned int i = 0; i < count && i < 65535; ++i) {
        const char* nm = nullptr;
        QString name;
        if (freexl_get_worksheet_name(fx.h, quint16(i), &nm) == FREEXL_OK && nm) name = QString::fromUtf8(nm);
        names << name;
        if (index < 0 && !activeName.isEmpty() && name == activeName) index = int(i);
    }
    if (index < 0) index = activeOrdinal < int(count) ? activeOrdinal : 0;
    rc = freexl_select_active_worksheet(fx.h, quint16(index));
    if (rc != FREEXL_OK) return cx.fail(Failure::Damaged, freexlWhy(rc));
    unsigned int rows = 0;
    unsigned short cols = 0;
    rc = freexl_worksheet_dimensions(fx.h, &rows, &cols);
    if (rc != FREEXL_OK) return cx.fail(Failure::Damaged, freexlWhy(rc));
    if (quint64(rows) * cols > quint64(cx.limits.maxXlsCells))
        return cx.fail(Failure::TooLarge, QStringLiteral("The sheet claims %L1 rows by %L2 columns, more than this "
                                                         "program reads.")
                                              .arg(rows)
                                              .arg(cols));

    SheetBuilder b(cx.limits, cx.error, cx.failure);
    b.setName(names.value(index));
    const quint16 dateFmt = b.formatIndex(QStringLiteral("yyyy-mm-dd"));
    const quint16 dateTimeFmt = b.formatIndex(QStringLiteral("yyyy-mm-dd hh:mm:ss"));
    const quint16 timeFmt = b.formatIndex(QStringLiteral("hh:mm:ss"));
    if (cx.meter) cx.meter->setTotal(qint64(rows) * cols * 16);
    for (unsigned int r = 0; r < rows; ++r) {
        if (cx.meter && !cx.meter->advance(qint64(cols) * 16))
            return cx.fail(Failure::Cancelled, QStringLiteral("Reading was cancelled."));
        for (unsigned short c = 0; c < cols; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(fx.h, r, c, &v) != FREEXL_OK) continue;
            const int row = int(r) + 1, col = int(c) + 1;
            bool ok = true;
            switch (v.type) {
            case FREEXL_CELL_INT: ok = b.addNumber(row, col, double(v.value.int_value), 0); break;
            case FREEXL_CELL_DOUBLE: ok = b.addNumber(row, col, v.value.double_value, 0); break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
                if (v.value.text_value) ok = b.addText(row, col, QString::fromUtf8(v.value.text_value));
                break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME: {
                if (!v.value.text_value) break;
                const QString t = QString::fromUtf8(v.value.text_value);
                if (v.type == FREEXL_CELL_TIME) {
                    const QTime tm = QTime::fromString(t, QStringLiteral("hh:mm:ss"));
                    if (tm.isValid()) ok = b.addDate(row, col, tm.msecsSinceStartOfDay() / 86400000.0, timeFmt, true);
                    else ok = b.addText(row, col, t);
                } else {
                    QDateTime dt = QDateTime::fromString(t, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
                    if (!dt.isValid()) dt = QDateTime(QDate::fromString(t, QStringLiteral("yyyy-MM-dd")), QTime(0, 0));
                    // FreeXL has applied the workbook's date system already.
                    if (dt.isValid())
                        ok = b.addDate(row, col, dateTimeToSerial(dt, false),
                                       v.type == FREEXL_CELL_DATE ? dateFmt : dateTimeFmt);
                    else
                        ok = b.addText(row, col, t);
                }
                break;
            }
            default: break;
            }
            if (!ok) return nullptr;
        }
    }
    Workbook::Parts p;
    p.format = Format::Xls;
    p.sheetNames = names;
    p.active = index;
    p.date1904 = date1904;
    p.sheet = b.finish();
    return std::make_unique<Workbook>(std::move(p));
}

}  // namespace sheet::detail
