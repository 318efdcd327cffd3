#include "app/U_Main.h"

#include <QScreen>
#include <QTimer>

#include <QCoreApplication>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QUrl>

#include "app/BackupCommands.h"
#include "app/U_data.h"
#include "app/U_OpenDb.h"
#include "app/U_login.h"
#include "toolkit/DataGrid.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/GroupBar.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"
#include "toolkit/Modal.h"

TFrm_Main* Frm_Main = nullptr;

namespace {
// Where "E-Mail Support" and "Visit our website" lead.
const char* const kSupportMail = "mailto:support@tallix.example.com?subject=Tallix";
const char* const kWebSite = "https://www.tallix.example.com/";
}  // namespace

QString FileOpenDialog::execute() const { return toolkit::dialogs().openFile(title, filter); }

// ---- construction ---------------------------------------------------------

TFrm_Main::TFrm_Main(QWidget* parent) : QMainWindow(parent) {
    if (!Frm_Main) Frm_Main = this;
    setObjectName(QStringLiteral("Frm_Main"));
    resize(771, 471);
    toolkit::centreOnScreen(this);
    MdiArea = new QMdiArea(this);
    MdiArea->setBackground(QColor(0x80, 0x80, 0x80));
    setCentralWidget(MdiArea);

    OpenDialog1 = {QStringLiteral("Open"),
                   QStringLiteral("Excel Files (*.xls *.xlsx *.xlsm *.ods *.csv *.txt);;"
                                  "Excel Workbooks (*.xlsx *.xlsm);;Excel 97-2003 Workbooks (*.xls);;"
                                  "OpenDocument Spreadsheets (*.ods);;Text Files (*.csv *.txt);;All Files (*)")};
    OpenDialog2 = {QStringLiteral("Open"), QStringLiteral("Database files (*.db);;All Files (*)")};

    buildCommands();
    buildMenus();
    buildToolBar();
    buildGroupBar();
    buildStatusBar();
}

TFrm_Main::~TFrm_Main() {
    // Child windows may call back into us while being destroyed.
    MdiArea->closeAllSubWindows();
    if (Frm_Main == this) Frm_Main = nullptr;
}

QAction* TFrm_Main::command(const QString& name, void (TFrm_Main::*handler)()) {
    auto* a = new QAction(name, this);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, [this, handler] { toolkit::guarded([&] { (this->*handler)(); }); });
    ActionList1 << a;
    return a;
}

