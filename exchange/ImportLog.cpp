#include "exchange/ImportLog.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>

#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/RowInserter.h"
#include "app/db/Statement.h"
#include "app/db/Transaction.h"
#include "customers/StoredRows.h"

namespace importlog {

namespace {

constexpr int kKeysPerStatement = 400;
// Above this many customers, their contacts are looked for in one pass.
constexpr int kScanAbove = 20000;
const QString kMixedIn = QStringLiteral(
    "Another workstation added rows to the same table while this import was writing, so the new rows could not "
    "be told apart. Nothing was imported; please start the import again.");
constexpr int kNamedProblems = 10;
const QString kDateTime = QStringLiteral("yyyy-MM-dd hh:mm:ss");

QString keyColumn(const QString& table) {
    return table.compare(QLatin1String("contact"), Qt::CaseInsensitive) == 0 ? QStringLiteral("ContactId")
                                                                            : QStringLiteral("CustID");
}
// The column that names a row in a message.
QString labelColumn(const QString& table) {
    return table.compare(QLatin1String("contact"), Qt::CaseInsensitive) == 0 ? QStringLiteral("Name")
                                                                            : QStringLiteral("Company");
}
bool isContact(const QString& table) { return table.compare(QLatin1String("contact"), Qt::CaseInsensitive) == 0; }

// "Customer No. 12 "Acme Inc"", "Contact No. 7 "Ann"".
QString rowName(const QString& table, qlonglong key, const QString& name) {
    const QString what = isContact(table) ? QStringLiteral("Contact No. %1").arg(key)
                                          : QStringLiteral("Customer No. %1").arg(key);
    return name.isEmpty() ? what : what + QStringLiteral(" \"%1\"").arg(name);
}

QString marks(const QString& prefix, int n) {
    QStringList m;
    for (int i = 0; i < n; ++i) m << QStringLiteral(":%1%2").arg(prefix).arg(i);
    return QLatin1Char('(') + m.join(QLatin1Char(',')) + QLatin1Char(')');
}

// Opens q and hands it to take (a select), or executes it (take empty).
void runOne(db::Query& q, const std::function<void(db::Query&)>& take, int* affected) {
    if (take) {
        q.open();
        take(q);
        q.close();
    } else {
        q.execSql();
        if (affected) *affected += q.rowsAffected();
    }
}

// Runs "<head> in (...)<tail>" over keys, a slice at a time; each opened
// slice is handed to take (for selects) or executed (take empty).
void overKeys(db::Connection* c, const QString& head, const QList<QVariant>& keys,
              const std::function<void(db::Query&)>& take, int* affected = nullptr) {
    db::Query q(c);
    for (int from = 0; from < keys.size(); from += kKeysPerStatement) {
        const int n = std::min(kKeysPerStatement, int(keys.size()) - from);
        q.setSql(head + QStringLiteral(" in ") + marks(QStringLiteral("k"), n));
        for (int i = 0; i < n; ++i) q.setParam(QStringLiteral("k%1").arg(i), keys[from + i]);
        runOne(q, take, affected);
    }
}

// Numeric keys over which head ("... where <column>") runs: an import's
// rows lie in a few runs of consecutive numbers, each one statement
// ("between"), where hundreds of statements naming keys would be made.
void overNumbers(db::Connection* c, const QString& head, QList<qlonglong> keys,
                 const std::function<void(db::Query&)>& take, int* affected = nullptr) {
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    QList<std::pair<qlonglong, qlonglong>> runs;
    for (qlonglong k : keys) {
        if (!runs.isEmpty() && runs.last().second + 1 == k) runs.last().second = k;
        else runs.append({k, k});
    }
    if (runs.size() * 20 > keys.size()) {
        QList<QVariant> listed;
        listed.reserve(keys.size());
        for (qlonglong k : keys) listed << k;
        overKeys(c, head, listed, take, affected);
        return;
    }
    db::Query q(c);
    for (const auto& [first, last] : runs) {
        q.setSql(head + QStringLiteral(" between :first and :last"));
        q.setParam(QStringLiteral("first"), first);
        q.setParam(QStringLiteral("last"), last);
        runOne(q, take, affected);
    }
}

QList<QVariant> asVariants(const QList<qlonglong>& keys, bool text) {
    QList<QVariant> out;
    out.reserve(keys.size());
    for (qlonglong k : keys) out << (text ? QVariant(QString::number(k)) : QVariant(k));
    return out;
}

Entry entryOf(db::Query& q) {
    Entry e;
    e.id = q.field(QStringLiteral("LogID")).asInteger();
    e.user = q.asString(QStringLiteral("UserName"));
    e.at = q.field(QStringLiteral("ImportedAt")).asDateTime();
    e.file = q.asString(QStringLiteral("FileName"));
    e.table = q.asString(QStringLiteral("TableName"));
    e.onMatch = q.asString(QStringLiteral("OnMatch"));
    e.matchBy = q.asString(QStringLiteral("MatchBy"));
    e.added = int(q.field(QStringLiteral("Added")).asInteger());
    e.updated = int(q.field(QStringLiteral("Updated")).asInteger());
    e.skipped = int(q.field(QStringLiteral("Skipped")).asInteger());
    e.contacts = int(q.field(QStringLiteral("Contacts")).asInteger());
    return e;
}

QString plural(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

}  // namespace

bool available(db::Connection* c) {
    return !c->tableFields(QStringLiteral("T_ImportLog")).isEmpty() &&
           !c->tableFields(QStringLiteral("T_ImportRow")).isEmpty();
}

QVariant toLog(const QVariant& v, db::FieldKind kind) {
    if (v.isNull()) return QVariant();
    switch (kind) {
    case db::FieldKind::Bool: {
        const QString s = v.toString().trimmed().toLower();
        return (s == QLatin1String("true") || (s != QLatin1String("false") && v.toLongLong() != 0)) ? 1 : 0;
    }
    case db::FieldKind::DateTime:
        if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().toString(kDateTime);
        return v.toString();
    case db::FieldKind::Integer: return v.toLongLong();
    case db::FieldKind::Float: return v.toDouble();
    default: return v.toString();
    }
}

QVariant fromLog(const QVariant& v, db::FieldKind kind) {
    if (v.isNull()) return QVariant();
    switch (kind) {
    case db::FieldKind::Bool: return v.toInt() != 0 ? 1 : 0;
    case db::FieldKind::Integer: return v.toLongLong();
    case db::FieldKind::Float: return v.toDouble();
    default: return v.toString();
    }
}

// ---- recording -------------------------------------------------------------------

qlonglong highestKey(db::Connection* c, const QString& table) {
    db::Query m(c);
    m.setSql(QStringLiteral("select max([") + keyColumn(table) + QStringLiteral("]) as m from ") + table);
    m.open();
    return m.field(0).asInteger();
}

QList<qlonglong> keysAbove(db::Connection* c, const QString& table, qlonglong before, int count) {
    const QString key = QLatin1Char('[') + keyColumn(table) + QLatin1Char(']');
    db::Query ids(c);
    ids.setSql(db::Statement(QStringLiteral("select ") + key + QStringLiteral(" from ") + table + QStringLiteral(" where ") +
                             key + QStringLiteral(">:before order by ") + key)
                   .bind(QStringLiteral("before"), before));
    ids.open();
    QList<qlonglong> keys;
    keys.reserve(count);
    for (ids.first(); !ids.eof(); ids.next()) keys << ids.field(0).asInteger();
    if (keys.size() != count) throw db::DbError(kMixedIn);
    return keys;
}

Recorder::Recorder(db::Connection* c, const Entry& entry) : c_(c), entry_(entry) {}

void Recorder::added(const QString& table, const QList<qlonglong>& keys) {
    items_.reserve(items_.size() + keys.size());
    for (qlonglong k : keys) items_.append(Item{table, k, true, QString()});
}

void Recorder::addedAbove(const QString& table, qlonglong before, int count) {
    if (count > 0) ranges_.append(Range{table.toLower(), before, count});
}

void Recorder::updated(const QString& table, qlonglong key, const QHash<QString, QVariant>& oldValues) {
    const QVector<db::FieldDef> cols = stored::columns(c_, table);
    QJsonObject o;
    for (auto it = oldValues.begin(); it != oldValues.end(); ++it) {
        const int at = stored::columnIndex(cols, it.key());
        o.insert(it.key(), QJsonValue::fromVariant(toLog(it.value(), at >= 0 ? cols[at].kind : db::FieldKind::Text)));
    }
    items_.append(Item{table, key, false, QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact))});
}

