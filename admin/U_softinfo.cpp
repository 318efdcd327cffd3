#include "admin/U_softinfo.h"

#include "app/EditLimits.h"
#include "app/U_data.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"

TFrm_Softinfo* Frm_Softinfo = nullptr;

TFrm_Softinfo::TFrm_Softinfo(QWidget* parent)
    : QDialog(parent) {
    Frm_Softinfo = this;
    toolkit::makeFixedDialog(this, 434, 268);

    const int lx = 28, ex = 104, top = 22, step = 34;
    auto row = [&](QLabel*& label, QLineEdit*& edit, const QString& caption, int i, int width) {
        label = new QLabel(caption, this);
        label->setGeometry(lx, top + i * step, 72, 22);
        edit = new QLineEdit(this);
        edit->setGeometry(ex, top + i * step - 1, width, 24);
        label->setBuddy(edit);
    };
    row(Label1, Edit_name, QStringLiteral("Company"), 0, 295);
    row(Label2, Edit_user, QStringLiteral("Contactor"), 1, 157);
    row(Label3, Edit_address, QStringLiteral("Address"), 2, 295);
    row(Label4, Edit_zip, QStringLiteral("Zip"), 3, 157);
    row(Label5, Edit_tel, QStringLiteral("Tel"), 4, 157);
    row(Label6, Edit_fax, QStringLiteral("Fax"), 5, 157);

    btn_ok = new QPushButton(QStringLiteral("Yes(&Y)"), this);
    btn_ok->setGeometry(223, 226, 84, 28);
    btn_ok->setDefault(true);
    btn_exit = new QPushButton(QStringLiteral("Exit(&E)"), this);
    btn_exit->setGeometry(315, 226, 84, 28);
    btn_exit->setAutoDefault(false);
    connect(btn_ok, &QPushButton::clicked, this, [this] { toolkit::guarded([this] { btn_okClick(); }); });
    connect(btn_exit, &QPushButton::clicked, this, [this] { btn_exitClick(); });

    toolkit::centreOnScreen(this);
    limitToColumns(Frm_Data->Connection, QStringLiteral("info"),
                   {{Edit_name, QStringLiteral("Company")}, {Edit_user, QStringLiteral("Regname")},
                    {Edit_address, QStringLiteral("Address")}, {Edit_zip, QStringLiteral("Postcode")},
                    {Edit_tel, QStringLiteral("tel")}, {Edit_fax, QStringLiteral("fax")}});
    FormCreate();
}

TFrm_Softinfo::~TFrm_Softinfo() {
    if (Frm_Softinfo == this) Frm_Softinfo = nullptr;
}

void TFrm_Softinfo::FormCreate() {
    setWindowTitle(QStringLiteral("Company Info"));
    db::Query* q = Frm_Data->Qry_Custom;
    if (!q->active()) return;
    Edit_name->setText(q->asString(QStringLiteral("Company")));
    Edit_user->setText(q->asString(QStringLiteral("Regname")));
    Edit_address->setText(q->asString(QStringLiteral("Address")));
    Edit_zip->setText(q->asString(QStringLiteral("Postcode")));
    Edit_tel->setText(q->asString(QStringLiteral("tel")));
    Edit_fax->setText(q->asString(QStringLiteral("fax")));
}

void TFrm_Softinfo::btn_okClick() {
    db::Query* q = Frm_Data->Qry_Custom;
    q->edit();
    // A refused row keeps its old values; the dialog stays open to correct them.
    db::postOrCancel(q, [&] {
        q->setValue(QStringLiteral("Company"), Edit_name->text().trimmed());
        q->setValue(QStringLiteral("Regname"), Edit_user->text().trimmed());
        q->setValue(QStringLiteral("Address"), Edit_address->text().trimmed());
        q->setValue(QStringLiteral("fax"), Edit_fax->text().trimmed());
        q->setValue(QStringLiteral("tel"), Edit_tel->text().trimmed());
        q->setValue(QStringLiteral("Postcode"), Edit_zip->text().trimmed());
    });
    toolkit::showMessage(QStringLiteral("success"));
    accept();
}

void TFrm_Softinfo::btn_exitClick() { reject(); }
