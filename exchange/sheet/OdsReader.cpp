// .ods: content.xml holds every table; settings.xml names the active one.
// Each cell carries its value in attributes and the text shown for it in
// paragraphs, so no number formats need interpreting here. Rows and cells
// may be repeated: repeats of empty ones only move the position, repeats of
// filled ones count against the cell limit like any other cell.
#include <QXmlStreamReader>

#include "exchange/sheet/Readers.h"
#include "exchange/sheet/SheetStore.h"

namespace sheet::detail {

namespace {

struct PendingCell {
    int col;
    CellKind kind;
    double num;
    QString shown;
    bool timeOnly;
};

// "PT12H30M15.5S" as a fraction of a day.
bool parseDuration(QStringView s, double* days) {
    if (!s.startsWith(u"PT") && !s.startsWith(u"-PT")) return false;
    const bool neg = s.startsWith(u'-');
    s = s.mid(neg ? 3 : 2);
    double total = 0, num = 0;
    QString digits;
    for (QChar c : s) {
        if (c.isDigit() || c == QLatin1Char('.')) {
            digits += c;
            continue;
        }
        bool ok = false;
        num = digits.toDouble(&ok);
        if (!ok) return false;
        digits.clear();
        if (c == QLatin1Char('H')) total += num * 3600;
        else if (c == QLatin1Char('M')) total += num * 60;
        else if (c == QLatin1Char('S')) total += num;
        else return false;
    }
    *days = (neg ? -total : total) / 86400.0;
    return true;
}

int intAttr(const QXmlStreamAttributes& a, QStringView name, int fallback) {
    for (const QXmlStreamAttribute& at : a)
        if (at.name() == name) {
            bool ok = false;
            const int v = at.value().toInt(&ok);
            return ok && v > 0 ? v : fallback;
        }
    return fallback;
}

// The text of a paragraph, spaces, tabs and line breaks included; notes and
// other drawn objects inside it are left out. Runs of spaces stop past
// limit characters (the caller refuses a cell that long).
void readParagraph(QXmlStreamReader& x, QString& out, qint64 limit) {
    int depth = 1;
    while (depth > 0 && !x.atEnd() && !x.hasError()) {
        switch (x.readNext()) {
        case QXmlStreamReader::Characters:
            out += x.text();
            if (out.size() > limit) return;  // too long already: the caller says so
            break;
        case QXmlStreamReader::StartElement: {
            const QStringView n = x.name();
            if (n == u"s") {
                const qint64 room = std::max<qint64>(0, limit + 1 - out.size());
                out += QString(qsizetype(std::min<qint64>(intAttr(x.attributes(), u"c", 1), room)), QLatin1Char(' '));
                x.skipCurrentElement();
            } else if (n == u"tab") {
                out += QLatin1Char('\t');
                x.skipCurrentElement();
            } else if (n == u"line-break") {
                out += QLatin1Char('\n');
                x.skipCurrentElement();
            } else if (n == u"annotation" || n == u"note" || n == u"frame" || n == u"ruby-text") {
                x.skipCurrentElement();
            } else {
                ++depth;
            }
            break;
        }
        case QXmlStreamReader::EndElement: --depth; break;
        default: break;
        }
    }
}

class OdsReader {
public:
    OdsReader(ZipParts& zip, const ReadContext& cx) : zip_(zip), cx_(cx) {}
    std::unique_ptr<Workbook> read();

private:
    QString activeTable();
    bool contentEncrypted();
    // Streams content.xml; reads the table named want (the first when empty).
    // found tells whether it was there.
    bool readContent(const QString& want, SheetBuilder& b, bool* found, QStringList* names);
    bool readTable(QXmlStreamReader& x, SheetBuilder& b);
    bool readCell(QXmlStreamReader& x, PendingCell* c, bool* filled);

