// .csv and .txt: quoted fields may hold separators, quotes (doubled) and
// line breaks. Every field is a text cell, taken as written: "007" stays
// "007", and a date stays the text it is.
#include <QHash>
#include <QStringDecoder>

#include "exchange/sheet/Readers.h"
#include "exchange/sheet/SheetStore.h"
#include "exchange/sheet/TextFile.h"

namespace sheet {

namespace {

// The UTF-8 sequences of more than one byte, and the bytes that belong to
// no well-formed sequence, from offset from on.
struct Utf8Scan {
    qint64 multiByte = 0;
    qint64 bad = 0;
    qsizetype firstBad = -1;
};
Utf8Scan scanUtf8(const QByteArray& d, qsizetype from = 0) {
    const auto* p = reinterpret_cast<const unsigned char*>(d.constData());
    const qsizetype n = d.size();
    Utf8Scan out;
    for (qsizetype i = from; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len = 0;
        unsigned int cp = 0;
        if ((c & 0xE0) == 0xC0) len = 2, cp = c & 0x1F;
        else if ((c & 0xF0) == 0xE0) len = 3, cp = c & 0x0F;
        else if ((c & 0xF8) == 0xF0) len = 4, cp = c & 0x07;
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past Unicode are not UTF-8.
        ok = ok && !((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
                     cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF));
        if (!ok) {
            if (out.firstBad < 0) out.firstBad = i;
            ++out.bad;
            ++i;
            continue;
        }
        ++out.multiByte;
        i += len;
    }
    return out;
}

// True when every byte above 0x7F belongs to a well-formed GB18030
// sequence and most two-byte pairs lie where Chinese characters do (both
// bytes from 0xA1); Western text in Windows-1252 rarely has two such bytes
// in a row.
bool looksLikeGb18030(const QByteArray& d) {
    const auto* p = reinterpret_cast<const unsigned char*>(d.constData());
    const qsizetype n = d.size();
    qint64 pairs = 0, hanPairs = 0;
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c == 0x80 || c == 0xFF || i + 1 >= n) return false;
        const unsigned char c2 = p[i + 1];
        if (c2 >= 0x30 && c2 <= 0x39) {
            if (i + 3 >= n || p[i + 2] < 0x81 || p[i + 2] > 0xFE || p[i + 3] < 0x30 || p[i + 3] > 0x39) return false;
            i += 4;
            ++pairs;
            continue;
        }
        if (c2 < 0x40 || c2 == 0x7F || c2 == 0xFF) return false;
        ++pairs;
        if (c >= 0xA1 && c2 >= 0xA1) ++hanPairs;
        i += 2;
    }
    return pairs > 0 && hanPairs * 5 >= pairs * 4;
}

}  // namespace

TextEncoding detectTextEncoding(const QByteArray& data) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData());
    const qsizetype n = data.size();
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return {QStringLiteral("UTF-8"), 3};
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) return {QStringLiteral("UTF-16LE"), 2};
    if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) return {QStringLiteral("UTF-16BE"), 2};
    if (n >= 4 && p[0] == 0x84 && p[1] == 0x31 && p[2] == 0x95 && p[3] == 0x33) return {QStringLiteral("GB18030"), 4};
    // UTF-16 without a mark: Latin text has a zero in every other byte.
    const qsizetype sample = std::min<qsizetype>(n & ~qsizetype(1), 65536);
    qsizetype zeroOdd = 0, zeroEven = 0;
    for (qsizetype i = 0; i + 1 < sample; i += 2) {
        if (p[i] == 0 && p[i + 1] != 0) ++zeroEven;
        if (p[i + 1] == 0 && p[i] != 0) ++zeroOdd;
    }
    if (sample >= 4) {
        if (zeroOdd * 10 >= sample / 2 * 3 && zeroEven == 0) return {QStringLiteral("UTF-16LE"), 0};
        if (zeroEven * 10 >= sample / 2 * 3 && zeroOdd == 0) return {QStringLiteral("UTF-16BE"), 0};
    }
    const Utf8Scan utf8 = scanUtf8(data);
    if (utf8.bad == 0) return {QStringLiteral("UTF-8"), 0};
    // Chinese text in GB18030 forms a UTF-8 sequence now and then by chance,
    // far fewer than the bytes that form none; Western legacy text hardly ever.
    if (utf8.multiByte >= 2 * utf8.bad) return {QStringLiteral("UTF-8"), 0, utf8.firstBad};
    if (looksLikeGb18030(data)) return {QStringLiteral("GB18030"), 0};
    return {QStringLiteral("Windows-1252"), 0};
}

