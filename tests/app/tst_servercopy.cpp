// Moving an office's data to a server, as the README tells a new office:
// scripts/server-create-db.sh makes a Tallix database there and
// scripts/server-copy-db.sh copies a filled database file into it. The copy
// is compared row by row, and a workstation logs in as one of the users.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QUuid>

#include "app/U_data.h"
#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/ServerLogin.h"
#include "app/db/Users.h"
#include "tests/support/TestDb.h"
#include "toolkit/ScriptedDialogs.h"

using testsupport::TestDb;

class TestServerCopy : public QObject {
    Q_OBJECT

    static QString script(const QString& name) { return QStringLiteral(TALLIX_SOURCE_DIR "/scripts/") + name; }
    static int run(const QString& name, const QStringList& args, QString* output = nullptr,
                   const QString& adminPassword = QString()) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TALLIX_ADMIN_PASSWORD", adminPassword);
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start("bash", QStringList{script(name)} + args);
        p.waitForFinished(120000);
        if (output) *output = QString::fromUtf8(p.readAll());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    // Every row of a table, each as its values' texts, in key order; the
    // users without their passwords, which the server does not keep.
    static QStringList rows(db::Connection* c, const QString& table, const QString& order) {
        db::Query q(c);
        q.setSql("select * from " + table + " order by " + order);
        q.open();
        QStringList out;
        for (q.first(); !q.eof(); q.next()) {
            QStringList values;
            for (int i = 0; i < q.fieldCount(); ++i) {
                if (table == "admin" && q.fieldName(i) == "password") continue;
                values << (q.field(i).isNull() ? QStringLiteral("<null>") : q.field(i).asString());
            }
            out << values.join(QLatin1Char('|'));
        }
        return out;
    }

private slots:
    void initTestCase() { TALLIX_SKIP_WITHOUT_TEST_SERVER(); }

