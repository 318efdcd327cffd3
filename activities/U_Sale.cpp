#include "activities/U_Sale.h"

#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QShowEvent>
#include <QVBoxLayout>

#include "activities/ActivityCommon.h"
#include "activities/SaleData.h"
#include "activities/U_AddSale.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"
#include "toolkit/Modal.h"

TFrm_Sale* Frm_Sale = nullptr;

namespace {

const char* const kSalesOrder = " order by SaleDate, SaleID";

QWidget* page(QTabWidget* tabs, const QString& caption, toolkit::DataGrid*& grid, toolkit::DataSource* ds) {
    auto* sheet = new QWidget(tabs);
    auto* v = new QVBoxLayout(sheet);
    v->setContentsMargins(0, 0, 0, 0);
    grid = new toolkit::DataGrid(sheet);
    grid->setDataSource(ds);
    v->addWidget(grid);
    tabs->addTab(sheet, caption);
    return sheet;
}

}  // namespace

TFrm_Sale::TFrm_Sale(QWidget* parent) : QWidget(parent) {
    Frm_Sale = this;
    setObjectName(QStringLiteral("Frm_Sale"));
    setFont(activities::windowFont());
    setWindowIcon(toolkit::drawnIcon(QStringLiteral("print")));
    resize(610, 430);

    Qry_Sale = new db::Query(Frm_Data->Connection, this);
    DS_Sale = new toolkit::DataSource(Qry_Sale, this);
    Qry_SaleLine = new db::Query(Frm_Data->Connection, this);
    DS_SaleLine = new toolkit::DataSource(Qry_SaleLine, this);
    // The lines follow the selected sale.
    Qry_SaleLine->setSql(QStringLiteral("select * from T_SaleLine where SaleID=:SaleID order by LineID"));
    Qry_SaleLine->setMasterSource(DS_Sale);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    const activities::SearchBar search =
        activities::makeSearchBar(this, QStringLiteral("请输入公司名称:"), QStringLiteral("Btn_S_Cust"));
    CoolBar1 = search.bar;
    Panel1 = search.panel;
    Label1 = search.label;
    Edit_Key = search.key;
    Btn_S_Cust = search.button;
    root->addWidget(CoolBar1);

    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    PageControl1 = new QTabWidget(Splitter1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheet1 = page(PageControl1, QStringLiteral("销售"), DBGrid1, DS_Sale);
    PageControl2 = new QTabWidget(Splitter1);
    PageControl2->setObjectName(QStringLiteral("PageControl2"));
    TabSheet2 = page(PageControl2, QStringLiteral("销售明细"), DBGrid2, DS_SaleLine);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({220, 180});
    root->addWidget(Splitter1, 1);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = activities::popupItem(PopupMenu1, QStringLiteral("N1"), QStringLiteral("新建销售"), [this] { N1Click(); });
    N2 = activities::popupItem(PopupMenu1, QStringLiteral("N2"), QStringLiteral("编辑销售"), [this] { N2Click(); });
    N3 = activities::popupItem(PopupMenu1, QStringLiteral("N3"), QStringLiteral("删除销售"), [this] { N3Click(); });
    activities::attachPopup(DBGrid1, PopupMenu1);
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    N4 = activities::popupItem(PopupMenu2, QStringLiteral("N4"), QStringLiteral("新建明细"), [this] { N4Click(); });
    N5 = activities::popupItem(PopupMenu2, QStringLiteral("N5"), QStringLiteral("编辑明细"), [this] { N5Click(); });
    N6 = activities::popupItem(PopupMenu2, QStringLiteral("N6"), QStringLiteral("删除明细"), [this] { N6Click(); });
    activities::attachPopup(DBGrid2, PopupMenu2);

    toolkit::onClick(Btn_S_Cust, this, &TFrm_Sale::Btn_S_CustClick);
    connect(Edit_Key, &QLineEdit::returnPressed, this,
            [this] { toolkit::guarded([this] { Edit_KeyKeyDown(Qt::Key_Return); }); });
    connect(DBGrid1, &toolkit::DataGrid::doubleClickedRow, this, [this] { toolkit::guarded([this] { N2Click(); }); });
    connect(DBGrid2, &toolkit::DataGrid::doubleClickedRow, this, [this] { toolkit::guarded([this] { N5Click(); }); });
    FormCreate();
}

TFrm_Sale::~TFrm_Sale() {
    // The lines must not follow a sale list that is going away.
    Qry_SaleLine->setMasterSource(nullptr);
    if (Frm_Sale == this) Frm_Sale = nullptr;
}

void TFrm_Sale::FormCreate() { setWindowTitle(QStringLiteral("销售")); }

void TFrm_Sale::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

void TFrm_Sale::FormShow() {
    Edit_Key->clear();
    openSales(QStringLiteral("select * from T_Sale") + QLatin1String(kSalesOrder));
}

void TFrm_Sale::closeEvent(QCloseEvent* e) {
    // Kept for the rest of the session: closing only minimises it.
    e->ignore();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) sub->showMinimized();
    else showMinimized();
}

