#include "exchange/ImportRun.h"

#include <QLocale>
#include <QRegularExpression>

#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/RowInserter.h"
#include "app/db/SqlTokens.h"
#include "app/db/Statement.h"
#include "app/db/Transaction.h"

namespace {

constexpr const char* kDateFormat = "yyyy-MM-dd";

int codePoints(const QString& s) {
    int n = 0;
    for (const QChar c : s)
        if (!c.isLowSurrogate()) ++n;
    return n;
}

// A cell's text as a problem report shows it: short, and with characters
// that could not be shown (or stored) marked.
QString quoteValue(const QString& v) {
    QString s = v;
    for (int at = db::unstorableAt(s); at >= 0; at = db::unstorableAt(s)) s[at] = QChar(0xFFFD);
    if (s.size() > 60) s = s.left(57) + QStringLiteral("...");
    return s;
}

// A text the database cannot store faithfully: the problem, or empty.
QString unstorable(const QString& text) {
    const int at = db::unstorableAt(text);
    if (at < 0) return QString();
    return QStringLiteral("holds %1, which the database cannot store").arg(db::describeUnstorable(text, at));
}


// Rows written many at a time, their values bound to one prepared insert
// of a batch of rows. Rows whose set of columns differs go through an
// inserter of their own, so unset columns keep their defaults; the order of
// the rows is kept (a change of columns first writes what is pending).
class BatchInsert {
public:
    BatchInsert(db::Connection* c, const QString& table, const QStringList& columns)
        : c_(c), table_(table), columns_(columns) {}

    void add(const QVector<QVariant>& values, const QVector<bool>& set) {
        if (current_ && set != mask_) current_->flush();
        if (!current_ || set != mask_) {
            mask_ = set;
            auto& slot = inserters_[set];
            if (!slot) {
                QStringList cols;
                for (int i = 0; i < columns_.size(); ++i)
                    if (set[i]) cols << columns_[i];
                slot = std::make_unique<db::RowInserter>(c_, table_, cols);
            }
            current_ = slot.get();
        }
        row_.clear();
        for (int i = 0; i < columns_.size(); ++i)
            if (set[i]) row_ << values[i];
        current_->add(row_);
    }
    void flush() {
        if (current_) current_->flush();
    }

private:
    db::Connection* c_;
    QString table_;
    QStringList columns_;
    QVector<bool> mask_;
    QHash<QVector<bool>, std::shared_ptr<db::RowInserter>> inserters_;
    db::RowInserter* current_ = nullptr;
    QVariantList row_;
};

}  // namespace

// ---- texts people write --------------------------------------------------------

bool parseYesNo(const QString& text, bool* value) {
    const QString t = text.trimmed().toLower();
    static const QStringList yes = {QStringLiteral("true"), QStringLiteral("1"), QStringLiteral("yes"),
                                    QStringLiteral("y"), QStringLiteral("是"), QStringLiteral("-1")};
    static const QStringList no = {QStringLiteral("false"), QStringLiteral("0"), QStringLiteral("no"),
                                   QStringLiteral("n"), QStringLiteral("否")};
    if (yes.contains(t)) {
        *value = true;
        return true;
    }
    if (no.contains(t)) {
        *value = false;
        return true;
    }
    return false;
}

