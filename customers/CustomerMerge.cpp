#include "customers/CustomerMerge.h"

#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/Transaction.h"
#include "customers/StoredRows.h"

namespace merge {

namespace {

bool isEmptyValue(const QVariant& v) { return v.isNull() || v.toString().trimmed().isEmpty(); }

// The tables that refer to a customer by number, when the database has them:
// (table, its customer column, the column holding the company's name to
// follow the survivor, or empty to keep it). A sale keeps the name the
// customer had when it was made.
struct Referrer {
    const char* table;
    const char* nameColumn;
    bool numberAsText;  // contact.CustID holds the number as text
};
constexpr Referrer kReferrers[] = {
    {"contact", "Company", true},
    {"T_Schedule", "Customer", false},
    {"T_Sale", "", false},
};

bool hasColumn(db::Connection* c, const QString& table, const QString& column) {
    return stored::columnIndex(c->tableFields(table), column) >= 0;
}

// "in (:k0,:k1,...)" for n keys, bound on q from keys.
QString inList(int n) {
    QStringList marks;
    for (int i = 0; i < n; ++i) marks << QStringLiteral(":k%1").arg(i);
    return QStringLiteral(" in (") + marks.join(QLatin1Char(',')) + QLatin1Char(')');
}

void bindKeys(db::Query& q, const QList<qlonglong>& keys, bool asText) {
    for (int i = 0; i < keys.size(); ++i)
        q.setParam(QStringLiteral("k%1").arg(i), asText ? QVariant(QString::number(keys[i])) : QVariant(keys[i]));
}

QList<qlonglong> othersOf(const Set& set, const Choice& choice) {
    QList<qlonglong> out;
    for (int i = 0; i < set.customers.size(); ++i)
        if (i != choice.survivor) out << set.customers[i].id;
    return out;
}

QString named(const Candidate& c, int companyColumn) {
    return QStringLiteral("Customer No. %1 \"%2\"").arg(c.id).arg(c.text(companyColumn));
}

QString plural(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

}  // namespace

QString Candidate::text(int column) const {
    return column >= 0 && column < values.size() ? db::Query::textOf(values[column], db::FieldKind::Text) : QString();
}

QList<int> Set::choosable() const {
    QList<int> out;
    for (int i = 0; i < columns.size(); ++i)
        if (i != keyColumn) out << i;
    return out;
}

int Set::indexOf(qlonglong id) const {
    for (int i = 0; i < customers.size(); ++i)
        if (customers[i].id == id) return i;
    return -1;
}

Set read(db::Connection* c, const QList<qlonglong>& ids) {
    Set set;
    set.columns = stored::columns(c, QStringLiteral("custom"));
    set.keyColumn = stored::columnIndex(set.columns, QStringLiteral("CustID"));
    set.companyColumn = stored::columnIndex(set.columns, QStringLiteral("Company"));
    set.ownerColumn = stored::columnIndex(set.columns, QStringLiteral("F_User"));
    const auto rows = stored::readRows(c, QStringLiteral("custom"), QStringLiteral("CustID"), ids, false, true);
    QList<qlonglong> sorted = ids;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (qlonglong id : sorted) {
        const auto it = rows.find(id);
        if (it == rows.end()) continue;
        set.customers << Candidate{id, it->values, it->digest};
    }
    return set;
}

Choice defaultChoice(const Set& set, int survivor) {
    Choice ch;
    ch.survivor = survivor;
    ch.from.fill(survivor, set.columns.size());
    for (int col : set.choosable()) {
        if (!isEmptyValue(set.customers.value(survivor).values.value(col))) continue;
        for (int i = 0; i < set.customers.size(); ++i) {
            if (i != survivor && !isEmptyValue(set.customers[i].values.value(col))) {
                ch.from[col] = i;
                break;
            }
        }
    }
    return ch;
}

Moving countMoving(db::Connection* c, const Set& set, const Choice& choice) {
    Moving m;
    const QList<qlonglong> others = othersOf(set, choice);
    if (others.isEmpty()) return m;
    int* counts[] = {&m.contacts, &m.schedules, &m.sales};
    for (int i = 0; i < 3; ++i) {
        const Referrer& r = kReferrers[i];
        const QString table = QString::fromLatin1(r.table);
        if (!hasColumn(c, table, QStringLiteral("CustID"))) continue;
        db::Query q(c);
        q.setSql(QStringLiteral("select count(*) from ") + table + QStringLiteral(" where CustID") +
                 inList(int(others.size())));
        bindKeys(q, others, r.numberAsText);
        q.open();
        *counts[i] = int(q.field(0).asInteger());
    }
    return m;
}

QString refusal(const Set& set, const QString& userName, int userPermit) {
    if (set.customers.size() < 2) return QStringLiteral("Choose at least two customers to merge.");
    if (userPermit == 0) return QString();
    for (const Candidate& c : set.customers) {
        const QString owner = c.text(set.ownerColumn);
        if (owner != userName)
            return QStringLiteral("%1 belongs to %2, not to you: you may merge only customers of your own.")
                .arg(named(c, set.companyColumn), owner.isEmpty() ? QStringLiteral("nobody") : owner);
    }
    return QString();
}

QString confirmation(const Set& set, const Choice& choice, const Moving& moving,
                     const QHash<QString, QString>& titles) {
    const Candidate& s = set.customers[choice.survivor];
    QString text = QStringLiteral("Merge %1 customers into %2?\n\n")
                       .arg(set.customers.size())
                       .arg(named(s, set.companyColumn));
    QStringList moves;
    if (moving.contacts) moves << plural(moving.contacts, "contact", "contacts");
    if (moving.schedules) moves << plural(moving.schedules, "schedule", "schedules");
    if (moving.sales) moves << plural(moving.sales, "sale", "sales");
    text += moves.isEmpty() ? QStringLiteral("Nothing else moves to it.\n")
                            : QStringLiteral("Moving to it: %1.\n").arg(moves.join(QStringLiteral(", ")));
    QStringList taken;
    for (int col : set.choosable())
        if (choice.from.value(col, choice.survivor) != choice.survivor)
            taken << titles.value(set.columns[col].name.toLower(), set.columns[col].name);
    if (!taken.isEmpty())
        text += QStringLiteral("Values it takes from the others: %1.\n").arg(taken.join(QStringLiteral(", ")));
    QStringList gone;
    for (int i = 0; i < set.customers.size(); ++i)
        if (i != choice.survivor) gone << named(set.customers[i], set.companyColumn);
    text += QStringLiteral("Deleted: %1.").arg(gone.join(QStringLiteral(", ")));
    return text;
}

Moving perform(db::Connection* c, const Set& set, const Choice& choice) {
    if (choice.survivor < 0 || choice.survivor >= set.customers.size())
        throw db::DbError(QStringLiteral("Choose the customer that stays."));
    const Candidate& survivor = set.customers[choice.survivor];
    const QList<qlonglong> others = othersOf(set, choice);
    QList<qlonglong> all = others;
    all << survivor.id;

    db::TransactionGuard guard(*c);
    // What was shown must still be what is stored.
    const auto now = stored::readRows(c, QStringLiteral("custom"), QStringLiteral("CustID"), all, true, false);
    for (const Candidate& cand : set.customers) {
        const auto it = now.find(cand.id);
        if (it == now.end())
            throw db::DbError(QStringLiteral("%1 was deleted on another workstation after the group was read. "
                                             "Nothing was merged.")
                                  .arg(named(cand, set.companyColumn)));
        if (it->digest != cand.digest)
            throw db::DbError(QStringLiteral("%1 was changed on another workstation after the group was read. "
                                             "Nothing was merged; find the duplicates again to see the change.")
                                  .arg(named(cand, set.companyColumn)));
    }

    // The survivor's chosen values.
    QStringList sets;
    db::Query q(c);
    QList<QPair<QString, QVariant>> params;
    for (int col : set.choosable()) {
        const int from = choice.from.value(col, choice.survivor);
        if (from == choice.survivor || from < 0 || from >= set.customers.size()) continue;
        const QVariant v = set.customers[from].values.value(col);
        const QString p = QStringLiteral("v%1").arg(col);
        sets << QLatin1Char('[') + set.columns[col].name + QStringLiteral("]=:") + p;
        params << qMakePair(p, v);
    }
    if (!sets.isEmpty()) {
        q.setSql(QStringLiteral("update custom set ") + sets.join(QStringLiteral(", ")) +
                 QStringLiteral(" where CustID=:id"));
        for (const auto& [name, v] : params) q.setParam(name, v);
        q.setParam(QStringLiteral("id"), survivor.id);
        q.execSql();
    }
    const int companyFrom = choice.from.value(set.companyColumn, choice.survivor);
    const QVariant company = set.customers.value(companyFrom).values.value(set.companyColumn);

    // A customer has one main contact: the survivor's own stays the main one,
    // else the first of those moved to it.
    const bool mainFlag = hasColumn(c, QStringLiteral("contact"), QStringLiteral("Main"));
    bool survivorHasMain = false;
    if (mainFlag) {
        q.setSql(QStringLiteral("select count(*) as n from contact where CustID=:id and Main=1"));
        q.setParam(QStringLiteral("id"), QString::number(survivor.id));
        q.open();
        survivorHasMain = q.field(QStringLiteral("n")).asInteger() > 0;
        q.close();
    }

    Moving m;
    int* counts[] = {&m.contacts, &m.schedules, &m.sales};
    for (int i = 0; i < 3; ++i) {
        const Referrer& r = kReferrers[i];
        const QString table = QString::fromLatin1(r.table);
        if (!hasColumn(c, table, QStringLiteral("CustID"))) continue;
        const QString nameColumn = QString::fromLatin1(r.nameColumn);
        const bool rename = !nameColumn.isEmpty() && hasColumn(c, table, nameColumn);
        // Every row must move: a row left behind (a server lets a common
        // user change only their own) would point at a deleted customer.
        q.setSql(QStringLiteral("select count(*) as n from ") + table + QStringLiteral(" where CustID") +
                 inList(int(others.size())));
        bindKeys(q, others, r.numberAsText);
        q.open();
        const qlonglong referring = q.field(QStringLiteral("n")).asInteger();
        q.close();
        q.setSql(QStringLiteral("update ") + table + QStringLiteral(" set CustID=:to") +
                 (rename ? QStringLiteral(", [") + nameColumn + QStringLiteral("]=:company") : QString()) +
                 (i == 0 && survivorHasMain ? QStringLiteral(", Main=0") : QString()) +
                 QStringLiteral(" where CustID") + inList(int(others.size())));
        q.setParam(QStringLiteral("to"), r.numberAsText ? QVariant(QString::number(survivor.id)) : QVariant(survivor.id));
        if (rename) q.setParam(QStringLiteral("company"), company);
        bindKeys(q, others, r.numberAsText);
        q.execSql();
        *counts[i] = q.rowsAffected();
        if (*counts[i] != referring)
            throw db::DbError(QStringLiteral("%1 of the %2 rows of %3 that belong to the merged customers could not be "
                                             "moved (rows of another user?). Nothing was merged.")
                                  .arg(referring - *counts[i])
                                  .arg(referring)
                                  .arg(table));
    }

    if (mainFlag && !survivorHasMain && m.contacts > 1) {
        // Rows moved above, so this user may change them.
        q.setSql(QStringLiteral("update contact set Main=0 where CustID=:id and Main=1 and ContactId <> "
                                "(select min(ContactId) from contact where CustID=:same and Main=1)"));
        q.setParam(QStringLiteral("id"), QString::number(survivor.id));
        q.setParam(QStringLiteral("same"), QString::number(survivor.id));
        q.execSql();
    }

    q.setSql(QStringLiteral("delete from custom where CustID") + inList(int(others.size())));
    bindKeys(q, others, false);
    q.execSql();
    if (q.rowsAffected() != others.size())
        throw db::DbError(QStringLiteral("Not every merged customer could be deleted. Nothing was merged."));
    guard.commit();
    return m;
}

}  // namespace merge
