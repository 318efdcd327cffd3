#pragma once
// A private database for one test: on the embedded engine a copy of the
// supplied database file in a temporary program folder; on a database
// server (TALLIX_TEST_ENGINE=postgresql, the server in TALLIX_TEST_PG) a
// fresh database made from the server's template, with roles of its own for
// its users, named in that folder's config.ini. Either way a data module
// opened on the folder finds it.
//
// On the server, config.ini names the server's superuser, so that a data
// module opened on the folder may read and change everything, as on a file,
// until a test logs a Tallix user in; from then on the program's
// connections log in as that user's role, and the server enforces its rights.
#include <QTemporaryDir>
#include <QTest>
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
    // True when they should, but no test server is named (TALLIX_TEST_PG):
    // the tests were started without scripts/with-test-server.sh.
    static bool serverMissing();
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
    // The same beside the data module, with every right, whoever is logged
    // in there (the engine's own SQL: names in lower case on the server).
    bool execBeside(const QString& sql);

    // A rule of the database that refuses event ("insert", "update" or
    // "delete") on table with message, for the rows where condition (over
    // new.<column>, for inserts and updates) holds; allowWrites drops it.
    bool refuseWrites(const QString& table, const QString& event, const QString& message,
                      const QString& condition = QString());
    bool allowWrites(const QString& table, const QString& event);

    // Adds a user who logs in with password: on a file a row with the
    // password's hash, on the server a user with a role of its own. Made
    // beside the data module, whoever is logged in there.
    bool addUser(const QString& name, const QString& password, int permit);
    // True when user name logs in with password (checked beside the data
    // module, whoever is logged in there); and the stored password's text
    // (file only), to see that no clear password is kept.
    bool passwordIs(const QString& name, const QString& password);
    QString storedPassword(const QString& name);
    // Server only: the database's name, the role user name logs in as, and
    // a connection of the test's own (QSqlDatabase::database(name)) logged
    // in as role; empty when the server refused it.
    QString serverDatabase() const { return serverDb_; }
    QString roleOf(const QString& name);
    QString connectAs(const QString& role, const QString& password);
    // Server only: the address a workstation is given (no user in it).
    QString workstationAddress() const;

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
    QStringList connections_;  // connections of connectAs and of the owner
};

// Drops a database of the test server and the roles named after it.
bool dropServerDatabase(const QString& name);

}  // namespace testsupport

// First in initTestCase() of every test that uses a database: on the server
// engine without a test server the whole test is skipped, with the reason,
// instead of failing case by case.
#define TALLIX_SKIP_WITHOUT_TEST_SERVER()                                                                  \
    do {                                                                                                   \
        if (testsupport::TestDb::serverMissing())                                                          \
            QSKIP("TALLIX_TEST_ENGINE=postgresql needs the test database server in TALLIX_TEST_PG: run the " \
                  "tests through make test or scripts/with-test-server.sh");                               \
    } while (false)
