#pragma once
// The own company's details: the one row of table info, held open by the
// data module as Qry_Custom (the About window shows its name).
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

class TFrm_Softinfo : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Softinfo(QWidget* parent = nullptr);
    ~TFrm_Softinfo() override;

    void FormCreate();
    void btn_okClick();
    void btn_exitClick();

    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6;
    QLineEdit* Edit_name;     // Company
    QLineEdit* Edit_user;     // Regname
    QLineEdit* Edit_address;  // Address
    QLineEdit* Edit_zip;      // Postcode
    QLineEdit* Edit_tel;      // tel
    QLineEdit* Edit_fax;      // fax
    QPushButton* btn_ok;
    QPushButton* btn_exit;
};

extern TFrm_Softinfo* Frm_Softinfo;