QDate parseDateText(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return QDate();
    // Year first: 2024-03-05, 2024/3/5, 2024.3.5, with or without a time after it.
    static const QRegularExpression ymd(QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})(?:[ T]\\d{1,2}:\\d{2}(?::\\d{2}(?:\\.\\d+)?)?)?$"));
    auto m = ymd.match(t);
    if (m.hasMatch()) return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    static const QRegularExpression cjk(QStringLiteral("^(\\d{4})\\s*年\\s*(\\d{1,2})\\s*月\\s*(\\d{1,2})\\s*日$"));
    m = cjk.match(t);
    if (m.hasMatch()) return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    // Month names leave no doubt which number is the day.
    const QLocale c = QLocale::c();
    for (const char* f : {"d MMMM yyyy", "d MMM yyyy", "MMMM d, yyyy", "MMM d, yyyy", "MMMM d yyyy", "MMM d yyyy",
                          "d-MMM-yyyy", "dd-MMM-yyyy", "d-MMMM-yyyy", "d.MMM.yyyy"}) {
        const QDate d = c.toDate(t, QString::fromLatin1(f));
        if (d.isValid()) return d;
    }
    // Numbers only, year last: readable only when the day is above 12.
    static const QRegularExpression dmy(QStringLiteral("^(\\d{1,2})[-/.](\\d{1,2})[-/.](\\d{4})$"));
    m = dmy.match(t);
    if (m.hasMatch()) {
        const int a = m.captured(1).toInt(), b = m.captured(2).toInt(), y = m.captured(3).toInt();
        if (a > 12 && b <= 12) return QDate(y, b, a);
        if (b > 12 && a <= 12) return QDate(y, a, b);
        if (a == b) return QDate(y, a, b);  // 05/05/2024 reads the same either way
    }
    return QDate();
}

// ---- the mapping ---------------------------------------------------------------

QList<MappingPair> readMapping(db::Connection* c, const QString& table) {
    db::Query q(c);
    q.setSql(db::Statement(QStringLiteral("select * from T_Import where F_Field<>' ' and tablename=:table"))
                 .bind(QStringLiteral("table"), table));
    q.open();
    QList<MappingPair> out;
    for (q.first(); !q.eof(); q.next()) {
        const QString h = q.asString(QStringLiteral("F_Field"));
        if (h.trimmed().isEmpty()) continue;  // empty or blank: not imported
        out << MappingPair{h, q.asString(QStringLiteral("S_Field"))};
    }
    return out;
}

// ---- the run -------------------------------------------------------------------

ImportRun::ImportRun(db::Connection* c, const sheet::Worksheet& sheet, int rowCount,
                     const QHash<QString, int>& headerColumns, const QString& table,
                     const QList<MappingPair>& mapping, const QString& user, const QDate& today)
    : c_(c),
      sheet_(sheet),
      rowCount_(rowCount),
      headers_(headerColumns),
      table_(table),
      customerImport_(table.compare(QLatin1String("custom"), Qt::CaseInsensitive) == 0),
      mapping_(mapping),
      user_(user),
      today_(today) {
    for (const db::FieldDef& f : c_->tableFields(table_)) fields_ << f;
    for (const db::FieldDef& f : c_->tableFields(QStringLiteral("contact")))
        if (f.name.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0) contactNameSize_ = f.size;
}

void ImportRun::problem(ImportOutcome* o, int row, const QString& header, const QString& value,
                        const QString& reason) const {
    ++o->problemCount;
    if (o->problems.size() < kShownProblems) o->problems << ImportProblem{row, header, value, reason};
}

int ImportRun::targetOf(const QString& column, bool create) {
    for (int i = 0; i < targets_.size(); ++i)
        if (targets_[i].name.compare(column, Qt::CaseInsensitive) == 0) return i;
    if (!create) return -1;
    for (int f = 0; f < fields_.size(); ++f) {
        if (fields_[f].name.compare(column, Qt::CaseInsensitive) != 0) continue;
        Target t;
        t.name = fields_[f].name;
        t.field = f;
        t.kind = int(fields_[f].kind);
        t.size = fields_[f].size;
        const QString l = t.name.toLower();
        if (l == QLatin1String("f_user")) t.special = Target::Owner;
        else if (customers() && l == QLatin1String("date")) t.special = Target::EntryDate;
        else if (customers() && l == QLatin1String("company")) t.special = Target::Company;
        else if (!customers() && l == QLatin1String("custid")) t.special = Target::CustomerNo;
        targets_ << t;
        return int(targets_.size()) - 1;
    }
    return -1;
}

