#include "customers/U_Custom.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/U_data.h"
#include "app/db/Statement.h"
#include "customers/U_tree.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"
#include "toolkit/WaitCursor.h"

TFrm_Custom* Frm_Custom = nullptr;

namespace {

// The grids hold at most this many columns each.
constexpr int kMaxGridColumns = 17;

QAction* popupItem(QMenu* menu, QWidget* shortcutScope, const QString& name, const QString& caption,
                   const QKeySequence& key, std::function<void()> handler) {
    auto* a = new QAction(caption, menu);
    a->setObjectName(name);
    if (!key.isEmpty()) {
        a->setShortcut(key);
        // The shortcut works while the grid (or its window) has the focus.
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        shortcutScope->addAction(a);
    }
    if (handler)
        QObject::connect(a, &QAction::triggered, menu, [handler] { toolkit::guarded(handler); });
    menu->addAction(a);
    return a;
}

QAction* separator(QMenu* menu, const QString& name) {
    QAction* a = menu->addSeparator();
    a->setObjectName(name);
    return a;
}

using SearchBusy = toolkit::SearchBusy<QPushButton>;

// Runs a command of the main window, if there is one.
void mainCommand(void (TFrm_Main::*cmd)()) {
    if (Frm_Main) (Frm_Main->*cmd)();
}

}  // namespace

// ---- construction ---------------------------------------------------------------

