#include "exchange/U_ImportPreview.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <algorithm>
#include <QVBoxLayout>

#include "exchange/Progress.h"
#include "toolkit/Forms.h"
#include "toolkit/Modal.h"
#include "toolkit/WaitCursor.h"

namespace {

using importmatch::Action;

QString number(int n) { return QLocale(QLocale::English).toString(n); }

QTreeWidget* list(QWidget* parent, const QStringList& heads) {
    auto* t = new QTreeWidget(parent);
    t->setColumnCount(int(heads.size()));
    t->setHeaderLabels(heads);
    t->setRootIsDecorated(false);
    t->setUniformRowHeights(true);
    t->setAlternatingRowColors(true);
    t->header()->setStretchLastSection(true);
    t->header()->resizeSection(0, 60);
    if (heads.size() > 2) t->header()->resizeSection(1, 110);
    if (heads.size() > 3) t->header()->resizeSection(2, 220);
    return t;
}

QString shown(const QString& v) { return v.isEmpty() ? QStringLiteral("(empty)") : v; }

}  // namespace

QString TFrm_ImportPreview::summary(bool customers, const importmatch::Plan& plan, int problems) {
    QString s = QStringLiteral("Of %1 rows: %2 to add, %3 to update, %4 already up to date, %5 to skip, %6 with problems.")
                    .arg(number(int(plan.rows.size())), number(plan.count(Action::Add)),
                         number(plan.count(Action::Update)), number(plan.count(Action::Unchanged)),
                         number(plan.count(Action::Skip)), number(problems));
    if (customers && plan.contacts > 0)
        s += QStringLiteral(" %1 contact %2 added with them.")
                 .arg(number(plan.contacts), plan.contacts == 1 ? QStringLiteral("person is") : QStringLiteral("persons are"));
    return s;
}

