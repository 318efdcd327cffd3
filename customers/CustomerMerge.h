#pragma once
// Merging customers that are one and the same: one of them survives and
// keeps, column by column, the value the user chose from any of them; the
// contacts, schedules and sales of the others move to it, and the others
// are deleted. All in one transaction, and only if no customer of the
// group was changed since it was read.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVector>

#include "app/db/Dialect.h"

namespace db {
class Connection;
}

namespace merge {

struct Candidate {
    qlonglong id = 0;
    QVector<QVariant> values;  // every column of custom, in the table's order
    QByteArray digest;         // of the row as read
    QString text(int column) const;
};

struct Set {
    QVector<db::FieldDef> columns;  // of custom
    int keyColumn = -1;             // CustID
    int companyColumn = -1;
    int ownerColumn = -1;
    QList<Candidate> customers;     // ascending customer number
    // The columns the user chooses a value for: all but the key.
    QList<int> choosable() const;
    int indexOf(qlonglong id) const;
};

// Reads the customers with those numbers; numbers no longer stored are left out.
Set read(db::Connection* c, const QList<qlonglong>& ids);

struct Choice {
    int survivor = 0;   // index into Set::customers
    QVector<int> from;  // per column: the customer whose value the survivor keeps
};

// The survivor keeps its own values; where it has none (empty or null),
// the first of the others, in customer-number order, that has one.
Choice defaultChoice(const Set& set, int survivor);

struct Moving {
    int contacts = 0;
    int schedules = 0;
    int sales = 0;
};

// What would move to the survivor.
Moving countMoving(db::Connection* c, const Set& set, const Choice& choice);

// Why this user may not merge the set (a common user merges only customers
// of their own, as for deleting them), or empty text.
QString refusal(const Set& set, const QString& userName, int userPermit);

// The question asked before merging: what survives, what moves, what goes.
// titles: the names the user knows columns by (lower-case column -> title).
QString confirmation(const Set& set, const Choice& choice, const Moving& moving,
                     const QHash<QString, QString>& titles = {});

// Merges, in one transaction. Throws db::DbError, writing nothing, when a
// customer of the set was changed or deleted since it was read, or when
// the engine refuses a step. Returns what moved.
Moving perform(db::Connection* c, const Set& set, const Choice& choice);

}  // namespace merge
