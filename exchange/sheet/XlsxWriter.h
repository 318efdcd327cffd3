#pragma once
// Writing a workbook: one sheet of text cells, a bold title row that stays in
// view while scrolling, columns wide enough for their titles.
//
// Rows go straight to the file being built (constant memory), so they must be
// written in increasing order. The file is built under a temporary name in
// the target folder and renamed over the target only by commit(): whatever
// happens before, no half-written file ever carries the target's name.
// A failure while writing a row may be reported by a later writeRow() or by
// commit(), since rows are written out behind the caller.
#include <QString>
#include <QStringList>
#include <memory>

namespace sheet {

class XlsxWriter {
public:
    struct Options {
        QString sheetName = QStringLiteral("Sheet1");
        // Rows go to the file as written (inline strings); off keeps every
        // cell in memory and writes a shared-string table at the end.
        bool constantMemory = true;
    };

    explicit XlsxWriter(const QString& path);
    XlsxWriter(const QString& path, const Options& options);
    ~XlsxWriter();  // discards unless committed
    XlsxWriter(const XlsxWriter&) = delete;
    XlsxWriter& operator=(const XlsxWriter&) = delete;

    // False (with error() set) when the temporary file could not be made.
    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }

    // Row 1: bold, frozen, and each column made wide enough for its title.
    bool setTitles(const QStringList& titles);
    // One row of text cells (row counts from 1; rows in increasing order).
    // Empty texts leave their cells empty.
    bool writeRow(int row, const QStringList& cells);
    bool setCell(int row, int column, const QString& text);

    // Writes the file out and renames it to the target, replacing a file of
    // that name. False with error() saying why; the target is then untouched.
    bool commit();
    // Drops the temporary file.
    void discard();

    // Cell texts longer than a spreadsheet cell holds are cut to this length.
    static constexpr int kMaxCellChars = 32767;
    // How many texts were cut so far.
    int truncatedCells() const { return truncated_; }

    // The column width (in characters of the default font) fitting a title:
    // wide characters count twice.
    static double widthFor(const QString& title);

private:
    bool writable();
    bool writeCells(int row, int column, const QStringList& cells);
    bool check(int err, const QString& what);
    static QString libraryMessage(int err);
    struct Impl;
    std::unique_ptr<Impl> d_;
    QString path_;
    QString error_;
    int truncated_ = 0;
};

}  // namespace sheet
