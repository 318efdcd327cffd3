#pragma once
// The main window: a frame around the MDI area, owning the current user and
// the named commands that the menus, buttons and other windows invoke.
//
// Windows of the other subsystems are not known here: each subsystem
// registers a factory per window class (see registerWindow), and the commands
// open windows by class name. A command whose window is not registered does
// nothing.
#include <QAction>
#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>
#include <QToolBar>
#include <QToolButton>
#include <functional>

#include "app/db/Query.h"

class QComboBox;
class QMenu;
class QMdiSubWindow;
namespace toolkit {
class DataGrid;
class GroupBar;
class GroupBarGroup;
}  // namespace toolkit

// What the record-view commands need of the open customer browser.
class BrowserView {
public:
    enum class Layout { CustContact, CustOnly, ContactOnly };
    virtual ~BrowserView() = default;
    virtual void ShowLayout(Layout layout) = 0;
};

// A file-open dialog component: a title and a filter, run through the dialog service.
struct FileOpenDialog {
    QString title;
    QString filter;
    // The chosen file, or empty text when cancelled.
    QString execute() const;
};

class TFrm_Main : public QMainWindow {
    Q_OBJECT
public:
    explicit TFrm_Main(QWidget* parent = nullptr);
    ~TFrm_Main() override;

    // ---- window registry -------------------------------------------------
    // arg is the command's setting for the new window: AddMode for the
    // editors, the table name for the field choosers, true for print (false
    // for preview) for the reports.
    using WindowFactory = std::function<QWidget*(QWidget* parent, const QVariant& arg)>;
    static void registerWindow(const QString& className, WindowFactory factory);
    // An action of another subsystem that a command runs without a window
    // of its own (it may still ask and tell through the dialog service).
    static void registerAction(const QString& name, std::function<void()> action);
    // Runs a registered action; false when none is registered under name.
    bool runAction(const QString& name);

    // Creates a registered dialog, runs it modally and destroys it. With
    // single set, nothing happens while a window of that class opened here
    // still exists. Returns false when nothing was shown.
    bool openDialog(const QString& className, const QVariant& arg = QVariant(), bool single = true);
    // Creates a registered report window; the window lives on by itself.
    QWidget* openReport(const QString& className, bool print);
    // The window of that class that openDialog opened and that still exists.
    QWidget* openWindow(const QString& className) const;

    // ---- operations offered to other windows -----------------------------
    // Shows, restores or creates the one MDI child window of a class.
    QWidget* ShowChildForm(const QString& className, QWidget** reference = nullptr);
    void ApplyFieldShow(toolkit::DataGrid* grid, db::Query* query, const QString& tableName);
    void LoadSoftInfo();
    void FillComboById(db::Query* query, QComboBox* combo, const QString& table);
    // The open customer browser, if any.
    BrowserView* browser() const;

    void FormShow();
    void setStatusText(int panel, const QString& text);
    // A note at the right of the status bar that stays until replaced.
    void setStatusNote(const QString& text);
    QString statusNote() const { return StatusNote->text(); }
    // Shows the window at the start: maximised, its normal place 771 x 471
    // in the middle of the screen.
    void showAtStart();
    QString statusText(int panel) const;

    // ---- commands of ActionList1 -----------------------------------------
    void AddCustExecute();
    void EditCustExecute();
    void DelCustExecute();
    void AddContactExecute();
    void EditContactExecute();
    void DelContactExecute();
    void SearchCustExecute();
    void PreviewCustEnvExecute();
    void PreviewCustBasicExecute();
    void PrintCustEnvExecute();
    void PrintCustBasicExecute();
    void HelpExecute();
    void SetPrint_CustExecute();
    void SetPrint_UserExecute();
    void ShowField_CustExecute();
    void ExportEmailExecute();
    void PreviewCustBarExecute();
    void PrintCustBarExecute();
    void PreviewCustExecute();
    void PrintCustExecute();
    void Cust_CustContactExecute();
    void Cust_CustExecute();
    void Cust_ContactExecute();
    void Main_ScheduleExecute();
    void Main_DailyExecute();
    void Main_SaleExecute();
    void AddDailyExecute();
    void EditDailyExecute();
    void DelDailyExecute();
    void AddScheduleExecute();
    void EditScheduleExecute();
    void DelScheduleExecute();
    void MyCustExecute();
    void FindDupCustExecute();
    void UndoImportExecute();

