#pragma once
// Reading workbooks: one interface for .xlsx/.xlsm, .ods, .xls, .csv and .txt.
//
// A workbook is opened whole: the active sheet (the one the workbook opens
// on) is read into a compact store, and cells are asked for by row and
// column, both counted from 1. Nothing here knows of windows or of the
// database; callers report the reason text of a refusal themselves.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

namespace sheet {

namespace detail {
struct SheetData;
}

enum class Format { Xlsx, Ods, Xls, Csv };

// Uncalculated: a formula whose result the file does not hold (written by a
// program that does not calculate); its value is the formula, its shown
// text empty.
enum class CellKind : quint8 { Empty, Text, Number, Boolean, DateTime, Error, Uncalculated };

struct Cell {
    CellKind kind = CellKind::Empty;
    // QString for text and errors, double for numbers, bool, QDateTime for
    // dates and times, the formula ("=A1+1") when uncalculated; null when empty.
    QVariant value;
    // What a spreadsheet program shows in the cell, through its number format.
    QString text;
    // The value as text: dates yyyy-MM-dd (with " hh:mm:ss" when there is a
    // time of day; a bare time of day is hh:mm:ss), numbers without a
    // fraction have no ".0", booleans are "True" and "False".
    QString valueText;
    bool isEmpty() const { return kind == CellKind::Empty; }
};

// Every size a file states is a claim: these bound what a reader is willing
// to build, and a file beyond them is refused with a message.
struct Limits {
    qint64 maxCells = 6'000'000;              // stored (non-empty) cells of the sheet
    qint64 maxTextChars = 96'000'000;         // characters of all strings kept
    qint64 maxSharedStrings = 4'000'000;      // entries of a shared-string table
    qint64 maxPartBytes = 512LL << 20;        // uncompressed size of a sheet or string part
    qint64 maxSmallPartBytes = 32LL << 20;    // workbook, styles, relationships, settings
    qint64 maxZipEntries = 20'000;
    qint64 maxFileBytes = 1LL << 30;          // any file we read
    qint64 maxTextFileBytes = 512LL << 20;    // .csv and .txt
    int maxRows = 1'048'576;
    int maxColumns = 16'384;
    qint64 maxCellChars = 16'000'000;          // one cell's text (a memo column takes it whole)
};

struct OpenOptions {
    // Called now and then while the file is read, with the work done so far
    // and the whole (any unit, usually bytes). Returning false cancels.
    std::function<bool(qint64 done, qint64 total)> progress;
    Limits limits;
    // Reads every XML part with the general parser (QXmlStreamReader) only,
    // never the fast one. Slower; tests use it to compare the two.
    bool generalXmlOnly = false;
    // A sheet of at least this many bytes of XML, holding its texts itself,
    // is read by two threads, each taking part of its rows.
    qint64 twoThreadsFrom = 8LL << 20;
};

enum class Failure {
    None,
    Cancelled,     // the progress callback said stop
    Unreadable,    // missing, no permission, read error
    NotAWorkbook,  // content of no format we read
    Encrypted,     // protected by a password
    Damaged,       // a format we read, but broken
    TooLarge,      // beyond the limits
    Unsupported,   // a format we recognise but do not read (old Excel versions)
};

// The active sheet of a workbook.
class Worksheet {
public:
    Worksheet();
    ~Worksheet();
    Worksheet(const Worksheet&);
    Worksheet& operator=(const Worksheet&);

    QString name() const;
    // The used range: rows from row 1 to the last row holding a value,
    // columns from column 1 to the last column holding a value.
    int rowCount() const;
    int columnCount() const;

    CellKind kind(int row, int column) const;
    Cell cell(int row, int column) const;
    QString text(int row, int column) const;
    QVariant value(int row, int column) const;
    QString valueText(int row, int column) const;
    // True when no cell of the row holds a value.
    bool rowIsEmpty(int row) const;
    // Number of cells that hold a value.
    qint64 storedCells() const;

private:
    friend class Workbook;
    friend struct SheetAccess;
    std::shared_ptr<const detail::SheetData> d_;
};

class Workbook {
public:
    ~Workbook();

    // Opens a file, choosing the format by its content: a zip holding a
    // workbook part (.xlsx, .xlsm) or a spreadsheet document (.ods), a
    // compound file (.xls), or text (.csv, .txt). Null on failure, with a
    // reason fit for the user in error (the file name is not part of it).
    static std::unique_ptr<Workbook> open(const QString& path, QString* error,
                                          const OpenOptions& options = {}, Failure* failure = nullptr);
    // The same for bytes in memory.
    static std::unique_ptr<Workbook> openData(const QByteArray& data, QString* error,
                                              const OpenOptions& options = {}, Failure* failure = nullptr);

    Format format() const { return format_; }
    // Names of all sheets in their order, and the index of the active one.
    QStringList sheetNames() const { return sheetNames_; }
    int activeIndex() const { return active_; }
    const Worksheet& activeSheet() const { return sheet_; }
    // True for workbooks counting dates from 1904.
    bool date1904() const { return date1904_; }
    // Threads that read the active sheet's rows (two for a big .xlsx sheet
    // holding its own texts); for tests and the benchmark.
    int sheetReaders() const { return readers_; }

    // Internal: readers fill a workbook through this.
    struct Parts {
        Format format = Format::Csv;
        QStringList sheetNames;
        int active = 0;
        bool date1904 = false;
        std::shared_ptr<const detail::SheetData> sheet;
        int readers = 1;
    };
    explicit Workbook(Parts parts);

private:
    Format format_;
    QStringList sheetNames_;
    int active_;
    bool date1904_;
    int readers_;
    Worksheet sheet_;
};

// The name of a format, for messages ("Excel workbook (.xlsx)").
QString formatName(Format f);

}  // namespace sheet
