#include "app/U_OpenDb.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QShowEvent>

#include "app/DbAddress.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/Users.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/WaitCursor.h"

namespace {
const QString kTitle = QStringLiteral("Open Database");
}

TFrm_OpenDb::TFrm_OpenDb(QWidget* parent) : QDialog(parent) {
    toolkit::makeFixedDialog(this, 520, 218);
    setWindowTitle(kTitle);

    RB_File = new QRadioButton(QStringLiteral("Database file"), this);
    RB_File->setGeometry(12, 12, 300, 22);
    Edit_File = new QLineEdit(this);
    Edit_File->setGeometry(32, 38, 380, 24);
    Btn_Browse = new QPushButton(QStringLiteral("Browse..."), this);
    Btn_Browse->setGeometry(420, 36, 88, 28);
    Btn_Browse->setAutoDefault(false);

    RB_Server = new QRadioButton(QStringLiteral("Database server (PostgreSQL)"), this);
    RB_Server->setGeometry(12, 76, 300, 22);
    Edit_Server = new QLineEdit(this);
    Edit_Server->setGeometry(32, 102, 380, 24);
    Edit_Server->setPlaceholderText(QStringLiteral("postgresql://dbserver:5432/tallix?sslmode=prefer"));
    Btn_Test = new QPushButton(QStringLiteral("Test"), this);
    Btn_Test->setGeometry(420, 100, 88, 28);
    Btn_Test->setAutoDefault(false);
    Label_Hint = new QLabel(QStringLiteral("Users log in with their own passwords. An account named in the address "
                                           "takes its password from the password file or PGPASSWORD, never from here."),
                            this);
    Label_Hint->setGeometry(32, 130, 476, 34);
    Label_Hint->setWordWrap(true);
    Label_Hint->setEnabled(false);

    auto* group = new QButtonGroup(this);
    group->addButton(RB_File);
    group->addButton(RB_Server);

    Btn_OK = new QPushButton(QStringLiteral("OK"), this);
    Btn_OK->setGeometry(324, 178, 88, 28);
    Btn_OK->setDefault(true);
    Btn_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    Btn_Cancel->setGeometry(420, 178, 88, 28);
    Btn_Cancel->setAutoDefault(false);

    toolkit::onClick(Btn_Browse, this, &TFrm_OpenDb::Btn_BrowseClick);
    toolkit::onClick(Btn_Test, this, &TFrm_OpenDb::Btn_TestClick);
    toolkit::onClick(Btn_OK, this, &TFrm_OpenDb::Btn_OKClick);
    toolkit::onClick(Btn_Cancel, this, &TFrm_OpenDb::Btn_CancelClick);
    connect(RB_File, &QRadioButton::toggled, this, [this] { updateEnabled(); });
    // Typing an address chooses the server.
    connect(Edit_Server, &QLineEdit::textEdited, this, [this] { RB_Server->setChecked(true); });
    connect(Edit_File, &QLineEdit::textEdited, this, [this] { RB_File->setChecked(true); });
    toolkit::centreOnScreen(this);
}

void TFrm_OpenDb::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

void TFrm_OpenDb::FormShow() {
    const QString dbConn =
        Frm_Data->ConfigIni->readString(QStringLiteral("Config"), QStringLiteral("DBConn"), QString());
    if (db::Connection::isServerAddress(dbConn) || !dbConnProblem(dbConn).isEmpty()) {
        RB_Server->setChecked(true);
        // A password kept in config.ini is not shown, nor written again.
        Edit_Server->setText(addressHasPassword(dbConn) ? addressWithoutPassword(dbConn) : dbConn);
    } else {
        RB_File->setChecked(true);
        Edit_File->setText(dbConn);
        Edit_File->setPlaceholderText(Frm_Data->defaultDatabase());
    }
    updateEnabled();
}

void TFrm_OpenDb::updateEnabled() {
    const bool file = RB_File->isChecked();
    Btn_Browse->setEnabled(file);
    Btn_Test->setEnabled(!file);
}

void TFrm_OpenDb::Btn_BrowseClick() {
    const QString file = Frm_Main ? Frm_Main->OpenDialog2.execute() : QString();
    if (file.isEmpty()) return;
    RB_File->setChecked(true);
    Edit_File->setText(QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath()));
}

QString TFrm_OpenDb::tryServer(const QString& address) {
    if (!db::Connection::isServerAddress(address))
        return QStringLiteral("A server's address starts with postgresql://, for example "
                              "postgresql://dbserver:5432/tallix");
    if (addressHasPassword(address)) return passwordInAddressText();
    return tryDatabase(db::Connection::connStringFor(address));
}

QString TFrm_OpenDb::tryDatabase(const QString& connString) {
    toolkit::WaitCursor wait;
    db::Connection probe;
    try {
        probe.open(connString);
        // Ours, with the rows the program starts from. Before a login a
        // server shows the user names only; opening checked its tables.
        if (!db::awaitsLogin(probe)) {
            db::Query info(&probe);
            info.setSql(QStringLiteral("select count(*) from info"));
            info.open();
        }
    } catch (const db::DbError& e) {
        return e.text();
    }
    return QString();
}

void TFrm_OpenDb::Btn_TestClick() {
    const QString why = tryServer(Edit_Server->text().trimmed());
    if (why.isEmpty())
        toolkit::dialogs().message(QStringLiteral("The server answered and holds a Tallix database."), kTitle,
                                   toolkit::Icon::Information);
    else
        toolkit::dialogs().message(QStringLiteral("The server cannot be used."), kTitle, toolkit::Icon::Warning,
                                   QMessageBox::Ok, why);
}

void TFrm_OpenDb::Btn_OKClick() {
    QString value;
    if (RB_Server->isChecked()) {
        value = Edit_Server->text().trimmed();
        const QString why = tryServer(value);
        if (!why.isEmpty()) {
            // Not kept: the next start would fail on it.
            toolkit::dialogs().message(QStringLiteral("The server cannot be used, so it was not chosen."), kTitle,
                                       toolkit::Icon::Warning, QMessageBox::Ok, why);
            return;
        }
    } else {
        const QString file = Edit_File->text().trimmed();
        value = file.isEmpty() ? QString() : QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
        // A file the next start could not open is not kept either.
        const QString why = value.isEmpty() ? QString() : tryDatabase(db::Connection::connStringForFile(value));
        if (!why.isEmpty()) {
            toolkit::dialogs().message(QStringLiteral("This file is not a Tallix database, so it was not chosen."),
                                       kTitle, toolkit::Icon::Warning, QMessageBox::Ok, why);
            return;
        }
    }
    // Takes effect at the next start; the open connection stays as it is.
    Frm_Data->ConfigIni->writeString(QStringLiteral("Config"), QStringLiteral("DBConn"), value);
    accept();
}

void TFrm_OpenDb::Btn_CancelClick() {
    Frm_Data->ConfigIni->writeString(QStringLiteral("Config"), QStringLiteral("DBConn"), QString());
    reject();
}
