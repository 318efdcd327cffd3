#pragma once
// What an import does with each row of the sheet when rows may match
// stored records: add it, update the stored record, leave it, or refuse it
// as a problem. Worked out before anything is written (the preview), and
// checked again inside the writing transaction, so that Start writes
// exactly what the preview showed, or nothing.
//
// Customers match by Customer No., company name, e-mail or telephone;
// contacts match within their customer, by name or by e-mail (the rules of
// customers/Matching.h).
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include "app/db/Dialect.h"
#include "customers/Matching.h"

namespace db {
class Connection;
}

namespace importmatch {

enum class OnMatch { Add, Update, Skip };
QString onMatchWord(OnMatch m);  // "add", "update", "skip"
bool onMatchFromWord(const QString& word, OnMatch* m);

struct Options {
    OnMatch onMatch = OnMatch::Add;
    matching::Rule rule = matching::Rule::Company;
    bool clearEmpty = false;  // an empty cell clears the stored value of an update
};

// The rules a table's import can match by, given the columns its pairing
// fills (S_Field, any case): customers by Customer No. (when CustID is
// paired), company name, e-mail or telephone (when paired); contacts by
// name or e-mail (when paired) within their customer.
QList<matching::Rule> allowedRules(const QString& table, const QStringList& pairedColumns);

// The choice kept with the pairing (T_ImportChoice); the defaults (add as
// new, the first allowed rule) where the database keeps none.
Options readOptions(db::Connection* c, const QString& table);
// Keeps the choice; false when the database has nowhere to keep it.
bool writeOptions(db::Connection* c, const QString& table, const Options& o);

// A column the import writes.
struct Target {
    QString column;
    db::FieldKind kind = db::FieldKind::Text;
    bool paired = false;    // fed by a sheet column (not a default)
    bool identity = false;  // the contact's customer: never changed by an update
};

// The values of one row, by target.
struct RowValues {
    QVector<QVariant> values;
    QVector<bool> set;        // the target gets a value
    QVector<bool> fromSheet;  // ... and it came from a non-empty cell
    QString contactName;      // a customer import's contact person
};

// What the plan needs of an import run.
class Source {
public:
    virtual ~Source() = default;
    virtual bool customers() const = 0;
    virtual const QList<Target>& targets() const = 0;
    // The data rows that are not empty, in order.
    virtual QList<int> rows() const = 0;
    // The text of the row's cell that the rule matches on.
    virtual QString matchText(int row) const = 0;
    // A contact row's customer number as the sheet gives it.
    virtual QString customerNo(int row) const = 0;
    // The row's values; false when the row has a problem (noted by the source).
    virtual bool values(int row, RowValues* out) = 0;
    // Notes a problem of a row, with the cell it concerns (or none).
    virtual void problem(int row, const QString& value, const QString& reason) = 0;
};

enum class Action { Add, Update, Unchanged, Skip, Problem };

struct RowPlan {
    int row = 0;
    Action action = Action::Add;
    qlonglong target = -1;  // the stored record it matches
    QByteArray digest;      // of that record as read
    quint64 changed = 0;    // targets whose stored value changes (bit per target)
    bool addsContact = false;  // a customer row whose contact person is added
};

struct Change {
    QString column;
    QString from, to;
};

// A row as the preview shows it.
struct Sample {
    int row = 0;
    Action action = Action::Add;
    qlonglong target = -1;
    QString label;         // the company, or the contact's name
    QList<Change> changes;  // for updates
};

struct Plan {
    QVector<RowPlan> rows;
    int count(Action a) const;
    int contacts = 0;      // contact persons a customer import adds
    int problems = 0;
    QList<Sample> samples;  // the first kSamples rows of each action
    static constexpr int kSamples = 50;
    Options options;
    bool checked = false;  // made by plan(), so Start may write it
};

// Works out every row. Problems (a row matching several records, two rows
// matching one, a common user's update of another user's record) are
// reported to the source as well as counted.
Plan plan(db::Connection* c, Source& source, const Options& options, const QString& userName, int userPermit);

// Inside the writing transaction: the stored records the plan matched,
// read again (and held on engines that hold rows). A record changed or
// deleted since, or a record that now matches a row planned as new, is a
// problem reported to the source. oldValues receives, for every update,
// the stored values of the columns it changes.
int recheck(db::Connection* c, Source& source, const Plan& plan,
            QHash<qlonglong, QHash<QString, QVariant>>* oldValues);

// The value a target writes for a row of the plan: the row's value, or
// for a cleared cell empty text (null for columns that are not text).
QVariant writtenValue(const Target& t, const RowValues& v, int index);

// A value in the form compared and shown: text for text, 0/1 for yes/no,
// yyyy-MM-dd hh:mm:ss for dates, numbers as numbers; null stays null.
QVariant canonical(const QVariant& v, db::FieldKind kind);

}  // namespace importmatch
