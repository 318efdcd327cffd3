#include "customers/U_Duplicates.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QShowEvent>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "customers/U_Custom.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/WaitCursor.h"

TFrm_Duplicates* Frm_Duplicates = nullptr;

namespace {

constexpr int kGroupRole = Qt::UserRole + 1;  // a group item: its index in groups_

QString userName() { return Frm_Main ? Frm_Main->UserName : QString(); }
int userPermit() { return Frm_Main ? Frm_Main->UserPermit : 0; }

// One line of a value, for a grid cell.
QString oneLine(const QString& s) {
    QString t = s;
    t.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return t.size() > 80 ? t.left(77) + QStringLiteral("...") : t;
}

// The shared lists show what the merge left.
void refreshSharedLists() {
    for (db::Query* q : {Frm_Data->Qry_Cust, Frm_Data->Qry_Contact, Frm_Data->Qry_Schedule}) {
        if (!q->active()) continue;
        q->close();
        q->open();
    }
    if (Frm_Custom) Frm_Custom->LoadGridColumns();
}

}  // namespace

TFrm_Duplicates::TFrm_Duplicates(QWidget* parent) : QDialog(parent) {
    Frm_Duplicates = this;
    setObjectName(QStringLiteral("Frm_Duplicates"));
    setWindowTitle(QStringLiteral("Find Duplicate Customers"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    resize(820, 600);
    toolkit::keepUp(this);

    auto* root = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Same:"), this));
    CB_Company = new QCheckBox(QStringLiteral("Company name"), this);
    CB_Email = new QCheckBox(QStringLiteral("E-mail"), this);
    CB_Tel = new QCheckBox(QStringLiteral("Telephone"), this);
    for (QCheckBox* b : {CB_Company, CB_Email, CB_Tel}) {
        b->setChecked(true);
        bar->addWidget(b);
    }
    Btn_Find = new QPushButton(QStringLiteral("Find(&F)"), this);
    bar->addWidget(Btn_Find);
    bar->addStretch(1);
    root->addLayout(bar);
    Label_Count = new QLabel(this);
    root->addWidget(Label_Count);

    auto* split = new QSplitter(Qt::Vertical, this);
    TreeGroups = new QTreeWidget(split);
    TreeGroups->setColumnCount(5);
    TreeGroups->setHeaderLabels({QStringLiteral("Customer No."), QStringLiteral("Company"), QStringLiteral("Tel"),
                                 QStringLiteral("E-mail"), QStringLiteral("Owner")});
    TreeGroups->setRootIsDecorated(true);
    TreeGroups->setUniformRowHeights(true);
    TreeGroups->header()->resizeSection(0, 150);
    TreeGroups->header()->resizeSection(1, 260);
    TreeGroups->header()->resizeSection(2, 120);
    TreeGroups->header()->resizeSection(3, 160);

    auto* lower = new QWidget(split);
    auto* lay = new QVBoxLayout(lower);
    lay->setContentsMargins(0, 0, 0, 0);
    Label_Why = new QLabel(lower);
    Label_Why->setWordWrap(true);
    lay->addWidget(Label_Why);
    auto* keep = new QHBoxLayout;
    Label_Survivor = new QLabel(QStringLiteral("Keep customer:"), lower);
    Combo_Survivor = new QComboBox(lower);
    Combo_Survivor->setMinimumWidth(320);
    Label_Survivor->setBuddy(Combo_Survivor);
    keep->addWidget(Label_Survivor);
    keep->addWidget(Combo_Survivor);
    keep->addWidget(new QLabel(QStringLiteral("Click a value to keep it instead."), lower), 1);
    CB_AllFields = new QCheckBox(QStringLiteral("Show every field"), lower);
    keep->addWidget(CB_AllFields);
    lay->addLayout(keep);
    Grid_Fields = new QTableWidget(lower);
    Grid_Fields->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid_Fields->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid_Fields->horizontalHeader()->setDefaultSectionSize(200);
    Grid_Fields->verticalHeader()->setDefaultSectionSize(Grid_Fields->fontMetrics().height() + 8);
    lay->addWidget(Grid_Fields, 1);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    root->addWidget(split, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Btn_Merge = new QPushButton(QStringLiteral("Merge(&M)"), this);
    Btn_Merge->setEnabled(false);
    Btn_Exit = new QPushButton(QStringLiteral("Exit(&Q)"), this);
    Btn_Exit->setAutoDefault(false);
    buttons->addWidget(Btn_Merge);
    buttons->addWidget(Btn_Exit);
    root->addLayout(buttons);

    toolkit::onClick(Btn_Find, this, &TFrm_Duplicates::Btn_FindClick);
    toolkit::onClick(Btn_Merge, this, &TFrm_Duplicates::Btn_MergeClick);
    toolkit::onClick(Btn_Exit, this, &TFrm_Duplicates::Btn_ExitClick);
    connect(TreeGroups, &QTreeWidget::currentItemChanged, this,
            [this] { toolkit::guarded([this] { TreeGroupsChange(); }); });
    connect(Combo_Survivor, &QComboBox::activated, this,
            [this] { toolkit::guarded([this] { Combo_SurvivorChange(); }); });
    connect(CB_AllFields, &QCheckBox::toggled, this, [this] { toolkit::guarded([this] { fillGrid(); }); });
    connect(Grid_Fields, &QTableWidget::cellClicked, this,
            [this](int r, int c) { toolkit::guarded([&] { Grid_FieldsCellClick(r, c); }); });
    connect(Grid_Fields, &QTableWidget::cellActivated, this,
            [this](int r, int c) { toolkit::guarded([&] { Grid_FieldsCellClick(r, c); }); });
    toolkit::centreOnScreen(this);
}

TFrm_Duplicates::~TFrm_Duplicates() {
    if (Frm_Duplicates == this) Frm_Duplicates = nullptr;
}

void TFrm_Duplicates::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

void TFrm_Duplicates::FormShow() {
    // The grid titles the user knows the columns by.
    db::Query q(Frm_Data->Connection);
    q.setSql(QStringLiteral("select Field, Name from T_FieldShow where TableName=:t"));
    q.setParam(QStringLiteral("t"), QStringLiteral("Custom"));
    q.open();
    for (q.first(); !q.eof(); q.next()) titles_.insert(q.field(0).asString().toLower(), q.field(1).asString());
    Btn_FindClick();
}

int TFrm_Duplicates::rules() const {
    return (CB_Company->isChecked() ? duplicates::ByCompany : 0) | (CB_Email->isChecked() ? duplicates::ByEmail : 0) |
           (CB_Tel->isChecked() ? duplicates::ByTel : 0);
}

void TFrm_Duplicates::Btn_FindClick() {
    toolkit::SearchBusy<QPushButton> busy(Btn_Find);
    const QVector<duplicates::Customer> customers = duplicates::readCustomers(Frm_Data->Connection);
    customerCount_ = int(customers.size());
    groups_ = duplicates::find(customers, rules());
    showGroups();
}

void TFrm_Duplicates::showGroups() {
    const QLocale l(QLocale::English);
    Label_Count->setText(groups_.isEmpty()
                             ? QStringLiteral("No likely duplicates among %1 customers.").arg(l.toString(customerCount_))
                             : QStringLiteral("%1 group(s) of likely duplicates among %2 customers.")
                                   .arg(l.toString(qlonglong(groups_.size())), l.toString(customerCount_)));
    TreeGroups->clear();
    set_ = merge::Set();
    // The members' names, e-mail and telephone, read once for every group shown.
    QList<qlonglong> ids;
    for (const duplicates::Group& g : groups_) ids += g.members;
    const merge::Set all = merge::read(Frm_Data->Connection, ids);
    const int tel = [&] {
        for (int i = 0; i < all.columns.size(); ++i)
            if (all.columns[i].name.compare(QLatin1String("Tel"), Qt::CaseInsensitive) == 0) return i;
        return -1;
    }();
    const int email = [&] {
        for (int i = 0; i < all.columns.size(); ++i)
            if (all.columns[i].name.compare(QLatin1String("Email"), Qt::CaseInsensitive) == 0) return i;
        return -1;
    }();
    for (int g = 0; g < groups_.size(); ++g) {
        const duplicates::Group& group = groups_[g];
        auto* item = new QTreeWidgetItem(TreeGroups);
        item->setText(0, QStringLiteral("%1 customers: %2").arg(group.members.size()).arg(group.why()));
        item->setData(0, kGroupRole, g);
        item->setFirstColumnSpanned(true);
        for (qlonglong id : group.members) {
            auto* child = new QTreeWidgetItem(item);
            child->setText(0, QString::number(id));
            const int at = all.indexOf(id);
            if (at < 0) continue;
            const merge::Candidate& c = all.customers[at];
            child->setText(1, c.text(all.companyColumn));
            child->setText(2, c.text(tel));
            child->setText(3, c.text(email));
            child->setText(4, c.text(all.ownerColumn));
        }
        item->setExpanded(true);
    }
    Label_Why->clear();
    Combo_Survivor->clear();
    Grid_Fields->clear();
    Grid_Fields->setRowCount(0);
    Grid_Fields->setColumnCount(0);
    Btn_Merge->setEnabled(false);
    if (TreeGroups->topLevelItemCount() > 0) TreeGroups->setCurrentItem(TreeGroups->topLevelItem(0));
}

void TFrm_Duplicates::TreeGroupsChange() {
    QTreeWidgetItem* item = TreeGroups->currentItem();
    if (!item) return;
    if (item->parent()) item = item->parent();
    const int g = item->data(0, kGroupRole).toInt();
    if (g >= 0 && g < groups_.size()) loadGroup(g);
}

void TFrm_Duplicates::loadGroup(int index) {
    const duplicates::Group& group = groups_[index];
    set_ = merge::read(Frm_Data->Connection, group.members);
    Label_Why->setText(QStringLiteral("Why: ") + group.why());
    Combo_Survivor->clear();
    for (const merge::Candidate& c : set_.customers)
        Combo_Survivor->addItem(QStringLiteral("%1  %2").arg(c.id).arg(c.text(set_.companyColumn)), c.id);
    choice_ = merge::defaultChoice(set_, 0);
    Combo_Survivor->setCurrentIndex(0);
    fillGrid();
    Btn_Merge->setEnabled(set_.customers.size() >= 2);
}

void TFrm_Duplicates::Combo_SurvivorChange() {
    const int i = Combo_Survivor->currentIndex();
    if (i < 0 || i >= set_.customers.size()) return;
    choice_ = merge::defaultChoice(set_, i);
    fillGrid();
}

void TFrm_Duplicates::fillGrid() {
    const QList<int> cols = set_.choosable();
    Grid_Fields->clear();
    Grid_Fields->setRowCount(int(cols.size()));
    Grid_Fields->setColumnCount(int(set_.customers.size()));
    QStringList heads;
    for (int i = 0; i < set_.customers.size(); ++i)
        heads << (i == choice_.survivor ? QStringLiteral("No. %1 (stays)") : QStringLiteral("No. %1"))
                     .arg(set_.customers[i].id);
    Grid_Fields->setHorizontalHeaderLabels(heads);
    QStringList rows;
    for (int col : cols) {
        const QString name = set_.columns[col].name;
        rows << titles_.value(name.toLower(), name);
    }
    Grid_Fields->setVerticalHeaderLabels(rows);
    for (int r = 0; r < cols.size(); ++r) {
        const int col = cols[r];
        // A field that reads the same in every customer leaves nothing to choose.
        bool differ = false;
        for (int i = 1; i < set_.customers.size(); ++i)
            differ = differ || set_.customers[i].text(col) != set_.customers[0].text(col);
        Grid_Fields->setRowHidden(r, !differ && !CB_AllFields->isChecked());
        for (int i = 0; i < set_.customers.size(); ++i) {
            const QString text = set_.customers[i].text(col);
            auto* cell = new QTableWidgetItem(oneLine(text));
            cell->setToolTip(text);
            cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            const bool kept = choice_.from.value(col) == i;
            cell->setCheckState(kept ? Qt::Checked : Qt::Unchecked);
            if (kept) {
                QFont f = cell->font();
                f.setBold(true);
                cell->setFont(f);
            }
            Grid_Fields->setItem(r, i, cell);
        }
    }
}

void TFrm_Duplicates::Grid_FieldsCellClick(int row, int column) {
    const QList<int> cols = set_.choosable();
    if (row < 0 || row >= cols.size() || column < 0 || column >= set_.customers.size()) return;
    choice_.from[cols[row]] = column;
    fillGrid();
    Grid_Fields->setCurrentCell(row, column);
}

void TFrm_Duplicates::Btn_MergeClick() {
    if (set_.customers.size() < 2) return;
    const QString no = merge::refusal(set_, userName(), userPermit());
    if (!no.isEmpty()) {
        toolkit::dialogs().message(no, QStringLiteral("Warning"), toolkit::Icon::Information);
        return;
    }
    const merge::Moving moving = merge::countMoving(Frm_Data->Connection, set_, choice_);
    if (!toolkit::dialogs().confirm(merge::confirmation(set_, choice_, moving, titles_), QStringLiteral("Merge Customers"),
                                    toolkit::Icon::Question))
        return;
    merge::Moving moved;
    try {
        toolkit::WaitCursor wait;
        moved = merge::perform(Frm_Data->Connection, set_, choice_);
    } catch (const db::DbError& e) {
        // Nothing was merged. The lists and the groups are read again, so
        // the user sees what is stored now before trying again.
        toolkit::dialogs().message(e.text(), QStringLiteral("Merge Customers"), toolkit::Icon::Warning);
        refreshSharedLists();
        Btn_FindClick();
        return;
    }
    const merge::Candidate& s = set_.customers[choice_.survivor];
    const qlonglong survivor = s.id;
    refreshSharedLists();
    toolkit::dialogs().message(QStringLiteral("Merged %1 customers into Customer No. %2; %3 contact(s), %4 schedule(s) "
                                              "and %5 sale(s) moved to it.")
                                   .arg(set_.customers.size())
                                   .arg(survivor)
                                   .arg(moved.contacts)
                                   .arg(moved.schedules)
                                   .arg(moved.sales),
                               QStringLiteral("Merge Customers"), toolkit::Icon::Information);
    Btn_FindClick();
}

void TFrm_Duplicates::Btn_ExitClick() { close(); }