TFrm_ImportPreview::TFrm_ImportPreview(QWidget* parent, bool customers, const importmatch::Plan& plan,
                                       const ImportOutcome& checked)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Frm_ImportPreview"));
    setWindowTitle(QStringLiteral("Import Preview"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    resize(760, 520);
    toolkit::keepUp(this);

    auto* root = new QVBoxLayout(this);
    const int problems = plan.checked ? plan.problems : checked.problemCount;
    Label_Summary = new QLabel(summary(customers, plan, problems), this);
    Label_Summary->setWordWrap(true);
    root->addWidget(Label_Summary);
    Label_Note = new QLabel(this);
    Label_Note->setWordWrap(true);
    root->addWidget(Label_Note);

    Page_Rows = new QTabWidget(this);
    const QString record = customers ? QStringLiteral("Customer No.") : QStringLiteral("Contact No.");
    const QString label = customers ? QStringLiteral("Company") : QStringLiteral("Name");
    List_Add = list(Page_Rows, {QStringLiteral("Row"), label});
    List_Update = list(Page_Rows, {QStringLiteral("Row"), record, label, QStringLiteral("Changes (old → new)")});
    List_Unchanged = list(Page_Rows, {QStringLiteral("Row"), record, label});
    List_Skip = list(Page_Rows, {QStringLiteral("Row"), record, label});
    List_Problems = list(Page_Rows, {QStringLiteral("Row"), QStringLiteral("Column"), QStringLiteral("Value"),
                                     QStringLiteral("Problem")});
    Page_Rows->addTab(List_Add, QStringLiteral("To add (%1)").arg(number(plan.count(Action::Add))));
    Page_Rows->addTab(List_Update, QStringLiteral("To update (%1)").arg(number(plan.count(Action::Update))));
    Page_Rows->addTab(List_Unchanged, QStringLiteral("Up to date (%1)").arg(number(plan.count(Action::Unchanged))));
    Page_Rows->addTab(List_Skip, QStringLiteral("To skip (%1)").arg(number(plan.count(Action::Skip))));
    Page_Rows->addTab(List_Problems, QStringLiteral("Problems (%1)").arg(number(problems)));
    root->addWidget(Page_Rows, 1);

    for (const importmatch::Sample& s : plan.samples) {
        const QString row = QString::number(s.row);
        const QString target = s.target >= 0 ? QString::number(s.target) : QString();
        switch (s.action) {
        case Action::Add: new QTreeWidgetItem(List_Add, {row, s.label}); break;
        case Action::Unchanged: new QTreeWidgetItem(List_Unchanged, {row, target, s.label}); break;
        case Action::Skip: new QTreeWidgetItem(List_Skip, {row, target, s.label}); break;
        case Action::Update: {
            QStringList changes;
            for (const importmatch::Change& c : s.changes)
                changes << QStringLiteral("%1: %2 → %3").arg(c.column, shown(c.from), shown(c.to));
            auto* item = new QTreeWidgetItem(List_Update, {row, target, s.label, changes.join(QStringLiteral("; "))});
            item->setToolTip(3, changes.join(QLatin1Char('\n')));
            break;
        }
        case Action::Problem: break;
        }
    }
    for (const ImportProblem& p : checked.problems) {
        auto* item = new QTreeWidgetItem(List_Problems, {p.row > 0 ? QString::number(p.row) : QStringLiteral("Mapping"),
                                                         p.header, p.value, p.reason});
        item->setToolTip(3, p.reason);  // the reasons are long for the column
    }

    QStringList notes;
    notes << QStringLiteral("The first %1 rows of each kind are listed.").arg(importmatch::Plan::kSamples);
    if (problems > 0) {
        notes << QStringLiteral("Nothing can be imported while a row has a problem: correct the file and import it again.");
        Page_Rows->setCurrentWidget(List_Problems);
    } else if (plan.count(Action::Update) > 0) {
        Page_Rows->setCurrentWidget(List_Update);
    }
    if (checked.problemCount > checked.problems.size())
        notes << QStringLiteral("The first %1 problems of %2 are listed.")
                     .arg(checked.problems.size())
                     .arg(number(checked.problemCount));
    Label_Note->setText(notes.join(QLatin1Char(' ')));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Btn_Start = new QPushButton(QStringLiteral("开始(&S)"), this);
    Btn_Start->setEnabled(problems == 0 && plan.checked);
    Btn_Start->setDefault(Btn_Start->isEnabled());
    Btn_Exit = new QPushButton(QStringLiteral("取消(&Q)"), this);
    Btn_Exit->setAutoDefault(!Btn_Start->isEnabled());
    buttons->addWidget(Btn_Start);
    buttons->addWidget(Btn_Exit);
    root->addLayout(buttons);
    toolkit::onClick(Btn_Start, this, &TFrm_ImportPreview::Btn_StartClick);
    toolkit::onClick(Btn_Exit, this, &TFrm_ImportPreview::Btn_ExitClick);
    toolkit::centreOnScreen(this);
}

void TFrm_ImportPreview::Btn_StartClick() { accept(); }
void TFrm_ImportPreview::Btn_ExitClick() { reject(); }

ImportOutcome runImport(QWidget* parent, ImportRun& run, const importmatch::Options& options, int userPermit,
                        int rowCount, bool* previewed) {
    *previewed = false;
    run.setMatching(options, userPermit);
    const auto withProgress = [&](const QString& label, auto work) {
        toolkit::WaitCursor wait;
        Progress progress(label.arg(std::max(0, rowCount - 1)), 1);
        return work([&](qint64 done, qint64 total) {
            progress.setMaximum(total);
            return progress.step(done);
        });
    };
    if (options.onMatch == importmatch::OnMatch::Add)
        return withProgress(QStringLiteral("Importing %1 rows ..."), [&](const ImportRun::ProgressFn& p) { return run.run(p); });

    const ImportOutcome checked = withProgress(QStringLiteral("Checking %1 rows ..."),
                                               [&](const ImportRun::ProgressFn& p) { return run.prepare(p); });
    if (checked.cancelled) return checked;
    *previewed = true;
    bool start = false;
    {
        TFrm_ImportPreview preview(parent, run.customerImport(), run.plan(), checked);
        start = toolkit::execModal(&preview) == QDialog::Accepted && preview.Btn_Start->isEnabled();
    }
    if (!start) return checked;
    *previewed = false;  // what the writing finds is reported as usual
    return withProgress(QStringLiteral("Importing %1 rows ..."), [&](const ImportRun::ProgressFn& p) { return run.write(p); });
}
