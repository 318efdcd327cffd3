// The writing half of an import run: the plan that prepare() made, in one
// transaction, with the import log that lets the user undo it.
#include <QDateTime>

#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/RowInserter.h"
#include "app/db/RowUpdater.h"
#include "app/db/Statement.h"
#include "app/db/Transaction.h"
#include "exchange/ImportLog.h"
#include "exchange/ImportRun.h"

using importmatch::Action;

namespace {

// Rows between two reports of progress while rows are written behind.
constexpr qint64 kProgressRows = 2048;

// Rows written many at a time, their values bound to one prepared insert
// of a batch of rows. Rows whose set of columns differs go through an
// inserter of their own, so unset columns keep their defaults; the order of
// the rows is kept (a change of columns first writes what is pending).
class BatchInsert {
public:
    // behind: as RowInserter's.
    BatchInsert(db::Connection* c, const QString& table, const QStringList& columns, bool behind = false)
        : c_(c), table_(table), columns_(columns), behind_(behind) {}

    void add(const QVector<QVariant>& values, const QVector<bool>& set) {
        if (current_ && set != mask_) current_->flush();
        if (!current_ || set != mask_) {
            mask_ = set;
            auto& slot = inserters_[set];
            if (!slot) {
                QStringList cols;
                for (int i = 0; i < columns_.size(); ++i)
                    if (set[i]) cols << columns_[i];
                slot = std::make_unique<db::RowInserter>(c_, table_, cols, behind_);
            }
            current_ = slot.get();
        }
        if (!set.contains(false)) {
            current_->add(values);  // every column: no copy needed
            return;
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
    bool behind_;
    QVector<bool> mask_;
    QHash<QVector<bool>, std::shared_ptr<db::RowInserter>> inserters_;
    db::RowInserter* current_ = nullptr;
    QVariantList row_;
};

}  // namespace

ImportOutcome ImportRun::write(const ProgressFn& progress) {
    ImportOutcome o;
    if (!prepared_) {
        problem(&o, 0, QString(), QString(), QStringLiteral("the rows have not been checked yet"));
        return o;
    }
    o.emptyRows = int(rowCount_ > 1 ? rowCount_ - 1 - dataRows_.size() : 0);
    checking_ = &o;
    try {
        writePlan(&o, progress);
    } catch (...) {
        checking_ = nullptr;
        throw;
    }
    checking_ = nullptr;
    if (!o.committed) {
        // Nothing stays: say so in the counts too.
        o.customers = o.contacts = o.updated = o.unchanged = o.skipped = 0;
    } else {
        // A plan is written once.
        prepared_ = false;
    }
    return o;
}

void ImportRun::writePlan(ImportOutcome* o, const ProgressFn& progress) {
    const qint64 total = plan_.rows.size();
    db::TransactionGuard guard(*c_);
    // What another workstation did since the plan was made.
    QHash<qlonglong, QHash<QString, QVariant>> overwritten;
    if (options_.onMatch != importmatch::OnMatch::Add) {
        if (importmatch::recheck(c_, *this, plan_, &overwritten) > 0) return;  // the guard rolls back
    }
    // A contact's customer deleted since the plan was made is a problem below.
    readCustomerNumbers();

    QStringList columns;
    for (const Target& t : targets_) columns << t.name;
    const QString keyColumn = customers() ? QStringLiteral("CustID") : QStringLiteral("ContactId");
    // Every row added, nothing else written in the loop: the rows are
    // written on a thread of their own while the next ones are checked.
    BatchInsert adder(c_, table_, columns, checkedWhileWriting_);
    db::RowUpdater updater(c_, table_, keyColumn);
    const qlonglong firstKey = importlog::highestKey(c_, table_);
    struct Pending {
        int added;           // index among the rows added by this run, or -1
        qlonglong customer;  // or the stored customer it goes with
        QString name;
        QString company;
    };
    QList<Pending> persons;
    const int companyTarget = targetOf(QStringLiteral("Company"), false);
    RowValues v;
    int added = 0;
    QStringList cols;
    QVariantList vals;
    qint64 done = 0;
    for (const importmatch::RowPlan& rp : plan_.rows) {
        // Progress lets events through, which may read the database: the
        // rows written behind are waited for first, every so many rows.
        ++done;
        if (progress && (!checkedWhileWriting_ || done % kProgressRows == 0 || done == total)) {
            if (checkedWhileWriting_) adder.flush();
            if (!progress(done, total)) {
                o->cancelled = true;
                return;  // the guard rolls back
            }
        }
        if (rp.action == Action::Skip || rp.action == Action::Problem) continue;
        if (rp.action == Action::Unchanged && !rp.addsContact) {
            // Nothing of the row is written; reading its cells again would only cost time.
            ++o->unchanged;
            continue;
        }
        // Not after a clean plan, but never written. Checked while writing,
        // a row with a problem ends the writing; the rows after it are
        // still checked, for the report.
        if (!rowValues(rp.row, &v, o) || o->problemCount > 0) continue;
        if (rp.action == Action::Add) {
            adder.add(v.values, v.set);
            if (checkedWhileWriting_ ? !v.contactName.trimmed().isEmpty() : rp.addsContact)
                persons << Pending{added, -1, v.contactName,
                                   companyTarget >= 0 ? v.values[companyTarget].toString() : QString()};
            ++added;
            continue;
        }
        if (rp.action == Action::Update) {
            cols.clear();
            vals.clear();
            for (int t = 0; t < matchTargets_.size() && t < 64; ++t) {
                if (!(rp.changed & (quint64(1) << t))) continue;
                cols << targets_[t].name;
                vals << importmatch::writtenValue(matchTargets_[t], v, t);
            }
            if (updater.update(rp.target, cols, vals) != 1)
                problem(o, rp.row, QString(), QString(),
                        QStringLiteral("the record it matched could not be updated (deleted on another workstation?)"));
            ++o->updated;
        } else {
            ++o->unchanged;
        }
        if (rp.addsContact)
            persons << Pending{-1, rp.target, v.contactName,
                               companyTarget >= 0 ? v.values[companyTarget].toString() : QString()};
    }
    if (o->problemCount > 0) return;
    adder.flush();
    o->skipped = plan_.count(Action::Skip);
    if (customers()) o->customers = added;
    else o->contacts = added;

    // The keys of the added rows, for their contact persons.
    QList<qlonglong> addedKeys;
    qlonglong firstPerson = 0;
    const bool log = importlog::available(c_);
    if (added > 0 && !persons.isEmpty()) addedKeys = importlog::keysAbove(c_, table_, firstKey, added);
    if (!persons.isEmpty()) {
        firstPerson = importlog::highestKey(c_, QStringLiteral("contact"));
        BatchInsert contact(c_, QStringLiteral("contact"),
                            {QStringLiteral("CustID"), QStringLiteral("Name"), QStringLiteral("Company"), QStringLiteral("F_User")});
        const QVector<bool> all(4, true);
        for (const Pending& p : persons) {
            const qlonglong customer = p.added >= 0 ? addedKeys[p.added] : p.customer;
            contact.add({QString::number(customer), p.name, p.company, user_}, all);
        }
        contact.flush();
        o->contacts = int(persons.size());
    }

    if (log && (added > 0 || o->updated > 0 || !persons.isEmpty())) {
        importlog::Entry e;
        e.user = user_;
        e.at = QDateTime::currentDateTime();
        e.file = fileName_;
        e.table = table_.toLower();
        e.onMatch = importmatch::onMatchWord(options_.onMatch);
        e.matchBy = options_.onMatch == importmatch::OnMatch::Add ? QString() : matching::ruleWord(options_.rule);
        importlog::Recorder r(c_, e);
        r.addedAbove(table_.toLower(), firstKey, added);
        if (customers()) r.addedAbove(QStringLiteral("contact"), firstPerson, int(persons.size()));
        for (auto it = overwritten.begin(); it != overwritten.end(); ++it) r.updated(table_.toLower(), it.key(), it.value());
        o->logId = r.finish(customers() ? o->customers : o->contacts, o->updated, o->skipped,
                            customers() ? o->contacts : 0);
    }
    // A Cancel clicked while the contacts and the log were written counts:
    // nothing is committed yet.
    if (progress && !progress(total, total)) {
        o->cancelled = true;
        return;  // the guard rolls back
    }
    guard.commit();
    o->committed = true;
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
