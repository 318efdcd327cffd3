// Users, passwords and levels through the data layer, on both engines: a
// database file keeps salted hashes (and converts clear passwords at a
// login); a server checks passwords itself and logs the program in as the
// user's role.
#include <QSqlDatabase>
#include <QTest>

#include "app/db/DbError.h"
#include "app/db/PasswordHash.h"
#include "app/db/ServerLogin.h"
#include "app/db/Users.h"
#include "tests/support/TestDb.h"
#include "toolkit/ScriptedDialogs.h"

using testsupport::TestDb;

class TestUsers : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDb> t;
    toolkit::ScriptedDialogs dlg;

    db::Connection& c() { return *t->data()->Connection; }
    db::UserEntry user(const QString& name) {
        for (const db::UserEntry& u : db::listUsers(c()))
            if (u.name == name) return u;
        return {};
    }
    // Whether the user logs in, tried on a connection of its own: the data
    // module's stays as it was.
    db::LoginResult tryLogin(const QString& name, const QString& password) {
        const db::UserEntry u = user(name);
        db::Connection other;
        other.open(c().connString());
        const db::LoginResult r = db::logIn(other, u, password);
        db::forgetServerLogins();
        return r;
    }
    bool logsIn(const QString& name, const QString& password) { return tryLogin(name, password).ok; }
    QStringList names() {
        QStringList out;
        for (const db::UserEntry& u : db::listUsers(c())) out << u.name;
        return out;
    }
    // The file's admin rows as "name|password" (file only).
    QStringList stored() {
        QStringList out;
        const auto q = t->select("select * from admin order by id");
        for (q->first(); !q->eof(); q->next()) out << q->asString("username") + "|" + q->asString("password");
        return out;
    }
    // Makes the file's users table as files made before hashing have it.
    void oldFile(const QStringList& rows) {
        QVERIFY(t->exec("drop table admin"));
        QVERIFY(t->exec("create table admin (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                        "username VARCHAR(50) CHECK (length(username) <= 50), "
                        "password VARCHAR(50) CHECK (length(password) <= 50), permit INTEGER)"));
        for (const QString& r : rows) QVERIFY(t->exec("insert into admin (username, password, permit) values " + r));
        c().refreshSchema();
    }