void TFrm_Main::buildCommands() {
    AddCust = command(QStringLiteral("AddCust"), &TFrm_Main::AddCustExecute);
    EditCust = command(QStringLiteral("EditCust"), &TFrm_Main::EditCustExecute);
    DelCust = command(QStringLiteral("DelCust"), &TFrm_Main::DelCustExecute);
    AddContact = command(QStringLiteral("AddContact"), &TFrm_Main::AddContactExecute);
    EditContact = command(QStringLiteral("EditContact"), &TFrm_Main::EditContactExecute);
    DelContact = command(QStringLiteral("DelContact"), &TFrm_Main::DelContactExecute);
    SearchCust = command(QStringLiteral("SearchCust"), &TFrm_Main::SearchCustExecute);
    PreviewCustEnv = command(QStringLiteral("PreviewCustEnv"), &TFrm_Main::PreviewCustEnvExecute);
    PreviewCustBasic = command(QStringLiteral("PreviewCustBasic"), &TFrm_Main::PreviewCustBasicExecute);
    PrintCustEnv = command(QStringLiteral("PrintCustEnv"), &TFrm_Main::PrintCustEnvExecute);
    PrintCustBasic = command(QStringLiteral("PrintCustBasic"), &TFrm_Main::PrintCustBasicExecute);
    Help = command(QStringLiteral("Help"), &TFrm_Main::HelpExecute);
    SetPrint_Cust = command(QStringLiteral("SetPrint_Cust"), &TFrm_Main::SetPrint_CustExecute);
    SetPrint_User = command(QStringLiteral("SetPrint_User"), &TFrm_Main::SetPrint_UserExecute);
    ShowField_Cust = command(QStringLiteral("ShowField_Cust"), &TFrm_Main::ShowField_CustExecute);
    ExportEmail = command(QStringLiteral("ExportEmail"), &TFrm_Main::ExportEmailExecute);
    PreviewCustBar = command(QStringLiteral("PreviewCustBar"), &TFrm_Main::PreviewCustBarExecute);
    PrintCustBar = command(QStringLiteral("PrintCustBar"), &TFrm_Main::PrintCustBarExecute);
    PreviewCust = command(QStringLiteral("PreviewCust"), &TFrm_Main::PreviewCustExecute);
    PrintCust = command(QStringLiteral("PrintCust"), &TFrm_Main::PrintCustExecute);
    Cust_CustContact = command(QStringLiteral("Cust_CustContact"), &TFrm_Main::Cust_CustContactExecute);
    Cust_Cust = command(QStringLiteral("Cust_Cust"), &TFrm_Main::Cust_CustExecute);
    Cust_Contact = command(QStringLiteral("Cust_Contact"), &TFrm_Main::Cust_ContactExecute);
    Main_Schedule = command(QStringLiteral("Main_Schedule"), &TFrm_Main::Main_ScheduleExecute);
    Main_Daily = command(QStringLiteral("Main_Daily"), &TFrm_Main::Main_DailyExecute);
    Main_Sale = command(QStringLiteral("Main_Sale"), &TFrm_Main::Main_SaleExecute);
    AddDaily = command(QStringLiteral("AddDaily"), &TFrm_Main::AddDailyExecute);
    EditDaily = command(QStringLiteral("EditDaily"), &TFrm_Main::EditDailyExecute);
    DelDaily = command(QStringLiteral("DelDaily"), &TFrm_Main::DelDailyExecute);
    AddSchedule = command(QStringLiteral("AddSchedule"), &TFrm_Main::AddScheduleExecute);
    EditSchedule = command(QStringLiteral("EditSchedule"), &TFrm_Main::EditScheduleExecute);
    DelSchedule = command(QStringLiteral("DelSchedule"), &TFrm_Main::DelScheduleExecute);
    MyCust = command(QStringLiteral("MyCust"), &TFrm_Main::MyCustExecute);
    FindDupCust = command(QStringLiteral("FindDupCust"), &TFrm_Main::FindDupCustExecute);
    UndoImport = command(QStringLiteral("UndoImport"), &TFrm_Main::UndoImportExecute);
}

QAction* TFrm_Main::item(QMenu* menu, const QString& name, const QString& caption,
                         void (TFrm_Main::*handler)(), QAction* act) {
    // A "-" item is a separator; it keeps no text, which some styles would
    // draw across the line.
    const bool separator = caption == QLatin1String("-");
    auto* a = new QAction(separator ? QString() : caption, this);
    a->setObjectName(name);
    if (separator) a->setSeparator(true);
    if (act) {
        // A menu item bound to a command runs that command.
        connect(a, &QAction::triggered, act, &QAction::trigger);
    } else if (handler) {
        connect(a, &QAction::triggered, this,
                [this, handler] { toolkit::guarded([&] { (this->*handler)(); }); });
    }
    menu->addAction(a);
    return a;
}

