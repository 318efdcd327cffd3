#pragma once
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/db/Users.h"

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

    bool LoginOK = false;
    // The users the list shows, in its order. Their passwords are never
    // read: the database file's hashes are checked in the data layer, a
    // server checks its own.
    QVector<db::UserEntry> Users;

protected:
    void showEvent(QShowEvent* e) override;
};
