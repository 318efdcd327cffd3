#pragma once
// The customer editor: adds customers one after another, or edits the
// current customer of the shared customer list.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include "app/db/Query.h"
#include "toolkit/EditorDialog.h"
#include "toolkit/Navigator.h"

class TFrm_AddCust : public toolkit::EditorDialog {
    Q_OBJECT
public:
    explicit TFrm_AddCust(QWidget* parent = nullptr);
    ~TFrm_AddCust() override;

    void FormShow();
    void Btn_OKClick();
    void Bit_ExitClick();
    void Combo_CountryChange();
    void Combo_ProvinceChange();
    void Combo_TypeChange();
    void Combo_FromChange();
    void Btn_LookupClick();
    void DBNavigator1Click();
    void Btn_AddClick();
    void Edit_UrlDblClick();
    void Edit_EmailDblClick();

    int AddMode = 1;       // 1 add, otherwise edit
    QString CategoryCode;  // Edit_Category shows the name, never the code

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLineEdit* Edit_Com;
    QLabel* Label11;
    QComboBox* Combo_Type;
    QLabel* Label14;
    QLineEdit* Edit_Category;
    QToolButton* Btn_Lookup;
    QLabel* Label2;
    QComboBox* Combo_Country;
    QLabel* Label3;
    QComboBox* Combo_Province;
    QLabel* Label4;
    QLineEdit* Edit_City;
    QLabel* Label5;
    QLineEdit* Edit_Address;
    QLabel* Label15;
    QLineEdit* Edit_Zip;
    QLabel* Label6;
    QLineEdit* Edit_tel;
    QLabel* Label7;
    QLineEdit* Edit_Fax;
    QLabel* Label10;
    QLineEdit* Edit_Income;
    QLabel* Label8;
    QLineEdit* Edit_Email;
    QLabel* Label9;
    QLineEdit* Edit_Url;
    QLabel* Label12;
    QComboBox* Combo_From;
    QLabel* Label13;
    QPlainTextEdit* Memo1;
    toolkit::Navigator* DBNavigator1;
    QPushButton* Btn_Add;
    QPushButton* Btn_OK;
    QPushButton* Bit_Exit;
    db::Query* Qry_Repeat;

protected:
    // Saves as the save button does, without closing: true when stored.
    bool saveFields() override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ClearEdits();
    void LoadCustomer();
    // Writes the controls into the row being appended or edited, in the
    // column order of the mode.
    void setColumns(db::Query* q, bool adding);
    void remember(const QString& key, QComboBox* box);

    bool shown_ = false;
};

extern TFrm_AddCust* Frm_AddCust;
