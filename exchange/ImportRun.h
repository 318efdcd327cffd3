#pragma once
// One import run: every data row of the sheet becomes a customer (with a
// contact person when the mapping pairs Name) or a contact, or, when the
// user chose so, updates the stored record it matches or is skipped.
//
// Two steps. prepare() reads and checks every row and works out what the
// import would do with it (the preview shows that plan); write() then
// writes exactly that plan in one transaction, after making sure that no
// record it touches was changed by another workstation in between. A
// problem anywhere, or a cancel, leaves the database as it was.
#include <QDate>
#include <QHash>
#include <QList>
#include <QSet>
#include <QVariant>
#include <QString>
#include <functional>

#include "app/db/Dialect.h"
#include "exchange/ImportMatch.h"
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
    int customers = 0;  // customers added
    int contacts = 0;   // contacts added (a customer import's contact persons too)
    int updated = 0;    // stored records updated
    int unchanged = 0;  // rows that matched a record already holding their values
    int skipped = 0;    // rows that matched a record and were skipped
    int emptyRows = 0;
    QList<ImportProblem> problems;  // the first kShownProblems
    int problemCount = 0;
    bool cancelled = false;
    bool committed = false;  // written and committed
    qlonglong logId = 0;     // the import log's entry, when one was written
    bool written() const { return committed; }
};

class ImportRun : private importmatch::Source {
public:
    // rowCount: rows of the sheet's used range, header row included.
    ImportRun(db::Connection* c, const sheet::Worksheet& sheet, int rowCount, const QHash<QString, int>& headerColumns,
              const QString& table, const QList<MappingPair>& mapping, const QString& user, const QDate& today);

    // What to do with a row that matches a stored record (every row is
    // added when not set), and the importing user's level: a common user
    // (permit not 0) adds and changes only records of their own.
    void setMatching(const importmatch::Options& options, int userPermit);
    bool customerImport() const { return customerImport_; }
    // The workbook's file, for the import log.
    void setFileName(const QString& path) { fileName_ = path; }

    // progress(done, total) returns false to cancel.
    using ProgressFn = std::function<bool(qint64, qint64)>;

    // Reads and checks every row and works out the plan; writes nothing.
    ImportOutcome prepare(const ProgressFn& progress = {});
    const importmatch::Plan& plan() const { return plan_; }
    // The titles of the written columns (T_Import's FieldName), for the preview.
    QHash<QString, QString> columnTitles() const;

    // Writes the plan of the last prepare() in one transaction, and records
    // it in the import log. A record changed, deleted or added elsewhere
    // since the plan was made is a problem, and nothing is written. Engine
    // errors roll back and go on to the caller.
    ImportOutcome write(const ProgressFn& progress = {});

    // prepare() and, when it found no problem, write().
    ImportOutcome run(const ProgressFn& progress = {});

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
        bool fed = false;  // a sheet column feeds it
    };
    // A pairing, worked out once: where its text comes from and where it goes.
    struct Slot {
        QString header;
        int col = 0;          // one sheet column
        QList<int> pieces;    // or 2 to 4 joined columns
        bool empty = false;   // or 5 pieces and more: empty text
        int target = -1;      // index into targets_; kContactName, kMatchOnly
    };
    static constexpr int kContactName = -1;  // the contact person of a customer row
    static constexpr int kMatchOnly = -2;    // a customer's number: matched by, never written
    // The checked values of one row, by target (typed where the column is).
    struct RowValues : importmatch::RowValues {
        QVector<QString> texts;
        QVector<int> from;  // slot that gave each target its text
    };

    bool customers() const override { return customerImport_; }
    const QList<importmatch::Target>& targets() const override { return matchTargets_; }
    QList<int> rows() const override { return dataRows_; }
    QString matchText(int row) const override;
    QString customerNo(int row) const override;
    bool values(int row, importmatch::RowValues* out) override;
    void problem(int row, const QString& value, const QString& reason) override;

    int targetOf(const QString& column, bool create);
    QString slotText(int row, int slot) const;
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
    void readCustomerNumbers();
    // Finds the rows that are not empty; returns how many are.
    int findDataRows();
    void writePlan(ImportOutcome* o, const ProgressFn& progress);

    db::Connection* c_;
    const sheet::Worksheet& sheet_;
    int rowCount_;
    QHash<QString, int> headers_;
    QString table_;
    bool customerImport_;
    QList<MappingPair> mapping_;
    QString user_;
    QDate today_;
    QString fileName_;
    importmatch::Options options_;
    int userPermit_ = 0;
    QList<db::FieldDef> fields_;  // of the target table
    QList<Target> targets_;
    QList<importmatch::Target> matchTargets_;
    QList<Slot> slots_;
    int matchSlot_ = -1;     // the slot the rule matches on
    int customerSlot_ = -1;  // a contact's customer number
    bool nameRule_ = false;
    QSet<QString> customerIds_;  // for a contact import
    int contactNameSize_ = 50;
    QList<int> dataRows_;  // rows that are not empty
    importmatch::Plan plan_;
    bool prepared_ = false;
    // The plan is every row added, each checked while it is written.
    bool checkedWhileWriting_ = false;
    // While prepare() runs: its outcome, progress, and the scratch row.
    ImportOutcome* checking_ = nullptr;
    ProgressFn progress_;
    qint64 valuesRead_ = 0;
    RowValues scratch_;
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
