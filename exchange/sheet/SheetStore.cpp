#include "exchange/sheet/SheetStore.h"

#include <QHash>
#include <algorithm>
#include <cmath>

namespace sheet::detail {

namespace {
bool before(const CellRec& a, const CellRec& b) { return a.row != b.row ? a.row < b.row : a.col < b.col; }

QString boolValueText(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }
}  // namespace

// ---- cell references ---------------------------------------------------------

bool parseCellRef(QStringView ref, int* row, int* col) {
    qint64 c = 0, r = 0;
    int i = 0;
    const int n = int(ref.size());
    if (i < n && ref[i] == QLatin1Char('$')) ++i;
    const int letters = i;
    while (i < n && ref[i].isLetter() && ref[i].unicode() < 128) {
        c = c * 26 + (ref[i].toUpper().unicode() - 'A' + 1);
        if (c > 16384) return false;
        ++i;
    }
    if (i == letters) return false;
    if (i < n && ref[i] == QLatin1Char('$')) ++i;
    const int digits = i;
    while (i < n && ref[i].isDigit()) {
        r = r * 10 + (ref[i].unicode() - '0');
        if (r > 1048576) return false;
        ++i;
    }
    if (i == digits || i != n || r < 1) return false;
    *row = int(r);
    *col = int(c);
    return true;
}

bool parseCellRef(QByteArrayView ref, int* row, int* col) {
    qint64 c = 0, r = 0;
    qsizetype i = 0;
    const qsizetype n = ref.size();
    if (i < n && ref[i] == '$') ++i;
    const qsizetype letters = i;
    while (i < n && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
        c = c * 26 + ((ref[i] & ~0x20) - 'A' + 1);
        if (c > 16384) return false;
        ++i;
    }
    if (i == letters) return false;
    if (i < n && ref[i] == '$') ++i;
    const qsizetype digits = i;
    while (i < n && ref[i] >= '0' && ref[i] <= '9') {
        r = r * 10 + (ref[i] - '0');
        if (r > 1048576) return false;
        ++i;
    }
    if (i == digits || i != n || r < 1) return false;
    *row = int(r);
    *col = int(c);
    return true;
}

QString columnName(int col) {
    QString s;
    while (col > 0) {
        const int m = (col - 1) % 26;
        s.prepend(QChar('A' + m));
        col = (col - 1) / 26;
    }
    return s;
}

// ---- the store -----------------------------------------------------------------

const CellRec* SheetData::find(int row, int col) const {
    if (row < 1 || col < 1 || row > rows || col > cols) return nullptr;
    // The next cell after the last one found, as a reader walking a row asks.
    for (size_t i = lastFound; i < lastFound + 2 && i < cells.size(); ++i)
        if (cells[i].row == quint32(row) && cells[i].col == quint32(col)) {
            lastFound = i;
            return &cells[i];
        }
    CellRec key;
    key.row = quint32(row);
    key.col = quint32(col);
    const auto it = std::lower_bound(cells.begin(), cells.end(), key, before);
    if (it == cells.end() || it->row != key.row || it->col != key.col) return nullptr;
    lastFound = size_t(it - cells.begin());
    return &*it;
}

QString SheetData::text(const CellRec& c) const {
    const auto kind = CellKind(c.kind);
    if (c.flags & HasDisplay) return strings.at(c.str);
    switch (kind) {
    case CellKind::Text: {
        const QString s = strings.at(c.str);
        return c.fmt ? formats[c.fmt].formatText(s) : s;
    }
    case CellKind::Number:
    case CellKind::DateTime: return formats[c.fmt].format(c.num, date1904);
    case CellKind::Boolean: return c.num != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case CellKind::Error: return strings.at(c.str);
    case CellKind::Uncalculated:
    case CellKind::Empty: break;
    }
    return QString();
}

QVariant SheetData::value(const CellRec& c) const {
    switch (CellKind(c.kind)) {
    case CellKind::Text:
    case CellKind::Error: return strings.at(c.str);
    case CellKind::Number: return c.num;
    case CellKind::Boolean: return c.num != 0;
    case CellKind::DateTime: return serialToDateTime(c.num, date1904);
    case CellKind::Uncalculated: return QString(QLatin1Char('=') + strings.at(c.str));
    case CellKind::Empty: break;
    }
    return QVariant();
}

QString SheetData::valueText(const CellRec& c) const {
    switch (CellKind(c.kind)) {
    case CellKind::Text:
    case CellKind::Error: return strings.at(c.str);
    case CellKind::Number: return NumberFormat::general(c.num);
    case CellKind::Boolean: return boolValueText(c.num != 0);
    case CellKind::DateTime: {
        bool ok = false;
        // Whole seconds: what a date column keeps.
        const double serial = std::round(c.num * 86400.0) / 86400.0;
        const QDateTime dt = serialToDateTime(serial, date1904, &ok);
        if (!ok) return NumberFormat::general(c.num);
        if ((c.flags & TimeOnly) || serial < 1) return dt.time().toString(QStringLiteral("hh:mm:ss"));
        if (dt.time() == QTime(0, 0)) return dt.date().toString(QStringLiteral("yyyy-MM-dd"));
        return dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    case CellKind::Uncalculated:
    case CellKind::Empty: break;
    }
    return QString();
}

Cell SheetData::cell(const CellRec& c) const {
    Cell out;
    out.kind = CellKind(c.kind);
    out.value = value(c);
    out.text = text(c);
    out.valueText = valueText(c);
    return out;
}

// ---- the builder ---------------------------------------------------------------

SheetBuilder::SheetBuilder(const Limits& limits, QString* error, Failure* failure)
    : d_(std::make_shared<SheetData>()), limits_(limits), error_(error), failure_(failure) {
    d_->formats.emplace_back();  // General
}

namespace {
// A cell record at row and col of kind, with its format.
CellRec cellAt(int row, int col, CellKind kind, quint16 fmt = 0) {
    CellRec c;
    c.row = quint32(row);
    c.col = quint32(col);
    c.kind = quint8(kind);
    c.fmt = fmt;
    return c;
}
}  // namespace

bool SheetBuilder::fail(Failure f, const QString& why) {
    if (failure_ && *failure_ == Failure::None) *failure_ = f;
    if (error_ && error_->isEmpty()) *error_ = why;
    return false;
}

quint16 SheetBuilder::formatIndex(const QString& code) {
    const QString c = code.trimmed();
    if (c.isEmpty() || c.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0) return 0;
    for (size_t i = 1; i < d_->formats.size(); ++i)
        if (d_->formats[i].code() == code) return quint16(i);
    if (d_->formats.size() >= 65535) return 0;
    d_->formats.emplace_back(code);
    return quint16(d_->formats.size() - 1);
}

bool SheetBuilder::place(int row, int col) {
    if (row < 1 || row > limits_.maxRows)
        return fail(Failure::TooLarge,
                    QStringLiteral("A cell stands in row %1, beyond the last row a sheet can have (%2).")
                        .arg(row)
                        .arg(limits_.maxRows));
    if (col < 1 || col > limits_.maxColumns)
        return fail(Failure::TooLarge,
                    QStringLiteral("A cell stands in column %1, beyond the last column a sheet can have (%2).")
                        .arg(col)
                        .arg(limits_.maxColumns));
    if (qint64(d_->cells.size()) >= limits_.maxCells)
        return fail(Failure::TooLarge,
                    QStringLiteral("The sheet holds more than %L1 cells, more than this program reads at once.")
                        .arg(limits_.maxCells));
    if (quint32(row) < lastRow_ || (quint32(row) == lastRow_ && quint32(col) <= lastCol_)) sorted_ = false;
    lastRow_ = quint32(row);
    lastCol_ = quint32(col);
    return true;
}

bool SheetBuilder::checkTextBudget() {
    if (d_->strings.chars() > limits_.maxTextChars)
        return fail(Failure::TooLarge,
                    QStringLiteral("The sheet holds more than %L1 characters of text, more than this program "
                                   "reads at once.")
                        .arg(limits_.maxTextChars));
    return true;
}

bool SheetBuilder::canTake(const SheetBuilder& other) const {
    return qint64(d_->cells.size() + other.d_->cells.size()) <= limits_.maxCells &&
           d_->strings.chars() + other.d_->strings.chars() <= limits_.maxTextChars &&
           d_->strings.count() + other.d_->strings.count() < qint64(0xFFFFFFFF);
}

void SheetBuilder::append(const SheetBuilder& other) {
    const SheetData& o = *other.d_;
    if (o.cells.empty()) return;
    const auto base = quint32(d_->strings.count());
    d_->strings.append(o.strings);
    d_->cells.reserve(d_->cells.size() + o.cells.size());
    for (CellRec c : o.cells) {
        // Numbers, dates and booleans name no string.
        const auto kind = CellKind(c.kind);
        if ((c.flags & HasDisplay) || kind == CellKind::Text || kind == CellKind::Error || kind == CellKind::Uncalculated)
            c.str += base;
        d_->cells.push_back(c);
    }
    const CellRec& first = o.cells.front();
    if (first.row < lastRow_ || (first.row == lastRow_ && first.col <= lastCol_) || !other.sorted_) sorted_ = false;
    lastRow_ = other.lastRow_;
    lastCol_ = other.lastCol_;
}

bool SheetBuilder::add(const CellRec& c) {
    if (!place(int(c.row), int(c.col))) return false;
    d_->cells.push_back(c);
    return true;
}

bool SheetBuilder::addText(int row, int col, QStringView text, quint16 fmt) {
    if (text.isEmpty()) return true;  // an empty text is an empty cell
    if (!place(row, col)) return false;
    CellRec c = cellAt(row, col, CellKind::Text, fmt);
    c.str = d_->strings.add(text);
    d_->cells.push_back(c);
    return checkTextBudget();
}

bool SheetBuilder::addPooledText(int row, int col, quint32 str, quint16 fmt) {
    if (d_->strings.length(str) == 0) return true;
    if (!place(row, col)) return false;
    CellRec c = cellAt(row, col, CellKind::Text, fmt);
    c.str = str;
    d_->cells.push_back(c);
    return true;
}

bool SheetBuilder::addSharedRef(int row, int col, quint32 idx, quint16 fmt) {
    if (!place(row, col)) return false;
    CellRec c = cellAt(row, col, CellKind::Text, fmt);
    c.str = idx;
    c.flags = SharedRef;
    d_->cells.push_back(c);
    return true;
}

bool SheetBuilder::adoptSharedStrings(StringPool& shared) {
    const auto count = quint32(std::min<qint64>(shared.count(), 0xFFFFFFFF));
    // The pool becomes: the shared strings, then the ones this sheet added.
    shared.append(d_->strings);
    d_->strings.swap(shared);
    shared = StringPool();
    CellVector& cells = d_->cells;
    size_t out = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        CellRec c = cells[i];
        if (c.flags & SharedRef) {
            c.flags &= quint8(~SharedRef);
            if (c.str >= count)
                return fail(Failure::Damaged, QStringLiteral("Cell %1%2 refers to shared string %3, but the workbook has "
                                                             "only %4.")
                                                  .arg(columnName(int(c.col)))
                                                  .arg(c.row)
                                                  .arg(c.str)
                                                  .arg(count));
            if (d_->strings.length(c.str) == 0) continue;  // an empty text is an empty cell
        } else if (c.kind == quint8(CellKind::Text) || c.kind == quint8(CellKind::Error) ||
                   c.kind == quint8(CellKind::Uncalculated) || (c.flags & HasDisplay)) {
            c.str += count;
        }
        cells[out++] = c;
    }
    cells.resize(out);
    return checkTextBudget();
}

bool SheetBuilder::addNumber(int row, int col, double v, quint16 fmt) {
    if (!std::isfinite(v)) return addError(row, col, QStringLiteral("#NUM!"));
    const NumberFormat& f = d_->formats[fmt];
    if (f.isDate()) return addDate(row, col, v, fmt, f.isTimeOnly());
    if (!place(row, col)) return false;
    CellRec c = cellAt(row, col, CellKind::Number, fmt);
    c.num = v;
    d_->cells.push_back(c);
    return true;
}

bool SheetBuilder::addDate(int row, int col, double serial, quint16 fmt, bool timeOnly) {
    if (!place(row, col)) return false;
    CellRec c;
    c.row = quint32(row);
    c.col = quint32(col);
    bool ok = false;
    serialToDateTime(serial, d_->date1904, &ok);
    // A serial no calendar holds stays a number.
    c.kind = quint8(ok ? CellKind::DateTime : CellKind::Number);
    c.fmt = ok ? fmt : 0;
    c.num = serial;
    c.flags = timeOnly ? TimeOnly : 0;
    d_->cells.push_back(c);
    return true;
}

bool SheetBuilder::addBool(int row, int col, bool v) {
    if (!place(row, col)) return false;
    CellRec c = cellAt(row, col, CellKind::Boolean);
    c.num = v ? 1 : 0;
    d_->cells.push_back(c);
    return true;
}

bool SheetBuilder::addError(int row, int col, QStringView text) {
    if (!place(row, col)) return false;
    CellRec c = cellAt(row, col, CellKind::Error);
    c.str = d_->strings.add(text.isEmpty() ? QStringView(u"#VALUE!") : text);
    d_->cells.push_back(c);
    return checkTextBudget();
}

bool SheetBuilder::addUncalculated(int row, int col, QStringView formula) {
    if (!place(row, col)) return false;
    CellRec c = cellAt(row, col, CellKind::Uncalculated);
    c.str = d_->strings.add(formula);
    d_->cells.push_back(c);
    return checkTextBudget();
}

bool SheetBuilder::addShown(int row, int col, CellKind kind, double num, QStringView shown, bool timeOnly) {
    if (kind == CellKind::Empty) return true;
    if (kind == CellKind::Text) return addText(row, col, shown);
    if (kind == CellKind::Error) return addError(row, col, shown);
    if (kind == CellKind::Uncalculated) return addUncalculated(row, col, shown);
    if (!place(row, col)) return false;
    CellRec c;
    c.row = quint32(row);
    c.col = quint32(col);
    c.kind = quint8(kind);
    c.num = num;
    if (kind == CellKind::DateTime) {
        bool ok = false;
        serialToDateTime(num, d_->date1904, &ok);
        if (!ok) c.kind = quint8(CellKind::Number);
        if (timeOnly) c.flags |= TimeOnly;
    }
    c.str = d_->strings.add(shown);
    c.flags |= HasDisplay;
    d_->cells.push_back(c);
    return checkTextBudget();
}

std::shared_ptr<const SheetData> SheetBuilder::finish() {
    CellVector& cells = d_->cells;
    if (!sorted_) {
        std::stable_sort(cells.begin(), cells.end(), before);
        // Of two cells at one place the later one counts.
        CellVector out;
        out.reserve(cells.size());
        for (const CellRec& c : cells) {
            if (!out.empty() && out.back().row == c.row && out.back().col == c.col) out.back() = c;
            else out.push_back(c);
        }
        cells.swap(out);
    }
    // Room set aside and never used is not given back: pages never written
    // cost no memory, and copying a pool of many megabytes to shrink it
    // would take longer than reading it did.
    d_->rows = cells.empty() ? 0 : int(cells.back().row);
    int cols = 0;
    for (const CellRec& c : cells) cols = std::max(cols, int(c.col));
    d_->cols = cols;
    return d_;
}

}  // namespace sheet::detail
