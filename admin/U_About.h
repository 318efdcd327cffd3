#pragma once
// The About box: product and version, the maker's web and mail links, and
// the name of the user's own company.
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

class TFrm_About : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_About(QWidget* parent = nullptr);
    ~TFrm_About() override;

    void FormShow();
    void Label3Click();
    void lbl_urlClick();
    void Label3MouseMove();
    void lbl_urlMouseMove();
    void Label3MouseLeave();
    void lbl_urlMouseLeave();
    void Button1Click();

    // Where the two links lead (the main window's Help menu uses the same).
    static QString webAddress();
    static QString mailAddress();

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label8;
    QLabel* Label3;  // web address
    QLabel* Label7;
    QLabel* lbl_url;  // mail address
    QPlainTextEdit* Memo1;
    QFrame* Bevel1;
    QPushButton* Button1;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
};

extern TFrm_About* Frm_About;
