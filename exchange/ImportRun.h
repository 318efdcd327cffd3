#pragma once
// One import run: every data row of the sheet becomes a customer (with a
// contact person when the mapping pairs Name) or a contact.
//
// All or nothing: every row is checked first, and nothing is written when
// any row has a problem; otherwise all rows are written in one transaction,
// which a cancel rolls back.
#include <QDate>
#include <QHash>
#include <QList>
#include <QSet>
#include <QVariant>
#include <QString>
#include <functional>

#include "app/db/Dialect.h"
#include "exchange/sheet/Workbook.h"

namespace db {
class Connection;
class Query;
}  // namespace db

struct MappingPair {
    QString header;  // F_Field: one header, or several joined by "+"
    QString column;  // S_Field
};

// The mapping of a run: the T_Import rows of table whose F_Field is neither
// empty nor a single blank, in their order.
QList<MappingPair> readMapping(db::Connection* c, const QString& table);

struct ImportProblem {
    int row = 0;  // sheet row; 0 for a problem of the mapping itself
    QString header;
    QString value;
    QString reason;
};

struct ImportOutcome {
    int customers = 0;
    int contacts = 0;
    int emptyRows = 0;
    QList<ImportProblem> problems;  // the first 20
    int problemCount = 0;
    bool cancelled = false;
    bool written() const { return problemCount == 0 && !cancelled; }
};

class ImportRun {
public:
    // rowCount: rows of the sheet's used range, header row included.
    ImportRun(db::Connection* c, const sheet::Worksheet& sheet, int rowCount, const QHash<QString, int>& headerColumns,
              const QString& table, const QList<MappingPair>& mapping, const QString& user, const QDate& today);

    // progress(done, total) returns false to cancel. Engine errors while
    // writing roll back and go on to the caller.
    ImportOutcome run(const std::function<bool(qint64, qint64)>& progress = {});

    // The report of a failed check, for the message box.
    static QString report(const ImportOutcome& o);
    static constexpr int kShownProblems = 20;

private:
    // A column of the table that the run writes, with what its values must fit.
    struct Target {
        QString name;
        int field = -1;  // position among the table's columns
        int kind = 0;    // db::FieldKind
        int size = 0;    // characters it holds, 0 for no bound
        enum Special { Plain, EntryDate, CustomerNo, Company, Owner } special = Plain;
    };
    // A pairing, worked out once: where its text comes from and where it goes.
    struct Slot {
        QString header;
        int col = 0;          // one sheet column
        QList<int> pieces;    // or 2 to 4 joined columns
        bool empty = false;   // or 5 pieces and more: empty text
        int target = -1;      // index into targets_; -1 for the contact's name
    };
    // The checked values of one row, by target (typed where the column is).
    struct RowValues {
        QVector<QVariant> values;
        QVector<bool> set;
        QVector<QString> texts;
        QVector<int> from;  // slot that gave each target its text
        QString contactName;
    };

    bool customers() const { return customerImport_; }
    int targetOf(const QString& column, bool create);
    // Works out and checks the values of a row; false (with problems noted) when it cannot be imported.
    bool rowValues(int row, RowValues* out, ImportOutcome* o) const;
    void problem(ImportOutcome* o, int row, const QString& header, const QString& value, const QString& reason) const;
    // True, with a problem noted, when the cell holds a formula the file has
    // no result for.
    bool uncalculated(ImportOutcome* o, int row, const QString& header, int col) const;
    // The date of a cell paired with a date column: a date cell's own value,
    // otherwise its text read as a date (invalid when it cannot be).
    QDate cellDate(int row, const Slot& slot, const QString& text) const;
    static QString notADate(const QString& text);
    bool checkMapping(ImportOutcome* o);
    void write(ImportOutcome* o, const std::function<bool(qint64, qint64)>& progress);
    // Checks the rows on a thread of its own, ahead of the ones being written.
    class CheckAhead;

    db::Connection* c_;
    const sheet::Worksheet& sheet_;
    int rowCount_;
    QHash<QString, int> headers_;
    QString table_;
    bool customerImport_;
    QList<MappingPair> mapping_;
    QString user_;
    QDate today_;
    QList<db::FieldDef> fields_;  // of the target table
    QList<Target> targets_;
    QList<Slot> slots_;
    bool nameRule_ = false;
    QSet<QString> customerIds_;  // for a contact import
    int contactNameSize_ = 50;
};

// Yes/no in the usual spellings: True/False, 1/0, yes/no, y/n, 是/否.
bool parseYesNo(const QString& text, bool* value);
// A date as people write it when it cannot be misread: yyyy-MM-dd (also
// with / or . and with a time), 2024年3月5日, 5 March 2024, March 5, 2024,
// 05-Mar-2024, and day/month/year or month/day/year only where one of the
// two is above 12. Invalid for anything else.
QDate parseDateText(const QString& text);
// 3/5/2024, 03.05.24: numbers that make a date day first and another month first.
bool isAmbiguousDateText(const QString& text);