    void copiedRowByRow() {
        if (!TestDb::onServer()) QSKIP("copies into the test database server: runs on the server");
        const QString server = qEnvironmentVariable("TALLIX_TEST_PG");
        QVERIFY2(!server.isEmpty(), "TALLIX_TEST_PG names no test server");

        // A filled database file, with what a copy could get wrong: quotes,
        // line breaks, Chinese, NULLs next to empty text, dates, gaps in keys.
        QTemporaryDir dir;
        const QString file = dir.filePath("custom.db");
        QVERIFY(QFile::copy(TALLIX_SUPPLIED_DB, file));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        db::Connection source;
        source.open(db::Connection::connStringForFile(file));
        db::Query fill(&source);
        for (const char* sql : {
                 "insert into custom (CustID, [Date], Company, Address, Introduce, [From], F_User) values "
                 "(3, '2024-03-05', 'O''Hara & \"Sons\"', 'Line 1\nLine 2', NULL, '', 'Admin')",
                 "insert into custom (CustID, Company, Tel) values (7, '华南贸易有限公司', '020 8888 8888')",
                 "insert into custom (CustID, Company) values (12, '100% Cotton_Ltd')",
                 "insert into contact (CustID, Name, Main, Birthday, introduce) values "
                 "('3', 'Ann', 1, '1980-05-06 00:00:00', 'likes ''tea''')",
                 "insert into contact (CustID, Name, Main) values ('7', '李四', 0)",
                 "insert into category (code, name) values ('01', 'Industry'), ('0101', '泵')",
                 "insert into T_Daily (Subject, Content, AddDate, author) values ('Call', 'x\ny', "
                 "'2024-03-05 10:30:00', 'Admin')",
                 "update T_FieldShow set show=0 where Field='Tel'",
                 "delete from country where name='Japan'",
                 "insert into admin (username, password, permit) values ('Tom', 'secret', 1), ('Eve', NULL, 1)"}) {
            fill.setSql(QString::fromUtf8(sql));
            fill.execSql();
        }
        // Memo texts holding what a copy's own format could take for its
        // markers: a line "\.", escapes, tabs, both line ends.
        const QString memo = "first\n\\.\nafter\r\ntab\there \\N \\\\ end\\";
        db::Query add(&source);
        add.setSql("select * from custom where CustID=3");
        add.open();
        add.edit();
        add.setValue("Introduce", memo);
        add.post();
        // A user whose password the file keeps as a hash.
        db::addUser(source, "Sue", 1, "sue-pw");

        const QString name = "tallix_copy_" + QUuid::createUuid().toString(QUuid::Id128).left(12);
        const QString address = server + "/" + name;
        QString out;
        QCOMPARE(run("server-create-db.sh", {"postgresql://tallix@127.0.0.1:1/bad.name"}, &out), 2);
        QVERIFY(out.contains("at most 40 letters"));
        QCOMPARE(run("server-create-db.sh", {address}, &out, "first-admin-pw"), 0);
        QVERIFY2(out.contains(name + ".Admin"), qPrintable(out));
        QVERIFY(out.contains("DBConn=postgresql://127.0.0.1:"));  // the address without the owner
        QCOMPARE(run("server-create-db.sh", {address}, &out), 1);  // an existing database is left alone
        QVERIFY(out.contains("left as it is"));
        QCOMPARE(run("server-copy-db.sh", {file, address}, &out), 0);
        // Sue's password cannot be read back; Eve had none.
        QVERIFY2(out.contains("before they can log in:\n  Sue\n"), qPrintable(out));
        QVERIFY2(out.contains("empty password; give them one soon:\n  Admin\n  Eve\n"), qPrintable(out));

        db::Connection target;
        target.open(db::Connection::connStringFor(address));
        const QList<QPair<QString, QString>> tables = {
            {"custom", "CustID"},          {"contact", "ContactId"},   {"admin", "id"},
            {"info", "id"},                {"T_SoftInfo", "SoftName"}, {"category", "code"},
            {"type", "id"},                {"custfrom", "id"},         {"country", "id"},
            {"province", "id"},            {"zw", "id"},               {"department", "id"},
            {"T_FieldShow", "TableName, ShowID"}, {"T_Import", "ImportID"}, {"T_Temp", "CellID"},
            {"T_Daily", "AddDate"},        {"T_Schedule", "ScheduleID"}, {"T_Sale", "SaleID"},
            {"T_SaleLine", "LineID"}};
        for (const auto& [table, order] : tables)
            QCOMPARE(rows(&target, table, order), rows(&source, table, order));

        db::Query memoThere(&target);
        memoThere.setSql("select * from custom where CustID=3");
        memoThere.open();
        QCOMPARE(memoThere.asString("Introduce"), memo);

        // Keys carry on after the copied ones.
        db::Query next(&target);
        next.setSql("select * from custom");
        next.open();
        next.append();
        next.setValue("Company", "Next Ltd");
        next.post();
        QCOMPARE(next.field("CustID").asInteger(), 13);
        target.close();

        // A workstation, given the address without a user, lists the users
        // through the user-list login and logs in as Tom.
        const QUrl url(server);
        QTemporaryDir station;
        QFile ini(station.filePath("config.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QString("[Config]\nDBConn=postgresql://%1:%2/%3\n").arg(url.host()).arg(url.port()).arg(name).toUtf8());
        ini.close();
        {
            toolkit::ScriptedDialogs dlg;
            TFrm_Data data(station.path());
            QVERIFY2(data.DBConnected, qPrintable(dlg.last() ? dlg.last()->detail : QString()));
            QVector<db::UserEntry> users = db::listUsers(*data.Connection);
            QStringList names;
            for (const auto& u : users) names << u.name;
            QCOMPARE(names, QStringList({"Admin", "Tom", "Eve", "Sue"}));
            QVERIFY_THROWS_EXCEPTION(db::DbError, rows(data.Connection, "custom", "CustID"));
            QVERIFY(!db::logIn(*data.Connection, users[1], "Secret").ok);
            QVERIFY(!db::logIn(*data.Connection, users[3], "sue-pw").ok);
            const db::LoginResult tom = db::logIn(*data.Connection, users[1], "secret");
            QVERIFY(tom.ok);
            QCOMPARE(tom.permit, 1);
            QCOMPARE(rows(data.Connection, "custom", "CustID").size(), 4);
            QVERIFY(db::logIn(*data.Connection, users[0], "").ok);  // the file's Admin, as the file had it
        }
        db::forgetServerLogins();
        testsupport::dropServerDatabase(name);
    }
};

QTEST_GUILESS_MAIN(TestServerCopy)
#include "tst_servercopy.moc"