TFrm_Custom::TFrm_Custom(QWidget* parent) : QWidget(parent) {
    Frm_Custom = this;
    setObjectName(QStringLiteral("Frm_Custom"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(toolkit::drawnIcon(QStringLiteral("customers")));
    // No system menu, hence no close box: the browser stays open until the program ends.
    setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
    setWindowState(Qt::WindowMaximized);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // The band bar: company search (band 0) and contact search (band 1).
    CoolBar1 = new QFrame(this);
    CoolBar1->setObjectName(QStringLiteral("CoolBar1"));
    static_cast<QFrame*>(CoolBar1)->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    auto* bands = new QHBoxLayout(CoolBar1);
    bands->setContentsMargins(4, 1, 4, 1);
    bands->setSpacing(12);
    auto band = [&](QWidget*& panel, QLabel*& label, const QString& caption, QLineEdit*& edit,
                    QPushButton*& button) {
        panel = new QWidget(CoolBar1);
        auto* h = new QHBoxLayout(panel);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(6);
        label = new QLabel(caption, panel);
        edit = new QLineEdit(panel);
        edit->setFixedWidth(200);
        label->setBuddy(edit);
        button = new QPushButton(toolkit::drawnIcon(QStringLiteral("search")), QStringLiteral("Search"), panel);
        button->setAutoDefault(false);
        h->addWidget(label);
        h->addWidget(edit);
        h->addWidget(button);
        bands->addWidget(panel);
    };
    band(Panel1, Label1, QStringLiteral("Please input company name"), Edit_Key, Btn_S_Cust);
    band(Panel5, Label2, QStringLiteral("Please input contactor name"), Edit_Name, Btn_S_Contact);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel5->setObjectName(QStringLiteral("Panel5"));
    bands->addStretch(1);
    Panel5->hide();
    root->addWidget(CoolBar1);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    TreeView1 = new QTreeWidget(Splitter1);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setMinimumWidth(60);
    // Keeps the chosen category visible while the grids have the focus.
    TreeView1->setStyleSheet(QStringLiteral(
        "QTreeWidget::item:selected:!active { background: palette(highlight); color: palette(highlighted-text); }"));

    Splitter2 = new QSplitter(Qt::Vertical, Splitter1);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setChildrenCollapsible(false);
    auto page = [&](QTabWidget*& tabs, QWidget*& sheet, toolkit::DataGrid*& grid, const QString& caption,
                    toolkit::DataSource* ds) {
        tabs = new QTabWidget(Splitter2);
        sheet = new QWidget(tabs);
        auto* v = new QVBoxLayout(sheet);
        v->setContentsMargins(0, 0, 0, 0);
        grid = new toolkit::DataGrid(sheet);
        grid->setDataSource(ds);
        grid->setContextMenuPolicy(Qt::CustomContextMenu);
        grid->installEventFilter(this);
        v->addWidget(grid);
        tabs->addTab(sheet, caption);
    };
    page(Page_Cust, TabSheet1, DBGrid1, QStringLiteral("Customer Information"), Frm_Data->DS_Cust);
    page(Page_Contact, TabSheet2, DBGridEh1, QStringLiteral("Contactor Information"), Frm_Data->DS_Contact);
    Page_Cust->setObjectName(QStringLiteral("Page_Cust"));
    Page_Contact->setObjectName(QStringLiteral("Page_Contact"));
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    Splitter2->setStretchFactor(0, 0);
    Splitter2->setStretchFactor(1, 1);
    Splitter2->setSizes({260, 300});
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({148, 800});
    root->addWidget(Splitter1, 1);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    N3 = popupItem(PopupMenu2, DBGrid1, QStringLiteral("N3"), QStringLiteral("Add"), QKeySequence(Qt::CTRL | Qt::Key_A),
                   [] { mainCommand(&TFrm_Main::AddCustExecute); });
    N4 = popupItem(PopupMenu2, DBGrid1, QStringLiteral("N4"), QStringLiteral("Edit"), QKeySequence(Qt::CTRL | Qt::Key_E),
                   [] { mainCommand(&TFrm_Main::EditCustExecute); });
    N5 = popupItem(PopupMenu2, DBGrid1, QStringLiteral("N5"), QStringLiteral("Delete"), QKeySequence(Qt::CTRL | Qt::Key_D),
                   [] { mainCommand(&TFrm_Main::DelCustExecute); });
    N8 = separator(PopupMenu2, QStringLiteral("N8"));
    N6 = popupItem(PopupMenu2, this, QStringLiteral("N6"), QStringLiteral("Refresh"), QKeySequence(Qt::Key_F5),
                   [this] { N6Click(); });
    N7 = separator(PopupMenu2, QStringLiteral("N7"));
    Email1 = popupItem(PopupMenu2, DBGrid1, QStringLiteral("Email1"), QStringLiteral("Export Customer E-mail"), {},
                       [this] { Email1Click(); });
    N1 = separator(PopupMenu2, QStringLiteral("N1"));
    N441 = popupItem(PopupMenu2, DBGrid1, QStringLiteral("N441"), QStringLiteral("Select Print Field"), {},
                     [] { mainCommand(&TFrm_Main::SetPrint_CustExecute); });
    N2 = popupItem(PopupMenu2, DBGrid1, QStringLiteral("N2"), QStringLiteral("Select Show Field"), {},
                   [] { mainCommand(&TFrm_Main::ShowField_CustExecute); });
    N16 = separator(PopupMenu2, QStringLiteral("N16"));
    N13 = PopupMenu2->addMenu(QStringLiteral("Compositor"));
    N13->setObjectName(QStringLiteral("N13"));
    IP1 = popupItem(N13, DBGrid1, QStringLiteral("IP1"), QStringLiteral("ID"), {}, [this] { IP1Click(); });
    N14 = popupItem(N13, DBGrid1, QStringLiteral("N14"), QStringLiteral("Company"), {}, [this] { N14Click(); });
    N15 = popupItem(N13, DBGrid1, QStringLiteral("N15"), QStringLiteral("Tel"), {}, [this] { N15Click(); });

    PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    add1 = popupItem(PopupMenu3, DBGridEh1, QStringLiteral("add1"), QStringLiteral("Add  Contactor"),
                     QKeySequence(Qt::CTRL | Qt::Key_A), [] { mainCommand(&TFrm_Main::AddContactExecute); });
    N9 = popupItem(PopupMenu3, DBGridEh1, QStringLiteral("N9"), QStringLiteral("Edit Contactor"),
                   QKeySequence(Qt::CTRL | Qt::Key_E), [] { mainCommand(&TFrm_Main::EditContactExecute); });
    N10 = popupItem(PopupMenu3, DBGridEh1, QStringLiteral("N10"), QStringLiteral("Delete Contactor"),
                    QKeySequence(Qt::CTRL | Qt::Key_D), [] { mainCommand(&TFrm_Main::DelContactExecute); });
    N11 = separator(PopupMenu3, QStringLiteral("N11"));
    N12 = popupItem(PopupMenu3, DBGridEh1, QStringLiteral("N12"), QStringLiteral("Select Print Field"), {},
                    [] { mainCommand(&TFrm_Main::SetPrint_UserExecute); });

    connect(DBGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu2->popup(DBGrid1->viewport()->mapToGlobal(p)); });
    connect(DBGridEh1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu3->popup(DBGridEh1->viewport()->mapToGlobal(p)); });
    connect(DBGrid1, &toolkit::DataGrid::doubleClickedRow, this,
            [this] { toolkit::guarded([this] { DBGrid1DblClick(); }); });
    connect(DBGridEh1, &toolkit::DataGrid::doubleClickedRow, this,
            [this] { toolkit::guarded([this] { DBGridEh1DblClick(); }); });
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this,
            [this] { toolkit::guarded([this] { TreeView1DblClick(); }); });
    connect(Btn_S_Cust, &QPushButton::clicked, this, [this] { toolkit::guarded([this] { Btn_S_CustClick(); }); });
    connect(Btn_S_Contact, &QPushButton::clicked, this,
            [this] { toolkit::guarded([this] { Btn_S_ContactClick(); }); });
    connect(Edit_Key, &QLineEdit::returnPressed, this,
            [this] { toolkit::guarded([this] { Edit_KeyKeyDown(Qt::Key_Return); }); });
    connect(Edit_Name, &QLineEdit::returnPressed, this,
            [this] { toolkit::guarded([this] { Edit_NameKeyDown(Qt::Key_Return); }); });

    // The counts follow every change of the lists, whoever makes it: a view
    // command, a search, an editor, a delete.
    for (db::Query* q : {Frm_Data->Qry_Cust, Frm_Data->Qry_Contact}) {
        connect(q, &toolkit::RecordSource::resetDone, this, &TFrm_Custom::ShowCounts);
        connect(q, &toolkit::RecordSource::rowInserted, this, &TFrm_Custom::ShowCounts);
        connect(q, &toolkit::RecordSource::rowRemoved, this, &TFrm_Custom::ShowCounts);
    }

    FormCreate();
}