private slots:
    void init() {
        t = std::make_unique<TestDb>();
        QVERIFY(t->ok());
        QVERIFY(t->openData()->DBConnected);
    }
    void cleanup() { t.reset(); }

    void passwordsAreCheckedByTheKeeper() {
        QVERIFY(t->addUser("Tom", "Secret", 1));
        QVERIFY(t->addUser("李四", "密码 with blanks ", 0));
        QCOMPARE(names(), QStringList({"Admin", "Tom", "李四"}));
        QVERIFY(!logsIn("Tom", "secret"));  // letter case counts
        QVERIFY(!logsIn("Tom", ""));
        QVERIFY(!logsIn("Tom", "Secret "));
        const db::LoginResult tom = db::logIn(c(), user("Tom"), "Secret");
        QVERIFY(tom.ok);
        QCOMPARE(tom.permit, 1);
        QVERIFY(logsIn("李四", "密码 with blanks "));
        QVERIFY(logsIn("Admin", ""));
        QCOMPARE(db::logIn(c(), user("Admin"), "").permit, 0);
    }

    // A user deleted meanwhile is not logged in with what the list showed.
    void aUserDeletedMeanwhileIsRefused() {
        QVERIFY(t->addUser("Tom", "", 1));
        const db::UserEntry tom = user("Tom");
        db::deleteUser(c(), tom.id);
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::logIn(c(), tom, ""));
    }

    void theFileKeepsSaltedHashesOnly() {
        if (TestDb::onServer()) QSKIP("the server keeps passwords in its roles");
        QVERIFY(t->addUser("Tom", "Secret", 1));
        QVERIFY(t->addUser("Ann", "Secret", 1));
        const QStringList rows = stored();
        const QString tom = rows[1].section('|', 1), ann = rows[2].section('|', 1);
        QVERIFY2(tom.startsWith("$argon2id$"), qPrintable(tom));
        QVERIFY(!tom.contains("Secret"));
        QVERIFY(tom != ann);  // salted
        QVERIFY(db::passwordMatches(tom, "Secret") && db::passwordMatches(ann, "Secret"));
        QVERIFY(!db::passwordMatches(tom, "secret"));
    }

    // A file made before hashing: each user's clear password is hashed at
    // their first login, every one at a super user's; all still log in.
    void clearPasswordsAreHashedAtLogin() {
        if (TestDb::onServer()) QSKIP("database files only");
        oldFile({"('Admin', '', 0)", "('Tom', 'Secret', 1)", "('Sue', 'pw', 1)", "('Nul', NULL, 1)"});
        QVERIFY(!logsIn("Tom", "secret"));
        QCOMPARE(stored(), QStringList({"Admin|", "Tom|Secret", "Sue|pw", "Nul|"}));  // a refusal converts nothing
        QVERIFY(logsIn("Tom", "Secret"));
        QStringList rows = stored();
        QVERIFY(db::isPasswordHash(rows[1].section('|', 1)));
        QCOMPARE(rows[2], QString("Sue|pw"));  // only the user's own
        QVERIFY(logsIn("Admin", ""));
        rows = stored();
        for (const QString& r : rows) QVERIFY2(db::isPasswordHash(r.section('|', 1)), qPrintable(r));
        QVERIFY(logsIn("Admin", ""));
        QVERIFY(logsIn("Tom", "Secret"));
        QVERIFY(logsIn("Sue", "pw"));
        QVERIFY(logsIn("Nul", ""));
        QVERIFY(!logsIn("Sue", "PW"));
        // The table made anew keeps its keys and its rules.
        QCOMPARE(user("Sue").id, 3);
        QVERIFY(!t->exec("insert into admin (username) values ('" + QString(51, 'x') + "')"));
    }

    void managementSetsPasswordsAndNeverReadsThem() {
        const qlonglong id = db::addUser(c(), "Tom", 1, "first");
        QVERIFY(id > 0);
        QVERIFY(logsIn("Tom", "first"));
        db::changeUser(c(), id, "Thomas", 0, std::nullopt);  // renamed and promoted, password kept
        QCOMPARE(names(), QStringList({"Admin", "Thomas"}));
        db::LoginResult r = tryLogin("Thomas", "first");
        QVERIFY(r.ok);
        QCOMPARE(r.permit, 0);
        db::changeUser(c(), id, "Thomas", 1, QString("second"));
        QVERIFY(!logsIn("Thomas", "first"));
        r = tryLogin("Thomas", "second");
        QVERIFY(r.ok);
        QCOMPARE(r.permit, 1);
        db::changeUser(c(), id, "Thomas", 1, QString());  // an empty password is a password too
        QVERIFY(logsIn("Thomas", ""));
        QVERIFY(!logsIn("Thomas", "second"));
    }

    void theLastSuperUserStays() {
        const qlonglong admin = user("Admin").id;
        QVERIFY(db::isLastSuperUser(c(), admin));
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::deleteUser(c(), admin));
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::changeUser(c(), admin, "Admin", 1, std::nullopt));
        QVERIFY(logsIn("Admin", ""));  // still there, still a super user
        QCOMPARE(names(), QStringList({"Admin"}));
        const qlonglong boss = db::addUser(c(), "Boss", 0, "b");
        QVERIFY(!db::isLastSuperUser(c(), admin));
        db::changeUser(c(), admin, "Admin", 1, std::nullopt);
        QVERIFY(db::isLastSuperUser(c(), boss));
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::deleteUser(c(), boss));
        db::deleteUser(c(), admin);
        QCOMPARE(names(), QStringList({"Boss"}));
    }

    void ownPassword() {
        QVERIFY(t->addUser("Tom", "old", 1));
        QVERIFY(db::logIn(c(), user("Tom"), "old").ok);  // the program is Tom's now
        QCOMPARE(db::checkOwnPassword(c(), "Tom", "Old"), db::PasswordCheck::Wrong);
        QCOMPARE(db::checkOwnPassword(c(), "Tom", "old"), db::PasswordCheck::Right);
        db::changeOwnPassword(c(), "Tom", " new ");
        QCOMPARE(db::checkOwnPassword(c(), "Tom", " new "), db::PasswordCheck::Right);
        QCOMPARE(db::checkOwnPassword(c(), "Tom", "old"), db::PasswordCheck::Wrong);
        // The program's own connection logs in with the new one from now on.
        c().open(c().connString());
        QCOMPARE(db::checkOwnPassword(c(), "Tom", " new "), db::PasswordCheck::Right);
        QVERIFY(logsIn("Tom", " new "));
        QVERIFY(!logsIn("Tom", "old"));
    }

    // On the server the program's connection becomes the user's own, with
    // what the user's level may do and no more.
    void theServerLogsTheProgramInAsTheUser() {
        if (!TestDb::onServer()) QSKIP("a database file has no logins of its own");
        QVERIFY(t->addUser("Tom", "pw", 1));
        QVERIFY(t->exec("insert into custom (Company, F_User) values ('Admin Ltd', 'Admin')"));
        QVERIFY(db::logIn(c(), user("Tom"), "pw").ok);
        QCOMPARE(t->scalar("select count(*) from custom"), 1);  // reads customers
        QVERIFY_THROWS_EXCEPTION(db::DbError, t->scalar("select count(*) from admin"));
        // Another user's customer is not changed (the server passes over it).
        QVERIFY(t->exec("update custom set Company='Mine' where F_User='Admin'"));
        QCOMPARE(t->text("select * from custom", "Company"), QString("Admin Ltd"));
        // A second connection of the program logs in the same way.
        db::Connection second;
        second.open(c().connString());
        db::Query q(&second);
        q.setSql("select * from admin");
        QVERIFY_THROWS_EXCEPTION(db::DbError, q.open());
        // A wrong password leaves the program logged in as it was.
        QVERIFY(!db::logIn(c(), user("Admin"), "wrong").ok);
        QVERIFY_THROWS_EXCEPTION(db::DbError, t->scalar("select count(*) from admin"));
        QVERIFY(db::logIn(c(), user("Admin"), "").ok);
        QCOMPARE(t->scalar("select count(*) from admin"), 2);
    }
};

QTEST_GUILESS_MAIN(TestUsers)
#include "tst_users.moc"
