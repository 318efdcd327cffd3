// What the server itself enforces, whatever program a user connects with:
// each refusal is tried from plain SQL under a user's own login. And keys:
// two sessions adding rows at once never get the same one.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <array>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/ServerLogin.h"
#include "app/db/Users.h"
#include "tests/support/TestDb.h"
#include "toolkit/ScriptedDialogs.h"

using testsupport::TestDb;

namespace {

// The outcome of one statement: the rows it changed or read, or its error.
struct Outcome {
    int rows = -1;
    QString error;
    bool refused() const { return !error.isEmpty(); }
};

Outcome run(const QString& connection, const QString& sql) {
    QSqlQuery q(QSqlDatabase::database(connection));
    Outcome o;
    if (!q.exec(sql)) {
        o.error = q.lastError().databaseText();
        return o;
    }
    if (q.isSelect()) {
        o.rows = 0;
        while (q.next()) ++o.rows;
    } else {
        o.rows = q.numRowsAffected();
    }
    return o;
}

}  // namespace

class TestServer : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDb> t;
    toolkit::ScriptedDialogs dlg;

    QString as(const QString& user, const QString& password) {
        const QString c = t->connectAs(t->roleOf(user), password);
        if (c.isEmpty()) qWarning("%s could not log in", qPrintable(user));
        return c;
    }
    int custId(const QString& company) {
        return t->scalar("select CustID from custom where Company='" + company + "'");
    }