qlonglong Recorder::finish(int added, int updated, int skipped, int contacts) {
    db::Query log(c_);
    log.setSql(QStringLiteral("select * from T_ImportLog where LogID=:none"));
    log.setParam(QStringLiteral("none"), -1);
    log.open();
    log.append();
    log.setValue(QStringLiteral("UserName"), entry_.user);
    log.setValue(QStringLiteral("ImportedAt"), entry_.at.isValid() ? entry_.at : QDateTime::currentDateTime());
    log.setValue(QStringLiteral("FileName"), entry_.file.right(255));
    log.setValue(QStringLiteral("TableName"), entry_.table);
    log.setValue(QStringLiteral("OnMatch"), entry_.onMatch);
    log.setValue(QStringLiteral("MatchBy"), entry_.matchBy);
    log.setValue(QStringLiteral("Added"), added);
    log.setValue(QStringLiteral("Updated"), updated);
    log.setValue(QStringLiteral("Skipped"), skipped);
    log.setValue(QStringLiteral("Contacts"), contacts);
    log.post();
    const qlonglong id = log.field(QStringLiteral("LogID")).asInteger();

    QSet<QString> tables;
    for (const Item& it : items_) tables << it.table.toLower();
    for (const Range& r : ranges_) tables << r.table;
    bool engine = true;
    for (const QString& t : tables) engine = engine && !stored::engineDigest(c_, t).isEmpty();
    if (engine) {
        fingerprintInEngine(id, tables);
        return id;
    }
    for (const Range& r : ranges_) Recorder::added(r.table, keysAbove(c_, r.table, r.before, r.count));
    ranges_.clear();

    // The fingerprints of the rows as this run leaves them.
    QHash<QString, QList<qlonglong>> keys;
    for (const Item& it : items_) keys[it.table.toLower()] << it.key;
    QHash<QString, QHash<qlonglong, stored::Row>> now;
    for (auto it = keys.begin(); it != keys.end(); ++it)
        now.insert(it.key(), stored::readRows(c_, it.key(), keyColumn(it.key()), it.value(), false, false));

    // One statement prepared once, its values bound batch by batch.
    db::RowInserter rows(c_, QStringLiteral("T_ImportRow"),
                         {QStringLiteral("LogID"), QStringLiteral("TableName"), QStringLiteral("RecordID"),
                          QStringLiteral("Action"), QStringLiteral("OldValues"), QStringLiteral("Digest")});
    const QString addedMark = QStringLiteral("A"), updatedMark = QStringLiteral("U");
    for (const Item& it : items_) {
        const QHash<qlonglong, stored::Row>& table = now[it.table.toLower()];
        const auto row = table.constFind(it.key);
        if (row == table.constEnd())
            throw db::DbError(QStringLiteral("A row this import wrote could not be read back (%1).")
                                  .arg(rowName(it.table, it.key, QString())));
        rows.add({id, it.table.toLower(), it.key, it.add ? addedMark : updatedMark, it.add ? QVariant() : QVariant(it.oldValues),
                  QString::fromLatin1(row->digest)});
    }
    rows.flush();
    return id;
}

