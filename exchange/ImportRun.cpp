#include "exchange/ImportRun.h"

#include <QLocale>
#include <QRegularExpression>

#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/SqlText.h"
#include "app/db/Transaction.h"

namespace {

constexpr const char* kDateFormat = "yyyy-MM-dd";

int codePoints(const QString& s) {
    int n = 0;
    for (const QChar c : s)
        if (!c.isLowSurrogate()) ++n;
    return n;
}

QString quoteValue(const QString& v) {
    QString s = v;
    if (s.size() > 60) s = s.left(57) + QStringLiteral("...");
    return s;
}

const QString kName = QStringLiteral("name");

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
    q.setSql(QStringLiteral("select * from T_Import where F_Field<>' ' and tablename=") + db::quoted(table));
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
    for (const db::FieldDef& f : c_->tableFields(table_)) {
        const QString k = f.name.toLower();
        fieldSize_.insert(k, f.size);
        fieldKind_.insert(k, int(f.kind));
        fieldName_.insert(k, f.name);
    }
    for (const db::FieldDef& f : c_->tableFields(QStringLiteral("contact")))
        if (f.name.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0) contactNameSize_ = f.size;
}

void ImportRun::problem(ImportOutcome* o, int row, const QString& header, const QString& value,
                        const QString& reason) const {
    ++o->problemCount;
    if (o->problems.size() < kShownProblems) o->problems << ImportProblem{row, header, value, reason};
}

QString ImportRun::cellText(int col, int row) const { return sheet_.text(row, col); }

QString ImportRun::joined(const QString& header, int row) const {
    const QStringList pieces = header.split(QLatin1Char('+'));
    if (pieces.size() >= 5) return QString();
    QString out;
    for (const QString& p : pieces) out += cellText(headers_.value(p), row);
    return out;
}

bool ImportRun::checkMapping(ImportOutcome* o) const {
    bool company = false, custId = false;
    for (const MappingPair& p : mapping_) {
        const QString col = p.column.toLower();
        if (customers() && col == kName) {
            // the contact person of the rule on Name
        } else if (!fieldName_.contains(col)) {
            problem(o, 0, p.header, QString(), QStringLiteral("the table %1 has no column %2").arg(table_, p.column));
        } else if (col == QLatin1String("custid") && customers()) {
            problem(o, 0, p.header, QString(), QStringLiteral("customer numbers are given by the database"));
        }
        if (col == QLatin1String("company")) company = true;
        if (col == QLatin1String("custid")) custId = true;
        if (headers_.contains(p.header)) continue;
        const QStringList pieces = p.header.split(QLatin1Char('+'));
        if (pieces.size() == 1) {
            problem(o, 0, p.header, QString(), QStringLiteral("no sheet column has this header"));
        } else if (pieces.size() <= 4) {
            for (const QString& piece : pieces)
                if (!headers_.contains(piece))
                    problem(o, 0, p.header, piece, QStringLiteral("no sheet column has the header \"%1\"").arg(piece));
        }
    }
    if (customers() && !company)
        problem(o, 0, QString(), QString(),
                QStringLiteral("Company is paired with no sheet column, and every customer needs a company name"));
    if (!customers() && !custId)
        problem(o, 0, QString(), QString(),
                QStringLiteral("Customer No. is paired with no sheet column, and every contact belongs to a customer"));
    return o->problemCount == 0;
}

