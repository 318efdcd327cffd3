#pragma once
// Groups of stored customers that are likely one and the same: customers
// whose company names, e-mail addresses or telephones match by the rules
// of Matching.h. A group holds every customer linked to another by any of
// the chosen rules, and says which rule linked which of them.
#include <QList>
#include <QString>
#include <QVector>

#include "customers/Matching.h"

namespace db {
class Connection;
}

namespace duplicates {

// Which rules link customers.
enum RuleFlag { ByCompany = 1, ByEmail = 2, ByTel = 4, AllRules = 7 };

struct Customer {
    qlonglong id = 0;
    QString company;
    QString email;
    QString tel;
};

// Customers that share one key under one rule.
struct Reason {
    matching::Rule rule = matching::Rule::Company;
    QString value;             // as the first of them holds it
    QList<qlonglong> members;  // ascending
};

struct Group {
    QList<qlonglong> members;  // ascending
    QList<Reason> reasons;
    // "same company name "Acme Inc" (1, 7); same telephone "0755-1234567" (7, 9)"
    QString why() const;
};

// The groups among customers, ordered by their lowest customer number.
QList<Group> find(const QVector<Customer>& customers, int rules = AllRules);

// The company name, e-mail and telephone of every stored customer.
QVector<Customer> readCustomers(db::Connection* c);

}  // namespace duplicates