    // ---- menu items handled here directly -------------------------------
    void N29Click();     // User Management
    void N31Click();     // Change Password
    void N32Click();     // Submit
    void N28Click();     // Other Management
    void N43Click();     // Category Management
    void N7Click();      // Compony Information
    void EMail1Click();  // Export Customer E-Mail
    void N13Click();     // About us
    void N50Click();     // Open Database
    void N51Click();     // Backup Database…
    void N59Click();     // Restore Database…
    void N12Click();     // E-Mail Support
    void N11Click();     // Visit our website
    void N26Click();     // Envelop Format Setup
    void N2Click();      // Exit
    void sss1Click();    // import customers
    void Excel2Click();  // import contacts
    void sss2Click();    // export customers
    void Excel1Click();  // export contacts

    // ---- state -----------------------------------------------------------
    QString UserName;
    int UserPermit = 0;
    // The login name exactly as chosen at the last successful login (not
    // trimmed, not shortened): the password change finds its row by it.
    QString LoginName;
    QString SoftName;
    QString SoftVersion;
    QString RootCategory;

    // ---- components ------------------------------------------------------
    QMdiArea* MdiArea;
    QLabel* StatusPanels[3];
    QLabel* StatusNote;

    // Commands, in the order of the action list.
    QAction *AddCust, *EditCust, *DelCust, *AddContact, *EditContact, *DelContact, *SearchCust,
        *PreviewCustEnv, *PreviewCustBasic, *PrintCustEnv, *PrintCustBasic, *Help, *SetPrint_Cust,
        *SetPrint_User, *ShowField_Cust, *ExportEmail, *PreviewCustBar, *PrintCustBar, *PreviewCust,
        *PrintCust, *Cust_CustContact, *Cust_Cust, *Cust_Contact, *Main_Schedule, *Main_Daily,
        *Main_Sale, *AddDaily, *EditDaily, *DelDaily, *AddSchedule, *EditSchedule, *DelSchedule,
        *MyCust, *FindDupCust, *UndoImport;
    QList<QAction*> ActionList1;

    // Main menu.
    QMenu *N1, *N3, *N4, *N5, *N6;
    QAction *N29, *N31, *N32, *N30, *N28, *N43, *N7, *N9, *N8, *N39, *N40, *N41, *N50, *N51, *N26,
        *N45, *N2;
    QAction *sss1, *Excel2, *sss2, *Excel1;
    QAction* N59;  // Restore Database…
    QAction *N14, *N15, *N16, *N17, *N34, *N35, *N36, *N37, *EMail1;
    QAction* N20;
    QAction *N21, *N22, *N47, *N42;
    QAction *N10, *N33, *N12, *N11, *N18, *N13;
    // Entries added so that every window can be reached from the menus: the
    // Activities menu (daily log, schedules, sales) and the basic report.
    QMenu* N52;
    QAction *N53, *N54, *N55, *N56;
    // Edit: "Find Duplicate Customers" after a separator; System: "Undo Last Import".
    QAction *N63, *N62, *N61;

    // Tool bar and its drop-down menus.
    QToolBar* ToolBar1;
    QToolButton *ToolButton7, *ToolButton6, *ToolButton1, *ToolButton2, *ToolButton4, *ToolButton5,
        *ToolButton11;
    QMenu *Menu_Print, *Menu_Preview;
    QAction *N38, *N49, *N23, *N48, *N57, *N58;

    // Group bar.
    toolkit::GroupBar* RzGroupBar1;
    toolkit::GroupBarGroup* RzGroup1;

    FileOpenDialog OpenDialog1;
    FileOpenDialog OpenDialog2;

protected:
    void showEvent(QShowEvent* e) override;

private:
    QAction* command(const QString& name, void (TFrm_Main::*handler)());
    QAction* item(QMenu* menu, const QString& name, const QString& caption,
                  void (TFrm_Main::*handler)() = nullptr, QAction* act = nullptr);
    void buildCommands();
    void buildMenus();
    void buildToolBar();
    void buildGroupBar();
    void buildStatusBar();

    static QHash<QString, WindowFactory>& factories();
    static QHash<QString, std::function<void()>>& actions();
    QHash<QString, QPointer<QWidget>> open_;
    bool shown_ = false;
};

// Rebuilds grid's columns from the shown-field rows that show (a query on
// T_FieldShow) selects with sql, in their order, at most maxColumns of them
// (all when negative): width and title from each row, the title set as the
// display label of that field of data.
void LoadFieldColumns(db::Query* show, const db::Statement& sql, toolkit::DataGrid* grid, db::Query* data,
                      int maxColumns = -1);

extern TFrm_Main* Frm_Main;