bool ImportRun::rowValues(int row, RowValues* out, QString* contactName, ImportOutcome* o) const {
    out->clear();
    contactName->clear();
    QHash<QString, QString> texts;   // column -> text
    QHash<QString, QString> sources; // column -> header it came from
    for (const MappingPair& p : mapping_) {
        QString text;
        const auto it = headers_.constFind(p.header);
        if (it != headers_.constEnd()) {
            // Customers take what the sheet shows, contacts the cell's value.
            text = customers() ? sheet_.text(row, *it) : sheet_.valueText(row, *it);
        } else {
            text = joined(p.header, row);
        }
        const QString col = p.column.toLower();
        if (customers() && col == kName) {
            *contactName = text;
            if (contactNameSize_ > 0 && codePoints(text) > contactNameSize_)
                problem(o, row, p.header, quoteValue(text),
                        QStringLiteral("longer than the %1 characters a contact's name holds").arg(contactNameSize_));
            continue;
        }
        texts.insert(col, text);
        sources.insert(col, p.header);
    }
    const int before = o->problemCount;
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        const QString& col = it.key();
        const QString& text = it.value();
        const QString& header = sources.value(col);
        const auto kind = db::FieldKind(fieldKind_.value(col));
        const int size = fieldSize_.value(col);
        if (customers() && col == QLatin1String("date")) {
            // The entry date is text compared as text: one form only.
            if (text.trimmed().isEmpty()) continue;
            const QDate d = parseDateText(text);
            if (!d.isValid()) problem(o, row, header, quoteValue(text), QStringLiteral("not a date"));
            else out->insert(col, d.toString(QString::fromLatin1(kDateFormat)));
            continue;
        }
        if (!customers() && col == QLatin1String("custid")) {
            const QString id = text.trimmed();
            if (id.isEmpty()) problem(o, row, header, QString(), QStringLiteral("no customer number"));
            else if (!customerIds_.contains(id))
                problem(o, row, header, quoteValue(text), QStringLiteral("no customer has this number"));
            else out->insert(col, id);
            continue;
        }
        switch (kind) {
        case db::FieldKind::Bool: {
            if (text.trimmed().isEmpty()) break;
            bool b = false;
            if (!parseYesNo(text, &b))
                problem(o, row, header, quoteValue(text), QStringLiteral("not yes or no (True/False, 1/0, yes/no, 是/否)"));
            else out->insert(col, b);
            break;
        }
        case db::FieldKind::DateTime: {
            if (text.trimmed().isEmpty()) break;
            const QDate d = parseDateText(text);
            if (!d.isValid()) problem(o, row, header, quoteValue(text), QStringLiteral("not a date (write it as yyyy-MM-dd)"));
            else out->insert(col, QDateTime(d, QTime(0, 0)));
            break;
        }
        case db::FieldKind::Integer:
        case db::FieldKind::Float: {
            if (text.trimmed().isEmpty()) break;
            bool ok = false;
            const double v = text.trimmed().toDouble(&ok);
            if (!ok) problem(o, row, header, quoteValue(text), QStringLiteral("not a number"));
            else out->insert(col, v);
            break;
        }
        case db::FieldKind::Text:
        case db::FieldKind::Memo:
            if (size > 0 && codePoints(text) > size)
                problem(o, row, header, quoteValue(text),
                        QStringLiteral("longer than the %1 characters its column holds").arg(size));
            else out->insert(col, text);
            break;
        }
    }
    if (customers()) {
        // A company name that was too long has been reported already.
        const bool tooLong = texts.contains(QStringLiteral("company")) && !out->contains(QStringLiteral("company"));
        if (!tooLong && out->value(QStringLiteral("company")).toString().trimmed().isEmpty())
            problem(o, row, sources.value(QStringLiteral("company")), QString(),
                    QStringLiteral("a customer without a company name"));
        if (out->value(QStringLiteral("f_user")).toString().isEmpty()) out->insert(QStringLiteral("f_user"), user_);
        if (out->value(QStringLiteral("date")).toString().isEmpty())
            out->insert(QStringLiteral("date"), today_.toString(QString::fromLatin1(kDateFormat)));
    } else {
        if (out->value(QStringLiteral("f_user")).toString().isEmpty()) out->insert(QStringLiteral("f_user"), user_);
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
    const int rows = std::max(0, rowCount_ - 1);
    const qint64 total = qint64(rows) * 2;
    // Check every row before anything is written.
    RowValues values;
    QString name;
    for (int r = 2; r <= rowCount_; ++r) {
        if (progress && !progress(r - 1, total)) {
            o.cancelled = true;
            return o;
        }
        if (sheet_.rowIsEmpty(r)) {
            ++o.emptyRows;
            continue;
        }
        rowValues(r, &values, &name, &o);
    }
    if (o.problemCount > 0) {
        o.emptyRows = 0;
        return o;
    }
    write(&o, progress);
    return o;
}

void ImportRun::write(ImportOutcome* o, const std::function<bool(qint64, qint64)>& progress) {
    const int rows = std::max(0, rowCount_ - 1);
    const qint64 total = qint64(rows) * 2;
    db::TransactionGuard guard(*c_);
    db::Query target(c_);
    target.setSql(QStringLiteral("select * from ") + table_ + QStringLiteral(" where 0=1"));
    target.open();
    // The customers of this run get numbers above every number there is now.
    qint64 before = 0;
    bool nameRule = false;
    for (const MappingPair& p : mapping_)
        if (customers() && p.column.compare(kName, Qt::CaseInsensitive) == 0) nameRule = true;
    if (nameRule) {
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
    RowValues values;
    QString name;
    ImportOutcome scratch;
    int written = 0;
    for (int r = 2; r <= rowCount_; ++r) {
        if (progress && !progress(rows + r - 1, total)) {
            o->cancelled = true;
            o->customers = o->contacts = 0;
            return;  // the guard rolls back
        }
        if (sheet_.rowIsEmpty(r)) continue;
        if (!rowValues(r, &values, &name, &scratch)) throw db::DbError(QStringLiteral("Row %1 changed while importing").arg(r));
        target.append();
        for (auto it = values.cbegin(); it != values.cend(); ++it) target.setValue(fieldName_.value(it.key()), it.value());
        db::postOrCancel(&target);
        if (nameRule && !name.trimmed().isEmpty())
            contacts << Pending{written, name, values.value(QStringLiteral("company")).toString()};
        ++written;
    }
    if (customers()) o->customers = written;
    else o->contacts = written;
    if (!contacts.isEmpty()) {
        // The rows just written, in the order they were written.
        db::Query ids(c_);
        ids.setSql(QStringLiteral("select CustID from custom where CustID>%1 order by CustID").arg(before));
        ids.open();
        QList<QString> keys;
        for (ids.first(); !ids.eof(); ids.next()) keys << ids.field(0).asString();
        if (keys.size() != written)
            throw db::DbError(QStringLiteral("The numbers of the new customers could not be read back."));
        db::Query contact(c_);
        contact.setSql(QStringLiteral("select * from contact where 0=1"));
        contact.open();
        for (const Pending& p : contacts) {
            contact.append();
            contact.setValue(QStringLiteral("CustID"), keys[p.customer]);
            contact.setValue(QStringLiteral("Name"), p.name);
            contact.setValue(QStringLiteral("Company"), p.company);
            contact.setValue(QStringLiteral("F_User"), user_);
            db::postOrCancel(&contact);
        }
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
