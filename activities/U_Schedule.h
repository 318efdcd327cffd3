#pragma once
// The schedule list: a child window of the main window listing the planned
// contact activities of every user. Its menu runs the main window's commands.
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QWidget>

#include "app/db/Statement.h"
#include "toolkit/DataGrid.h"

class TFrm_Schedule : public QWidget {
    Q_OBJECT
public:
    explicit TFrm_Schedule(QWidget* parent = nullptr);
    ~TFrm_Schedule() override;

    void FormShow();
    // Lists the activities whose subject, description or customer holds the key.
    void Btn_S_CustClick();
    void Edit_KeyKeyDown(int key);
    void N1Click();
    void N2Click();
    void N3Click();
    void DBGrid1DblClick();

    QWidget* CoolBar1;
    QWidget* Panel1;
    QLabel* Label1;
    QLineEdit* Edit_Key;
    QPushButton* Btn_S_Cust;
    toolkit::DataGrid* DBGrid1;
    QMenu* PopupMenu1;
    QAction *N1, *N2, *N3;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void openList(const db::Statement& sql);
    bool shown_ = false;
};

extern TFrm_Schedule* Frm_Schedule;
