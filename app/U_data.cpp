#include "app/U_data.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "app/DbAddress.h"
#include "app/Reconnect.h"
#include "app/db/DbError.h"
#include "app/db/Users.h"
#include "toolkit/DialogService.h"

TFrm_Data* Frm_Data = nullptr;

TFrm_Data::TFrm_Data(const QString& programDir, QObject* parent)
    : TFrm_Data(Places::forProgram(programDir), parent) {}

TFrm_Data::TFrm_Data(const Places& places, QObject* parent)
    : QObject(parent),
      Connection(new db::Connection(this)),
      Reconnect(new ReconnectWatch(Connection, this)),
      places_(places) {
    Qry_Cust = makeQuery(QStringLiteral("select * from custom"));
    DS_Cust = new toolkit::DataSource(Qry_Cust, this);
    Qry_Contact = makeQuery(QStringLiteral("select * from contact"));
    DS_Contact = new toolkit::DataSource(Qry_Contact, this);
    Qry_Custom = makeQuery(QStringLiteral("select * from info"));
    Qry_Other = makeQuery();
    DS_Other = new toolkit::DataSource(Qry_Other, this);
    Qry_Show = makeQuery();
    Qry_HY = makeQuery();
    Qry_Type = makeQuery();
    Qry_From = makeQuery();
    Qry_Country = makeQuery();
    Qry_Province = makeQuery();
    Qry_zw = makeQuery();
    Qry_Depart = makeQuery();
    Qry_Temp = makeQuery();
    Qry_Str = makeQuery();
    Qry_Del = makeQuery();
    Qry_Print = makeQuery();
    Qry_Daily = makeQuery();
    DS_Daily = new toolkit::DataSource(Qry_Daily, this);
    Qry_Schedule = makeQuery();
    DS_Schedule = new toolkit::DataSource(Qry_Schedule, this);
    Qry_FieldShow = makeQuery();
    Qry_Import = makeQuery();
    Qry_SoftInfo = makeQuery();
    Qry_ShowContact = makeQuery();
    FormCreate();
}

TFrm_Data::~TFrm_Data() {
    if (Frm_Data == this) Frm_Data = nullptr;
}

db::Query* TFrm_Data::makeQuery(const QString& sql) {
    auto* q = new db::Query(Connection, this);
    q->setSql(sql);
    return q;
}

QString TFrm_Data::defaultDatabase() const {
    return places_.defaultDatabase();
}

void TFrm_Data::FormCreate() {
    // An installed program keeps config.ini in the user's folder, made here
    // so that the first write finds it.
    if (!places_.besideProgram()) QDir().mkpath(QFileInfo(places_.configFile()).absolutePath());
    ConfigIni = std::make_unique<IniFile>(places_.configFile());
    // A setting that cannot be kept is said, not lost in silence.
    ConfigIni->setFailureReport([](const QString& why) {
        toolkit::dialogs().message(QStringLiteral("A setting could not be saved in config.ini."),
                                   QStringLiteral("客户管理系统"), toolkit::Icon::Warning, QMessageBox::Ok, why);
    });
    const QString dbConn = ConfigIni->readString(QStringLiteral("Config"), QStringLiteral("DBConn"), QString());
    if (const QString problem = dbConnProblem(dbConn); !problem.isEmpty()) {
        connectionFailed(problem);
        return;
    }
    ConnString = dbConn.isEmpty() ? db::Connection::connStringForFile(defaultDatabase())
                                  : db::Connection::connStringFor(dbConn);
    if (dbConn.isEmpty()) {
        QString why;
        if (!places_.provideDefaultDatabase(&why)) {
            connectionFailed(why);
            return;
        }
    }
    try {
        Connection->open(ConnString);
    } catch (const db::DbError& e) {
        connectionFailed(e.text());
        return;
    }
    DBConnected = true;
    if (!db::Connection::isServerAddress(dbConn)) {
        databaseFile_ = QFileInfo(dbConn.isEmpty() ? defaultDatabase() : dbConn).absoluteFilePath();
        presence_ = std::make_unique<db::PresenceMark>(databaseFile_);
    }
    // Used as it is, and not written anywhere else; the user is told how
    // to move it.
    if (addressHasPassword(dbConn))
        toolkit::dialogs().message(passwordInConfigText(), QStringLiteral("客户管理系统"), toolkit::Icon::Warning);
    // Before a login the server lets the program read the user names only.
    if (db::awaitsLogin(*Connection)) return;
    openOwnCompany();
}

void TFrm_Data::openOwnCompany() {
    try {
        Qry_Custom->close();
        Qry_Custom->setSql(QStringLiteral("select * from info"));
        Qry_Custom->prepare();
        Qry_Custom->open();
    } catch (const db::DbError& e) {
        // Connected, but unusable: a file without our tables is not ours; a
        // file that has them but cannot be read is damaged.
        bool ours = false;
        try {
            ours = !Connection->tableFields(QStringLiteral("info")).isEmpty();
        } catch (const db::DbError&) {
            ours = true;  // not even its list of tables reads
        }
        Connection->close();
        DBConnected = false;
        presence_.reset();
        databaseFile_.clear();
        connectionFailed(ours ? QStringLiteral("The Tallix database cannot be read; it may be damaged (%1).")
                                    .arg(e.text())
                              : QStringLiteral("The file is a database, but not a Tallix database (%1).")
                                    .arg(e.text()));
        return;
    }
    if (Connection->readOnly())
        toolkit::dialogs().message(
            QStringLiteral("The database was opened for reading only, because %1. You can look at the data, "
                           "but changes cannot be saved.").arg(Connection->readOnlyReason()),
            QStringLiteral("客户管理系统"), toolkit::Icon::Information);
}

void TFrm_Data::connectionFailed(const QString& why) {
    // The fixed text stays as it is; the cause is offered as its detail.
    toolkit::dialogs().message(QStringLiteral("连接数据库失败! "), QStringLiteral("客户管理系统"),
                               toolkit::Icon::Information, QMessageBox::Ok, why);
    // A missing file is forgotten, so that the next start opens the file
    // beside the program. A server is kept: after a network failure the next
    // start must try it again, not quietly open an empty local database.
    // An address of an unknown kind is kept too: it is a typing error to
    // mend, not a file that went away.
    const QString dbConn = ConfigIni->readString(QStringLiteral("Config"), QStringLiteral("DBConn"), QString());
    if (!db::Connection::isServerAddress(dbConn) && dbConnProblem(dbConn).isEmpty())
        ConfigIni->writeString(QStringLiteral("Config"), QStringLiteral("DBConn"), QString());
    terminate_ = true;
}

void fillLookupCombo(db::Query* query, QComboBox* combo, const QString& table, const QString& order) {
    query->setSql(QStringLiteral("select * from ") + table + QStringLiteral(" order by ") + order);
    query->open();
    combo->clear();
    QStringList items;
    for (query->first(); !query->eof(); query->next()) items << query->field(1).asString().trimmed();
    combo->addItems(items);
    combo->setCurrentIndex(-1);
}

void TFrm_Data::LinkContactDetail() {
    Qry_Contact->setMasterSource(DS_Cust);
    Qry_Contact->close();
    Qry_Contact->setSql(QStringLiteral("Select * From Contact where CustID=:CustID"));
    Qry_Contact->open();
}

void TFrm_Data::FillComboByName(db::Query* query, QComboBox* combo, const QString& table) {
    fillLookupCombo(query, combo, table, QStringLiteral("name"));
}
