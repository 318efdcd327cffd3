#include "customers/U_S_Cust.h"

TFrm_S_Cust* Frm_S_Cust = nullptr;

TFrm_S_Cust::TFrm_S_Cust(QWidget* parent) : QDialog(parent) {
    Frm_S_Cust = this;
    Edit_cate = new QLineEdit(this);
}
TFrm_S_Cust::~TFrm_S_Cust() {
    if (Frm_S_Cust == this) Frm_S_Cust = nullptr;
}
