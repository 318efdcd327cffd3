#include "customers/U_AddContact.h"

TFrm_AddContact* Frm_AddContact = nullptr;

TFrm_AddContact::TFrm_AddContact(QWidget* parent) : QDialog(parent) { Frm_AddContact = this; }
TFrm_AddContact::~TFrm_AddContact() {
    if (Frm_AddContact == this) Frm_AddContact = nullptr;
}