void TFrm_Main::buildMenus() {
    QMenuBar* bar = menuBar();
    auto menu = [&](const QString& name, const QString& caption) {
        QMenu* m = bar->addMenu(caption);
        m->setObjectName(name);
        m->menuAction()->setObjectName(name);
        return m;
    };
    const QString sep = QStringLiteral("-");

    N1 = menu(QStringLiteral("N1"), QStringLiteral("System"));
    N29 = item(N1, QStringLiteral("N29"), QStringLiteral("User Management"), &TFrm_Main::N29Click);
    N31 = item(N1, QStringLiteral("N31"), QStringLiteral("Change Password"), &TFrm_Main::N31Click);
    N32 = item(N1, QStringLiteral("N32"), QStringLiteral("Submit"), &TFrm_Main::N32Click);
    N30 = item(N1, QStringLiteral("N30"), sep);
    N28 = item(N1, QStringLiteral("N28"), QStringLiteral("Other Management"), &TFrm_Main::N28Click);
    N43 = item(N1, QStringLiteral("N43"), QStringLiteral("Category Management"), &TFrm_Main::N43Click);
    N7 = item(N1, QStringLiteral("N7"), QStringLiteral("Compony Information"), &TFrm_Main::N7Click);
    N9 = item(N1, QStringLiteral("N9"), QStringLiteral("Field Show"), nullptr, ShowField_Cust);
    N8 = item(N1, QStringLiteral("N8"), sep);
    N8->setVisible(false);
    {
        QMenu* imp = new QMenu(QStringLiteral("Import Data"), this);
        sss1 = item(imp, QStringLiteral("sss1"), QStringLiteral("从Excel导入客户记录"), &TFrm_Main::sss1Click);
        Excel2 = item(imp, QStringLiteral("Excel2"), QStringLiteral("从Excel导入联系人记录"), &TFrm_Main::Excel2Click);
        N39 = N1->addMenu(imp);
        N39->setObjectName(QStringLiteral("N39"));
        QMenu* exp = new QMenu(QStringLiteral("Export Data"), this);
        sss2 = item(exp, QStringLiteral("sss2"), QStringLiteral("导出客户为Excel文件"), &TFrm_Main::sss2Click);
        Excel1 = item(exp, QStringLiteral("Excel1"), QStringLiteral("导出联系人为Excel文件"), &TFrm_Main::Excel1Click);
        N40 = N1->addMenu(exp);
        N40->setObjectName(QStringLiteral("N40"));
    }
    N61 = item(N1, QStringLiteral("N61"), QStringLiteral("Undo Last Import"), nullptr, UndoImport);
    N41 = item(N1, QStringLiteral("N41"), sep);
    N50 = item(N1, QStringLiteral("N50"), QStringLiteral("Open Database"), &TFrm_Main::N50Click);
    N51 = item(N1, QStringLiteral("N51"), QStringLiteral("Backup Database…"), &TFrm_Main::N51Click);
    N59 = item(N1, QStringLiteral("N59"), QStringLiteral("Restore Database…"), &TFrm_Main::N59Click);
    N26 = item(N1, QStringLiteral("N26"), QStringLiteral("Envelop Format Setup"), &TFrm_Main::N26Click);
    N45 = item(N1, QStringLiteral("N45"), sep);
    N2 = item(N1, QStringLiteral("N2"), QStringLiteral("&Exit"), &TFrm_Main::N2Click);
    N2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    N3 = menu(QStringLiteral("N3"), QStringLiteral("Edit"));
    N14 = item(N3, QStringLiteral("N14"), QStringLiteral("Add Customer"), nullptr, AddCust);
    N15 = item(N3, QStringLiteral("N15"), QStringLiteral("Edit Customer"), nullptr, EditCust);
    N16 = item(N3, QStringLiteral("N16"), QStringLiteral("Del customer"));
    N17 = item(N3, QStringLiteral("N17"), sep);
    N34 = item(N3, QStringLiteral("N34"), QStringLiteral("Add Contactor"), nullptr, AddContact);
    N35 = item(N3, QStringLiteral("N35"), QStringLiteral("Edit Contactor"), nullptr, EditContact);
    N36 = item(N3, QStringLiteral("N36"), QStringLiteral("Del Contactor"), nullptr, DelContact);
    N37 = item(N3, QStringLiteral("N37"), sep);
    EMail1 = item(N3, QStringLiteral("EMail1"), QStringLiteral("Export Customer E-Mail"), &TFrm_Main::EMail1Click);
    N62 = item(N3, QStringLiteral("N62"), sep);
    N63 = item(N3, QStringLiteral("N63"), QStringLiteral("Find Duplicate Customers"), nullptr, FindDupCust);

    N4 = menu(QStringLiteral("N4"), QStringLiteral("Search"));
    N20 = item(N4, QStringLiteral("N20"), QStringLiteral("Customer Search"), nullptr, SearchCust);

    N5 = menu(QStringLiteral("N5"), QStringLiteral("Report"));
    N21 = item(N5, QStringLiteral("N21"), QStringLiteral("Envelop Print"), nullptr, PreviewCustEnv);
    N21->setVisible(false);
    N22 = item(N5, QStringLiteral("N22"), QStringLiteral("Customer Information"), nullptr, PreviewCust);
    N47 = item(N5, QStringLiteral("N47"), QStringLiteral("Customer Basic Information  Print"), nullptr, PreviewCust);
    N47->setVisible(false);
    N42 = item(N5, QStringLiteral("N42"), QStringLiteral("Envelop Label "), nullptr, PreviewCustBar);
    N56 = item(N5, QStringLiteral("N56"), QStringLiteral("Customer Basic Information"), nullptr, PreviewCustBasic);

    N52 = menu(QStringLiteral("N52"), QStringLiteral("Activities"));
    N53 = item(N52, QStringLiteral("N53"), QStringLiteral("Daily Work Log"), nullptr, Main_Daily);
    N54 = item(N52, QStringLiteral("N54"), QStringLiteral("Schedules"), nullptr, Main_Schedule);
    N55 = item(N52, QStringLiteral("N55"), QStringLiteral("Sales"), nullptr, Main_Sale);

    N6 = menu(QStringLiteral("N6"), QStringLiteral("Help"));
    N10 = item(N6, QStringLiteral("N10"), QStringLiteral("Help"), nullptr, Help);
    N10->setShortcut(QKeySequence(Qt::Key_F1));
    N33 = item(N6, QStringLiteral("N33"), sep);
    N12 = item(N6, QStringLiteral("N12"), QStringLiteral("E-Mail Support"), &TFrm_Main::N12Click);
    N11 = item(N6, QStringLiteral("N11"), QStringLiteral("Visit our website"), &TFrm_Main::N11Click);
    N18 = item(N6, QStringLiteral("N18"), sep);
    N13 = item(N6, QStringLiteral("N13"), QStringLiteral("About us "), &TFrm_Main::N13Click);

    Menu_Print = new QMenu(this);
    Menu_Print->setObjectName(QStringLiteral("Menu_Print"));
    N38 = item(Menu_Print, QStringLiteral("N38"), QStringLiteral("Customer Infomatuin"), nullptr, PrintCust);
    N49 = item(Menu_Print, QStringLiteral("N49"), QStringLiteral("Customer Envelop Label"), nullptr, PrintCustBar);
    N57 = item(Menu_Print, QStringLiteral("N57"), QStringLiteral("Customer Basic Information"), nullptr, PrintCustBasic);
    Menu_Preview = new QMenu(this);
    Menu_Preview->setObjectName(QStringLiteral("Menu_Preview"));
    N23 = item(Menu_Preview, QStringLiteral("N23"), QStringLiteral("Customer Infomation"), nullptr, PreviewCust);
    N48 = item(Menu_Preview, QStringLiteral("N48"), QStringLiteral("Customer Envelop Label"), nullptr, PreviewCustBar);
    N58 = item(Menu_Preview, QStringLiteral("N58"), QStringLiteral("Customer Basic Information"), nullptr, PreviewCustBasic);
}

