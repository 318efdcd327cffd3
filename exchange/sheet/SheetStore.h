#pragma once
// The compact store behind a Worksheet, and what readers build it with.
//
// A sheet of 100,000 rows by 16 columns holds 1.6 million cells; one QString
// and one QVariant per cell would cost several hundred megabytes. Cells are
// kept as fixed 24-byte records sorted by position, and all strings live in
// one pool of UTF-16 text addressed by index.
#include <QString>
#include <QVector>
#include <algorithm>
#include <memory>
#include <vector>

#include "exchange/sheet/BigAlloc.h"
#include "exchange/sheet/NumberFormat.h"
#include "exchange/sheet/Workbook.h"

namespace sheet::detail {

class StringPool {
public:
    // Index of the new string.
    quint32 add(QStringView s) {
        const auto i = quint32(starts_.size());
        starts_.push_back(quint64(chars_.size()));
        chars_.insert(chars_.end(), s.utf16(), s.utf16() + s.size());
        return i;
    }
    QString at(quint32 i) const {
        if (i >= starts_.size()) return QString();
        const quint64 from = starts_[i];
        const quint64 to = i + 1 < starts_.size() ? starts_[i + 1] : quint64(chars_.size());
        return QString(reinterpret_cast<const QChar*>(chars_.data() + from), qsizetype(to - from));
    }
    qsizetype length(quint32 i) const {
        if (i >= starts_.size()) return 0;
        const quint64 to = i + 1 < starts_.size() ? starts_[i + 1] : quint64(chars_.size());
        return qsizetype(to - starts_[i]);
    }
    qint64 count() const { return qint64(starts_.size()); }
    void truncate(qint64 n) {
        if (n >= count()) return;
        chars_.resize(size_t(starts_[size_t(n)]));
        starts_.resize(size_t(n));
    }
    qint64 chars() const { return qint64(chars_.size()); }
    // Puts other's strings after this pool's: other's index i becomes count() + i.
    void append(const StringPool& other) {
        const quint64 base = quint64(chars_.size());
        chars_.insert(chars_.end(), other.chars_.begin(), other.chars_.end());
        starts_.reserve(starts_.size() + other.starts_.size());
        for (quint64 s : other.starts_) starts_.push_back(base + s);
    }
    void swap(StringPool& other) {
        chars_.swap(other.chars_);
        starts_.swap(other.starts_);
    }
    // Room for more characters (and strings); untouched room costs address space only.
    void reserve(qint64 chars) { chars_.reserve(size_t(chars_.size()) + size_t(chars)); }
    void reserveStrings(qint64 n) { starts_.reserve(starts_.size() + size_t(n)); }

private:
    std::vector<char16_t, BigAllocator<char16_t>> chars_;
    std::vector<quint64, BigAllocator<quint64>> starts_;
};

enum CellFlag : quint8 {
    HasDisplay = 1,  // str holds the text the file itself gives as shown (.ods)
    TimeOnly = 2,    // a time of day without a date
    SharedRef = 4,   // str is an index into a shared-string table read apart (see adoptSharedStrings)
};

struct CellRec {
    double num = 0;     // number, date serial, boolean 0/1
    quint32 row = 0;    // 1-based
    quint32 col = 0;    // 1-based
    quint32 str = 0;    // pool index: text, error text, or shown text
    quint16 fmt = 0;    // index into SheetData::formats
    quint8 kind = 0;    // CellKind
    quint8 flags = 0;
};

using CellVector = std::vector<CellRec, BigAllocator<CellRec>>;

struct SheetData {
    QString name;
    CellVector cells;  // sorted by row, then column; no empty cells
    StringPool strings;
    std::vector<NumberFormat> formats;  // formats[0] is General
    bool date1904 = false;
    int rows = 0;
    int cols = 0;

    const CellRec* find(int row, int col) const;
    mutable size_t lastFound = 0;  // cells are mostly asked for in order
    Cell cell(const CellRec& c) const;
    QString text(const CellRec& c) const;
    QVariant value(const CellRec& c) const;
    QString valueText(const CellRec& c) const;
};

// What readers fill. add() takes cells in any order; finish() sorts them
// when needed, keeps the last of two cells at one position, drops empty
// ones and works out the used range.
class SheetBuilder {
public:
    SheetBuilder(const Limits& limits, QString* error, Failure* failure);

