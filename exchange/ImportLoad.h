#pragma once
// The first stage of an import: the workbook is read, its header row goes
// into T_Temp, and the mapping rows of the chosen table in T_Import are
// paired with the sheet's columns. Plain functions; the window that shows
// the mapping comes after.
#include <QHash>
#include <QStringList>
#include <functional>
#include <memory>

#include "exchange/sheet/Workbook.h"

class TFrm_Data;

// T_Temp and T_Import hold at most this many characters of a header.
constexpr int kHeaderChars = 50;

struct ImportSource {
    std::shared_ptr<const sheet::Workbook> book;
    QString path;
    int RowCount = 0;  // rows of the used range, header row included
    int ColCount = 0;
    const sheet::Worksheet& sheet() const { return book->activeSheet(); }
};

// The header texts of a sheet: the value of each cell of row 1, as text,
// cut to what T_Temp keeps.
QStringList sheetHeaders(const sheet::Worksheet& s);

// Empties T_Temp and records the headers with their column numbers, in one
// transaction: on failure T_Temp is as it was and the error goes on.
void captureHeaders(TFrm_Data* data, const QStringList& headers);

// Pairs the T_Import rows of table ("custom" or "contact") with the sheet's
// headers: a header equal to a row's display name, column name or export
// title (ignoring case and surrounding blanks) pairs with that row wherever
// it stands, and the other rows stay unpaired. Only when no header pairs by
// name are the rows paired by position (the j-th row with the j-th column).
// The rows of the other table are not touched.
void prePair(TFrm_Data* data, const QString& table, const QStringList& headers);

// What prePair writes, worked out from the rows' (column name, display
// name) in their order: the header for each row, empty for none.
struct MappingRow {
    QString column;       // S_Field
    QString displayName;  // FieldName
};
QStringList pairHeaders(const QString& table, const QList<MappingRow>& rows, const QStringList& headers);

// The headers (non-empty, each once, in sheet order) that none of the
// pairings names, alone or as a piece of a join.
QStringList unpairedHeaders(const QStringList& headers, const QStringList& pairings);

// T_Temp as a map from header to column number; of two equal headers the
// first (lower column) counts.
QHash<QString, int> readHeaderColumns(TFrm_Data* data);

// Reads the workbook with a progress dialog (parent may be null), then
// captures the headers and pre-pairs. On failure the reason is in *error
// (naming the file) and no table was changed; a cancelled read leaves
// *error empty.
std::shared_ptr<ImportSource> loadImport(const QString& path, const QString& table, QString* error,
                                          const sheet::OpenOptions& options = {});