void Recorder::fingerprintInEngine(qlonglong id, const QSet<QString>& tables) {
    // The rows named one by one first, their fingerprints filled in below.
    db::RowInserter rows(c_, QStringLiteral("T_ImportRow"),
                         {QStringLiteral("LogID"), QStringLiteral("TableName"), QStringLiteral("RecordID"),
                          QStringLiteral("Action"), QStringLiteral("OldValues")});
    const QString addedMark = QStringLiteral("A"), updatedMark = QStringLiteral("U");
    for (const Item& it : items_)
        rows.add({id, it.table.toLower(), it.key, it.add ? addedMark : updatedMark,
                  it.add ? QVariant() : QVariant(it.oldValues)});
    rows.flush();
    db::Query q(c_);
    // The rows added together: recorded with their fingerprints by one
    // statement, none of them read by the program.
    for (const Range& r : ranges_) {
        const QString key = QLatin1Char('[') + keyColumn(r.table) + QLatin1Char(']');
        q.setSql(QStringLiteral("insert into T_ImportRow (LogID, TableName, RecordID, Action, Digest) select :id, :table, ") +
                 key + QStringLiteral(", 'A', ") + stored::engineDigest(c_, r.table) + QStringLiteral(" from ") + r.table +
                 QStringLiteral(" where ") + key + QStringLiteral(" > :before order by ") + key);
        q.setParam(QStringLiteral("id"), id);
        q.setParam(QStringLiteral("table"), r.table);
        q.setParam(QStringLiteral("before"), r.before);
        q.execSql();
        if (q.rowsAffected() != r.count) throw db::DbError(kMixedIn);
    }
    if (items_.isEmpty()) return;
    for (const QString& t : tables) {
        const QString key = QLatin1Char('[') + keyColumn(t) + QLatin1Char(']');
        q.setSql(QStringLiteral("update T_ImportRow set Digest=(select ") + stored::engineDigest(c_, t) +
                 QStringLiteral(" from ") + t + QStringLiteral(" where ") + key +
                 QStringLiteral("=T_ImportRow.RecordID) where LogID=:id and TableName=:table and Digest is null"));
        q.setParam(QStringLiteral("id"), id);
        q.setParam(QStringLiteral("table"), t);
        q.execSql();
    }
    q.setSql(QStringLiteral("select TableName, RecordID from T_ImportRow where LogID=:id and Digest is null"));
    q.setParam(QStringLiteral("id"), id);
    q.open();
    if (!q.isEmpty()) {
        q.first();
        throw db::DbError(QStringLiteral("A row this import wrote could not be read back (%1).")
                              .arg(rowName(q.field(0).asString(), q.field(1).asInteger(), QString())));
    }
}