TFrm_Custom::~TFrm_Custom() {
    if (Frm_Custom == this) Frm_Custom = nullptr;
}

void TFrm_Custom::FormCreate() {
    setWindowTitle(QStringLiteral("Customer"));
    Edit_Key->clear();
    Edit_Name->clear();
}

// ---- life ---------------------------------------------------------------------------

void TFrm_Custom::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

void TFrm_Custom::FormShow() {
    db::Query* q = Frm_Data->Qry_Cust;
    q->close();
    q->setSql(QStringLiteral("Select * from custom"));
    q->open();
    Frm_Data->LinkContactDetail();
    CoolBar1->setFixedHeight(30);
    LoadGridColumns();
    FillCategoryTree(TreeView1);
}

void TFrm_Custom::closeEvent(QCloseEvent* e) {
    QWidget::closeEvent(e);
    if (e->isAccepted()) FormClose();
}

void TFrm_Custom::FormClose() {
    if (!Frm_Main) return;
    for (QAction* a : {Frm_Main->N9, Frm_Main->N14, Frm_Main->N15, Frm_Main->N16, Frm_Main->EMail1,
                       Frm_Main->N20, Frm_Main->N21, Frm_Main->N22})
        a->setEnabled(false);
    Frm_Main->setStatusText(1, QString());
}

