#pragma once
// The customer search: any combination of sixteen criteria becomes the
// statement of the shared customer list.
#include <QDialog>
#include <QLineEdit>

class TFrm_S_Cust : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_S_Cust(QWidget* parent = nullptr);
    ~TFrm_S_Cust() override;

    QLineEdit* Edit_cate;
};

extern TFrm_S_Cust* Frm_S_Cust;
