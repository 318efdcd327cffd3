#pragma once
// The daily log editor: adds entries to the shared log list, or edits the
// entry under its cursor; the navigator moves that cursor.
#include <QDateEdit>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "toolkit/EditorDialog.h"
#include "toolkit/Navigator.h"

class TFrm_AddDaily : public toolkit::EditorDialog {
    Q_OBJECT
public:
    explicit TFrm_AddDaily(QWidget* parent = nullptr);
    ~TFrm_AddDaily() override;

    void FormShow();
    void DBNavigator1Click();
    void Btn_OKClick();
    void Btn_ExitClick();

    bool AddMode = true;

    QGroupBox* GroupBox1;
    QLabel* Label2;
    QLineEdit* Edit_Subject;
    QLabel* Label3;
    QDateEdit* DateTimePicker1;
    QLabel* Label1;
    QPlainTextEdit* Memo1;
    toolkit::Navigator* DBNavigator1;
    QPushButton* Btn_OK;
    QPushButton* Btn_Exit;

protected:
    // Saves as the save button does, without closing: true when stored.
    bool saveFields() override;
    void showEvent(QShowEvent* e) override;

private:
    void ShowEntry();
    void ClearEntry();
    bool shown_ = false;
};

// Whether the log list has an entry to edit; says so when it has none.
bool dailyEntryToEdit();

extern TFrm_AddDaily* Frm_AddDaily;
