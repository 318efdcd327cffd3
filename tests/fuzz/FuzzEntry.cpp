#include "tests/fuzz/FuzzEntry.h"

#include <QByteArray>
#include <QList>
#include <cmath>
#include <cstdio>

#include "exchange/sheet/TextFile.h"
#include "exchange/sheet/Workbook.h"
#include "tests/exchange/sheet/SheetFiles.h"

namespace fuzz {

namespace {

// Small limits keep each input fast; the bounds themselves are what is tested.
sheet::OpenOptions options(bool general) {
    sheet::OpenOptions o;
    o.limits.maxCells = 200000;
    o.limits.maxTextChars = 4000000;
    o.limits.maxSharedStrings = 200000;
    o.limits.maxPartBytes = 16 << 20;
    o.limits.maxSmallPartBytes = 4 << 20;
    o.generalXmlOnly = general;
    return o;
}

// Cells looked at per workbook, empty ones included: a sheet may claim a
// million rows of sixteen thousand columns.
constexpr long kMaxVisits = 2'000'000;

[[noreturn]] void finding(const char* what, const QString& detail) {
    fprintf(stderr, "fuzz finding: %s: %s\n", what, qPrintable(detail));
    fflush(stderr);
    __builtin_trap();
}

long readAll(const sheet::Workbook& wb) {
    const sheet::Worksheet& s = wb.activeSheet();
    long seen = 0, visits = 0;
    for (int r = 1; r <= s.rowCount() && visits < kMaxVisits; ++r) {
        if (s.rowIsEmpty(r)) continue;
        for (int c = 1; c <= s.columnCount() && visits < kMaxVisits; ++c, ++visits) {
            const sheet::Cell cell = s.cell(r, c);
            if (!cell.isEmpty()) ++seen;
        }
    }
    return seen;
}

bool sameValue(const QVariant& a, const QVariant& b) {
    if (a.typeId() != b.typeId()) return false;
    if (a.typeId() == QMetaType::Double) {
        const double x = a.toDouble(), y = b.toDouble();
        return x == y || (std::isnan(x) && std::isnan(y));
    }
    return a == b;
}

QString where(int r, int c) { return QStringLiteral("row %1, column %2").arg(r).arg(c); }

// The two readings of one package, cell by cell.
long compare(const sheet::Workbook& fast, const sheet::Workbook& general) {
    if (fast.format() != general.format()) finding("format differs", sheet::formatName(fast.format()));
    if (fast.sheetNames() != general.sheetNames())
        finding("sheet names differ", fast.sheetNames().join(QLatin1Char('|')) + QStringLiteral(" / ") +
                                          general.sheetNames().join(QLatin1Char('|')));
    if (fast.activeIndex() != general.activeIndex()) finding("active sheet differs", QString());
    if (fast.date1904() != general.date1904()) finding("date system differs", QString());
    const sheet::Worksheet& a = fast.activeSheet();
    const sheet::Worksheet& b = general.activeSheet();
    if (a.name() != b.name()) finding("sheet name differs", a.name() + QStringLiteral(" / ") + b.name());
    if (a.rowCount() != b.rowCount() || a.columnCount() != b.columnCount() || a.storedCells() != b.storedCells())
        finding("used range differs", QStringLiteral("%1 x %2 (%3 cells) / %4 x %5 (%6 cells)")
                                          .arg(a.rowCount())
                                          .arg(a.columnCount())
                                          .arg(a.storedCells())
                                          .arg(b.rowCount())
                                          .arg(b.columnCount())
                                          .arg(b.storedCells()));
    long seen = 0, visits = 0;
    for (int r = 1; r <= a.rowCount() && visits < kMaxVisits; ++r) {
        if (a.rowIsEmpty(r) != b.rowIsEmpty(r)) finding("row emptiness differs", where(r, 0));
        if (a.rowIsEmpty(r)) continue;
        for (int c = 1; c <= a.columnCount() && visits < kMaxVisits; ++c, ++visits) {
            const sheet::Cell x = a.cell(r, c);
            const sheet::Cell y = b.cell(r, c);
            if (x.kind != y.kind) finding("cell kind differs", where(r, c));
            if (!sameValue(x.value, y.value))
                finding("cell value differs", where(r, c) + QStringLiteral(": ") + x.value.toString() +
                                                  QStringLiteral(" / ") + y.value.toString());
            if (x.text != y.text) finding("cell text differs", where(r, c) + QStringLiteral(": ") + x.text +
                                                                  QStringLiteral(" / ") + y.text);
            if (x.valueText != y.valueText) finding("cell value text differs", where(r, c));
            if (!x.isEmpty()) ++seen;
        }
    }
    return seen;
}

std::unique_ptr<sheet::Workbook> open(const QByteArray& bytes, bool general, QString* error) {
    auto wb = sheet::Workbook::openData(bytes, error, options(general));
    if (!wb && error->isEmpty()) finding("refused without a reason", QString());
    return wb;
}

QByteArray bytesOf(const uint8_t* data, size_t size) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}

}  // namespace

