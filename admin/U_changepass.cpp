#include "admin/U_changepass.h"

#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/EditLimits.h"
#include "app/db/Statement.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"

TFrm_ChangePass* Frm_ChangePass = nullptr;

TFrm_ChangePass::TFrm_ChangePass(QWidget* parent)
    : QDialog(parent) {
    Frm_ChangePass = this;
    toolkit::makeFixedDialog(this, 269, 164);

    auto row = [this](QLabel*& label, QLineEdit*& edit, const QString& caption, int y) {
        label = new QLabel(caption, this);
        label->setGeometry(24, y, 70, 22);
        edit = new QLineEdit(this);
        toolkit::makePasswordEdit(edit);
        edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));  // '*'
        edit->setGeometry(98, y - 1, 146, 24);
        label->setBuddy(edit);
    };
    row(Label1, Edit_oldpass, QStringLiteral("Old Pass"), 20);
    row(Label2, Edit_newpass, QStringLiteral("New Pass"), 54);
    row(Label3, Edit_pass, QStringLiteral("Pass"), 88);

    Btn_ok = new QPushButton(QStringLiteral("OK(&Y)"), this);
    Btn_ok->setGeometry(64, 124, 84, 28);
    Btn_ok->setDefault(true);
    btn_exit = new QPushButton(QStringLiteral("Ext(&E)"), this);
    btn_exit->setGeometry(160, 124, 84, 28);
    btn_exit->setAutoDefault(false);
    connect(Btn_ok, &QPushButton::clicked, this, [this] { toolkit::guarded([this] { Btn_okClick(); }); });
    connect(btn_exit, &QPushButton::clicked, this, [this] { btn_exitClick(); });

    Qry = new db::Query(Frm_Data->Connection, this);

    toolkit::centreOnScreen(this);
    limitToColumns(Frm_Data->Connection, QStringLiteral("admin"),
                   {{Edit_newpass, QStringLiteral("password")}, {Edit_pass, QStringLiteral("password")}});
    FormCreate();
}

TFrm_ChangePass::~TFrm_ChangePass() {
    if (Frm_ChangePass == this) Frm_ChangePass = nullptr;
}

QString TFrm_ChangePass::noUserText(const QString& name) {
    return QStringLiteral("The user \"%1\" is no longer in the user list. Please log in again.").arg(name);
}

void TFrm_ChangePass::FormCreate() {
    setWindowTitle(QStringLiteral("Change Password"));
    Edit_oldpass->clear();
    Edit_newpass->clear();
    Edit_pass->clear();
}

void TFrm_ChangePass::Btn_okClick() {
    const QString name = Frm_Main ? Frm_Main->LoginName : QString();
    Qry->close();
    Qry->setSql(db::Statement(QStringLiteral("select * from admin where username=:name"))
                    .bind(QStringLiteral("name"), name));
    Qry->open();
    // Renamed or deleted since the login: an edit here would insert a stray row.
    if (Qry->isEmpty()) {
        toolkit::dialogs().message(noUserText(name), QStringLiteral("Checked Pass"), toolkit::Icon::Information);
        return;
    }
    if (Edit_oldpass->text() != Qry->asString(QStringLiteral("password"))) {
        toolkit::showMessage(QStringLiteral("Old Password error!"));
        return;
    }
    if (Edit_pass->text() != Edit_newpass->text()) {
        toolkit::dialogs().message(QStringLiteral("Input password again!"), QStringLiteral("Checked Pass"),
                                   toolkit::Icon::Information);
        return;
    }
    Qry->edit();
    Qry->setValue(QStringLiteral("password"), Edit_newpass->text());
    db::postOrCancel(Qry);
    toolkit::dialogs().message(QStringLiteral("Change pass succeed"), QStringLiteral("success"),
                               toolkit::Icon::Information);
    accept();
}

void TFrm_ChangePass::btn_exitClick() { reject(); }
