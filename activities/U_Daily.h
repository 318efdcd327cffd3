#pragma once
// The daily work log: a child window of the main window listing log entries
// (the user's own when it opens, every author's after a search). It edits
// nothing itself; its menu and double-click run the main window's commands.
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QWidget>

#include "app/db/Statement.h"
#include "toolkit/DataGrid.h"

class TFrm_Daily : public QWidget {
    Q_OBJECT
public:
    explicit TFrm_Daily(QWidget* parent = nullptr);
    ~TFrm_Daily() override;

    void FormShow();
    void Btn_SearchClick();
    void Edit_KeyKeyDown(int key);
    void N1Click();
    void N2Click();
    void N3Click();
    void DBGrid1DblClick();

    QWidget* CoolBar1;
    QWidget* Panel1;
    QLabel* Label1;
    QLineEdit* Edit_Key;
    QPushButton* Btn_Search;
    toolkit::DataGrid* DBGrid1;
    QMenu* PopupMenu1;
    QAction *N1, *N2, *N3;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void LoadColumns();
    bool shown_ = false;
};

// The statement the list opens with: the logged-in user's entries by date.
db::Statement ownDailyEntries();

extern TFrm_Daily* Frm_Daily;
