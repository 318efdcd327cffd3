#pragma once
// The contact editor: adds contacts to a customer, or edits the current
// contact of the shared contact list.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "toolkit/EditorDialog.h"
#include "toolkit/Navigator.h"

// A date with a check box in front: unchecked means "no date given". Picking
// or typing a date checks the box.
class CheckDatePicker : public QWidget {
    Q_OBJECT
public:
    explicit CheckDatePicker(QWidget* parent = nullptr);

    QDate date() const { return Edit->date(); }
    // Shows d and checks the box.
    void setDate(const QDate& d);
    bool checked() const { return Check->isChecked(); }
    void setChecked(bool on);

    QCheckBox* Check;
    QDateEdit* Edit;

private:
    void showState();
    bool setting_ = false;
};

class TFrm_AddContact : public toolkit::EditorDialog {
    Q_OBJECT
public:
    explicit TFrm_AddContact(QWidget* parent = nullptr);
    ~TFrm_AddContact() override;

    void FormShow();
    // Why a contact is not saved when the customer the list offered is gone.
    static QString customerDeletedText();
    void Btn_OKClick();
    void Btn_ExitClick();
    void DBNavigator1Click();
    void Combo_CustChange();
    void Edit_EmailDblClick();

    int AddMode = 1;  // 1 add, otherwise edit

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLineEdit* Edit_Name;
    QCheckBox* CB_Main;
    QLabel* Label2;
    QComboBox* Combo_Cust;
    QLabel* Label3;
    QComboBox* Combo_Zw;
    QLabel* Label4;
    QComboBox* Combo_Depart;
    QLabel* Label5;
    QLineEdit* Edit_Email;
    QLabel* Label6;
    QLineEdit* Edit_Address;
    QLineEdit* Edit_PostCode;
    QLabel* Label7;
    QPlainTextEdit* Memo1;
    QLabel* Label8;
    QLineEdit* Edit_Tel;
    QLabel* Label9;
    QLineEdit* Edit_Mobile;
    QLabel* Label10;
    QLineEdit* Edit_HomeTel;
    QLabel* Label11;
    QLineEdit* Edit_Fax;
    QLabel* Label12;
    CheckDatePicker* DateTimePicker1;
    toolkit::Navigator* DBNavigator1;
    QPushButton* Btn_OK;
    QPushButton* Btn_Exit;

protected:
    // Saves as the save button does, without closing: true when stored.
    bool saveFields() override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ClearEdits();
    void LoadContact();

    bool shown_ = false;
};

extern TFrm_AddContact* Frm_AddContact;
