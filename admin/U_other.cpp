#include "admin/U_other.h"

#include <QHeaderView>
#include <QVBoxLayout>

#include "app/U_data.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"

TFrm_Other* Frm_Other = nullptr;

namespace {
struct Page {
    const char* caption;
    const char* table;
};
const Page kPages[5] = {{"Country", "country"},
                        {"Position", "zw"},
                        {"Department", "department"},
                        {"Resource", "custfrom"},
                        {"Cust Type", "type"}};
}  // namespace

TFrm_Other::TFrm_Other(QWidget* parent)
    : QDialog(parent) {
    Frm_Other = this;
    toolkit::makeFixedDialog(this, 473, 304);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolButton1 = toolkit::addToolButton(ToolBar1, QStringLiteral("Add"), QStringLiteral("add"));
    ToolButton3 = toolkit::addToolButton(ToolBar1, QStringLiteral("Delete"), QStringLiteral("delete"));
    ToolButton5 = toolkit::addToolButton(ToolBar1, QStringLiteral("Refresh"), QStringLiteral("refresh"));
    ToolBar1->addSeparator();
    ToolButton6 = toolkit::addToolButton(ToolBar1, QStringLiteral("Exit"), QStringLiteral("exit"));

    PageControl1 = new QTabWidget(this);
    PageControl1->setDocumentMode(true);
    // Pages chosen by flat buttons rather than tabs.
    PageControl1->setStyleSheet(QStringLiteral(
        "QTabWidget::pane { border: none; }"
        "QTabBar::tab { background: transparent; border: 1px solid transparent; border-radius: 2px;"
        " padding: 3px 10px; margin: 3px 2px 3px 0px; }"
        "QTabBar::tab:hover { border-color: palette(mid); }"
        "QTabBar::tab:selected { background: palette(midlight); border-color: palette(dark); }"));
    QWidget** sheets[5] = {&TabSheet1, &TabSheet2, &TabSheet3, &TabSheet4, &TabSheet5};
    toolkit::DataGrid** grids[5] = {&DBGrid2, &DBGrid3, &DBGrid4, &DBGrid1, &DBGrid5};
    for (int i = 0; i < 5; ++i) {
        QWidget* sheet = new QWidget;
        auto* lay = new QVBoxLayout(sheet);
        lay->setContentsMargins(0, 0, 0, 0);
        auto* grid = new toolkit::DataGrid(sheet);
        grid->addColumn(QStringLiteral("name"), 200);
        grid->horizontalHeader()->setStretchLastSection(true);
        grid->setEditable(true);
        lay->addWidget(grid);
        PageControl1->addTab(sheet, QString::fromLatin1(kPages[i].caption));
        *sheets[i] = sheet;
        *grids[i] = grid;
        grids_[i] = grid;
    }

    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    lay->addWidget(ToolBar1);
    lay->addWidget(PageControl1, 1);

    toolkit::onClick(ToolButton1, this, &TFrm_Other::ToolButton1Click);
    toolkit::onClick(ToolButton3, this, &TFrm_Other::ToolButton3Click);
    toolkit::onClick(ToolButton5, this, &TFrm_Other::ToolButton5Click);
    toolkit::onClick(ToolButton6, this, &TFrm_Other::ToolButton6Click);

    toolkit::centreOnScreen(this);
    FormCreate();
    connect(PageControl1, &QTabWidget::currentChanged, this,
            [this] { toolkit::guarded([this] { PageControl1Change(); }); });
}

TFrm_Other::~TFrm_Other() {
    for (auto* g : grids_) g->setDataSource(nullptr);
    if (Frm_Other == this) Frm_Other = nullptr;
}

QString TFrm_Other::tableOfPage(int page) {
    return page >= 0 && page < 5 ? QString::fromLatin1(kPages[page].table) : QString();
}

QString TFrm_Other::emptyListText() { return QStringLiteral("This list is empty: there is nothing to delete."); }

toolkit::DataGrid* TFrm_Other::currentGrid() const { return grids_[shownPage_]; }

void TFrm_Other::FormCreate() {
    setWindowTitle(QStringLiteral("Management"));
    PageControl1->setCurrentIndex(0);
    openList(0);
}

void TFrm_Other::openList(int page) {
    db::Query* q = Frm_Data->Qry_Other;
    q->close();
    // The whole row is read so that the record set can write it back; the
    // grid shows the name only.
    q->setSql(QStringLiteral("select * from ") + tableOfPage(page));
    q->open();
    for (int i = 0; i < 5; ++i)
        if (i != page) grids_[i]->setDataSource(nullptr);
    grids_[page]->setDataSource(Frm_Data->DS_Other);
    shownPage_ = page;
    SetListCaption();
}

void TFrm_Other::SetListCaption() {
    Frm_Data->Qry_Other->setDisplayLabel(QStringLiteral("name"), QStringLiteral("Contents"));
}

void TFrm_Other::settleGrid() {
    toolkit::DataGrid* grid = currentGrid();
    if (!grid->postPending()) grid->cancelPending();
}

void TFrm_Other::PageControl1Change() {
    // Leaving a page leaves its row: what was typed there is stored first.
    settleGrid();
    openList(PageControl1->currentIndex());
}

void TFrm_Other::ToolButton1Click() {
    toolkit::DataGrid* grid = currentGrid();
    if (!grid->postPending()) return;
    Frm_Data->Qry_Other->append();
    grid->setFocus();
    grid->edit(grid->currentIndex());
}

void TFrm_Other::ToolButton3Click() {
    db::Query* q = Frm_Data->Qry_Other;
    if (q->isEmpty() && !q->inserting()) {
        toolkit::dialogs().message(emptyListText(), QStringLiteral("Warning"), toolkit::Icon::Information);
        return;
    }
    if (!toolkit::dialogs().confirm(QStringLiteral("Are you Sure to delete this record"), QStringLiteral("Warning"),
                                    toolkit::Icon::Information))
        return;
    // A row still being typed is simply dropped.
    if (q->inserting()) {
        currentGrid()->cancelPending();
        return;
    }
    q->remove();
}

void TFrm_Other::ToolButton5Click() {
    settleGrid();
    db::Query* q = Frm_Data->Qry_Other;
    q->close();
    q->open();
    SetListCaption();
}

void TFrm_Other::ToolButton6Click() { close(); }

void TFrm_Other::FormClose() { settleGrid(); }

void TFrm_Other::done(int r) {
    FormClose();
    QDialog::done(r);
}