void TFrm_Main::buildToolBar() {
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(24, 24));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto button = [&](const QString& name, const QString& caption, const QString& icon, QAction* act) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(name);
        b->setText(caption);
        b->setIcon(toolkit::drawnIcon(icon));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setAutoRaise(true);
        b->setMinimumWidth(65);
        if (act) connect(b, &QToolButton::clicked, act, &QAction::trigger);
        ToolBar1->addWidget(b);
        return b;
    };
    // The body of the two drop-down buttons does nothing; their arrow opens the menu.
    ToolButton7 = button(QStringLiteral("ToolButton7"), QStringLiteral("  Print"), QStringLiteral("print"), nullptr);
    ToolButton7->setMenu(Menu_Print);
    ToolButton7->setPopupMode(QToolButton::MenuButtonPopup);
    ToolButton6 = button(QStringLiteral("ToolButton6"), QStringLiteral("Preview"), QStringLiteral("preview"), nullptr);
    ToolButton6->setMenu(Menu_Preview);
    ToolButton6->setPopupMode(QToolButton::MenuButtonPopup);
    ToolBar1->addSeparator();
    ToolButton1 = button(QStringLiteral("ToolButton1"), QStringLiteral(" Add"), QStringLiteral("add"), AddCust);
    ToolButton2 = button(QStringLiteral("ToolButton2"), QStringLiteral(" Edit"), QStringLiteral("edit"), EditCust);
    ToolButton4 = button(QStringLiteral("ToolButton4"), QStringLiteral("Delete"), QStringLiteral("delete"), DelCust);
    ToolBar1->addSeparator();
    ToolButton5 = button(QStringLiteral("ToolButton5"), QStringLiteral("Search"), QStringLiteral("search"), SearchCust);
    ToolBar1->addSeparator();
    ToolButton11 = button(QStringLiteral("ToolButton11"), QStringLiteral("Help"), QStringLiteral("help"), Help);
}