QChar detectSeparator(QStringView text, bool* sepLine) {
    if (sepLine) *sepLine = false;
    if (text.size() >= 5 && text.left(4).compare(u"sep=", Qt::CaseInsensitive) == 0 &&
        (text.size() == 5 || text[5] == QLatin1Char('\n') || text[5] == QLatin1Char('\r'))) {
        if (sepLine) *sepLine = true;
        return text[4];
    }
    const QChar candidates[3] = {QLatin1Char(','), QLatin1Char(';'), QLatin1Char('\t')};
    QList<QList<int>> counts(3);
    QList<int> line(3, 0);
    bool quoted = false;
    int lines = 0;
    for (qsizetype i = 0; i < text.size() && lines < 50; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('"')) quoted = !quoted;
        if (quoted) continue;
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
            for (int k = 0; k < 3; ++k) counts[k] << line[k];
            line = QList<int>(3, 0);
            ++lines;
            continue;
        }
        for (int k = 0; k < 3; ++k)
            if (c == candidates[k]) ++line[k];
    }
    if (line[0] || line[1] || line[2]) {
        for (int k = 0; k < 3; ++k) counts[k] << line[k];
    }
    int best = -1;
    qint64 bestScore = 0;
    for (int k = 0; k < 3; ++k) {
        QHash<int, int> freq;
        for (int c : counts[k])
            if (c > 0) ++freq[c];
        int modeLines = 0, mode = 0;
        for (auto it = freq.begin(); it != freq.end(); ++it)
            if (it.value() > modeLines || (it.value() == modeLines && it.key() > mode)) {
                modeLines = it.value();
                mode = it.key();
            }
        // Lines agreeing on a count weigh most, then the count itself.
        const qint64 score = qint64(modeLines) * 1000 + mode;
        if (score > bestScore) {
            bestScore = score;
            best = k;
        }
    }
    return best < 0 ? QLatin1Char(',') : candidates[best];
}