void TFrm_Sale::openSales(const db::Statement& sql) {
    Qry_SaleLine->close();
    Qry_Sale->close();
    Qry_Sale->setSql(sql);
    Qry_Sale->open();
    Qry_SaleLine->open();
    loadColumns(DBGrid1, Qry_Sale, QStringLiteral("Sale"));
    loadColumns(DBGrid2, Qry_SaleLine, QStringLiteral("SaleLine"));
}

void TFrm_Sale::loadColumns(toolkit::DataGrid* grid, db::Query* q, const QString& tableName) {
    if (Frm_Main) Frm_Main->ApplyFieldShow(grid, q, tableName);
    // Without shown-field rows every column shows, under its own name.
    if (grid->columnCountShown() == 0) activities::defaultColumns(grid, q);
}

void TFrm_Sale::Btn_S_CustClick() {
    const activities::SearchBusy busy(Btn_S_Cust);
    openSales(db::Statement(QStringLiteral("select * from T_Sale where Company like :pat") + QLatin1String(kSalesOrder))
                  .bind(QStringLiteral("pat"), db::containsPattern(Edit_Key->text())));
}

void TFrm_Sale::Edit_KeyKeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) Btn_S_CustClick();
}

void TFrm_Sale::N1Click() {
    TFrm_AddSale d(Qry_Sale, this);
    d.AddMode = true;
    toolkit::execModal(&d);
}

void TFrm_Sale::N2Click() {
    if (Qry_Sale->currentRow() < 0) return;
    TFrm_AddSale d(Qry_Sale, this);
    d.AddMode = false;
    toolkit::execModal(&d);
}

void TFrm_Sale::N3Click() {
    if (Qry_Sale->currentRow() < 0) return;
    if (!toolkit::dialogs().confirm(QStringLiteral("确定删除这笔销售和它的全部明细吗?"), QStringLiteral("Warning"),
                                    toolkit::Icon::Information))
        return;
    activities::deleteSale(Frm_Data->Connection, Qry_Sale);
}

void TFrm_Sale::N4Click() {
    if (Qry_Sale->currentRow() < 0) {
        toolkit::dialogs().message(QStringLiteral("请先选择一笔销售!"), QString(), toolkit::Icon::Information);
        return;
    }
    TFrm_AddSaleLine d(Qry_Sale, Qry_SaleLine, this);
    d.AddMode = true;
    toolkit::execModal(&d);
}

void TFrm_Sale::N5Click() {
    if (Qry_SaleLine->currentRow() < 0) return;
    TFrm_AddSaleLine d(Qry_Sale, Qry_SaleLine, this);
    d.AddMode = false;
    toolkit::execModal(&d);
}

void TFrm_Sale::N6Click() {
    if (Qry_SaleLine->currentRow() < 0) return;
    if (!toolkit::dialogs().confirm(QStringLiteral("确定删除这条销售明细吗?"), QStringLiteral("Warning"),
                                    toolkit::Icon::Information))
        return;
    activities::changeLines(Frm_Data->Connection, Qry_Sale, Qry_SaleLine, [this] { Qry_SaleLine->remove(); });
}
