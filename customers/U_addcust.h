#pragma once
// The customer editor: adds customers one after another, or edits the
// current customer of the shared customer list.
#include <QDialog>
#include <QLineEdit>

class TFrm_AddCust : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_AddCust(QWidget* parent = nullptr);
    ~TFrm_AddCust() override;

    int AddMode = 1;       // 1 add, otherwise edit
    QString CategoryCode;  // Edit_Category shows the name, never the code
    QLineEdit* Edit_Category;
};

extern TFrm_AddCust* Frm_AddCust;