bool TFrm_Custom::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == DBGrid1 || watched == DBGridEh1)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete) {
            toolkit::guarded([&] {
                if (watched == DBGrid1) DBGrid1KeyDown(key);
                else DBGridEh1KeyDown(key);
            });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- grids --------------------------------------------------------------------------

void TFrm_Custom::LoadGridColumns() {
    auto shown = [](const char* table) {
        return db::Statement(QStringLiteral("select * from T_FieldShow where show=1 and tableName=:table "
                                            "order by ShowID"))
            .bind(QStringLiteral("table"), QLatin1String(table));
    };
    LoadFieldColumns(Frm_Data->Qry_Show, shown("Custom"), DBGrid1, Frm_Data->Qry_Cust, kMaxGridColumns);
    LoadFieldColumns(Frm_Data->Qry_Show, shown("Contact"), DBGridEh1, Frm_Data->Qry_Contact, kMaxGridColumns);
    // With every field hidden a grid would be a blank area whose rows could
    // not be told apart: it then shows the name that identifies each row.
    if (DBGrid1->columnCountShown() == 0) DBGrid1->addColumn(QStringLiteral("Company"), 200);
    if (DBGridEh1->columnCountShown() == 0) DBGridEh1->addColumn(QStringLiteral("Name"), 120);
    if (DBGridEh1->columnCountShown() > 2) DBGridEh1->setCheckBoxColumn(2);
    ShowCounts();
}

void TFrm_Custom::ShowCounts() {
    if (Frm_Main)
        Frm_Main->setStatusText(1, QStringLiteral("Have ") + QString::number(Frm_Data->Qry_Cust->recordCount()) +
                                       QStringLiteral(" Customer Record   |   ") +
                                       QString::number(Frm_Data->Qry_Contact->recordCount()) +
                                       QStringLiteral(" Contactor"));
}

void RefreshContacts() {
    db::Query* c = Frm_Data->Qry_Contact;
    // The contact that was current stays current: the one just saved.
    const qlonglong key = c->currentKey();
    c->close();
    c->open();
    const int row = c->rowOfKey(key);
    if (row > 0) c->setCurrentRow(row);
}

void TFrm_Custom::DBGrid1DblClick() { mainCommand(&TFrm_Main::EditCustExecute); }
void TFrm_Custom::DBGridEh1DblClick() { mainCommand(&TFrm_Main::EditContactExecute); }

void TFrm_Custom::DBGrid1KeyDown(int key) {
    if (key == Qt::Key_Delete) mainCommand(&TFrm_Main::DelCustExecute);
}

void TFrm_Custom::DBGridEh1KeyDown(int key) {
    if (key == Qt::Key_Delete) mainCommand(&TFrm_Main::DelContactExecute);
}

// ---- filters ------------------------------------------------------------------------

void TFrm_Custom::TreeView1DblClick() {
    if (TreeView1->topLevelItemCount() == 0) return;
    QTreeWidgetItem* node = TreeView1->currentItem();
    if (!node) return;
    db::Query* q = Frm_Data->Qry_Cust;
    toolkit::WaitCursor wait;
    if (!node->parent()) {
        q->close();
        q->setSql(QStringLiteral("Select * from custom"));
        q->open();
        LoadGridColumns();
        return;
    }
    const QString text = node->text(0);
    const QString code = text.left(text.indexOf(QLatin1Char('-')));
    q->close();
    // The category with everything below it.
    q->setSql(db::Statement(QStringLiteral("Select * from custom where category like :code"))
                  .bind(QStringLiteral("code"), code + QStringLiteral("%")));
    q->open();
    LoadGridColumns();
}

void TFrm_Custom::Btn_S_CustClick() {
    const SearchBusy busy(Btn_S_Cust);
    db::Query* q = Frm_Data->Qry_Cust;
    q->close();
    q->setSql(db::Statement(QStringLiteral("Select * from custom where company like :pat"))
                  .bind(QStringLiteral("pat"), db::containsPattern(Edit_Key->text())));
    q->open();
    LoadGridColumns();
}

void TFrm_Custom::Edit_KeyKeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) Btn_S_CustClick();
}

void TFrm_Custom::Btn_S_ContactClick() {
    const SearchBusy busy(Btn_S_Contact);
    db::Query* c = Frm_Data->Qry_Contact;
    c->setMasterSource(nullptr);
    c->close();
    c->setSql(db::Statement(QStringLiteral("Select * from Contact where Name like :pat"))
                  .bind(QStringLiteral("pat"), db::containsPattern(Edit_Name->text())));
    c->open();
    LoadGridColumns();
}

void TFrm_Custom::Edit_NameKeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) Btn_S_ContactClick();
}

void TFrm_Custom::N6Click() {
    db::Query* q = Frm_Data->Qry_Cust;
    q->close();
    q->open();
    LoadGridColumns();
}

void TFrm_Custom::IP1Click() {
    toolkit::WaitCursor wait;
    Frm_Data->Qry_Cust->sortBy(QStringLiteral("CustID"));
}

void TFrm_Custom::N14Click() {
    toolkit::WaitCursor wait;
    Frm_Data->Qry_Cust->sortBy(QStringLiteral("company"));
}

void TFrm_Custom::N15Click() {
    toolkit::WaitCursor wait;
    Frm_Data->Qry_Cust->sortBy(QStringLiteral("tel"));
}

void TFrm_Custom::Email1Click() { mainCommand(&TFrm_Main::EMail1Click); }

// ---- layouts --------------------------------------------------------------------------

void TFrm_Custom::ShowLayout(Layout layout) {
    switch (layout) {
    case Layout::CustContact:
        Panel1->show();
        Panel5->hide();
        Page_Cust->show();
        Page_Contact->show();
        Splitter2->setSizes({260, qMax(100, Splitter2->height() - 260)});
        TreeView1->show();
        break;
    case Layout::CustOnly:
        Panel1->show();
        Panel5->hide();
        Page_Cust->show();
        Page_Contact->hide();
        TreeView1->show();
        break;
    case Layout::ContactOnly:
        Panel1->hide();
        Panel5->show();
        Page_Cust->hide();
        Page_Contact->show();
        TreeView1->hide();
        break;
    }
}
