#pragma once
// "Open Database": which database the program opens at its next start, a
// database file or a database server. A server's address is tried before
// it is kept.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

class TFrm_OpenDb : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_OpenDb(QWidget* parent = nullptr);

    // Shows DBConn's present choice.
    void FormShow();
    void Btn_BrowseClick();
    // Tries the server's address and says how it went.
    void Btn_TestClick();
    // Keeps the choice in DBConn (a server only once it answered).
    void Btn_OKClick();
    // Cancelled: DBConn is emptied, so the next start opens the file beside
    // the program.
    void Btn_CancelClick();

    QRadioButton* RB_File;
    QLineEdit* Edit_File;
    QPushButton* Btn_Browse;
    QRadioButton* RB_Server;
    QLineEdit* Edit_Server;
    QLabel* Label_Hint;
    QPushButton* Btn_Test;
    QPushButton* Btn_OK;
    QPushButton* Btn_Cancel;

protected:
    void showEvent(QShowEvent* e) override;

private:
    // Empty text when the server answered and holds a Tallix database;
    // otherwise why not.
    static QString tryServer(const QString& address);
    static QString tryDatabase(const QString& connString);
    void updateEnabled();
    bool shown_ = false;
};
