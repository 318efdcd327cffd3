#pragma once
// The two field choosers (shown grid columns, printed fields) are one dialog:
// two lists of field titles from T_FieldShow, buttons that move titles
// between them, and OK storing one 0/1 flag per title. Each window supplies
// its texts, the flag column and its limit.
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include "app/db/Query.h"

class FieldFlagDialog : public QDialog {
    Q_OBJECT
public:
    struct Texts {
        QString caption;
        QString unflagged;      // heading of the left list (flag 0)
        QString flagged;        // heading of the right list (flag 1)
        QString flagColumn;     // "show" or "Print"
        int limit = -1;         // most titles the right list may hold; -1 for no limit
        QString tooMany;        // said when the limit is passed
        QString finished;       // said after storing
        bool moveAllButtons = false;  // ">>" and "<<" besides ">" and "<"
    };

    FieldFlagDialog(const Texts& texts, QWidget* parent = nullptr);
    ~FieldFlagDialog() override;

    // Set by the opener before the dialog is shown: whose rows are edited.
    QString TableName;

    void FormShow();
    void UpdateButtons();
    // Moves every selected title of from, last first, to the end of to.
    void MoveSelected(QListWidget* from, QListWidget* to);
    void SP_rightClick();
    void SrcListDblClick();
    void SP_leftClick();
    void DstListDblClick();
    void SP_allrightClick();
    void SP_allleftClick();
    void Btn_okClick();
    void Btn_exitClick();

    QLabel* Panel1;
    QListWidget* SrcList;
    QLabel* Panel2;
    QListWidget* DstList;
    QToolButton* SP_right;
    QToolButton* SP_allright = nullptr;
    QToolButton* SP_left;
    QToolButton* SP_allleft = nullptr;
    QPushButton* Btn_ok;
    QPushButton* Btn_exit;
    db::Query* Qry_src;
    db::Query* Qry_Dst;
    db::Query* Qry_temp;

protected:
    // Runs once on every way the dialog closes.
    virtual void FormClose() {}
    void showEvent(QShowEvent* e) override;
    void done(int r) override;

private:
    void fill(QListWidget* list, db::Query* q, int flag);
    db::Statement update(int flag, const QString& title) const;

    Texts texts_;
    bool shown_ = false;
    bool closing_ = false;
};