bool ImportRun::checkMapping(ImportOutcome* o) {
    targets_.clear();
    slots_.clear();
    nameRule_ = false;
    bool company = false, custId = false;
    for (const MappingPair& p : mapping_) {
        Slot slot;
        slot.header = p.header;
        const QString col = p.column.toLower();
        bool usable = true;
        if (customers() && col == QLatin1String("name")) {
            nameRule_ = true;  // the contact person of the rule on Name
        } else if (customers() && col == QLatin1String("custid")) {
            problem(o, 0, p.header, QString(), QStringLiteral("customer numbers are given by the database"));
            usable = false;
        } else {
            slot.target = targetOf(p.column, true);
            if (slot.target < 0) {
                problem(o, 0, p.header, QString(), QStringLiteral("the table %1 has no column %2").arg(table_, p.column));
                usable = false;
            }
        }
        if (col == QLatin1String("company")) company = true;
        if (col == QLatin1String("custid")) custId = true;
        // A header that is there as a whole is one column, even with a "+" in it.
        const auto at = headers_.constFind(p.header);
        if (at != headers_.constEnd()) {
            slot.col = *at;
        } else {
            const QStringList pieces = p.header.split(QLatin1Char('+'));
            if (pieces.size() == 1) {
                problem(o, 0, p.header, QString(), QStringLiteral("no sheet column has this header"));
                usable = false;
            } else if (pieces.size() >= 5) {
                slot.empty = true;
            } else {
                for (const QString& piece : pieces) {
                    const auto pa = headers_.constFind(piece);
                    if (pa == headers_.constEnd()) {
                        problem(o, 0, p.header, piece, QStringLiteral("no sheet column has the header \"%1\"").arg(piece));
                        usable = false;
                    } else {
                        slot.pieces << *pa;
                    }
                }
            }
        }
        if (usable) slots_ << slot;
    }
    if (customers() && !company)
        problem(o, 0, QString(), QString(),
                QStringLiteral("Company is paired with no sheet column, and every customer needs a company name"));
    if (!customers() && !custId)
        problem(o, 0, QString(), QString(),
                QStringLiteral("Customer No. is paired with no sheet column, and every contact belongs to a customer"));
    // Owner and entry date are written whether paired or not.
    targetOf(QStringLiteral("F_User"), true);
    if (customers()) targetOf(QStringLiteral("Date"), true);
    return o->problemCount == 0;
}

