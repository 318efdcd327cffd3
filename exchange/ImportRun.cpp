#include "exchange/ImportRun.h"

#include "app/db/Connection.h"
#include "app/db/Query.h"
#include "app/db/SqlTokens.h"
#include "app/db/Statement.h"

namespace {

constexpr const char* kDateFormat = "yyyy-MM-dd";

// text.trimmed().isEmpty(), without making the trimmed copy.
bool isBlank(const QString& text) {
    for (const QChar c : text)
        if (!c.isSpace()) return false;
    return true;
}

// A date as yyyy-MM-dd, as QDate::toString(kDateFormat) writes it.
QString isoDate(const QDate& d) {
    const int y = d.year(), m = d.month(), day = d.day();
    if (y < 1000 || y > 9999) return d.toString(QString::fromLatin1(kDateFormat));
    const char16_t text[10] = {char16_t(u'0' + y / 1000),      char16_t(u'0' + y / 100 % 10), char16_t(u'0' + y / 10 % 10),
                               char16_t(u'0' + y % 10),        u'-',
                               char16_t(u'0' + m / 10),        char16_t(u'0' + m % 10),       u'-',
                               char16_t(u'0' + day / 10),      char16_t(u'0' + day % 10)};
    return QString(reinterpret_cast<const QChar*>(text), 10);
}

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

// The column a rule reads in the sheet's pairing.
QString ruleColumn(bool customers, matching::Rule rule) {
    switch (rule) {
    case matching::Rule::CustomerNo: return QStringLiteral("CustID");
    case matching::Rule::Company: return customers ? QStringLiteral("Company") : QStringLiteral("Name");
    case matching::Rule::Email: return QStringLiteral("Email");
    case matching::Rule::Tel: return QStringLiteral("Tel");
    case matching::Rule::Name: return QStringLiteral("Name");
    }
    return QString();
}

// Thrown out of the plan's reading of rows when the user cancels.
struct Cancelled {};

}  // namespace

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

void ImportRun::setMatching(const importmatch::Options& options, int userPermit) {
    options_ = options;
    userPermit_ = userPermit;
}