long workbook(const uint8_t* data, size_t size) {
    const QByteArray bytes = bytesOf(data, size);
    // This entry is for the zip readers; other content has entries of its own.
    if (!bytes.startsWith("PK")) return 0;
    QString fastError, generalError;
    const auto fast = open(bytes, false, &fastError);
    const auto general = open(bytes, true, &generalError);
    if (fast && general) return compare(*fast, *general);
    if (general) finding("only QXmlStreamReader reads it", fastError);
    return fast ? readAll(*fast) : -1;
}

long xlsxParts(const uint8_t* data, size_t size) {
    const QByteArray bytes = bytesOf(data, size);
    if (bytes.startsWith("PK")) return workbook(data, size);
    const QList<QByteArray> pieces = bytes.split('\0');
    testfiles::Xlsx x;
    x.sheets << QString();
    x.extra << testfiles::Part{QStringLiteral("xl/worksheets/sheet1.xml"), pieces.value(0)};
    if (pieces.size() > 1) {
        x.shared = QStringLiteral(" ");  // the part is named in the workbook's relationships
        x.extra << testfiles::Part{QStringLiteral("xl/sharedStrings.xml"), pieces.value(1)};
    }
    if (pieces.size() > 2) {
        x.styles = QStringLiteral(" ");
        x.extra << testfiles::Part{QStringLiteral("xl/styles.xml"), pieces.value(2)};
    }
    const QByteArray package = x.bytes();
    return workbook(reinterpret_cast<const uint8_t*>(package.constData()), size_t(package.size()));
}

long odsParts(const uint8_t* data, size_t size) {
    const QByteArray bytes = bytesOf(data, size);
    if (bytes.startsWith("PK")) return workbook(data, size);
    const QList<QByteArray> pieces = bytes.split('\0');
    QList<testfiles::Part> parts;
    parts << testfiles::Part{QStringLiteral("mimetype"), QByteArray("application/vnd.oasis.opendocument.spreadsheet"),
                             {}, true};
    parts << testfiles::Part{QStringLiteral("content.xml"), pieces.value(0)};
    if (pieces.size() > 1) parts << testfiles::Part{QStringLiteral("settings.xml"), pieces.value(1)};
    const QByteArray package = testfiles::zip(parts);
    return workbook(reinterpret_cast<const uint8_t*>(package.constData()), size_t(package.size()));
}

long xls(const uint8_t* data, size_t size) {
    const QByteArray bytes = bytesOf(data, size);
    if (!bytes.startsWith("\xD0\xCF\x11\xE0")) return 0;
    QString error;
    const auto wb = open(bytes, false, &error);
    return wb ? readAll(*wb) : -1;
}

long text(const uint8_t* data, size_t size) {
    const QByteArray bytes = bytesOf(data, size);
    // Zip and compound files have readers (and an entry) of their own.
    if (bytes.startsWith("PK") || bytes.startsWith("\xD0\xCF\x11\xE0")) return 0;
    sheet::detectTextEncoding(bytes);
    const QString sample = QString::fromUtf8(bytes.left(4096));
    sheet::detectSeparator(sample);
    QString error;
    const auto wb = open(bytes, false, &error);
    return wb ? readAll(*wb) : -1;
}

}  // namespace fuzz
