#pragma once
// A private database for one test: on the embedded engine a copy of the
// supplied database file in a temporary program folder; on a database
// server (TALLIX_TEST_ENGINE=postgresql, the server in TALLIX_TEST_PG) a
// fresh database made from the server's template, named in that folder's
// config.ini. Either way a data module opened on the folder finds it.
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

#include "app/U_data.h"

namespace testsupport {

class TestDb {
public:
    TestDb();  // QVERIFY(ok()) in the caller
    ~TestDb();
    bool ok() const { return ok_; }
    QString dir() const { return tmp_.path(); }
    // The database file of the embedded engine (only there).
    QString dbPath() const;
    // True when the tests run on a database server.
    static bool onServer();
    // What DBConn names: the server database's address, or empty for the
    // file beside the program.
    QString dbConn() const { return dbConn_; }
    // The connection string of this database, for connections of a test's own.
    QString connString() const;
    // Opens the data module on this folder and installs it as Frm_Data.
    TFrm_Data* openData();
    TFrm_Data* data() const { return data_.get(); }
    // Runs SQL that must succeed (test set-up), returns false and warns if not.
    bool exec(const db::Statement& sql);

    // A rule of the database that refuses event ("insert", "update" or
    // "delete") on table with message, for the rows where condition (over
    // new.<column>, for inserts and updates) holds; allowWrites drops it.
    bool refuseWrites(const QString& table, const QString& event, const QString& message,
                      const QString& condition = QString());
    bool allowWrites(const QString& table, const QString& event);

    // The statement opened on a record set of its own, to read its rows.
    std::unique_ptr<db::Query> select(const db::Statement& sql);
    // What a statement reads now, through a record set of its own: the number
    // of rows; the first column of the first row as a number ("select
    // count(*) ..."); a column of the first row as stored, or as text, both
    // "<none>" when there is no row.
    int rowCount(const db::Statement& sql);
    int scalar(const db::Statement& sql);
    QVariant value(const db::Statement& sql, const QString& field);
    QString text(const db::Statement& sql, const QString& field);

private:
    QTemporaryDir tmp_;
    std::unique_ptr<TFrm_Data> data_;
    bool ok_ = false;
    QString dbConn_;
    QString serverDb_;  // the database made on the server, dropped at the end
};

}  // namespace testsupport
