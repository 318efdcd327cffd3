#pragma once
// The data module: config.ini, the one database connection and the record
// sets the windows share. Created once at start-up, never shown.
#include <QObject>
#include <memory>

#include "app/IniFile.h"
#include "app/Places.h"
#include "app/db/Backup.h"
#include "app/db/Connection.h"
#include "app/db/Query.h"
#include "toolkit/RecordSource.h"

class QComboBox;
class ReconnectWatch;

class TFrm_Data : public QObject {
    Q_OBJECT
public:
    // programDir is the program's folder (empty: the folder of the running
    // program); places says where config.ini and the default database live.
    explicit TFrm_Data(const QString& programDir = QString(), QObject* parent = nullptr);
    explicit TFrm_Data(const Places& places, QObject* parent = nullptr);
    ~TFrm_Data() override;

    void FormCreate();
    // Reads the own-company row, kept open from then on: at start-up, or on
    // a server once a user has logged in.
    void openOwnCompany();

    void FillComboByName(db::Query* query, QComboBox* combo, const QString& table);
    // Reopens Qry_Contact as the detail of DS_Cust: the current customer's contacts.
    void LinkContactDetail();

    QString programDir() const { return places_.programDir(); }
    const Places& places() const { return places_; }
    QString defaultDatabase() const;
    // The database file the connection was opened on; empty on a server.
    QString databaseFile() const { return databaseFile_; }
    // Tells other programs that this one has the database file open.
    db::PresenceMark* presence() const { return presence_.get(); }
    // True once a failed connection asked the program to end.
    bool terminateRequested() const { return terminate_; }

    std::unique_ptr<IniFile> ConfigIni;
    QString ConnString;
    bool DBConnected = false;

    db::Connection* Connection;
    // Says when the server went away and tries it again meanwhile.
    ReconnectWatch* Reconnect;

    db::Query* Qry_Cust;
    toolkit::DataSource* DS_Cust;
    db::Query* Qry_Contact;
    toolkit::DataSource* DS_Contact;
    db::Query* Qry_Custom;
    db::Query* Qry_Other;
    toolkit::DataSource* DS_Other;
    db::Query* Qry_Show;
    db::Query* Qry_HY;
    db::Query* Qry_Type;
    db::Query* Qry_From;
    db::Query* Qry_Country;
    db::Query* Qry_Province;
    db::Query* Qry_zw;
    db::Query* Qry_Depart;
    db::Query* Qry_Temp;
    db::Query* Qry_Str;
    db::Query* Qry_Del;
    db::Query* Qry_Print;
    db::Query* Qry_Daily;
    toolkit::DataSource* DS_Daily;
    db::Query* Qry_Schedule;
    toolkit::DataSource* DS_Schedule;
    db::Query* Qry_FieldShow;
    db::Query* Qry_Import;
    db::Query* Qry_SoftInfo;
    db::Query* Qry_ShowContact;

private:
    // Shows the failure to connect with its cause, forgets DBConn and asks
    // the program to end.
    void connectionFailed(const QString& why);
    db::Query* makeQuery(const QString& sql = QString());

    Places places_;
    QString databaseFile_;
    std::unique_ptr<db::PresenceMark> presence_;
    bool terminate_ = false;
};

// Fills combo with the second column of every row of a lookup table, trimmed,
// in the given order ("name" or "id"); leaves nothing selected.
void fillLookupCombo(db::Query* query, QComboBox* combo, const QString& table, const QString& order);

extern TFrm_Data* Frm_Data;