void TFrm_Main::buildGroupBar() {
    auto* dock = new QDockWidget(this);
    dock->setObjectName(QStringLiteral("GroupBarDock"));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setTitleBarWidget(new QWidget(dock));
    RzGroupBar1 = new toolkit::GroupBar(dock);
    RzGroupBar1->setObjectName(QStringLiteral("RzGroupBar1"));
    RzGroupBar1->setFixedWidth(166);
    dock->setWidget(RzGroupBar1);
    addDockWidget(Qt::LeftDockWidgetArea, dock);
    RzGroup1 = RzGroupBar1->addGroup(QStringLiteral("Customer"));
    RzGroup1->setObjectName(QStringLiteral("RzGroup1"));
    RzGroup1->setOpened(true);
    const struct {
        const char* icon;
        const char* text;
        QAction* act;
    } entries[] = {{"custcontact", "Customer && Contactor", Cust_CustContact},
                   {"customers", "Customer List", Cust_Cust},
                   {"contacts", "Contactor List", Cust_Contact},
                   {"mycust", "My Customer", MyCust}};
    for (const auto& e : entries) {
        QToolButton* b = RzGroup1->addItem(toolkit::drawnIcon(QString::fromLatin1(e.icon)),
                                           QString::fromLatin1(e.text));
        connect(b, &QToolButton::clicked, e.act, &QAction::trigger);
    }
}

void TFrm_Main::buildStatusBar() {
    const int widths[3] = {150, 250, 50};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(this);
        StatusPanels[i]->setMinimumWidth(widths[i]);
        StatusPanels[i]->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        // The last panel holds the program's path: let it take the rest.
        statusBar()->addWidget(StatusPanels[i], i == 2 ? 1 : 0);
    }
    // Notes that must stay in view: where a file was written, that the
    // database is open for reading only.
    StatusNote = new QLabel(this);
    StatusNote->setObjectName(QStringLiteral("StatusNote"));
    StatusNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addPermanentWidget(StatusNote);
}

void TFrm_Main::setStatusNote(const QString& text) {
    StatusNote->setText(text);
    StatusNote->setToolTip(text);
}

void TFrm_Main::showAtStart() {
    // The normal size is 771 x 471 in the middle of the screen: restoring
    // the maximised window brings it there, title bar and all in view.
    resize(771, 471);
    toolkit::centreOnScreen(this);
    showMaximized();
    // Without a window manager nothing maximises it: it fills the screen.
    QTimer::singleShot(400, this, [this] {
        const QScreen* s = screen();
        if (s && isMaximized() && width() < s->availableGeometry().width() / 2)
            setGeometry(s->availableGeometry());
    });
}

// ---- registry ---------------------------------------------------------------

QHash<QString, TFrm_Main::WindowFactory>& TFrm_Main::factories() {
    static QHash<QString, WindowFactory> f;
    return f;
}

void TFrm_Main::registerWindow(const QString& className, WindowFactory factory) {
    factories().insert(className, std::move(factory));
}

QHash<QString, std::function<void()>>& TFrm_Main::actions() {
    static QHash<QString, std::function<void()>> a;
    return a;
}

