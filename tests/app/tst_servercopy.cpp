// Moving an office's data to a server: scripts/server-create-db.sh makes a
// Tallix database there and scripts/server-copy-db.sh copies a filled
// database file into it. The copy is compared row by row.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include "app/db/Connection.h"
#include "app/db/Query.h"
#include "tests/support/TestDb.h"

using testsupport::TestDb;

class TestServerCopy : public QObject {
    Q_OBJECT

    static QString script(const QString& name) { return QStringLiteral(TALLIX_SOURCE_DIR "/scripts/") + name; }
    static int run(const QString& name, const QStringList& args, QString* output = nullptr) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start("bash", QStringList{script(name)} + args);
        p.waitForFinished(120000);
        if (output) *output = QString::fromUtf8(p.readAll());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    // Every row of a table, each as its values' texts, in key order.
    static QStringList rows(db::Connection* c, const QString& table, const QString& order) {
        db::Query q(c);
        q.setSql("select * from " + table + " order by " + order);
        q.open();
        QStringList out;
        for (q.first(); !q.eof(); q.next()) {
            QStringList values;
            for (int i = 0; i < q.fieldCount(); ++i)
                values << (q.field(i).isNull() ? QStringLiteral("<null>") : q.field(i).asString());
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
                 "delete from country where name='Japan'"}) {
            fill.setSql(QString::fromUtf8(sql));
            fill.execSql();
        }

        const QString name = "tallix_copy_" + QUuid::createUuid().toString(QUuid::Id128).left(12);
        const QString address = server + "/" + name;
        QString out;
        QCOMPARE(run("server-create-db.sh", {address}, &out), 0);
        QCOMPARE(run("server-create-db.sh", {address}, &out), 1);  // an existing database is left alone
        QVERIFY(out.contains("left as it is"));
        QCOMPARE(run("server-copy-db.sh", {file, address}, &out), 0);

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

        // Keys carry on after the copied ones.
        db::Query add(&target);
        add.setSql("select * from custom");
        add.open();
        add.append();
        add.setValue("Company", "Next Ltd");
        add.post();
        QCOMPARE(add.field("CustID").asInteger(), 13);

        target.close();
        QProcess::execute("psql", {server + "/postgres", "-qc", "drop database " + name + " with (force)"});
    }
};

QTEST_GUILESS_MAIN(TestServerCopy)
#include "tst_servercopy.moc"