namespace detail {

std::unique_ptr<Workbook> readText(const QByteArray& data, const ReadContext& cx) {
    TextEncoding enc = detectTextEncoding(data);
    QStringDecoder decoder(enc.name.toLatin1().constData());
    if (!decoder.isValid()) return cx.fail(Failure::Unsupported, QStringLiteral("The text encoding %1 is not available.").arg(enc.name));
    // A byte order mark says UTF-8 whatever follows: checked like text without one.
    if (enc.bomBytes > 0 && enc.name == QLatin1String("UTF-8")) enc.badByte = scanUtf8(data, enc.bomBytes).firstBad;
    if (enc.badByte >= 0)
        return cx.fail(Failure::Damaged,
                       QStringLiteral("The file is UTF-8 text, but line %1 holds bytes that are not UTF-8: the file is "
                                      "damaged or was put together from files of different encodings, and part of it "
                                      "would come in garbled. Save it again as UTF-8 and try again.")
                           .arg(data.left(enc.badByte).count('\n') + 1));
    SheetBuilder b(cx.limits, cx.error, cx.failure);
    if (cx.meter) cx.meter->setTotal(data.size());

    constexpr qsizetype kChunk = 1 << 20;
    QChar sep = QLatin1Char(',');
    bool first = true;
    bool skipLine = false;
    // Parser state, kept across chunks.
    QString field;
    bool inQuotes = false, wasQuoted = false, afterQuote = false, pendingCr = false;
    int row = 1, col = 1;
    int quoteRow = 0, quoteCol = 0;  // where the open quote stands
    auto tooLong = [&]() {
        return cx.fail(Failure::TooLarge, QStringLiteral("The field in row %1, column %2 is longer than the %L3 characters "
                                                         "this program reads in one cell.")
                                              .arg(row)
                                              .arg(col)
                                              .arg(cx.limits.maxCellChars));
    };
    auto endField = [&]() -> bool {
        const bool ok = skipLine || b.addText(row, col, field);
        field.clear();
        wasQuoted = afterQuote = false;
        ++col;
        return ok;
    };
    auto endRecord = [&]() -> bool {
        const bool ok = endField();
        if (skipLine) skipLine = false;
        else ++row;
        col = 1;
        return ok;
    };
    for (qsizetype at = enc.bomBytes; at < data.size(); at += kChunk) {
        const QByteArray chunk = QByteArray::fromRawData(data.constData() + at, std::min(kChunk, data.size() - at));
        const QString text = decoder(chunk);
        if (cx.meter && !cx.meter->advance(chunk.size())) return cx.fail(Failure::Cancelled, QStringLiteral("Reading was cancelled."));
        if (first) {
            bool sepLine = false;
            sep = detectSeparator(text, &sepLine);
            skipLine = sepLine;
            first = false;
        }
        for (const QChar c : text) {
            if (pendingCr) {
                pendingCr = false;
                if (c == QLatin1Char('\n')) continue;  // the second half of CR LF
            }
            if (inQuotes) {
                if (c == QLatin1Char('"')) {
                    inQuotes = false;
                    afterQuote = true;
                } else if (c == QLatin1Char('\r')) {
                    field += QLatin1Char('\n');
                    pendingCr = true;
                } else {
                    field += c;
                    // A quoted field is bounded like a plain one, before it fills memory.
                    if (field.size() > cx.limits.maxCellChars) return tooLong();
                }
                continue;
            }
            if (c == QLatin1Char('"')) {
                if (afterQuote) {
                    field += c;  // "" inside quotes
                    inQuotes = true;
                    afterQuote = false;
                } else if (field.isEmpty() && !wasQuoted) {
                    inQuotes = wasQuoted = true;
                    quoteRow = row;
                    quoteCol = col;
                } else {
                    field += c;  // a stray quote inside a plain field
                }
                continue;
            }
            afterQuote = false;
            if (c == sep) {
                if (!endField()) return nullptr;
            } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
                if (!endRecord()) return nullptr;
                if (c == QLatin1Char('\r')) pendingCr = true;
            } else {
                field += c;
                if (field.size() > cx.limits.maxCellChars) return tooLong();
            }
        }
    }
    if (inQuotes)
        // Taking the rest of the file as one field would hide the mistake.
        return cx.fail(Failure::Damaged, QStringLiteral("The quote that opens the field in row %1, column %2 is never "
                                                        "closed, so the rest of the file would be one field. Close "
                                                        "the quote and try again.")
                                             .arg(quoteRow)
                                             .arg(quoteCol));
    if (!field.isEmpty() || col > 1) {
        if (!endField()) return nullptr;
    }
    // Bytes the encoding has no character for would come in as replacement
    // marks; half a character at the end would be dropped.
    const bool halfAtEnd = enc.name.startsWith(QLatin1String("UTF-16")) && (data.size() - enc.bomBytes) % 2 != 0;
    if (decoder.hasError() || halfAtEnd) return cx.fail(Failure::Damaged, QStringLiteral("The text is not valid %1.").arg(enc.name));

    Workbook::Parts p;
    p.format = Format::Csv;
    p.sheetNames << QString();
    p.sheet = b.finish();
    return std::make_unique<Workbook>(std::move(p));
}

}  // namespace detail

}  // namespace sheet
