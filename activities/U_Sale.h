#pragma once
// The sales window: a child window of the main window with the sales above
// (filtered by the customer's name) and the lines of the selected sale
// below. Closing it only minimises it.
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QWidget>

#include "app/db/Query.h"
#include "toolkit/DataGrid.h"

class TFrm_Sale : public QWidget {
    Q_OBJECT
public:
    explicit TFrm_Sale(QWidget* parent = nullptr);
    ~TFrm_Sale() override;

    void FormCreate();
    void FormShow();
    // Lists the sales whose customer's name holds the key.
    void Btn_S_CustClick();
    void Edit_KeyKeyDown(int key);
    void N1Click();  // new sale
    void N2Click();  // edit sale
    void N3Click();  // delete sale
    void N4Click();  // new line
    void N5Click();  // edit line
    void N6Click();  // delete line

    QWidget* CoolBar1;
    QWidget* Panel1;
    QLabel* Label1;
    QLineEdit* Edit_Key;
    QPushButton* Btn_S_Cust;
    QSplitter* Splitter1;
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    toolkit::DataGrid* DBGrid1;
    QTabWidget* PageControl2;
    QWidget* TabSheet2;
    toolkit::DataGrid* DBGrid2;
    QMenu* PopupMenu1;
    QAction *N1, *N2, *N3;
    QMenu* PopupMenu2;
    QAction *N4, *N5, *N6;

    db::Query* Qry_Sale;
    toolkit::DataSource* DS_Sale;
    db::Query* Qry_SaleLine;
    toolkit::DataSource* DS_SaleLine;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void openSales(const db::Statement& sql);
    void loadColumns(toolkit::DataGrid* grid, db::Query* q, const QString& tableName);
    bool shown_ = false;
};

extern TFrm_Sale* Frm_Sale;
