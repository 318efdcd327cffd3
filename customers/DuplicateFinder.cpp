#include "customers/DuplicateFinder.h"

#include <QHash>
#include <algorithm>
#include <numeric>

#include "app/db/Query.h"

namespace duplicates {

namespace {

// Disjoint sets over customer positions.
class Sets {
public:
    explicit Sets(int n) : parent_(n) { std::iota(parent_.begin(), parent_.end(), 0); }
    int root(int i) {
        while (parent_[i] != i) {
            parent_[i] = parent_[parent_[i]];
            i = parent_[i];
        }
        return i;
    }
    void join(int a, int b) {
        a = root(a);
        b = root(b);
        if (a != b) parent_[std::max(a, b)] = std::min(a, b);
    }

private:
    QVector<int> parent_;
};

const QString& valueOf(const Customer& c, matching::Rule rule) {
    switch (rule) {
    case matching::Rule::Email: return c.email;
    case matching::Rule::Tel: return c.tel;
    default: return c.company;
    }
}

}  // namespace

QString Group::why() const {
    QStringList parts;
    for (const Reason& r : reasons) {
        QStringList ids;
        for (qlonglong id : r.members) ids << QString::number(id);
        parts << QStringLiteral("same %1 \"%2\" (%3)")
                     .arg(matching::ruleTitle(r.rule), r.value, ids.join(QStringLiteral(", ")));
    }
    return parts.join(QStringLiteral("; "));
}

QList<Group> find(const QVector<Customer>& customers, int rules) {
    const int n = int(customers.size());
    // Positions in customer-number order, so that every list built below
    // comes out ascending.
    QVector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return customers[a].id < customers[b].id; });

    Sets sets(n);
    struct Shared {
        matching::Rule rule;
        QVector<int> at;  // positions, in customer-number order
    };
    QList<Shared> shared;
    for (matching::Rule rule : {matching::Rule::Company, matching::Rule::Email, matching::Rule::Tel}) {
        const int flag = rule == matching::Rule::Company ? ByCompany : rule == matching::Rule::Email ? ByEmail : ByTel;
        if (!(rules & flag)) continue;
        // key -> index into shared, or -(position + 1) while only one customer has it.
        QHash<QString, int> seen;
        seen.reserve(n);
        for (int p : order) {
            const QString key = matching::keyOf(rule, valueOf(customers[p], rule));
            if (key.isEmpty()) continue;
            auto it = seen.find(key);
            if (it == seen.end()) {
                seen.insert(key, -(p + 1));
                continue;
            }
            if (*it < 0) {
                const int first = -*it - 1;
                shared.append(Shared{rule, {first}});
                *it = int(shared.size()) - 1;
            }
            Shared& s = shared[*it];
            sets.join(s.at.first(), p);
            s.at << p;
        }
    }

    QHash<int, int> groupOf;  // root position -> index into out
    QList<Group> out;
    for (const Shared& s : shared) {
        const int root = sets.root(s.at.first());
        auto it = groupOf.find(root);
        if (it == groupOf.end()) {
            it = groupOf.insert(root, int(out.size()));
            out.append(Group());
        }
        Reason r;
        r.rule = s.rule;
        r.value = valueOf(customers[s.at.first()], s.rule).trimmed();
        for (int p : s.at) r.members << customers[p].id;
        out[*it].reasons << r;
    }
    for (Group& g : out) {
        QList<qlonglong> all;
        for (const Reason& r : g.reasons) all += r.members;
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        g.members = all;
    }
    std::sort(out.begin(), out.end(), [](const Group& a, const Group& b) { return a.members.first() < b.members.first(); });
    return out;
}

QVector<Customer> readCustomers(db::Connection* c) {
    db::Query q(c);
    q.setSql(QStringLiteral("select CustID, Company, Email, Tel from custom"));
    q.open();
    QVector<Customer> out;
    out.reserve(q.recordCount());
    for (q.first(); !q.eof(); q.next())
        out.append(Customer{q.field(0).asInteger(), q.field(1).asString(), q.field(2).asString(), q.field(3).asString()});
    return out;
}

}  // namespace duplicates