    ZipParts& zip_;
    const ReadContext& cx_;
    QString contentPart_;
};

// A document saved with a password keeps its parts encrypted; the manifest
// says which.
bool OdsReader::contentEncrypted() {
    const QString part = zip_.find(QStringLiteral("META-INF/manifest.xml"));
    if (part.isEmpty()) return false;
    QByteArray bytes;
    QString why;
    if (!zip_.readAll(part, cx_.limits.maxSmallPartBytes, &bytes, &why)) return false;
    QXmlStreamReader x(bytes);
    bool inContent = false;
    while (!x.atEnd() && !x.hasError()) {
        const auto t = x.readNext();
        if (t == QXmlStreamReader::EndElement && x.name() == u"file-entry") inContent = false;
        if (t != QXmlStreamReader::StartElement) continue;
        if (x.name() == u"file-entry") {
            for (const QXmlStreamAttribute& a : x.attributes())
                if (a.name() == u"full-path") inContent = a.value() == u"content.xml" || a.value() == u"/content.xml";
        } else if (x.name() == u"encryption-data" && inContent) {
            return true;
        }
    }
    return false;
}

QString OdsReader::activeTable() {
    const QString part = zip_.find(QStringLiteral("settings.xml"));
    if (part.isEmpty()) return QString();
    QByteArray bytes;
    QString why;
    if (!zip_.readAll(part, cx_.limits.maxSmallPartBytes, &bytes, &why)) return QString();
    QXmlStreamReader x(bytes);
    while (!x.atEnd() && !x.hasError()) {
        if (x.readNext() != QXmlStreamReader::StartElement || x.name() != u"config-item") continue;
        if (x.attributes().value(QStringLiteral("config:name")) == u"ActiveTable")
            return x.readElementText(QXmlStreamReader::IncludeChildElements);
    }
    return QString();
}

bool OdsReader::readCell(QXmlStreamReader& x, PendingCell* c, bool* filled) {
    QStringView type, calcType;
    QString value, dateValue, timeValue, boolValue, stringValue, formula;
    for (const QXmlStreamAttribute& a : x.attributes()) {
        const QStringView n = a.name();
        if (n == u"value-type") {
            if (a.prefix() == u"calcext") calcType = a.value();
            else type = a.value();
        } else if (n == u"value") {
            value = a.value().toString();
        } else if (n == u"date-value") {
            dateValue = a.value().toString();
        } else if (n == u"time-value") {
            timeValue = a.value().toString();
        } else if (n == u"boolean-value") {
            boolValue = a.value().toString();
        } else if (n == u"string-value") {
            stringValue = a.value().toString();
        } else if (n == u"formula") {
            formula = a.value().toString();
        }
    }
    const QString typeText = type.toString();
    const QString calcText = calcType.toString();
    // The shown text: the cell's paragraphs, one per line.
    QString shown;
    bool firstParagraph = true;
    int depth = 1;
    while (depth > 0 && !x.atEnd() && !x.hasError()) {
        const auto t = x.readNext();
        if (t == QXmlStreamReader::StartElement) {
            if (x.name() == u"p" || x.name() == u"h") {
                if (!firstParagraph) shown += QLatin1Char('\n');
                firstParagraph = false;
                readParagraph(x, shown, cx_.limits.maxCellChars);
                // Kept whole, up to what this program reads in one cell.
                if (shown.size() > cx_.limits.maxCellChars) {
                    cx_.fail(Failure::TooLarge, QStringLiteral("A cell of the sheet holds more than %L1 characters, "
                                                               "more than this program reads in one cell.")
                                                    .arg(cx_.limits.maxCellChars));
                    return false;
                }
            } else {
                x.skipCurrentElement();  // notes, drawings, nested tables
            }
        } else if (t == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    if (x.hasError()) return false;

    c->shown = shown;
    c->num = 0;
    c->timeOnly = false;
    *filled = true;
    bool ok = false;
    if (calcText == QLatin1String("error")) {
        c->kind = CellKind::Error;
        if (c->shown.isEmpty()) c->shown = QStringLiteral("#VALUE!");
    } else if (typeText == QLatin1String("float") || typeText == QLatin1String("percentage") ||
               typeText == QLatin1String("currency")) {
        c->num = value.trimmed().toDouble(&ok);
        c->kind = ok ? CellKind::Number : CellKind::Text;
        if (ok && c->shown.isEmpty()) c->shown = NumberFormat::general(c->num);
    } else if (typeText == QLatin1String("date")) {
        QDateTime dt = QDateTime::fromString(dateValue, Qt::ISODateWithMs);
        if (!dt.isValid()) {
            const QDate d = QDate::fromString(dateValue.left(10), Qt::ISODate);
            if (d.isValid()) dt = QDateTime(d, QTime(0, 0));
        }
        if (dt.isValid()) {
            c->kind = CellKind::DateTime;
            c->num = dateTimeToSerial(dt, false);
            if (c->shown.isEmpty())
                c->shown = dt.time() == QTime(0, 0) ? dt.date().toString(QStringLiteral("yyyy-MM-dd"))
                                                    : dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        } else {
            c->kind = CellKind::Text;
        }
    } else if (typeText == QLatin1String("time")) {
        double days = 0;
        if (parseDuration(timeValue, &days) && days >= 0) {
            c->kind = CellKind::DateTime;
            c->num = days;
            c->timeOnly = days < 1;
        } else {
            c->kind = CellKind::Text;
        }
    } else if (typeText == QLatin1String("boolean")) {
        c->kind = CellKind::Boolean;
        c->num = boolValue.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || boolValue == QLatin1String("1");
        if (c->shown.isEmpty()) c->shown = c->num != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    } else if (typeText.isEmpty() && calcText.isEmpty() && !formula.isEmpty() && c->shown.isEmpty()) {
        // A formula and no result: written by a program that does not calculate.
        c->kind = CellKind::Uncalculated;
        c->shown = formula.startsWith(QLatin1String("of:")) ? formula.mid(3) : formula;
        if (c->shown.startsWith(QLatin1Char('='))) c->shown.remove(0, 1);
    } else {
        c->kind = CellKind::Text;
        if (!stringValue.isEmpty() && c->shown.isEmpty()) c->shown = stringValue;
    }
    if (c->kind == CellKind::Text && c->shown.isEmpty()) *filled = false;
    return true;
}

bool OdsReader::readTable(QXmlStreamReader& x, SheetBuilder& b) {
    qint64 row = 0;  // rows done so far
    int depth = 1;
    std::vector<PendingCell> cells;
    while (depth > 0 && !x.atEnd() && !x.hasError()) {
        const auto t = x.readNext();
        if (t == QXmlStreamReader::EndElement) {
            --depth;
            continue;
        }
        if (t != QXmlStreamReader::StartElement) continue;
        const QStringView n = x.name();
        if (n != u"table-row") {
            if (n == u"table-header-rows" || n == u"table-row-group" || n == u"table-rows") ++depth;
            else x.skipCurrentElement();
            continue;
        }
        const int rowsRepeated = intAttr(x.attributes(), u"number-rows-repeated", 1);
        cells.clear();
        qint64 col = 0;
        while (!x.atEnd() && !x.hasError()) {
            const auto ct = x.readNext();
            if (ct == QXmlStreamReader::EndElement && x.name() == u"table-row") break;
            if (ct != QXmlStreamReader::StartElement) continue;
            if (x.name() != u"table-cell" && x.name() != u"covered-table-cell") {
                x.skipCurrentElement();
                continue;
            }
            const int colsRepeated = intAttr(x.attributes(), u"number-columns-repeated", 1);
            PendingCell c{};
            bool filled = false;
            if (!readCell(x, &c, &filled)) return false;
            if (filled) {
                if (col + colsRepeated > cx_.limits.maxColumns)
                    return b.fail(Failure::TooLarge, QStringLiteral("A row of the sheet runs past the last column a "
                                                                    "sheet can have."));
                if (qint64(cells.size()) + colsRepeated > cx_.limits.maxColumns)
                    return b.fail(Failure::TooLarge, QStringLiteral("A row of the sheet has too many cells."));
                for (int k = 0; k < colsRepeated; ++k) {
                    c.col = int(col + 1 + k);
                    cells.push_back(c);
                }
            }
            col += colsRepeated;
        }
        if (!cells.empty()) {
            for (int r = 0; r < rowsRepeated; ++r) {
                const qint64 at = row + 1 + r;
                if (at > cx_.limits.maxRows)
                    return b.fail(Failure::TooLarge, QStringLiteral("The sheet has values past the last row a sheet "
                                                                    "can have."));
                for (const PendingCell& c : cells)
                    if (!b.addShown(int(at), c.col, c.kind, c.num, c.shown, c.timeOnly)) return false;
            }
        }
        row += rowsRepeated;
    }
    return !x.hasError();
}

bool OdsReader::readContent(const QString& want, SheetBuilder& b, bool* found, QStringList* names) {
    *found = false;
    QString why;
    QIODevice* dev = zip_.stream(contentPart_, cx_.limits.maxPartBytes, cx_.meter, &why);
    if (!dev) {
        cx_.fail(zip_.encrypted(contentPart_) ? Failure::Encrypted : Failure::TooLarge, why);
        return false;
    }
    QXmlStreamReader x(dev);
    while (!x.atEnd() && !x.hasError()) {
        if (x.readNext() != QXmlStreamReader::StartElement) continue;
        if (x.name() != u"table" || !x.namespaceUri().endsWith(u":table:1.0")) continue;
        const QString name = x.attributes().value(QStringLiteral("table:name")).toString();
        names->append(name);
        if (names->size() > 10000) {
            zip_.closeStream();
            return cx_.fail(Failure::Damaged, QStringLiteral("The document lists too many tables.")), false;
        }
        if (!*found && (want.isEmpty() || name == want)) {
            *found = true;
            b.setName(name);
            if (!readTable(x, b)) {
                const bool cancelled = zip_.cancelledRead(), exceeded = zip_.exceeded();
                const QString err = x.errorString();
                const qint64 line = x.lineNumber();
                zip_.closeStream();
                if (cancelled) return cx_.fail(Failure::Cancelled, QStringLiteral("Reading was cancelled.")), false;
                if (exceeded)
                    return cx_.fail(Failure::TooLarge, QStringLiteral("The document's content is larger than %L1 bytes "
                                                                      "once unpacked; it is refused as a likely zip bomb.")
                                                           .arg(cx_.limits.maxPartBytes)),
                           false;
                if (!err.isEmpty())
                    return cx_.fail(Failure::Damaged, QStringLiteral("The document's content is damaged: %1 (line %2).")
                                                          .arg(err)
                                                          .arg(line)),
                           false;
                return false;  // the builder said why
            }
        } else {
            x.skipCurrentElement();
        }
    }
    const bool cancelled = zip_.cancelledRead(), exceeded = zip_.exceeded();
    const bool error = x.hasError();
    const QString err = x.errorString();
    const qint64 line = x.lineNumber();
    zip_.closeStream();
    if (cancelled) return cx_.fail(Failure::Cancelled, QStringLiteral("Reading was cancelled.")), false;
    if (exceeded)
        return cx_.fail(Failure::TooLarge, QStringLiteral("The document's content is larger than %L1 bytes once "
                                                          "unpacked; it is refused as a likely zip bomb.")
                                               .arg(cx_.limits.maxPartBytes)),
               false;
    if (error)
        return cx_.fail(Failure::Damaged, QStringLiteral("The document's content is damaged: %1 (line %2).").arg(err).arg(line)),
               false;
    return true;
}

std::unique_ptr<Workbook> OdsReader::read() {
    contentPart_ = zip_.find(QStringLiteral("content.xml"));
    if (contentPart_.isEmpty())
        return cx_.fail(Failure::Damaged, QStringLiteral("The spreadsheet document has no content part."));
    if (contentEncrypted())
        return cx_.fail(Failure::Encrypted, QStringLiteral("The spreadsheet is protected by a password. Save it without a "
                                                           "password and try again."));
    if (cx_.meter) cx_.meter->setTotal(std::max<qint64>(0, zip_.claimedSize(contentPart_)));
    const QString active = activeTable();
    auto b = std::make_unique<SheetBuilder>(cx_.limits, cx_.error, cx_.failure);
    bool found = false;
    QStringList names;
    if (!readContent(active, *b, &found, &names)) return nullptr;
    if (!found && !active.isEmpty()) {
        // The active table named in the settings is not there: the first one is.
        b = std::make_unique<SheetBuilder>(cx_.limits, cx_.error, cx_.failure);
        names.clear();
        if (!readContent(QString(), *b, &found, &names)) return nullptr;
    }
    if (!found) return cx_.fail(Failure::Damaged, QStringLiteral("The spreadsheet document holds no table."));
    Workbook::Parts p;
    p.format = Format::Ods;
    p.sheetNames = names;
    p.active = 0;
    for (int i = 0; i < names.size(); ++i)
        if (names[i] == active) p.active = i;
    p.sheet = b->finish();
    return std::make_unique<Workbook>(std::move(p));
}

}  // namespace

std::unique_ptr<Workbook> readOds(ZipParts& zip, const ReadContext& cx) {
    OdsReader r(zip, cx);
    return r.read();
}

}  // namespace sheet::detail
