#pragma once
// The two editors of the sales window: one sale (its customer, date, number
// and note) and one line of a sale (product, quantity, unit price). Each adds
// a row to, or edits the current row of, the record set it is given.
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "activities/CustomerFinder.h"
#include "toolkit/EditorDialog.h"

namespace db {
class Query;
}

class TFrm_AddSale : public toolkit::EditorDialog {
    Q_OBJECT
public:
    TFrm_AddSale(db::Query* sales, QWidget* parent = nullptr);

    void FormShow();
    void Btn_OKClick();
    void Btn_ExitClick();

    bool AddMode = true;

    QGroupBox* GroupBox1;
    QLabel *Label1, *Label2, *Label3, *Label4;
    QComboBox* Combo_Cust;
    QDateEdit* DateTimePicker1;
    QLineEdit* Edit_No;
    QPlainTextEdit* Memo1;
    QPushButton* Btn_OK;
    QPushButton* Btn_Exit;
    activities::CustomerBox* Customers;

protected:
    // Saves as the save button does, without closing: true when stored.
    bool saveFields() override;
    void showEvent(QShowEvent* e) override;

private:
    void loadSale();
    db::Query* sales_;
    bool shown_ = false;
};

class TFrm_AddSaleLine : public toolkit::EditorDialog {
    Q_OBJECT
public:
    TFrm_AddSaleLine(db::Query* sales, db::Query* lines, QWidget* parent = nullptr);

    void FormShow();
    void Btn_OKClick();
    void Btn_ExitClick();
    // Shows quantity times price as the amount.
    void ShowAmount();

    bool AddMode = true;

    QGroupBox* GroupBox1;
    QLabel *Label1, *Label2, *Label3, *Label4;
    QLineEdit* Edit_Product;
    QLineEdit* Edit_Quantity;
    QLineEdit* Edit_Price;
    QLineEdit* Edit_Amount;
    QPushButton* Btn_OK;
    QPushButton* Btn_Exit;

protected:
    // Saves as the save button does, without closing: true when stored.
    bool saveFields() override;
    void showEvent(QShowEvent* e) override;

private:
    void clearEntry();
    void loadLine();
    db::Query* sales_;
    db::Query* lines_;
    bool shown_ = false;
};
