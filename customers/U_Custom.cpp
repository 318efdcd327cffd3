#include "customers/U_Custom.h"

#include "app/U_data.h"

TFrm_Custom* Frm_Custom = nullptr;

TFrm_Custom::TFrm_Custom(QWidget* parent) : QWidget(parent) {
    Frm_Custom = this;
    TreeView1 = new QTreeWidget(this);
}
TFrm_Custom::~TFrm_Custom() {
    if (Frm_Custom == this) Frm_Custom = nullptr;
}
void TFrm_Custom::FormCreate() {}
void TFrm_Custom::FormShow() {}
void TFrm_Custom::FormClose() {}
void TFrm_Custom::TreeView1DblClick() {}
void TFrm_Custom::Btn_S_CustClick() {}
void TFrm_Custom::Edit_KeyKeyDown(int) {}
void TFrm_Custom::Btn_S_ContactClick() {}
void TFrm_Custom::Edit_NameKeyDown(int) {}
void TFrm_Custom::DBGrid1DblClick() {}
void TFrm_Custom::DBGrid1KeyDown(int) {}
void TFrm_Custom::DBGridEh1DblClick() {}
void TFrm_Custom::DBGridEh1KeyDown(int) {}
void TFrm_Custom::N6Click() {}
void TFrm_Custom::IP1Click() {}
void TFrm_Custom::N14Click() {}
void TFrm_Custom::N15Click() {}
void TFrm_Custom::Email1Click() {}
void TFrm_Custom::LoadGridColumns() {}
void TFrm_Custom::ShowLayout(Layout) {}
void TFrm_Custom::showEvent(QShowEvent* e) { QWidget::showEvent(e); }
void TFrm_Custom::closeEvent(QCloseEvent* e) { QWidget::closeEvent(e); }
bool TFrm_Custom::eventFilter(QObject* w, QEvent* e) { return QWidget::eventFilter(w, e); }

void RefreshContacts() {
    db::Query* c = Frm_Data->Qry_Contact;
    c->close();
    c->open();
}