private slots:
    void init() {
        if (!TestDb::onServer()) QSKIP("what the database server enforces: runs on the server");
        t = std::make_unique<TestDb>();
        QVERIFY(t->ok());
        QVERIFY(t->openData()->DBConnected);
        QVERIFY(t->addUser("Ann", "ann-pw", 1));
        QVERIFY(t->addUser("Tom", "tom-pw", 1));
        QVERIFY(t->exec("insert into custom (Company, F_User) values ('Ann Ltd', 'Ann'), ('Tom Ltd', 'Tom')"));
        QVERIFY(t->exec(QString("insert into contact (CustID, Name, F_User) values ('%1', 'Ann at Ann', 'Ann'), "
                                "('%2', 'Ann at Tom', 'Ann'), ('%2', 'Tom at Tom', 'Tom')")
                            .arg(custId("Ann Ltd"))
                            .arg(custId("Tom Ltd"))));
    }
    void cleanup() { t.reset(); }

    // A common user cannot change or delete another user's customers and
    // contacts, nor give their own to someone else.
    void aCommonUserKeepsToTheirOwnRows() {
        const QString tom = as("Tom", "tom-pw");
        QVERIFY(!tom.isEmpty());
        QCOMPARE(run(tom, "select * from custom").rows, 2);  // reads all
        QCOMPARE(run(tom, "delete from custom where f_user = 'Ann'").rows, 0);
        QCOMPARE(run(tom, "update custom set company = 'Taken' where f_user = 'Ann'").rows, 0);
        QCOMPARE(run(tom, "update custom set f_user = 'Tom' where f_user = 'Ann'").rows, 0);
        QCOMPARE(run(tom, "delete from contact where name = 'Ann at Ann'").rows, 0);
        QCOMPARE(run(tom, "update contact set name = 'x' where f_user = 'Ann'").rows, 0);
        Outcome o = run(tom, "update custom set f_user = 'Ann' where company = 'Tom Ltd'");
        QVERIFY2(o.error.contains("row-level security"), qPrintable(o.error));
        QVERIFY(run(tom, "insert into custom (company, f_user) values ('Planted', 'Ann')").refused());
        QVERIFY(run(tom, "insert into contact (name, f_user) values ('Planted', 'Ann')").refused());
        QCOMPARE(t->scalar("select count(*) from custom where F_User='Ann' and Company='Ann Ltd'"), 1);
        QCOMPARE(t->scalar("select count(*) from contact where F_User='Ann'"), 2);

        // Their own they change, add and delete; deleting their customer
        // takes its contacts along, another user's too.
        QCOMPARE(run(tom, "update custom set tel = '1' where f_user = 'Tom'").rows, 1);
        QCOMPARE(run(tom, "insert into custom (company, f_user) values ('Tom Two', 'Tom')").rows, 1);
        QCOMPARE(run(tom, "delete from custom where company = 'Tom Ltd'").rows, 1);
        QCOMPARE(run(tom, "delete from contact where name in ('Ann at Tom', 'Tom at Tom', 'Ann at Ann')").rows, 2);
        QCOMPARE(t->scalar("select count(*) from contact"), 1);
    }

    // Nobody but a super user reads the users, and nobody changes a level
    // or a user except through the functions super users may call.
    void aCommonUserCannotReachUsersOrLevels() {
        const QString tom = as("Tom", "tom-pw");
        QVERIFY(!tom.isEmpty());
        for (const char* sql :
             {"select * from admin", "select password from admin", "select username, permit from admin",
              "update admin set permit = 0 where username = 'Tom'", "delete from admin",
              "insert into admin (username, permit) values ('Me', 0)", "select * from user_roles",
              "select rolpassword from pg_authid", "select tallix_add_user('Me', 0, 'pw')",
              "select tallix_delete_user(1)", "select tallix_setup_rights()"}) {
            const Outcome o = run(tom, QString::fromLatin1(sql));
            QVERIFY2(o.error.contains("permission denied"), qPrintable(QString::fromLatin1(sql) + ": " + o.error));
        }
        QVERIFY(run(tom, QString("select tallix_change_user(%1, 'Tom', 0, null)").arg(
                             t->scalar("select id from admin where username='Tom'"))).refused());
        const QString prefix = t->serverDatabase();
        QVERIFY(run(tom, QString("grant \"%1_super\" to current_user").arg(prefix)).refused());
        QVERIFY(run(tom, QString("set role \"%1_super\"").arg(prefix)).refused());
        QVERIFY(run(tom, "alter role current_user createrole").refused());
        QVERIFY(run(tom, "alter role current_user superuser").refused());
        QVERIFY(run(tom, "create table mine (x int)").refused());
        QCOMPARE(t->scalar("select permit from admin where username='Tom'"), 1);
        QCOMPARE(t->scalar("select count(*) from admin"), 3);
        // What it may read of itself.
        QSqlQuery me(QSqlDatabase::database(tom));
        QVERIFY(me.exec("select username, permit from tallix_me()") && me.next());
        QCOMPARE(me.value(0).toString(), QString("Tom"));
        QCOMPARE(me.value(1).toInt(), 1);
    }

    void theUserListLoginReadsNamesOnly() {
        const QString lister = t->connectAs(db::listerRole(t->serverDatabase()), db::listerPassword());
        QVERIFY(!lister.isEmpty());
        QCOMPARE(run(lister, "select * from tallix_user_names()").rows, 3);
        for (const char* sql : {"select * from custom", "select * from contact", "select * from info",
                                "select * from admin", "select * from t_daily", "select * from tallix_me()",
                                "insert into custom (company) values ('x')"})
            QVERIFY2(run(lister, QString::fromLatin1(sql)).error.contains("permission denied"), sql);
    }

    // A super user manages users through the functions and no other way;
    // the server keeps the last one.
    void aSuperUserManagesThroughTheServer() {
        QVERIFY(t->addUser("Boss", "boss-pw", 0));
        const QString boss = as("Boss", "boss-pw");
        QVERIFY(!boss.isEmpty());
        QCOMPARE(run(boss, "select * from admin where password is not null").rows, 0);  // none kept here
        QVERIFY(run(boss, "update admin set permit = 0 where username = 'Tom'").refused());
        QCOMPARE(run(boss, "delete from custom where f_user = 'Ann'").rows, 1);
        const int admin = t->scalar("select id from admin where username='Admin'");
        const int me = t->scalar("select id from admin where username='Boss'");
        QCOMPARE(run(boss, QString("select tallix_delete_user(%1)").arg(admin)).rows, 1);
        Outcome o = run(boss, QString("select tallix_change_user(%1, 'Boss', 1, null)").arg(me));
        QVERIFY2(o.error.contains("last super user"), qPrintable(o.error));
        QVERIFY(run(boss, QString("select tallix_delete_user(%1)").arg(me)).error.contains("last super user"));
        QVERIFY(run(boss, "select tallix_add_user('Tom', 1, 'x')").error.contains("The username is exist"));
        // Promoted, Tom's own login may do what a super user may.
        const int tomId = t->scalar("select id from admin where username='Tom'");
        QCOMPARE(run(boss, QString("select tallix_change_user(%1, 'Tom', 0, null)").arg(tomId)).rows, 1);
        const QString tom = as("Tom", "tom-pw");
        QCOMPARE(run(tom, "update contact set name = 'Renamed' where f_user = 'Ann'").rows, 2);
        // Deleted, a user logs in no more.
        QCOMPARE(run(boss, QString("select tallix_delete_user(%1)").arg(
                               t->scalar("select id from admin where username='Ann'"))).rows, 1);
        QVERIFY(t->connectAs(t->serverDatabase() + ".Ann", "ann-pw").isEmpty());
    }

    // The roles of another Tallix database on the same server do not open this one.
    void anotherDatabasesUsersStayOut() {
        QVERIFY(t->connectAs("tallix_template.Admin", "tallix-empty-password").isEmpty());
        QVERIFY(!t->connectAs(t->roleOf("Admin"), "tallix-empty-password").isEmpty());
    }

    // Through the program, passwords reach the server as verifiers only:
    // with every statement logged, the log holds none of them.
    void noClearPasswordInTheServersLog() {
        const QString log = QFileInfo(qEnvironmentVariable("TALLIX_TEST_PG_CTL")).dir().filePath("server.log");
        QVERIFY2(QFile::exists(log), qPrintable(log));
        QVERIFY(t->exec("alter database " + t->serverDatabase() + " set log_statement = 'all'"));
        t->openData();  // new sessions log
        db::Connection& c = *t->data()->Connection;
        db::UserEntry admin;
        for (const db::UserEntry& u : db::listUsers(c))
            if (u.name == "Admin") admin = u;
        QVERIFY(db::logIn(c, admin, "").ok);
        const qlonglong id = db::addUser(c, "Zed", 1, "Clear-Pw-4711");
        QVERIFY(!t->connectAs(t->roleOf("Zed"), "Clear-Pw-4711").isEmpty());
        db::changeUser(c, id, "Zed", 1, QString("Clear-Pw-4712"));
        QVERIFY(t->connectAs(t->roleOf("Zed"), "Clear-Pw-4711").isEmpty());
        QVERIFY(!t->connectAs(t->roleOf("Zed"), "Clear-Pw-4712").isEmpty());
        db::changeOwnPassword(c, "Admin", "Clear-Pw-4713");
        QVERIFY(!t->connectAs(t->roleOf("Admin"), "Clear-Pw-4713").isEmpty());
        QCOMPARE(db::checkOwnPassword(c, "Admin", "Clear-Pw-4713"), db::PasswordCheck::Right);
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY2(text.contains("tallix_add_user"), "statements are not logged");
        QVERIFY(text.contains("SCRAM-SHA-256$"));
        QVERIFY(!text.contains("Clear-Pw-47"));
    }

    // Two sessions adding customers and contacts at once, as two
    // workstations do, through the program's own record sets.
    void keysNeverCollide() {
        constexpr int kRows = 1500;
        const QString connString = t->connString();
        QStringList errors;
        QMutex errorsHeld;
        std::array<QList<qlonglong>, 4> keys;
        auto add = [&](int who) {
            return QThread::create([&, who] {
                try {
                    db::Connection conn;
                    conn.open(connString);
                    db::Query cust(&conn), contact(&conn);
                    cust.setSql("select * from custom where CustID=-1");
                    cust.open();
                    contact.setSql("select * from contact where ContactId=-1");
                    contact.open();
                    for (int i = 0; i < kRows; ++i) {
                        cust.append();
                        cust.setValue("Company", QString("W%1 customer %2").arg(who).arg(i));
                        cust.post();
                        keys[who * 2] << cust.field("CustID").asInteger();
                        contact.append();
                        contact.setValue("Name", QString("W%1 contact %2").arg(who).arg(i));
                        contact.setValue("CustID", QString::number(keys[who * 2].last()));
                        contact.post();
                        keys[who * 2 + 1] << contact.field("ContactId").asInteger();
                    }
                } catch (const db::DbError& e) {
                    QMutexLocker hold(&errorsHeld);
                    errors << e.text();
                }
            });
        };
        std::unique_ptr<QThread> one(add(0)), two(add(1));
        one->start();
        two->start();
        QVERIFY(one->wait(240000) && two->wait(240000));
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QSet<qlonglong> customers(keys[0].begin(), keys[0].end()), contacts(keys[1].begin(), keys[1].end());
        customers.unite(QSet<qlonglong>(keys[2].begin(), keys[2].end()));
        contacts.unite(QSet<qlonglong>(keys[3].begin(), keys[3].end()));
        QCOMPARE(customers.size(), 2 * kRows);
        QCOMPARE(contacts.size(), 2 * kRows);
        QCOMPARE(t->scalar("select count(distinct CustID) from custom where Company like 'W%'"), 2 * kRows);
        QCOMPARE(t->scalar("select count(*) from custom where Company like 'W%'"), 2 * kRows);
        QCOMPARE(t->scalar("select count(distinct ContactId) from contact where Name like 'W%'"), 2 * kRows);
        // Every contact sits on the customer it was added to.
        QCOMPARE(t->scalar("select count(*) from contact k join custom c on c.CustID = cast(k.CustID as integer) "
                           "where k.Name like 'W%' and substr(k.Name, 1, 3) <> substr(c.Company, 1, 3)"),
                 0);
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"