void TFrm_Main::registerAction(const QString& name, std::function<void()> action) {
    actions().insert(name, std::move(action));
}

bool TFrm_Main::runAction(const QString& name) {
    const auto a = actions().constFind(name);
    if (a == actions().constEnd()) return false;
    (*a)();
    return true;
}

QWidget* TFrm_Main::openWindow(const QString& className) const {
    return open_.value(className).data();
}

bool TFrm_Main::openDialog(const QString& className, const QVariant& arg, bool single) {
    if (single && openWindow(className)) return false;
    const auto f = factories().find(className);
    if (f == factories().end()) return false;
    QWidget* w = (*f)(this, arg);
    auto* d = qobject_cast<QDialog*>(w);
    if (!d) {
        delete w;
        return false;
    }
    QPointer<QDialog> guard(d);
    open_.insert(className, d);
    // Destroyed when it closes, however the dialog ends.
    struct Release {
        QPointer<QDialog>& d;
        ~Release() { delete d.data(); }
    } release{guard};
    toolkit::execModal(d);
    return true;
}

QWidget* TFrm_Main::openReport(const QString& className, bool print) {
    const auto f = factories().find(className);
    if (f == factories().end()) return nullptr;
    return (*f)(this, print);
}

QWidget* TFrm_Main::ShowChildForm(const QString& className, QWidget** reference) {
    for (QMdiSubWindow* sub : MdiArea->subWindowList()) {
        QWidget* w = sub->widget();
        if (!w || QLatin1String(w->metaObject()->className()) != className) continue;
        if (sub->isMinimized()) sub->showNormal();
        else if (sub->isHidden()) sub->show();
        sub->raise();
        MdiArea->setActiveSubWindow(sub);
        w->setFocus();
        if (reference) *reference = w;
        return w;
    }
    const auto f = factories().find(className);
    if (f == factories().end()) return nullptr;
    QWidget* w = (*f)(MdiArea, QVariant());
    if (!w) return nullptr;
    // A child that chose its frame (a browser without a close box) keeps it;
    // the frame belongs to the MDI window, the child itself becomes plain.
    const bool maximized = w->windowState() & Qt::WindowMaximized;
    Qt::WindowFlags frame;
    if (w->windowType() == Qt::SubWindow) {
        frame = w->windowFlags();
        w->setWindowFlags(Qt::Widget);
    }
    QMdiSubWindow* sub = MdiArea->addSubWindow(w, frame);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    if (maximized) sub->showMaximized();
    else sub->show();
    if (reference) *reference = w;
    return w;
}

BrowserView* TFrm_Main::browser() const {
    for (QMdiSubWindow* sub : MdiArea->subWindowList())
        if (auto* b = dynamic_cast<BrowserView*>(sub->widget())) return b;
    return nullptr;
}

void LoadFieldColumns(db::Query* show, const db::Statement& sql, toolkit::DataGrid* grid, db::Query* data,
                      int maxColumns) {
    grid->clearColumns();
    show->close();
    show->setSql(sql);
    show->open();
    int added = 0;
    for (show->first(); !show->eof() && added != maxColumns; show->next(), ++added) {
        const QString field = show->asString(QStringLiteral("Field"));
        grid->addColumn(field, int(show->field(QStringLiteral("Width")).asInteger()));
        // A column for a field the record set lacks stays empty rather than failing.
        if (data->fieldIndex(field) >= 0) data->setDisplayLabel(field, show->asString(QStringLiteral("Name")));
    }
}

void TFrm_Main::ApplyFieldShow(toolkit::DataGrid* grid, db::Query* query, const QString& tableName) {
    LoadFieldColumns(Frm_Data->Qry_FieldShow,
                     db::Statement(QStringLiteral("select * from T_FieldShow where show=1 and TableName=:table "
                                                  "order by ShowID"))
                         .bind(QStringLiteral("table"), tableName),
                     grid, query);
}

// ---- life ---------------------------------------------------------------------

void TFrm_Main::setStatusText(int panel, const QString& text) {
    if (panel >= 0 && panel < 3) StatusPanels[panel]->setText(text);
}

