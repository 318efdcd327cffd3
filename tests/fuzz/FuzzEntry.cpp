#include "tests/fuzz/FuzzEntry.h"

#include <QByteArray>

#include "exchange/sheet/TextFile.h"
#include "exchange/sheet/Workbook.h"

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

long readAll(const sheet::Workbook& wb) {
    const sheet::Worksheet& s = wb.activeSheet();
    long seen = 0;
    const long limit = 400000;
    for (int r = 1; r <= s.rowCount() && seen < limit; ++r) {
        if (s.rowIsEmpty(r)) continue;
        for (int c = 1; c <= s.columnCount() && seen < limit; ++c) {
            const sheet::Cell cell = s.cell(r, c);
            if (!cell.isEmpty()) ++seen;
        }
    }
    return seen;
}

long open(const QByteArray& bytes, bool general) {
    QString error;
    auto wb = sheet::Workbook::openData(bytes, &error, options(general));
    if (!wb) return error.isEmpty() ? -2 : -1;  // a refusal must say why
    return readAll(*wb);
}

}  // namespace

long workbook(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    // This entry is for the zip readers; other content has entries of its own.
    if (!bytes.startsWith("PK")) return 0;
    const long fast = open(bytes, false);
    const long general = open(bytes, true);
    if (fast == -2 || general == -2) __builtin_trap();
    return fast;
}

long xls(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!bytes.startsWith("\xD0\xCF\x11\xE0")) return 0;
    const long n = open(bytes, false);
    if (n == -2) __builtin_trap();
    return n;
}

long text(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    // Zip and compound files have readers (and an entry) of their own.
    if (bytes.startsWith("PK") || bytes.startsWith("\xD0\xCF\x11\xE0")) return 0;
    sheet::detectTextEncoding(bytes);
    const QString sample = QString::fromUtf8(bytes.left(4096));
    sheet::detectSeparator(sample);
    const long n = open(bytes, false);
    if (n == -2) __builtin_trap();
    return n;
}

}  // namespace fuzz