QHash<QString, QString> ImportRun::columnTitles() const {
    QHash<QString, QString> out;
    db::Query q(c_);
    q.setSql(db::Statement(QStringLiteral("select S_Field, FieldName from T_Import where tablename=:table"))
                 .bind(QStringLiteral("table"), table_));
    q.open();
    for (q.first(); !q.eof(); q.next()) out.insert(q.field(0).asString().toLower(), q.field(1).asString());
    return out;
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
    matchTargets_.clear();
    nameRule_ = false;
    matchSlot_ = customerSlot_ = -1;
    const bool matching = options_.onMatch != importmatch::OnMatch::Add;
    const QString matchColumn = ruleColumn(customers(), options_.rule);
    bool company = false, custId = false;
    for (const MappingPair& p : mapping_) {
        Slot slot;
        slot.header = p.header;
        const QString col = p.column.toLower();
        bool usable = true;
        if (customers() && col == QLatin1String("name")) {
            slot.target = kContactName;  // the contact person of the rule on Name
            nameRule_ = true;
        } else if (customers() && col == QLatin1String("custid")) {
            // The database numbers customers; a number in the sheet only says
            // which customer a row is, and is never written (an exported
            // workbook imported as new customers gets new numbers).
            slot.target = kMatchOnly;
        } else {
            slot.target = targetOf(p.column, true);
            if (slot.target < 0) {
                problem(o, 0, p.header, QString(), QStringLiteral("the table %1 has no column %2").arg(table_, p.column));
                usable = false;
            } else {
                targets_[slot.target].fed = true;
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
        if (!usable) continue;
        slots_ << slot;
        const int s = int(slots_.size()) - 1;
        if (matching && matchSlot_ < 0 && p.column.compare(matchColumn, Qt::CaseInsensitive) == 0) matchSlot_ = s;
        if (!customers() && col == QLatin1String("custid") && customerSlot_ < 0) customerSlot_ = s;
    }
    if (customers() && !company)
        problem(o, 0, QString(), QString(),
                QStringLiteral("Company is paired with no sheet column, and every customer needs a company name"));
    if (!customers() && !custId)
        problem(o, 0, QString(), QString(),
                QStringLiteral("Customer No. is paired with no sheet column, and every contact belongs to a customer"));
    if (matching && (matchSlot_ < 0 || !importmatch::allowedRules(table_, {matchColumn, QStringLiteral("CustID")})
                                            .contains(options_.rule)))
        problem(o, 0, QString(), QString(),
                QStringLiteral("rows are to be matched by %1, which is paired with no sheet column")
                    .arg(matching::ruleTitle(options_.rule)));
    // Owner and entry date are written whether paired or not.
    targetOf(QStringLiteral("F_User"), true);
    if (customers()) targetOf(QStringLiteral("Date"), true);
    for (const Target& t : targets_) {
        importmatch::Target m;
        m.column = t.name;
        m.kind = db::FieldKind(t.kind);
        // An empty cell never clears who owns a record or when it was entered.
        m.paired = t.fed && t.special != Target::Owner && t.special != Target::EntryDate;
        m.identity = t.special == Target::CustomerNo;
        matchTargets_ << m;
    }
    return o->problemCount == 0;
}

bool ImportRun::uncalculated(ImportOutcome* o, int row, const QString& header, int col) const {
    if (sheet_.kind(row, col) != sheet::CellKind::Uncalculated) return false;
    problem(o, row, header, quoteValue(sheet_.value(row, col).toString()),
            QStringLiteral("a formula whose result was never calculated (the file was written by a program that does not "
                           "calculate; open it in a spreadsheet program, save it and import it again)"));
    return true;
}

QDate ImportRun::cellDate(int row, const Slot& slot, const QString& text) const {
    // A date cell is a date whatever its format shows (3/5/2024, 5-Mar-24 ...).
    if (slot.pieces.isEmpty() && !slot.empty && sheet_.kind(row, slot.col) == sheet::CellKind::DateTime) {
        const QDateTime dt = sheet_.value(row, slot.col).toDateTime();
        if (dt.isValid()) return dt.date();
    }
    return parseDateText(text);
}

QString ImportRun::notADate(const QString& text) {
    if (isAmbiguousDateText(text))
        return QStringLiteral("a date that reads two ways, day first or month first (write it as yyyy-MM-dd)");
    return QStringLiteral("not a date (write it as yyyy-MM-dd)");
}

QString ImportRun::slotText(int row, int s) const {
    const Slot& slot = slots_[s];
    if (slot.empty) return QString(QLatin1String(""));  // set, but empty
    if (!slot.pieces.isEmpty()) {
        QString text;
        for (int col : slot.pieces) text += sheet_.text(row, col);
        return text.isNull() ? QString(QLatin1String("")) : text;
    }
    // Customers take what the sheet shows, contacts the cell's value.
    return customers() ? sheet_.text(row, slot.col) : sheet_.valueText(row, slot.col);
}

QString ImportRun::matchText(int row) const { return matchSlot_ >= 0 ? slotText(row, matchSlot_) : QString(); }

QString ImportRun::customerNo(int row) const { return customerSlot_ >= 0 ? slotText(row, customerSlot_) : QString(); }

bool ImportRun::rowValues(int row, RowValues* out, ImportOutcome* o) const {
    const int n = int(targets_.size());
    out->values.fill(QVariant(), n);
    out->set.fill(false, n);
    out->fromSheet.fill(false, n);
    out->texts.fill(QString(), n);
    out->from.fill(-1, n);
    out->contactName.clear();
    const int before = o->problemCount;
    for (int s = 0; s < slots_.size(); ++s) {
        const Slot& slot = slots_[s];
        if (slot.target == kMatchOnly) continue;
        if (!slot.empty) {
            // A formula without a result is reported once, not again as an empty value.
            bool bad = false;
            if (slot.pieces.isEmpty()) bad = uncalculated(o, row, slot.header, slot.col);
            else
                for (int col : slot.pieces) bad = uncalculated(o, row, slot.header, col) || bad;
            if (bad) continue;
        }
        QString text = slotText(row, s);
        if (slot.target == kContactName) {
            out->contactName = text;
            if (const QString why = unstorable(text); !why.isEmpty())
                problem(o, row, slot.header, quoteValue(text), why);
            else if (contactNameSize_ > 0 && codePoints(text) > contactNameSize_)
                problem(o, row, slot.header, quoteValue(text),
                        QStringLiteral("longer than the %1 characters a contact's name holds").arg(contactNameSize_));
            continue;
        }
        out->texts[slot.target] = std::move(text);
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
            if (isBlank(text)) continue;
            const QDate d = cellDate(row, slots_[s], text);
            if (!d.isValid()) {
                problem(o, row, header, quoteValue(text), notADate(text));
                ok = false;
            } else {
                v = isoDate(d);
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
                if (isBlank(text)) continue;
                bool b = false;
                ok = parseYesNo(text, &b);
                if (!ok) problem(o, row, header, quoteValue(text), QStringLiteral("not yes or no (True/False, 1/0, yes/no, 是/否)"));
                else v = b;
                break;
            }
            case db::FieldKind::DateTime: {
                if (isBlank(text)) continue;
                const QDate d = cellDate(row, slots_[s], text);
                ok = d.isValid();
                if (!ok) problem(o, row, header, quoteValue(text), notADate(text));
                else v = QDateTime(d, QTime(0, 0));
                break;
            }
            case db::FieldKind::Integer:
            case db::FieldKind::Float: {
                if (isBlank(text)) continue;
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
        out->values[t] = std::move(v);
        out->set[t] = true;
        // Blanks are no value: an update leaves the stored one.
        out->fromSheet[t] = !isBlank(text);
    }
    for (int t = 0; t < n; ++t) {
        const Target& target = targets_[t];
        if (target.special == Target::Plain) continue;
        if (target.special == Target::Company && out->from[t] >= 0) {
            // A company name that was too long has been reported already.
            const bool tooLong = !out->set[t] && !isBlank(out->texts[t]);
            if (!tooLong && isBlank(out->values[t].toString()))
                problem(o, row, slots_[out->from[t]].header, QString(), QStringLiteral("a customer without a company name"));
        } else if (target.special == Target::Owner) {
            // The importing user, unless the sheet names an owner (or one too long, reported already).
            const bool reported = out->from[t] >= 0 && !out->set[t] && !isBlank(out->texts[t]);
            if (!reported && (!out->set[t] || isBlank(out->values[t].toString()))) {
                out->values[t] = user_;
                out->set[t] = true;
                out->fromSheet[t] = false;
            } else if (!reported && userPermit_ != 0 && options_.onMatch != importmatch::OnMatch::Add &&
                       out->values[t].toString() != user_) {
                // What a common user adds or changes stays theirs.
                problem(o, row, slots_[out->from[t]].header, quoteValue(out->values[t].toString()),
                        QStringLiteral("names another owner, and a common user adds and changes only records of "
                                       "their own"));
            }
        } else if (target.special == Target::EntryDate && !out->set[t]) {
            if (out->from[t] < 0 || isBlank(out->texts[t])) {
                out->values[t] = isoDate(today_);
                out->set[t] = true;
                out->fromSheet[t] = false;
            }
        }
    }
    return o->problemCount == before;
}

// ---- the plan --------------------------------------------------------------------

bool ImportRun::values(int row, importmatch::RowValues* out) {
    if (progress_ && (++valuesRead_ & 1023) == 0 && !progress_(valuesRead_, qint64(dataRows_.size()))) throw Cancelled();
    const bool ok = rowValues(row, &scratch_, checking_);
    *out = scratch_;
    return ok;
}

void ImportRun::problem(int row, const QString& value, const QString& reason) {
    const QString header = !value.isEmpty() && matchSlot_ >= 0 ? slots_[matchSlot_].header : QString();
    problem(checking_, row, header, value.isEmpty() ? QString() : quoteValue(value), reason);
}

void ImportRun::readCustomerNumbers() {
    customerIds_.clear();
    if (customers()) return;
    db::Query ids(c_);
    ids.setSql(QStringLiteral("select CustID from custom"));
    ids.open();
    for (ids.first(); !ids.eof(); ids.next()) customerIds_.insert(ids.field(0).asString());
}

ImportOutcome ImportRun::prepare(const ProgressFn& progress) {
    ImportOutcome o;
    prepared_ = false;
    plan_ = importmatch::Plan();
    if (!checkMapping(&o)) return o;
    readCustomerNumbers();
    o.emptyRows = findDataRows();
    checking_ = &o;
    progress_ = progress;
    valuesRead_ = 0;
    try {
        plan_ = importmatch::plan(c_, *this, options_, user_, userPermit_);
    } catch (const Cancelled&) {
        o.cancelled = true;
    } catch (...) {
        checking_ = nullptr;
        progress_ = {};
        throw;
    }
    checking_ = nullptr;
    progress_ = {};
    if (o.cancelled) return o;
    o.updated = plan_.count(importmatch::Action::Update);
    o.unchanged = plan_.count(importmatch::Action::Unchanged);
    o.skipped = plan_.count(importmatch::Action::Skip);
    prepared_ = o.problemCount == 0;
    return o;
}

int ImportRun::findDataRows() {
    dataRows_.clear();
    int empty = 0;
    for (int r = 2; r <= rowCount_; ++r) {
        if (sheet_.rowIsEmpty(r)) ++empty;
        else dataRows_ << r;
    }
    return empty;
}

ImportOutcome ImportRun::run(const ProgressFn& progress) {
    if (options_.onMatch != importmatch::OnMatch::Add) {
        const ImportOutcome checked = prepare(progress);
        if (checked.problemCount > 0 || checked.cancelled) return checked;
        return write(progress);
    }
    // Every row is added: each is checked as it is written, in one pass
    // instead of two. A problem anywhere still leaves the database as it
    // was (the writing is rolled back), and every row is still checked, so
    // that all the problems are reported at once.
    ImportOutcome o;
    prepared_ = false;
    plan_ = importmatch::Plan();
    if (!checkMapping(&o)) return o;
    findDataRows();
    plan_.options = options_;
    plan_.rows.resize(dataRows_.size());
    for (int i = 0; i < dataRows_.size(); ++i) plan_.rows[i].row = dataRows_[i];
    prepared_ = checkedWhileWriting_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{checkedWhileWriting_};
    return write(progress);
}