bool ImportRun::rowValues(int row, RowValues* out, ImportOutcome* o) const {
    const int n = int(targets_.size());
    out->values.fill(QVariant(), n);
    out->set.fill(false, n);
    out->texts.fill(QString(), n);
    out->from.fill(-1, n);
    out->contactName.clear();
    const int before = o->problemCount;
    for (int s = 0; s < slots_.size(); ++s) {
        const Slot& slot = slots_[s];
        QString text;
        if (slot.empty) {
            text = QString(QLatin1String(""));  // set, but empty
        } else if (!slot.pieces.isEmpty()) {
            for (int col : slot.pieces) text += sheet_.text(row, col);
            if (text.isNull()) text = QString(QLatin1String(""));
        } else {
            // Customers take what the sheet shows, contacts the cell's value.
            text = customers() ? sheet_.text(row, slot.col) : sheet_.valueText(row, slot.col);
        }
        if (slot.target < 0) {
            out->contactName = text;
            if (const QString why = unstorable(text); !why.isEmpty())
                problem(o, row, slot.header, quoteValue(text), why);
            else if (contactNameSize_ > 0 && codePoints(text) > contactNameSize_)
                problem(o, row, slot.header, quoteValue(text),
                        QStringLiteral("longer than the %1 characters a contact's name holds").arg(contactNameSize_));
            continue;
        }
        out->texts[slot.target] = text;
        out->from[slot.target] = s;
    }
    for (int t = 0; t < n; ++t) {
        const int s = out->from[t];
        if (s < 0) continue;
        const Target& target = targets_[t];
        const QString& text = out->texts[t];
        const QString& header = slots_[s].header;
        QVariant v;
        bool ok = true;
        switch (target.special) {
        case Target::EntryDate: {
            // The entry date is text compared as text: one form only.
            if (text.trimmed().isEmpty()) continue;
            const QDate d = parseDateText(text);
            if (!d.isValid()) {
                problem(o, row, header, quoteValue(text), QStringLiteral("not a date"));
                ok = false;
            } else {
                v = d.toString(QString::fromLatin1(kDateFormat));
            }
            break;
        }
        case Target::CustomerNo: {
            const QString id = text.trimmed();
            if (id.isEmpty()) {
                problem(o, row, header, QString(), QStringLiteral("no customer number"));
                ok = false;
            } else if (!customerIds_.contains(id)) {
                problem(o, row, header, quoteValue(text), QStringLiteral("no customer has this number"));
                ok = false;
            } else {
                v = id;
            }
            break;
        }
        default:
            switch (db::FieldKind(target.kind)) {
            case db::FieldKind::Bool: {
                if (text.trimmed().isEmpty()) continue;
                bool b = false;
                ok = parseYesNo(text, &b);
                if (!ok) problem(o, row, header, quoteValue(text), QStringLiteral("not yes or no (True/False, 1/0, yes/no, 是/否)"));
                else v = b;
                break;
            }
            case db::FieldKind::DateTime: {
                if (text.trimmed().isEmpty()) continue;
                const QDate d = parseDateText(text);
                ok = d.isValid();
                if (!ok) problem(o, row, header, quoteValue(text), QStringLiteral("not a date (write it as yyyy-MM-dd)"));
                else v = QDateTime(d, QTime(0, 0));
                break;
            }
            case db::FieldKind::Integer:
            case db::FieldKind::Float: {
                if (text.trimmed().isEmpty()) continue;
                const double d = text.trimmed().toDouble(&ok);
                if (!ok) problem(o, row, header, quoteValue(text), QStringLiteral("not a number"));
                else v = d;
                break;
            }
            case db::FieldKind::Text:
            case db::FieldKind::Memo:
                if (const QString why = unstorable(text); !why.isEmpty()) {
                    problem(o, row, header, quoteValue(text), why);
                    ok = false;
                } else if (target.size > 0 && codePoints(text) > target.size) {
                    problem(o, row, header, quoteValue(text),
                            QStringLiteral("longer than the %1 characters its column holds").arg(target.size));
                    ok = false;
                } else {
                    v = text;
                }
                break;
            }
        }
        if (!ok) continue;
        out->values[t] = v;
        out->set[t] = true;
    }
    for (int t = 0; t < n; ++t) {
        const Target& target = targets_[t];
        const bool empty = !out->set[t] || out->values[t].toString().isEmpty();
        if (target.special == Target::Company && out->from[t] >= 0) {
            // A company name that was too long has been reported already.
            const bool tooLong = !out->set[t] && !out->texts[t].trimmed().isEmpty();
            if (!tooLong && out->values[t].toString().trimmed().isEmpty())
                problem(o, row, slots_[out->from[t]].header, QString(), QStringLiteral("a customer without a company name"));
        } else if (target.special == Target::Owner) {
            // The importing user, unless the sheet names an owner (or one too long, reported already).
            const bool reported = out->from[t] >= 0 && !out->set[t] && !out->texts[t].trimmed().isEmpty();
            if (!reported && (empty || out->values[t].toString().trimmed().isEmpty())) {
                out->values[t] = user_;
                out->set[t] = true;
            }
        } else if (target.special == Target::EntryDate && !out->set[t]) {
            if (out->from[t] < 0 || out->texts[t].trimmed().isEmpty()) {
                out->values[t] = today_.toString(QString::fromLatin1(kDateFormat));
                out->set[t] = true;
            }
        }
    }
    return o->problemCount == before;
}

ImportOutcome ImportRun::run(const std::function<bool(qint64, qint64)>& progress) {
    ImportOutcome o;
    if (!checkMapping(&o)) return o;
    if (!customers()) {
        db::Query ids(c_);
        ids.setSql(QStringLiteral("select CustID from custom"));
        ids.open();
        for (ids.first(); !ids.eof(); ids.next()) customerIds_.insert(ids.field(0).asString());
    }
    write(&o, progress);
    return o;
}

