#include "exchange/ImportMatch.h"

#include <QDateTime>
#include <QSet>
#include <algorithm>

#include "app/db/Connection.h"
#include "app/db/Query.h"
#include "customers/StoredRows.h"

namespace importmatch {

namespace {

const QString kDateTime = QStringLiteral("yyyy-MM-dd hh:mm:ss");
constexpr QChar kJoin = QChar(0x1f);  // between a contact's customer and its own key
constexpr int kNamedMatches = 5;

QString table(bool customers) { return customers ? QStringLiteral("custom") : QStringLiteral("contact"); }
QString keyColumn(bool customers) { return customers ? QStringLiteral("CustID") : QStringLiteral("ContactId"); }

// The stored column a rule reads.
QString matchColumn(bool customers, matching::Rule rule) {
    switch (rule) {
    case matching::Rule::CustomerNo: return QStringLiteral("CustID");
    case matching::Rule::Email: return QStringLiteral("Email");
    case matching::Rule::Tel: return QStringLiteral("Tel");
    case matching::Rule::Name: return QStringLiteral("Name");
    case matching::Rule::Company: return customers ? QStringLiteral("Company") : QStringLiteral("Name");
    }
    return QString();
}

QString text(const QVariant& v) { return db::Query::textOf(v, db::FieldKind::Text); }

QString whose(bool customers, qlonglong id) {
    return (customers ? QStringLiteral("Customer No. %1") : QStringLiteral("Contact No. %1")).arg(id);
}

// Two values in canonical form; empty text and null are the same for text.
bool sameValue(const QVariant& a, const QVariant& b, db::FieldKind kind) {
    const QVariant x = canonical(a, kind), y = canonical(b, kind);
    if (kind == db::FieldKind::Text || kind == db::FieldKind::Memo)
        return x.toString() == y.toString();
    if (x.isNull() || y.isNull()) return x.isNull() == y.isNull();
    if (kind == db::FieldKind::Float || kind == db::FieldKind::Integer) return x.toDouble() == y.toDouble();
    return x.toString() == y.toString();
}

// The key of a stored or sheet row: the rule's key, for contacts behind
// the key of their customer's number.
QString rowKey(bool customers, matching::Rule rule, const QString& matchText, const QString& customerNo) {
    const QString k = matching::keyOf(rule, matchText);
    if (customers || k.isEmpty()) return k;
    const QString c = matching::numberKey(customerNo);
    return c.isEmpty() ? QString() : c + kJoin + k;
}

struct StoredColumns {
    int match = -1, customer = -1, owner = -1, label = -1;
    QVector<int> of;  // per target: its stored column
};

StoredColumns storedColumns(db::Connection* c, const Source& s, matching::Rule rule) {
    const QVector<db::FieldDef> cols = stored::columns(c, table(s.customers()));
    StoredColumns sc;
    sc.match = stored::columnIndex(cols, matchColumn(s.customers(), rule));
    sc.customer = s.customers() ? -1 : stored::columnIndex(cols, QStringLiteral("CustID"));
    sc.owner = stored::columnIndex(cols, QStringLiteral("F_User"));
    sc.label = stored::columnIndex(cols, s.customers() ? QStringLiteral("Company") : QStringLiteral("Name"));
    for (const Target& t : s.targets()) sc.of << stored::columnIndex(cols, t.column);
    return sc;
}

// Whether target i is written by an update of this row, and with what.
bool updates(const Options& o, const Target& t, const RowValues& v, int i) {
    if (t.identity) return false;
    if (v.fromSheet.value(i)) return true;
    return o.clearEmpty && t.paired;
}

QString labelOf(const Source& s, const RowValues& v) {
    const QString want = s.customers() ? QStringLiteral("Company") : QStringLiteral("Name");
    for (int i = 0; i < s.targets().size(); ++i)
        if (s.targets()[i].column.compare(want, Qt::CaseInsensitive) == 0 && v.set.value(i))
            return v.values[i].toString();
    return QString();
}

}  // namespace

QString onMatchWord(OnMatch m) {
    switch (m) {
    case OnMatch::Add: return QStringLiteral("add");
    case OnMatch::Update: return QStringLiteral("update");
    case OnMatch::Skip: return QStringLiteral("skip");
    }
    return QString();
}

bool onMatchFromWord(const QString& word, OnMatch* m) {
    for (OnMatch x : {OnMatch::Add, OnMatch::Update, OnMatch::Skip}) {
        if (word.trimmed().compare(onMatchWord(x), Qt::CaseInsensitive) == 0) {
            *m = x;
            return true;
        }
    }
    return false;
}

QList<matching::Rule> allowedRules(const QString& tableName, const QStringList& pairedColumns) {
    const auto has = [&](const char* column) {
        for (const QString& p : pairedColumns)
            if (p.compare(QLatin1String(column), Qt::CaseInsensitive) == 0) return true;
        return false;
    };
    QList<matching::Rule> out;
    if (tableName.compare(QLatin1String("contact"), Qt::CaseInsensitive) == 0) {
        if (!has("CustID")) return out;
        if (has("Name")) out << matching::Rule::Name;
        if (has("Email")) out << matching::Rule::Email;
        return out;
    }
    if (has("CustID")) out << matching::Rule::CustomerNo;
    if (has("Company")) out << matching::Rule::Company;
    if (has("Email")) out << matching::Rule::Email;
    if (has("Tel")) out << matching::Rule::Tel;
    return out;
}

Options readOptions(db::Connection* c, const QString& tableName) {
    Options o;
    const bool contacts = tableName.compare(QLatin1String("contact"), Qt::CaseInsensitive) == 0;
    o.rule = contacts ? matching::Rule::Name : matching::Rule::Company;
    if (c->tableFields(QStringLiteral("T_ImportChoice")).isEmpty()) return o;
    db::Query q(c);
    q.setSql(QStringLiteral("select OnMatch, MatchBy, ClearEmpty from T_ImportChoice where tablename=:t "
                            "order by ChoiceID"));
    q.setParam(QStringLiteral("t"), tableName.toLower());
    q.open();
    if (q.isEmpty()) return o;
    q.first();
    onMatchFromWord(q.field(0).asString(), &o.onMatch);
    matching::Rule r;
    if (matching::ruleFromWord(q.field(1).asString(), &r)) o.rule = r;
    o.clearEmpty = q.field(2).asBoolean();
    return o;
}

bool writeOptions(db::Connection* c, const QString& tableName, const Options& o) {
    if (c->tableFields(QStringLiteral("T_ImportChoice")).isEmpty()) return false;
    db::Query q(c);
    q.setSql(QStringLiteral("select * from T_ImportChoice where tablename=:t order by ChoiceID"));
    q.setParam(QStringLiteral("t"), tableName.toLower());
    q.open();
    if (q.isEmpty()) {
        q.append();
        q.setValue(QStringLiteral("tablename"), tableName.toLower());
    } else {
        q.first();
        q.edit();
    }
    q.setValue(QStringLiteral("OnMatch"), onMatchWord(o.onMatch));
    q.setValue(QStringLiteral("MatchBy"), matching::ruleWord(o.rule));
    q.setValue(QStringLiteral("ClearEmpty"), o.clearEmpty);
    q.post();
    return true;
}

int Plan::count(Action a) const {
    int n = 0;
    for (const RowPlan& r : rows)
        if (r.action == a) ++n;
    return n;
}

QVariant canonical(const QVariant& v, db::FieldKind kind) {
    if (v.isNull()) return QVariant();
    switch (kind) {
    case db::FieldKind::Bool: {
        if (v.typeId() == QMetaType::Bool) return v.toBool() ? 1 : 0;
        const QString s = v.toString().trimmed().toLower();
        if (s == QLatin1String("true")) return 1;
        if (s == QLatin1String("false") || s.isEmpty()) return 0;
        return v.toLongLong() != 0 ? 1 : 0;
    }
    case db::FieldKind::DateTime: {
        if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().toString(kDateTime);
        if (v.typeId() == QMetaType::QDate) return QDateTime(v.toDate(), QTime(0, 0)).toString(kDateTime);
        const QString s = v.toString().trimmed();
        if (s.isEmpty()) return QVariant();
        for (const char* f : {"yyyy-MM-dd hh:mm:ss", "yyyy-MM-ddThh:mm:ss", "yyyy-MM-ddThh:mm:ss.zzz",
                              "yyyy-MM-dd hh:mm:ss.zzz", "yyyy-MM-dd hh:mm", "yyyy-MM-dd"}) {
            const QDateTime dt = QDateTime::fromString(s, QString::fromLatin1(f));
            if (dt.isValid()) return dt.toString(kDateTime);
        }
        return s;
    }
    case db::FieldKind::Integer:
    case db::FieldKind::Float: {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok ? QVariant(d) : QVariant(v.toString());
    }
    default: return v.typeId() == QMetaType::QString ? v : QVariant(v.toString());
    }
}

QVariant writtenValue(const Target& t, const RowValues& v, int index) {
    if (v.fromSheet.value(index)) return v.values.value(index);
    if (t.kind == db::FieldKind::Text || t.kind == db::FieldKind::Memo) return QString(QLatin1String(""));
    return QVariant();
}

Plan plan(db::Connection* c, Source& s, const Options& o, const QString& userName, int userPermit) {
    Plan p;
    p.options = o;
    const QList<int> rows = s.rows();
    const QList<Target>& targets = s.targets();
    p.rows.resize(rows.size());
    QHash<int, int> sampled;  // per action, how many samples so far
    auto sample = [&](const RowPlan& rp, const QString& label, const QList<Change>& changes = {}) {
        int& n = sampled[int(rp.action)];
        if (n >= Plan::kSamples) return;
        ++n;
        p.samples << Sample{rp.row, rp.action, rp.target, label, changes};
    };

    // The sheet's keys: for each key its first row, and each row the next
    // one with the same key.
    QHash<QString, int> firstOf;
    QVector<int> nextOf(rows.size(), -1), lastOf(rows.size(), -1);
    if (o.onMatch != OnMatch::Add) {
        firstOf.reserve(rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const QString key = rowKey(s.customers(), o.rule, s.matchText(rows[i]),
                                       s.customers() ? QString() : s.customerNo(rows[i]));
            if (key.isEmpty()) continue;
            const auto it = firstOf.constFind(key);
            if (it == firstOf.constEnd()) {
                firstOf.insert(key, i);
                lastOf[i] = i;
            } else {
                nextOf[lastOf[*it]] = i;
                lastOf[*it] = i;
            }
        }
    }

    // The stored records those keys name. Each row that matches is worked
    // out as its record is read, so that no record is kept.
    QVector<bool> done(rows.size(), false);
    QVector<QList<qlonglong>> matches(rows.size());  // the records each matching row names (a few)
    QVector<int> matchCount(rows.size(), 0);
    const StoredColumns sc = storedColumns(c, s, o.rule);
    RowValues v;
    if (!firstOf.isEmpty() && sc.match >= 0) {
        stored::scanRows(c, table(s.customers()), keyColumn(s.customers()), false, [&](const stored::Row& row) {
            const QString key = rowKey(s.customers(), o.rule, text(row.values.value(sc.match)),
                                       sc.customer >= 0 ? text(row.values.value(sc.customer)) : QString());
            if (key.isEmpty()) return;
            const auto it = firstOf.constFind(key);
            if (it == firstOf.constEnd()) return;
            for (int i = *it; i >= 0; i = nextOf[i]) {
                if (matchCount[i]++ < kNamedMatches) matches[i] << row.key;
                if (matchCount[i] > 1) continue;  // worked out with the first; ambiguous, reported below
                RowPlan& rp = p.rows[i];
                rp.row = rows[i];
                rp.target = row.key;
                rp.digest = row.digest;
                done[i] = true;
                if (!s.values(rp.row, &v)) {
                    rp.action = Action::Problem;
                    continue;
                }
                const QString label = labelOf(s, v).isEmpty() ? text(row.values.value(sc.label)) : labelOf(s, v);
                if (o.onMatch == OnMatch::Skip) {
                    rp.action = Action::Skip;
                    sample(rp, label);
                    continue;
                }
                QList<Change> changes;
                for (int t = 0; t < targets.size() && t < 64; ++t) {
                    if (!updates(o, targets[t], v, t) || sc.of[t] < 0) continue;
                    const QVariant now = row.values.value(sc.of[t]);
                    const QVariant next = writtenValue(targets[t], v, t);
                    if (sameValue(now, next, targets[t].kind)) continue;
                    rp.changed |= quint64(1) << t;
                    changes << Change{targets[t].column, canonical(now, targets[t].kind).toString(),
                                      canonical(next, targets[t].kind).toString()};
                }
                rp.action = rp.changed ? Action::Update : Action::Unchanged;
                if (rp.action == Action::Update && userPermit != 0 && sc.owner >= 0 &&
                    text(row.values.value(sc.owner)) != userName) {
                    rp.action = Action::Problem;
                    const QString owner = text(row.values.value(sc.owner));
                    s.problem(rp.row, QString(),
                              QStringLiteral("%1 belongs to %2: a common user may change only records of their own")
                                  .arg(whose(s.customers(), row.key),
                                       owner.isEmpty() ? QStringLiteral("nobody") : owner));
                    continue;
                }
                if (!v.contactName.trimmed().isEmpty()) rp.addsContact = true;
                sample(rp, label, changes);
            }
        });
    }

    // Rows matching several records, and records matched by several rows.
    QHash<qlonglong, int> firstRowOf;
    for (int i = 0; i < rows.size(); ++i) {
        RowPlan& rp = p.rows[i];
        if (!done[i]) continue;
        if (matchCount[i] > 1) {
            QStringList ids;
            for (qlonglong id : matches[i]) ids << QString::number(id);
            if (matchCount[i] > matches[i].size()) ids << QStringLiteral("...");
            rp.action = Action::Problem;
            s.problem(rp.row, s.matchText(rp.row),
                      QStringLiteral("matches %1 stored %2 (No. %3), not one; correct the file or merge them first")
                          .arg(matchCount[i])
                          .arg(s.customers() ? QStringLiteral("customers") : QStringLiteral("contacts"),
                               ids.join(QStringLiteral(", "))));
            continue;
        }
        if (rp.action != Action::Update && rp.action != Action::Unchanged) continue;
        const auto first = firstRowOf.constFind(rp.target);
        if (first == firstRowOf.constEnd()) {
            firstRowOf.insert(rp.target, rp.row);
        } else {
            rp.action = Action::Problem;
            s.problem(rp.row, s.matchText(rp.row),
                      QStringLiteral("matches %1, as row %2 does already").arg(whose(s.customers(), rp.target)).arg(*first));
        }
    }

    // Every other row is new; when matching, once per key: a second row
    // naming the same new record would add it twice.
    QHash<QString, int> newRowOf;
    for (int i = 0; i < rows.size(); ++i) {
        if (done[i]) continue;
        RowPlan& rp = p.rows[i];
        rp.row = rows[i];
        if (!s.values(rp.row, &v)) {
            rp.action = Action::Problem;
            continue;
        }
        // A customer number names one customer: a number that names none
        // is a mistake (or a customer deleted since), not a new customer.
        if (o.onMatch != OnMatch::Add && o.rule == matching::Rule::CustomerNo && s.customers()) {
            const QString no = s.matchText(rp.row);
            if (!no.trimmed().isEmpty()) {
                rp.action = Action::Problem;
                s.problem(rp.row, no, matching::numberKey(no).isEmpty() ? QStringLiteral("not a customer number")
                                                                        : QStringLiteral("no customer has this number"));
                continue;
            }
        }
        if (o.onMatch != OnMatch::Add) {
            const QString key = rowKey(s.customers(), o.rule, s.matchText(rp.row),
                                       s.customers() ? QString() : s.customerNo(rp.row));
            if (!key.isEmpty()) {
                const auto first = newRowOf.constFind(key);
                if (first != newRowOf.constEnd()) {
                    rp.action = Action::Problem;
                    s.problem(rp.row, s.matchText(rp.row),
                              QStringLiteral("names the same new %1 as row %2; the file holds it twice")
                                  .arg(s.customers() ? QStringLiteral("customer") : QStringLiteral("contact"))
                                  .arg(*first));
                    continue;
                }
                newRowOf.insert(key, rp.row);
            }
        }
        rp.action = Action::Add;
        rp.addsContact = !v.contactName.trimmed().isEmpty();
        sample(rp, labelOf(s, v));
    }

    // A customer row's contact person is added unless its customer has one
    // of that name already.
    if (s.customers()) {
        QHash<qlonglong, int> rowOfTarget;
        for (int i = 0; i < rows.size(); ++i) {
            const RowPlan& rp = p.rows[i];
            if (rp.addsContact && rp.target >= 0) rowOfTarget.insert(rp.target, i);
        }
        if (!rowOfTarget.isEmpty()) {
            QSet<QString> names;  // customer number + name key
            db::Query q(c);
            q.setSql(QStringLiteral("select CustID, Name from contact"));
            q.open();
            for (q.first(); !q.eof(); q.next())
                names.insert(matching::numberKey(q.field(0).asString()) + kJoin + matching::nameKey(q.field(1).asString()));
            for (auto it = rowOfTarget.begin(); it != rowOfTarget.end(); ++it) {
                RowPlan& rp = p.rows[it.value()];
                if (!s.values(rp.row, &v)) continue;
                if (names.contains(QString::number(rp.target) + kJoin + matching::nameKey(v.contactName)))
                    rp.addsContact = false;
            }
        }
    }
    // A row shown before it turned out to match twice is shown no more.
    QHash<int, Action> actionOf;
    for (const RowPlan& rp : p.rows) actionOf.insert(rp.row, rp.action);
    p.samples.erase(std::remove_if(p.samples.begin(), p.samples.end(),
                                   [&](const Sample& x) { return actionOf.value(x.row) != x.action; }),
                    p.samples.end());
    for (const RowPlan& rp : p.rows) {
        if (rp.action == Action::Problem) ++p.problems;
        else if (rp.addsContact && (rp.action == Action::Add || rp.action == Action::Update ||
                                    rp.action == Action::Unchanged))
            ++p.contacts;
    }
    p.checked = true;
    return p;
}

int recheck(db::Connection* c, Source& s, const Plan& p, QHash<qlonglong, QHash<QString, QVariant>>* oldValues) {
    int problems = 0;
    const QList<Target>& targets = s.targets();
    QList<qlonglong> keys;
    for (const RowPlan& rp : p.rows)
        if (rp.action == Action::Update) keys << rp.target;
    const auto now = stored::readRows(c, table(s.customers()), keyColumn(s.customers()), keys, true, true);
    const StoredColumns sc = storedColumns(c, s, p.options.rule);
    for (const RowPlan& rp : p.rows) {
        if (rp.action != Action::Update) continue;
        const auto it = now.constFind(rp.target);
        if (it == now.constEnd()) {
            ++problems;
            s.problem(rp.row, QString(), QStringLiteral("%1 was deleted on another workstation after the preview")
                                             .arg(whose(s.customers(), rp.target)));
            continue;
        }
        if (it->digest != rp.digest) {
            ++problems;
            s.problem(rp.row, QString(), QStringLiteral("%1 was changed on another workstation after the preview")
                                             .arg(whose(s.customers(), rp.target)));
            continue;
        }
        QHash<QString, QVariant>& old = (*oldValues)[rp.target];
        for (int t = 0; t < targets.size() && t < 64; ++t)
            if (rp.changed & (quint64(1) << t)) old.insert(targets[t].column, it->values.value(sc.of[t]));
    }

    // A row planned as new must still match nothing.
    if (p.options.onMatch == OnMatch::Add || sc.match < 0) return problems;
    QHash<QString, int> added;
    for (const RowPlan& rp : p.rows) {
        if (rp.action != Action::Add) continue;
        const QString key = rowKey(s.customers(), p.options.rule, s.matchText(rp.row),
                                   s.customers() ? QString() : s.customerNo(rp.row));
        if (!key.isEmpty()) added.insert(key, rp.row);
    }
    if (added.isEmpty()) return problems;
    const QVector<db::FieldDef> cols = stored::columns(c, table(s.customers()));
    QString sql = QStringLiteral("select [") + keyColumn(s.customers()) + QStringLiteral("], [") +
                  cols[sc.match].name + QLatin1Char(']');
    if (!s.customers()) sql += QStringLiteral(", [CustID]");
    db::Query q(c);
    q.setSql(sql + QStringLiteral(" from ") + table(s.customers()));
    q.open();
    for (q.first(); !q.eof(); q.next()) {
        const QString key = rowKey(s.customers(), p.options.rule, q.field(1).asString(),
                                   s.customers() ? QString() : q.field(2).asString());
        const auto it = added.constFind(key);
        if (key.isEmpty() || it == added.constEnd()) continue;
        ++problems;
        s.problem(*it, QString(),
                  QStringLiteral("now matches %1, stored on another workstation after the preview")
                      .arg(whose(s.customers(), q.field(0).asInteger())));
    }
    return problems;
}

}  // namespace importmatch
