#include "app/U_login.h"

#include <QShowEvent>

#include "app/Artwork.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/db/Statement.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"

TFrm_Login::TFrm_Login(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setFixedSize(336, 209);

    Image1 = new QLabel(this);
    Image1->setGeometry(0, 0, 337, 65);
    Image1->setPixmap(loginBanner(QSize(337, 65)));
    const QString onBanner = QStringLiteral("color: white; background: transparent;");
    Label2 = new QLabel(QStringLiteral("Please select an username and input password"), this);
    Label2->setStyleSheet(onBanner);
    Label2->setGeometry(12, 10, 316, 20);
    Label4 = new QLabel(QStringLiteral("Default username is [Admin],password is empty"), this);
    Label4->setStyleSheet(onBanner);
    Label4->setGeometry(24, 34, 304, 20);

    Label1 = new QLabel(QStringLiteral("Username"), this);
    Label1->setGeometry(40, 84, 70, 22);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setEditable(false);
    ComboBox1->setGeometry(116, 84, 180, 24);
    Label3 = new QLabel(QStringLiteral("Password"), this);
    Label3->setGeometry(40, 120, 70, 22);
    Edit2 = new QLineEdit(this);
    toolkit::makePasswordEdit(Edit2);
    Edit2->setGeometry(116, 120, 180, 24);
    Label1->setBuddy(ComboBox1);
    Label3->setBuddy(Edit2);

    Btn_ok = new QPushButton(QStringLiteral("Login"), this);
    Btn_ok->setGeometry(116, 164, 84, 28);
    Btn_ok->setDefault(true);
    Btn_Exit = new QPushButton(QStringLiteral("Cancel"), this);
    Btn_Exit->setGeometry(212, 164, 84, 28);
    Btn_Exit->setAutoDefault(false);

    connect(Btn_ok, &QPushButton::clicked, this, [this] { toolkit::guarded([this] { Btn_okClick(); }); });
    connect(Btn_Exit, &QPushButton::clicked, this, [this] { Btn_ExitClick(); });

    toolkit::centreOnScreen(this);
    FormCreate();
}

void TFrm_Login::FormCreate() {
    setWindowTitle(QStringLiteral("Login"));
    Edit2->clear();
}

void TFrm_Login::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    toolkit::formShowEachTime(e, [this] { FormShow(); });
}

void TFrm_Login::FormShow() {
    // The data module is made after this window, so the queries are bound here.
    if (!Frm_Data || !Frm_Data->DBConnected) return;
    if (!ADOQuery1) ADOQuery1 = new db::Query(Frm_Data->Connection, this);
    if (!Qry_login) Qry_login = new db::Query(Frm_Data->Connection, this);
    Qry_login->setSql(QStringLiteral("select * from admin"));
    Qry_login->open();
    ComboBox1->clear();
    QStringList names;
    for (Qry_login->first(); !Qry_login->eof(); Qry_login->next())
        names << Qry_login->field(1).asString();
    ComboBox1->addItems(names);
    const int at = Frm_Data->ConfigIni->readInteger(QStringLiteral("login"), QStringLiteral("username"), -1);
    ComboBox1->setCurrentIndex(at >= 0 && at < ComboBox1->count() ? at : -1);
}

void TFrm_Login::Btn_okClick() {
    if (!ADOQuery1) ADOQuery1 = new db::Query(Frm_Data->Connection, this);
    const QString name = ComboBox1->currentText();
    // Whatever happens below, the choice is remembered for the next start.
    struct Remember {
        TFrm_Login* self;
        ~Remember() {
            if (Frm_Data)
                Frm_Data->ConfigIni->writeInteger(QStringLiteral("login"), QStringLiteral("username"),
                                                  self->ComboBox1->currentIndex());
        }
    } remember{this};

    ADOQuery1->setSql(db::Statement(QStringLiteral("select * from admin where username=:name"))
                          .bind(QStringLiteral("name"), name));
    ADOQuery1->open();
    StoredPassword = ADOQuery1->isEmpty() ? QString() : ADOQuery1->asString(QStringLiteral("password"));

    if (name.trimmed().isEmpty()) {
        toolkit::dialogs().message(QStringLiteral("Please select an Username！"), QStringLiteral("Error"),
                                   toolkit::Icon::Error);
        return;
    }
    if (Edit2->text() != StoredPassword) {
        if (Edit2->text().isEmpty()) {
            toolkit::dialogs().message(QStringLiteral("Please input password！"), QStringLiteral("Error"),
                                       toolkit::Icon::Error);
            Edit2->setFocus();
        } else {
            toolkit::dialogs().message(QStringLiteral("Password error，tried again！"),
                                       QStringLiteral("Error"), toolkit::Icon::Error);
            Edit2->clear();
        }
        return;
    }
    LoginOK = true;
    if (Frm_Main) {
        Frm_Main->UserName = name.trimmed().left(20);
        Frm_Main->LoginName = name;
        Frm_Main->UserPermit = int(ADOQuery1->field(QStringLiteral("permit")).asInteger());
        Frm_Main->setStatusText(0, QStringLiteral(" UserName: ") + Frm_Main->UserName);
    }
    accept();
}

void TFrm_Login::Btn_ExitClick() { reject(); }