// ---- the last import ---------------------------------------------------------------

std::optional<Entry> last(db::Connection* c) {
    if (!available(c)) return std::nullopt;
    db::Query q(c);
    q.setSql(QStringLiteral("select LogID, UserName, ImportedAt, FileName, TableName, OnMatch, MatchBy, Added, "
                            "Updated, Skipped, Contacts from T_ImportLog where UndoneAt is null "
                            "order by LogID desc limit 1"));
    q.open();
    if (q.isEmpty()) return std::nullopt;
    q.first();
    return entryOf(q);
}

QString refusal(const Entry& e, const QString& userName, int userPermit) {
    if (userPermit == 0 || e.user == userName) return QString();
    return QStringLiteral("The last import was made by %1. Only %1 or a super user can undo it.").arg(e.user);
}

QString confirmation(const Entry& e) {
    QStringList what;
    const bool contacts = isContact(e.table);
    if (e.added) what << QStringLiteral("delete the %1 it added").arg(plural(e.added, contacts ? "contact" : "customer",
                                                                           contacts ? "contacts" : "customers"));
    if (e.contacts) what << QStringLiteral("delete the %1 it added").arg(plural(e.contacts, "contact", "contacts"));
    if (e.updated)
        what << QStringLiteral("restore the values it overwrote in %1")
                    .arg(plural(e.updated, contacts ? "contact" : "customer", contacts ? "contacts" : "customers"));
    if (what.isEmpty()) what << QStringLiteral("forget it (it changed nothing)");
    return QStringLiteral("Undo the import of %1 into %2 made by %3 on %4?\n\nThis will %5.")
        .arg(e.file, contacts ? QStringLiteral("contacts") : QStringLiteral("customers"), e.user,
             e.at.toString(QStringLiteral("yyyy-MM-dd hh:mm")), what.join(QStringLiteral(", then ")));
}

// ---- undoing -----------------------------------------------------------------------

