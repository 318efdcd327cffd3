#pragma once
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/db/Query.h"

class TFrm_Login : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Login(QWidget* parent = nullptr);

    void FormCreate();
    void FormShow();
    void Btn_okClick();
    void Btn_ExitClick();

    QLabel* Image1;
    QLabel* Label2;
    QLabel* Label4;
    QLabel* Label1;
    QComboBox* ComboBox1;
    QLabel* Label3;
    QLineEdit* Edit2;
    QPushButton* Btn_ok;
    QPushButton* Btn_Exit;
    db::Query* ADOQuery1 = nullptr;
    db::Query* Qry_login = nullptr;

    bool LoginOK = false;
    QString StoredPassword;

protected:
    void showEvent(QShowEvent* e) override;
};
