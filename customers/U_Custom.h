#pragma once
// The customer browser: the working window inside the main window, showing
// the shared customer list, the contacts of the current customer and the
// category tree. It edits nothing itself; its menus call the main window's
// commands.
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTreeWidget>
#include <QWidget>

#include "app/U_Main.h"
#include "toolkit/DataGrid.h"

// The grids hold at most this many columns each.
constexpr int kMaxGridColumns = 17;

class TFrm_Custom : public QWidget, public BrowserView {
    Q_OBJECT
public:
    explicit TFrm_Custom(QWidget* parent = nullptr);
    ~TFrm_Custom() override;

    void FormCreate();
    void FormShow();
    void FormClose();

    void TreeView1DblClick();
    void Btn_S_CustClick();
    void Edit_KeyKeyDown(int key);
    void Btn_S_ContactClick();
    void Edit_NameKeyDown(int key);
    void DBGrid1DblClick();
    void DBGrid1KeyDown(int key);
    void DBGridEh1DblClick();
    void DBGridEh1KeyDown(int key);
    void N6Click();   // Refresh
    void IP1Click();  // sort by ID
    void N14Click();  // sort by company
    void N15Click();  // sort by tel
    void Email1Click();

    // Rebuilds both grids' columns from the shown-field settings and writes
    // the record counts into the main window's status bar.
    void LoadGridColumns();
    // Writes the customer and contact counts into the main window's status bar.
    void ShowCounts();
    void ShowLayout(Layout layout) override;

    QWidget* CoolBar1;
    QWidget* Panel1;  // band 0: company search
    QLabel* Label1;
    QLineEdit* Edit_Key;
    QPushButton* Btn_S_Cust;
    QWidget* Panel5;  // band 1: contact search
    QLabel* Label2;
    QLineEdit* Edit_Name;
    QPushButton* Btn_S_Contact;

    QSplitter* Splitter1;
    QTreeWidget* TreeView1;
    QSplitter* Splitter2;
    QTabWidget* Page_Cust;
    QWidget* TabSheet1;
    toolkit::DataGrid* DBGrid1;
    QTabWidget* Page_Contact;
    QWidget* TabSheet2;
    toolkit::DataGrid* DBGridEh1;

    QMenu* PopupMenu2;
    QAction *N3, *N4, *N5, *N8, *N6, *N7, *Email1, *N1, *N441, *N2, *N16;
    QMenu* N13;
    QAction *IP1, *N14, *N15;
    QMenu* PopupMenu3;
    QAction *add1, *N9, *N10, *N11, *N12;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool shown_ = false;
};

// Reopens the shared contact list with its current statement.
void RefreshContacts();

extern TFrm_Custom* Frm_Custom;
