#pragma once
// The customer search: any combination of sixteen criteria becomes the
// statement of the shared customer list.
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QToolButton>
#include <optional>

#include "app/db/Statement.h"

// The criteria as the user gave them. Texts are taken as typed (a text of
// blanks is a criterion); an empty text is no criterion. A date bound is
// used when it is set.
struct SearchCriteria {
    QString category;  // a category code: prefix match
    QString company, address, postcode, custType, country, province, from, city, introduce, tel, fax, url,
        email;  // substring matches
    std::optional<QDate> start, end;
};

// The twenty condition slots in statement order: 4, 13 and 18 stay empty,
// slot 19 holds all the others run together (empty when nothing is used).
QStringList SearchSlots(const SearchCriteria& c);
// "select * from [custom] where ...  ORDER BY CustID" over the filled slots
// 0 to 18; empty text when none is filled.
QString BuildSearchSql(const QStringList& conditions);
// That statement with the criteria's values bound to its parameters.
db::Statement SearchStatement(const SearchCriteria& c);
// True when an edit's text is not empty.
bool HasText(const QString& text);

// A date picker with a check box: the date counts only while checked.
class TDatePicker : public QWidget {
    Q_OBJECT
public:
    explicit TDatePicker(QWidget* parent = nullptr);
    bool checked() const { return CheckBox->isChecked(); }
    void setChecked(bool on) { CheckBox->setChecked(on); }
    QDate date() const { return DateEdit->date(); }
    void setDate(const QDate& d) { DateEdit->setDate(d); }

    QCheckBox* CheckBox;
    QDateEdit* DateEdit;
};

class TFrm_S_Cust : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_S_Cust(QWidget* parent = nullptr);
    ~TFrm_S_Cust() override;

    void FormCreate();
    void FormShow();
    void btn_okClick();
    void btn_resetClick();
    void btn_exitClick();
    void Btn_LookupClick();

    // The criteria the controls hold now.
    SearchCriteria criteria() const;

    QGroupBox* GroupBox1;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9, *Label10, *Label11,
        *Label12, *Label13, *Label14, *Label15, *Label16;
    QLineEdit* Edit_cate;
    QToolButton* Btn_Lookup;
    QLineEdit* Edit_custname;
    QLineEdit* Edit_address;
    QLineEdit* Edit_postcode;
    QComboBox* Combo_country;
    QComboBox* Combo_type;
    QComboBox* Combo_province;
    QLineEdit* Edit_city;
    QLineEdit* Edit_intro;
    QComboBox* Combo_from;
    QLineEdit* Edit_fax;
    QLineEdit* Edit_tel;
    QLineEdit* Edit_email;
    QLineEdit* Edit_url;
    TDatePicker* DateTimePicker1;  // start
    TDatePicker* DateTimePicker2;  // end
    QPushButton* btn_ok;
    QPushButton* btn_reset;
    QPushButton* btn_exit;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void ClearConditions();
};

extern TFrm_S_Cust* Frm_S_Cust;
