#include "customers/U_addcust.h"

TFrm_AddCust* Frm_AddCust = nullptr;

TFrm_AddCust::TFrm_AddCust(QWidget* parent) : QDialog(parent) {
    Frm_AddCust = this;
    Edit_Category = new QLineEdit(this);
}
TFrm_AddCust::~TFrm_AddCust() {
    if (Frm_AddCust == this) Frm_AddCust = nullptr;
}