    StringPool& strings() { return d_->strings; }
    // Index of a format code in the sheet's format table (0 is General).
    quint16 formatIndex(const QString& code);
    const NumberFormat& format(quint16 i) const { return d_->formats[i]; }
    void setDate1904(bool on) { d_->date1904 = on; }
    void setName(const QString& n) { d_->name = n; }

    // False (with the error set) when a limit is passed.
    bool addText(int row, int col, QStringView text, quint16 fmt = 0);
    bool addPooledText(int row, int col, quint32 str, quint16 fmt = 0);
    // A text cell naming entry idx of a shared-string table that is being
    // read elsewhere at the same time; adoptSharedStrings() settles it.
    bool addSharedRef(int row, int col, quint32 idx, quint16 fmt = 0);
    // Takes the shared-string table (its strings come first in the pool),
    // checks every reference made with addSharedRef() against it and drops
    // the cells whose string is empty. False (with the error set) when a
    // cell names an entry the table does not have.
    bool adoptSharedStrings(StringPool& shared);
    bool addNumber(int row, int col, double v, quint16 fmt);  // date when fmt is a date format
    bool addDate(int row, int col, double serial, quint16 fmt, bool timeOnly = false);
    bool addBool(int row, int col, bool v);
    bool addError(int row, int col, QStringView text);
    // A formula without a calculated result (formula without its "=").
    bool addUncalculated(int row, int col, QStringView formula);
    // A cell with a value and a shown text of its own.
    bool addShown(int row, int col, CellKind kind, double num, QStringView shown, bool timeOnly = false);
    bool add(const CellRec& c);

    bool checkTextBudget();

    // For a builder that reads the rest of a sheet on another thread: the
    // same format table (cells name formats by index) and date system.
    void shareFormats(const SheetBuilder& from) {
        d_->formats = from.d_->formats;
        d_->date1904 = from.d_->date1904;
    }
    // Whether other's cells and text fit within the limits after this
    // builder's (when not, the caller reads the rest itself, and meets the
    // limit where it lies).
    bool canTake(const SheetBuilder& other) const;
    // Puts the cells of other, which read the rest of the same sheet, after
    // this builder's; their strings follow this builder's in the pool.
    void append(const SheetBuilder& other);

    // Where the builder stands, to go back to when a part is read again.
    struct Mark {
        size_t cells;
        qint64 strings;
        bool sorted;
        quint32 lastRow, lastCol;
    };
    Mark mark() const { return {d_->cells.size(), d_->strings.count(), sorted_, lastRow_, lastCol_}; }
    void rollback(const Mark& m) {
        d_->cells.resize(m.cells);
        d_->strings.truncate(m.strings);
        sorted_ = m.sorted;
        lastRow_ = m.lastRow;
        lastCol_ = m.lastCol;
    }
    bool fail(Failure f, const QString& why);
    std::shared_ptr<const SheetData> finish();
    qint64 cellCount() const { return qint64(d_->cells.size()); }
    // Room for about n cells, within the cell limit (growing a vector of a
    // million cells copies it many times over).
    void expect(qint64 n) {
        const auto k = size_t(std::clamp<qint64>(n, 0, limits_.maxCells));
        d_->cells.reserve(k);
        d_->strings.reserveStrings(qint64(k));
    }
    void expectText(qint64 chars) { d_->strings.reserve(std::clamp<qint64>(chars, 0, limits_.maxTextChars)); }

private:
    bool place(int row, int col);

    std::shared_ptr<SheetData> d_;
    Limits limits_;
    QString* error_;
    Failure* failure_;
    bool sorted_ = true;
    quint32 lastRow_ = 0, lastCol_ = 0;
};

// "A1" to (row, column); false for anything else or beyond the limits.
bool parseCellRef(QStringView ref, int* row, int* col);
bool parseCellRef(QByteArrayView ref, int* row, int* col);
QString columnName(int col);

}  // namespace sheet::detail