UndoOutcome undo(db::Connection* c, const Entry& e, const QString& userName) {
    db::TransactionGuard guard(*c);
    const std::optional<Entry> still = last(c);
    if (!still || still->id != e.id)
        throw db::DbError(QStringLiteral("The import of %1 is no longer the last one: another workstation has undone "
                                         "it, or imported since. Nothing was undone.")
                              .arg(e.file));

    struct Logged {
        QString table;
        qlonglong key;
        bool add;
        QString oldValues;
        QByteArray digest;
    };
    QList<Logged> rows;
    {
        db::Query q(c);
        q.setSql(QStringLiteral("select TableName, RecordID, Action, OldValues, Digest from T_ImportRow "
                                "where LogID=:id order by RowNo"));
        q.setParam(QStringLiteral("id"), e.id);
        q.open();
        rows.reserve(q.recordCount());
        for (q.first(); !q.eof(); q.next())
            rows.append(Logged{q.field(0).asString().toLower(), q.field(1).asInteger(),
                               q.field(2).asString() == QLatin1String("A"), q.field(3).asString(),
                               q.field(4).asString().toLatin1()});
    }

    // Every row must still be as the import left it: fingerprinted again
    // the way the log's fingerprint was taken (by the engine, or by
    // reading the row in an import logged before the engine took them).
    QHash<QString, QList<qlonglong>> keys, engineKeys;
    const QByteArray tag = stored::engineDigestTag(c).toLatin1();
    for (const Logged& r : rows) {
        if (!stored::isEngineDigest(r.digest)) {
            keys[r.table] << r.key;
        } else if (!tag.isEmpty() && r.digest.startsWith(tag)) {
            engineKeys[r.table] << r.key;
        } else {
            throw db::DbError(QStringLiteral("The import of %1 was recorded by another database engine (the database "
                                             "has been copied since), so this one cannot tell whether its rows were "
                                             "changed since. Nothing was undone.")
                                  .arg(e.file));
        }
    }
    QHash<QString, QHash<qlonglong, stored::Row>> now;
    for (auto it = keys.begin(); it != keys.end(); ++it)
        now.insert(it.key(), stored::readRows(c, it.key(), keyColumn(it.key()), it.value(), true, true));
    QHash<QString, QHash<qlonglong, stored::Fingerprint>> engineNow;
    for (auto it = engineKeys.begin(); it != engineKeys.end(); ++it)
        engineNow.insert(it.key(), stored::readFingerprints(c, it.key(), keyColumn(it.key()), labelColumn(it.key()),
                                                            it.value(), true));
    QStringList problems;
    int problemCount = 0;
    auto problem = [&](const QString& text) {
        if (++problemCount <= kNamedProblems) problems << text;
    };
    auto nameOf = [&](const QString& table, const stored::Row& row) {
        const QVector<db::FieldDef> cols = stored::columns(c, table);
        const int at = stored::columnIndex(cols, labelColumn(table));
        return at >= 0 ? db::Query::textOf(row.values.value(at), db::FieldKind::Text) : QString();
    };
    QList<qlonglong> addedCustomers, addedContacts;
    for (const Logged& r : rows) {
        bool found = false, same = false;
        QString name;
        if (stored::isEngineDigest(r.digest)) {
            const auto it = engineNow[r.table].constFind(r.key);
            if ((found = it != engineNow[r.table].constEnd())) {
                same = it->digest == r.digest;
                name = it->label;
            }
        } else {
            const auto it = now[r.table].constFind(r.key);
            if ((found = it != now[r.table].constEnd())) {
                same = it->digest == r.digest;
                if (!same) name = nameOf(r.table, *it);
            }
        }
        if (!found) {
            problem(QStringLiteral("%1 was deleted since the import").arg(rowName(r.table, r.key, QString())));
            continue;
        }
        if (!same) problem(QStringLiteral("%1 was changed since the import").arg(rowName(r.table, r.key, name)));
        if (r.add) (isContact(r.table) ? addedContacts : addedCustomers) << r.key;
    }
    // An added customer that has gained contacts, schedules or sales since
    // cannot go without them.
    if (!addedCustomers.isEmpty()) {
        const QSet<qlonglong> ours(addedContacts.begin(), addedContacts.end());
        // A contact names its customer by number as text: many customers
        // are looked for in one pass over the contacts, a few by name.
        QSet<QString> numbers;
        if (addedCustomers.size() > kScanAbove)
            for (qlonglong k : addedCustomers) numbers.insert(QString::number(k));
        const auto contacts = [&](db::Query& q) {
            for (q.first(); !q.eof(); q.next())
                if ((numbers.isEmpty() || numbers.contains(q.field(1).asString())) && !ours.contains(q.field(0).asInteger()))
                    problem(QStringLiteral("Customer No. %1 has the contact \"%2\", added since the import")
                                .arg(q.field(1).asString(), q.field(2).asString()));
        };
        if (numbers.isEmpty()) {
            overKeys(c, QStringLiteral("select ContactId, CustID, Name from contact where CustID"),
                     asVariants(addedCustomers, true), contacts);
        } else {
            db::Query q(c);
            q.setSql(QStringLiteral("select ContactId, CustID, Name from contact"));
            q.open();
            contacts(q);
        }
        for (const auto& [table, what] : {std::pair{QStringLiteral("T_Schedule"), QStringLiteral("a schedule")},
                                          std::pair{QStringLiteral("T_Sale"), QStringLiteral("a sale")}}) {
            if (stored::columnIndex(c->tableFields(table), QStringLiteral("CustID")) < 0) continue;
            overNumbers(c, QStringLiteral("select CustID from ") + table + QStringLiteral(" where CustID"),
                        addedCustomers, [&](db::Query& q) {
                         for (q.first(); !q.eof(); q.next())
                             problem(QStringLiteral("Customer No. %1 has %2 made since the import")
                                         .arg(q.field(0).asString(), what));
                     });
        }
    }
    if (problemCount > 0) {
        QString text = QStringLiteral("The import of %1 cannot be undone: %2 since it was made. Nothing was undone.\n")
                           .arg(e.file, problemCount == 1 ? QStringLiteral("1 of its rows was changed")
                                                          : QStringLiteral("%1 of its rows were changed").arg(problemCount));
        for (const QString& p : problems) text += QStringLiteral("\n") + p + QLatin1Char('.');
        if (problemCount > problems.size()) text += QStringLiteral("\n... and %1 more.").arg(problemCount - problems.size());
        throw db::DbError(text);
    }

    UndoOutcome out;
    overNumbers(c, QStringLiteral("delete from contact where ContactId"), addedContacts, {}, &out.contactsDeleted);
    overNumbers(c, QStringLiteral("delete from custom where CustID"), addedCustomers, {}, &out.customersDeleted);
    db::Query q(c);
    for (const Logged& r : rows) {
        if (r.add) continue;
        const QJsonObject old = QJsonDocument::fromJson(r.oldValues.toUtf8()).object();
        if (old.isEmpty()) continue;
        const QVector<db::FieldDef> cols = stored::columns(c, r.table);
        QStringList sets;
        QVariantList values;
        for (auto it = old.begin(); it != old.end(); ++it) {
            const int at = stored::columnIndex(cols, it.key());
            if (at < 0) continue;
            sets << QStringLiteral("[%1]=:v%2").arg(cols[at].name).arg(values.size());
            values << fromLog(it.value().toVariant(), cols[at].kind);
        }
        if (sets.isEmpty()) continue;
        // Setting the text drops earlier values: bind after it.
        q.setSql(QStringLiteral("update ") + r.table + QStringLiteral(" set ") + sets.join(QStringLiteral(", ")) +
                 QStringLiteral(" where [") + keyColumn(r.table) + QStringLiteral("]=:key"));
        for (int i = 0; i < values.size(); ++i) q.setParam(QStringLiteral("v%1").arg(i), values[i]);
        q.setParam(QStringLiteral("key"), r.key);
        q.execSql();
        ++out.restored;
    }
    q.setSql(QStringLiteral("update T_ImportLog set UndoneBy=:u, UndoneAt=:at where LogID=:id"));
    q.setParam(QStringLiteral("u"), userName);
    q.setParam(QStringLiteral("at"), QDateTime::currentDateTime().toString(kDateTime));
    q.setParam(QStringLiteral("id"), e.id);
    q.execSql();
    q.setSql(QStringLiteral("delete from T_ImportRow where LogID=:id"));
    q.setParam(QStringLiteral("id"), e.id);
    q.execSql();
    guard.commit();
    return out;
}

}  // namespace importlog