QString TFrm_Main::statusText(int panel) const {
    return panel >= 0 && panel < 3 ? StatusPanels[panel]->text() : QString();
}

void TFrm_Main::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

void TFrm_Main::LoadSoftInfo() {
    db::Query* q = Frm_Data->Qry_SoftInfo;
    q->close();
    q->setSql(QStringLiteral("select * from T_SoftInfo"));
    q->open();
    SoftName = q->asString(QStringLiteral("SoftName"));
    SoftVersion = q->asString(QStringLiteral("Version"));
    RootCategory = Frm_Data->ConfigIni->readString(QStringLiteral("Config"), QStringLiteral("Category"), QString());
    setStatusText(2, QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
}

void TFrm_Main::FormShow() {
    LoadSoftInfo();
    setWindowTitle(SoftName + SoftVersion);
    // Said once at the start; kept in view for as long as it holds.
    if (Frm_Data && Frm_Data->Connection->readOnly())
        setStatusNote(QStringLiteral("Read only: %1; changes cannot be saved.")
                          .arg(Frm_Data->Connection->readOnlyReason()));
    ShowChildForm(QStringLiteral("TFrm_Custom"));
}

void TFrm_Main::FillComboById(db::Query* query, QComboBox* combo, const QString& table) {
    fillLookupCombo(query, combo, table, QStringLiteral("id"));
}

// ---- commands that open windows ---------------------------------------------

void TFrm_Main::AddCustExecute() { openDialog(QStringLiteral("TFrm_AddCust"), 1); }
void TFrm_Main::EditCustExecute() { openDialog(QStringLiteral("TFrm_AddCust"), 0); }
void TFrm_Main::AddContactExecute() { openDialog(QStringLiteral("TFrm_AddContact"), 1, false); }
void TFrm_Main::EditContactExecute() {
    if (Frm_Data->Qry_Contact->isEmpty()) return;
    openDialog(QStringLiteral("TFrm_AddContact"), 0, false);
}
void TFrm_Main::SearchCustExecute() { openDialog(QStringLiteral("TFrm_S_Cust")); }
void TFrm_Main::FindDupCustExecute() { openDialog(QStringLiteral("TFrm_Duplicates")); }
void TFrm_Main::UndoImportExecute() { runAction(QStringLiteral("UndoLastImport")); }
void TFrm_Main::PreviewCustEnvExecute() {}
void TFrm_Main::PrintCustEnvExecute() {}
void TFrm_Main::ExportEmailExecute() {}
void TFrm_Main::PreviewCustBasicExecute() { openReport(QStringLiteral("TFrm_R_CustBasic"), false); }
void TFrm_Main::PrintCustBasicExecute() { openReport(QStringLiteral("TFrm_R_CustBasic"), true); }
void TFrm_Main::PreviewCustBarExecute() { openReport(QStringLiteral("TFrm_R_CustBar"), false); }
void TFrm_Main::PrintCustBarExecute() { openReport(QStringLiteral("TFrm_R_CustBar"), true); }
void TFrm_Main::PreviewCustExecute() { openReport(QStringLiteral("TFrm_R_Cust"), false); }
void TFrm_Main::PrintCustExecute() { openReport(QStringLiteral("TFrm_R_Cust"), true); }
void TFrm_Main::SetPrint_CustExecute() { openDialog(QStringLiteral("TFrm_Print"), QStringLiteral("Custom"), false); }
void TFrm_Main::SetPrint_UserExecute() { openDialog(QStringLiteral("TFrm_Print"), QStringLiteral("Contact"), false); }
void TFrm_Main::ShowField_CustExecute() { openDialog(QStringLiteral("TFrm_Field"), QStringLiteral("Custom")); }
void TFrm_Main::Main_ScheduleExecute() { ShowChildForm(QStringLiteral("TFrm_Schedule")); }
void TFrm_Main::Main_DailyExecute() { ShowChildForm(QStringLiteral("TFrm_Daily")); }
void TFrm_Main::Main_SaleExecute() { ShowChildForm(QStringLiteral("TFrm_Sale")); }
void TFrm_Main::AddDailyExecute() { openDialog(QStringLiteral("TFrm_AddDaily"), 1, false); }
void TFrm_Main::EditDailyExecute() { openDialog(QStringLiteral("TFrm_AddDaily"), 0, false); }
void TFrm_Main::AddScheduleExecute() { openDialog(QStringLiteral("TFrm_AddSchedule"), 1, false); }
void TFrm_Main::EditScheduleExecute() { openDialog(QStringLiteral("TFrm_AddSchedule"), 0, false); }

void TFrm_Main::HelpExecute() {
    toolkit::dialogs().openUrl(QUrl::fromLocalFile(Frm_Data->places().helpFile()));
}

// ---- menu items handled here ------------------------------------------------

void TFrm_Main::N29Click() {
    if (openWindow(QStringLiteral("TFrm_AddUser"))) return;
    if (UserPermit != 0) {
        toolkit::dialogs().message(QStringLiteral("You Cant see the project!"), QStringLiteral("Warning"),
                                   toolkit::Icon::Information);
        return;
    }
    openDialog(QStringLiteral("TFrm_AddUser"));
}

void TFrm_Main::N31Click() { openDialog(QStringLiteral("TFrm_ChangePass")); }

void TFrm_Main::N32Click() {
    // A successful login replaces the current user; anything else changes nothing.
    TFrm_Login login(this);
    toolkit::execModal(&login);
}

void TFrm_Main::N28Click() { openDialog(QStringLiteral("TFrm_Other")); }
void TFrm_Main::N43Click() { openDialog(QStringLiteral("TFrm_Tree"), 0, false); }
void TFrm_Main::N7Click() { openDialog(QStringLiteral("TFrm_Softinfo")); }
void TFrm_Main::EMail1Click() { openDialog(QStringLiteral("TFrm_Email")); }
void TFrm_Main::N26Click() { openDialog(QStringLiteral("TFrm_EnvelopSetup")); }
void TFrm_Main::N13Click() { openDialog(QStringLiteral("TFrm_About"), QVariant(), false); }

void TFrm_Main::N50Click() {
    // A database file or a database server, kept for the next start.
    TFrm_OpenDb d(this);
    toolkit::execModal(&d);
}

void TFrm_Main::N51Click() { backupDatabaseCommand(); }

void TFrm_Main::N59Click() {
    // The restored data takes effect at the next start, as the message said.
    if (restoreDatabaseCommand()) N2Click();
}

void TFrm_Main::N12Click() { toolkit::dialogs().openUrl(QUrl(QString::fromLatin1(kSupportMail))); }
void TFrm_Main::N11Click() { toolkit::dialogs().openUrl(QUrl(QString::fromLatin1(kWebSite))); }

void TFrm_Main::N2Click() {
    close();
    QCoreApplication::quit();
}

// The import window is made with its workbook: the factory reads the chosen
// file, records its headers and pairs the mapping, or says why it cannot.
void TFrm_Main::sss1Click() {
    OpenDialog1.title = QStringLiteral("Excel file import to database");
    const QString file = toolkit::dialogs().openFile(OpenDialog1.title, OpenDialog1.filter,
                                                     Frm_Data->places().documentsDir());
    if (file.isEmpty()) return;
    openDialog(QStringLiteral("TFrm_Import"), QStringList{QStringLiteral("custom"), file}, false);
}
void TFrm_Main::Excel2Click() {
    OpenDialog1.title = QStringLiteral("From Excel file import to database");
    const QString file = toolkit::dialogs().openFile(OpenDialog1.title, OpenDialog1.filter,
                                                     Frm_Data->places().documentsDir());
    if (file.isEmpty()) return;
    openDialog(QStringLiteral("TFrm_Import"), QStringList{QStringLiteral("contact"), file}, false);
}
void TFrm_Main::sss2Click() { openDialog(QStringLiteral("TFrm_Export"), true, false); }
void TFrm_Main::Excel1Click() { openDialog(QStringLiteral("TFrm_Export"), false, false); }
