#pragma once
// Lets the logged-in user, whatever their level, change their own password.
// The old one is checked where passwords are kept (the file's hash, or the
// server), never read back.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>


class TFrm_ChangePass : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_ChangePass(QWidget* parent = nullptr);
    ~TFrm_ChangePass() override;

    void FormCreate();
    void Btn_okClick();
    void btn_exitClick();

    // Shown when the logged-in user's row is no longer in table admin.
    static QString noUserText(const QString& name);

    QLabel* Label1;
    QLineEdit* Edit_oldpass;
    QLabel* Label2;
    QLineEdit* Edit_newpass;
    QLabel* Label3;
    QLineEdit* Edit_pass;
    QPushButton* Btn_ok;
    QPushButton* btn_exit;
};

extern TFrm_ChangePass* Frm_ChangePass;
