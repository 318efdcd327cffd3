// What an import does with rows that match stored records, worked out
// before anything is written and checked again when writing.
#include <QRegularExpression>
#include <QTest>

#include "app/U_data.h"
#include "exchange/ImportMatch.h"
#include "tests/support/TestDb.h"
#include "toolkit/ScriptedDialogs.h"

using importmatch::Action;
using importmatch::OnMatch;
using matching::Rule;

namespace {

// Rows as an import run would give them: company (or name), tel, e-mail.
class FakeSource : public importmatch::Source {
public:
    explicit FakeSource(bool customers) : customers_(customers) {
        const QStringList cols = customers ? QStringList{"Company", "Tel", "Email", "F_User"}
                                           : QStringList{"CustID", "Name", "Email", "Main"};
        for (const QString& c : cols) {
            importmatch::Target t;
            t.column = c;
            t.paired = c != "F_User";
            t.identity = c == "CustID";
            t.kind = c == "Main" ? db::FieldKind::Bool : db::FieldKind::Text;
            targets_ << t;
        }
    }
    // A row: the first column is what the rule matches on unless match is given.
    void row(int r, const QStringList& cells, const QString& contact = QString(), const QString& match = QString()) {
        rows_.insert(r, cells);
        contacts_.insert(r, contact);
        if (!match.isNull()) match_.insert(r, match);
    }
    int matchColumn = 0;
    QStringList problems;

    bool customers() const override { return customers_; }
    const QList<importmatch::Target>& targets() const override { return targets_; }
    QList<int> rows() const override { return rows_.keys(); }
    QString matchText(int r) const override {
        return match_.contains(r) ? match_.value(r) : rows_.value(r).value(matchColumn);
    }
    QString customerNo(int r) const override { return rows_.value(r).value(0); }
    bool values(int r, importmatch::RowValues* out) override {
        const QStringList cells = rows_.value(r);
        const int n = int(targets_.size());
        out->values.fill(QVariant(), n);
        out->set.fill(false, n);
        out->fromSheet.fill(false, n);
        out->contactName = contacts_.value(r);
        for (int i = 0; i < n; ++i) {
            const QString c = cells.value(i);
            if (c == "!") {
                problem(r, c, "a bad cell");
                return false;
            }
            if (targets_[i].column == "F_User" && c.isEmpty()) {
                out->values[i] = "Tom";  // the importing user, not from the sheet
                out->set[i] = true;
                continue;
            }
            if (c.isEmpty()) continue;
            out->values[i] = targets_[i].kind == db::FieldKind::Bool ? QVariant(c == "1") : QVariant(c);
            out->set[i] = true;
            out->fromSheet[i] = true;
        }
        return true;
    }
    void problem(int r, const QString& value, const QString& reason) override {
        problems << QString("%1|%2|%3").arg(r).arg(value, reason);
    }

private:
    bool customers_;
    QList<importmatch::Target> targets_;
    QMap<int, QStringList> rows_;
    QMap<int, QString> contacts_, match_;
};

}  // namespace

class TestImportMatch : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TestDb> t;
    toolkit::ScriptedDialogs dlg;
    db::Connection* c() { return t->data()->Connection; }

    void customer(int id, const QString& company, const QString& tel, const QString& email, const QString& owner) {
        QVERIFY(t->exec(QString("insert into custom (CustID, Company, Tel, Email, F_User) values (%1, '%2', '%3', '%4', '%5')")
                            .arg(id)
                            .arg(company, tel, email, owner)));
        keysAhead();
    }
    // A server hands out keys from a counter that rows stored with keys of
    // their own do not move: moved here past them.
    void keysAhead() {
        if (!testsupport::TestDb::onServer()) return;
        for (const char* seq : {"custom_custid_seq", "contact_contactid_seq"})
            QVERIFY(t->exec(QString("select setval('%1', (select greatest(coalesce(max(%2), 0), 1) from %3))")
                                .arg(seq, QString(seq).startsWith("custom") ? "custid" : "contactid",
                                     QString(seq).startsWith("custom") ? "custom" : "contact")));
    }
    static importmatch::Options opts(OnMatch m, Rule r = Rule::Company, bool clear = false) {
        importmatch::Options o;
        o.onMatch = m;
        o.rule = r;
        o.clearEmpty = clear;
        return o;
    }
    static const importmatch::RowPlan& at(const importmatch::Plan& p, int row) {
        for (const auto& r : p.rows)
            if (r.row == row) return r;
        static importmatch::RowPlan none;
        return none;
    }