// One pass over the rows: each row is checked and, as long as no row has
// failed, written inside a transaction. The first problem stops the writing
// (the checking goes on, to report every problem) and the transaction is
// rolled back; only a run without problems commits. Nothing of a failed or
// cancelled run stays in the database.
void ImportRun::write(ImportOutcome* o, const std::function<bool(qint64, qint64)>& progress) {
    const qint64 total = std::max(0, rowCount_ - 1);
    db::TransactionGuard guard(*c_);
    QStringList columns;
    for (const Target& t : targets_) columns << t.name;
    BatchInsert target(c_, table_, columns);
    // The customers of this run get numbers above every number there is now.
    qint64 before = 0;
    if (nameRule_) {
        db::Query m(c_);
        m.setSql(QStringLiteral("select max(CustID) as m from custom"));
        m.open();
        before = m.field(0).asInteger();
    }
    struct Pending {
        int customer;  // index among the customers of this run
        QString name;
        QString company;
    };
    QList<Pending> contacts;
    const int companyTarget = targetOf(QStringLiteral("Company"), false);
    RowValues values;
    int written = 0;
    for (int r = 2; r <= rowCount_; ++r) {
        if (progress && !progress(r - 1, total)) {
            o->cancelled = true;
            o->emptyRows = 0;
            return;  // the guard rolls back
        }
        if (sheet_.rowIsEmpty(r)) {
            ++o->emptyRows;
            continue;
        }
        if (!rowValues(r, &values, o) || o->problemCount > 0) continue;
        target.add(values.values, values.set);
        if (nameRule_ && !values.contactName.trimmed().isEmpty())
            contacts << Pending{written, values.contactName,
                                companyTarget >= 0 ? values.values[companyTarget].toString() : QString()};
        ++written;
    }
    if (o->problemCount > 0) {
        o->emptyRows = 0;
        return;  // the guard rolls back what was written
    }
    target.flush();
    if (customers()) o->customers = written;
    else o->contacts = written;
    if (!contacts.isEmpty()) {
        // The rows just written, in the order they were written.
        db::Query ids(c_);
        ids.setSql(db::Statement(QStringLiteral("select CustID from custom where CustID>:before order by CustID"))
                       .bind(QStringLiteral("before"), before));
        ids.open();
        QList<QString> keys;
        keys.reserve(written);
        for (ids.first(); !ids.eof(); ids.next()) keys << ids.field(0).asString();
        if (keys.size() != written)
            throw db::DbError(QStringLiteral("The numbers of the new customers could not be read back."));
        BatchInsert contact(c_, QStringLiteral("contact"),
                            {QStringLiteral("CustID"), QStringLiteral("Name"), QStringLiteral("Company"), QStringLiteral("F_User")});
        const QVector<bool> all(4, true);
        for (const Pending& p : contacts) contact.add({keys[p.customer], p.name, p.company, user_}, all);
        contact.flush();
        o->contacts = int(contacts.size());
    }
    guard.commit();
}

QString ImportRun::report(const ImportOutcome& o) {
    QString s = o.problemCount == 1
                    ? QStringLiteral("Nothing was imported: there is 1 problem to correct in the file first.")
                    : QStringLiteral("Nothing was imported: there are %1 problems to correct in the file first.")
                          .arg(o.problemCount);
    s += QLatin1Char('\n');
    for (const ImportProblem& p : o.problems) {
        QString line = p.row > 0 ? QStringLiteral("\nRow %1").arg(p.row) : QStringLiteral("\nMapping");
        if (!p.header.isEmpty()) line += QStringLiteral(", column \"%1\"").arg(p.header);
        if (!p.value.isEmpty()) line += QStringLiteral(", value \"%1\"").arg(p.value);
        line += QStringLiteral(": ") + p.reason + QLatin1Char('.');
        s += line;
    }
    if (o.problemCount > o.problems.size())
        s += QStringLiteral("\n... and %1 more.").arg(o.problemCount - o.problems.size());
    return s;
}