private slots:
    void init() {
        t = std::make_unique<testsupport::TestDb>();
        QVERIFY(t->ok());
        QVERIFY(t->openData()->DBConnected);
        customer(1, "Acme Inc", "0755-1", "a@acme.com", "Tom");
        customer(2, "Beta Ltd", "0755-2", "", "Tom");
        customer(3, "Gamma GmbH", "0755-3", "", "Admin");
    }
    void cleanup() { t.reset(); }

    // Matched rows update (with what changes) or are up to date; the rest
    // are new; a legal form keeps two names apart.
    void updatePlan() {
        FakeSource s(true);
        s.row(2, {"ACME  inc.", "0755-9", "", ""});  // the e-mail cell is empty: kept
        s.row(3, {"Beta Ltd", "0755-2", "", ""});
        s.row(4, {"Acme GmbH", "1", "", ""});
        s.row(5, {"", "", "x@y.z", ""});
        const importmatch::Plan p = importmatch::plan(c(), s, opts(OnMatch::Update), "Tom", 1);
        QCOMPARE(p.rows.size(), 4);
        QCOMPARE(at(p, 2).action, Action::Update);
        QCOMPARE(at(p, 2).target, 1);
        // The company's spelling and the telephone; the empty e-mail cell keeps the stored one.
        QCOMPARE(at(p, 2).changed, (quint64(1) << 0) | (quint64(1) << 1));
        QCOMPARE(at(p, 3).action, Action::Unchanged);
        QCOMPARE(at(p, 4).action, Action::Add);
        QCOMPARE(at(p, 5).action, Action::Add);
        QCOMPARE(p.count(Action::Add), 2);
        QCOMPARE(p.problems, 0);
        QVERIFY(s.problems.isEmpty());
        const auto update = std::find_if(p.samples.begin(), p.samples.end(),
                                         [](const importmatch::Sample& x) { return x.action == Action::Update; });
        QVERIFY(update != p.samples.end());
        QCOMPARE(update->label, QString("ACME  inc."));
        QCOMPARE(update->changes.size(), 2);  // the company's spelling is written too
        QCOMPARE(update->changes[0].column, QString("Company"));
        QCOMPARE(update->changes[1].from, QString("0755-1"));
        QCOMPARE(update->changes[1].to, QString("0755-9"));
    }

    void clearEmptyAndSkip() {
        FakeSource s(true);
        s.row(2, {"Acme Inc", "0755-1", "", ""});
        importmatch::Plan p = importmatch::plan(c(), s, opts(OnMatch::Update, Rule::Company, false), "Tom", 0);
        QCOMPARE(at(p, 2).action, Action::Unchanged);
        p = importmatch::plan(c(), s, opts(OnMatch::Update, Rule::Company, true), "Tom", 0);
        QCOMPARE(at(p, 2).action, Action::Update);
        QCOMPARE(at(p, 2).changed, quint64(1) << 2);  // the e-mail is cleared; the owner was not paired
        p = importmatch::plan(c(), s, opts(OnMatch::Skip), "Tom", 0);
        QCOMPARE(at(p, 2).action, Action::Skip);
        p = importmatch::plan(c(), s, opts(OnMatch::Add), "Tom", 0);
        QCOMPARE(at(p, 2).action, Action::Add);
    }

    // Never a guess: a row naming several records, or two rows naming one,
    // are problems, and so is a common user's update of another's record.
    void problems() {
        customer(4, "ACME INC", "", "", "Tom");
        FakeSource s(true);
        s.row(2, {"Acme Inc.", "0755-7", "", ""});
        s.row(3, {"Beta Ltd", "0755-8", "", ""});
        s.row(4, {"beta ltd", "0755-9", "", ""});
        s.row(5, {"Gamma GmbH", "0755-0", "", ""});
        s.row(6, {"Gamma GmbH", "0755-3", "", ""});  // as stored: nothing to write, nothing refused
        s.row(7, {"!", "", "", ""});
        const importmatch::Plan p = importmatch::plan(c(), s, opts(OnMatch::Update), "Tom", 1);
        QCOMPARE(at(p, 2).action, Action::Problem);
        QCOMPARE(at(p, 3).action, Action::Update);
        QCOMPARE(at(p, 4).action, Action::Problem);
        QCOMPARE(at(p, 5).action, Action::Problem);
        QCOMPARE(at(p, 6).action, Action::Unchanged);
        QCOMPARE(at(p, 7).action, Action::Problem);
        QCOMPARE(p.problems, 4);
        QVERIFY(s.problems.contains("2|Acme Inc.|matches 2 stored customers (No. 1, 4), not one; correct the file or "
                                    "merge them first"));
        QVERIFY(s.problems.contains("4|beta ltd|matches Customer No. 2, as row 3 does already"));
        QVERIFY(s.problems.contains("5||Customer No. 3 belongs to Admin: a common user may change only records of "
                                    "their own"));
        QVERIFY(s.problems.contains("7|!|a bad cell"));
        // For a super user row 5 is an update.
        FakeSource again(true);
        again.row(5, {"Gamma GmbH", "0755-0", "", ""});
        QCOMPARE(at(importmatch::plan(c(), again, opts(OnMatch::Update), "Admin", 0), 5).action, Action::Update);
    }

    void otherRules() {
        FakeSource s(true);
        s.matchColumn = 1;
        s.row(2, {"Acme (new name)", "(0755) 1", "", ""});  // too few digits to match by
        s.row(3, {"Other", "0755 2", "", ""});
        QVERIFY(t->exec("update custom set Tel='0755-222222' where CustID=2"));
        s.row(4, {"Beta renamed", "0755 222 222", "", ""});
        importmatch::Plan p = importmatch::plan(c(), s, opts(OnMatch::Update, Rule::Tel), "Tom", 0);
        QCOMPARE(at(p, 2).action, Action::Add);
        QCOMPARE(at(p, 3).action, Action::Add);
        QCOMPARE(at(p, 4).action, Action::Update);
        QCOMPARE(at(p, 4).target, 2);

        FakeSource byNo(true);
        byNo.row(2, {"Acme", "", "", ""}, QString(), "003");
        byNo.row(3, {"Nobody", "", "", ""}, QString(), "77");
        byNo.row(4, {"Typo", "", "", ""}, QString(), "3a");
        byNo.row(5, {"New Co", "", "", ""}, QString(), "");
        p = importmatch::plan(c(), byNo, opts(OnMatch::Skip, Rule::CustomerNo), "Tom", 0);
        QCOMPARE(at(p, 2).action, Action::Skip);
        QCOMPARE(at(p, 2).target, 3);
        // A number naming no customer is a mistake, not a new customer; a
        // row without a number is new.
        QCOMPARE(at(p, 3).action, Action::Problem);
        QCOMPARE(at(p, 4).action, Action::Problem);
        QVERIFY(byNo.problems.contains("3|77|no customer has this number"));
        QVERIFY(byNo.problems.contains("4|3a|not a customer number"));
        QCOMPARE(at(p, 5).action, Action::Add);
    }

    // Contacts match within their customer.
    void contactsWithinTheirCustomer() {
        QVERIFY(t->exec("insert into contact (ContactId, CustID, Name, Email, Main) values "
                        "(10, '1', 'Ann Lee', 'ann@acme.com', 0), (11, '2', 'Ann Lee', '', 0)"));
        keysAhead();
        FakeSource s(false);
        s.row(2, {"1", "ANN  lee", "ann@acme.com", "1"}, QString(), "ANN  lee");
        s.row(3, {"3", "Ann Lee", "", ""}, QString(), "Ann Lee");
        s.row(4, {"02", "ann lee", "", ""}, QString(), "ann lee");
        const importmatch::Plan p = importmatch::plan(c(), s, opts(OnMatch::Update, Rule::Name), "Tom", 0);
        QCOMPARE(at(p, 2).target, 10);
        QCOMPARE(at(p, 2).action, Action::Update);
        QCOMPARE(at(p, 2).changed, (quint64(1) << 1) | (quint64(1) << 3));  // the name's spelling and Main
        QCOMPARE(at(p, 3).action, Action::Add);
        QCOMPARE(at(p, 4).target, 11);
        QCOMPARE(at(p, 4).action, Action::Update);
    }

    // A customer row's contact person is added unless its customer has one
    // of that name.
    void contactPersons() {
        QVERIFY(t->exec("insert into contact (CustID, Name) values ('1', 'Ann')"));
        FakeSource s(true);
        s.row(2, {"Acme Inc", "0755-1", "", ""}, "ann");
        s.row(3, {"Beta Ltd", "0755-2", "", ""}, "Bob");
        s.row(4, {"New Co", "", "", ""}, "Cy");
        const importmatch::Plan p = importmatch::plan(c(), s, opts(OnMatch::Update), "Tom", 0);
        QVERIFY(!at(p, 2).addsContact);
        QVERIFY(at(p, 3).addsContact);
        QVERIFY(at(p, 4).addsContact);
        QCOMPARE(p.contacts, 2);
    }

    // What another workstation did between the preview and Start.
    void recheckFindsChangesSince() {
        FakeSource s(true);
        s.row(2, {"Acme Inc", "0755-9", "", ""});
        s.row(3, {"Beta Ltd", "0755-8", "", ""});
        s.row(4, {"Delta", "", "", ""});
        const importmatch::Plan p = importmatch::plan(c(), s, opts(OnMatch::Update), "Tom", 0);
        QCOMPARE(p.count(Action::Update), 2);
        QHash<qlonglong, QHash<QString, QVariant>> old;
        QCOMPARE(importmatch::recheck(c(), s, p, &old), 0);
        QCOMPARE(old.value(1).value("Tel").toString(), QString("0755-1"));
        QCOMPARE(old.value(1).size(), 1);

        QVERIFY(t->exec("update custom set Fax='x' where CustID=1"));
        QVERIFY(t->exec("delete from custom where CustID=2"));
        QVERIFY(t->exec("insert into custom (Company) values ('DELTA.')"));
        old.clear();
        QCOMPARE(importmatch::recheck(c(), s, p, &old), 3);
        QVERIFY(s.problems.contains("2||Customer No. 1 was changed on another workstation after the preview"));
        QVERIFY(s.problems.contains("3||Customer No. 2 was deleted on another workstation after the preview"));
        QVERIFY(s.problems.filter(QRegularExpression("^4\\|\\|now matches Customer No. \\d+, stored on another "
                                                     "workstation after the preview$")).size() == 1);
    }

    void choicesAndRules() {
        importmatch::Options o = importmatch::readOptions(c(), "custom");
        QCOMPARE(o.onMatch, OnMatch::Add);
        QCOMPARE(o.rule, Rule::Company);
        QCOMPARE(importmatch::readOptions(c(), "contact").rule, Rule::Name);
        QVERIFY(importmatch::writeOptions(c(), "custom", opts(OnMatch::Update, Rule::Tel, true)));
        o = importmatch::readOptions(c(), "custom");
        QCOMPARE(o.onMatch, OnMatch::Update);
        QCOMPARE(o.rule, Rule::Tel);
        QVERIFY(o.clearEmpty);
        QCOMPARE(importmatch::readOptions(c(), "contact").onMatch, OnMatch::Add);

        QCOMPARE(importmatch::allowedRules("custom", {"company", "TEL"}), QList<Rule>({Rule::Company, Rule::Tel}));
        QCOMPARE(importmatch::allowedRules("custom", {"CustID", "Email"}), QList<Rule>({Rule::CustomerNo, Rule::Email}));
        QCOMPARE(importmatch::allowedRules("contact", {"Name", "Email"}), QList<Rule>());  // no customer, no match
        QCOMPARE(importmatch::allowedRules("contact", {"CustID", "Email", "Name"}), QList<Rule>({Rule::Name, Rule::Email}));
    }
};

QTEST_MAIN(TestImportMatch)
#include "tst_importmatch.moc"
