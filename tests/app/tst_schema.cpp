// The supplied database: the tables, sizes and seed rows the program relies on.
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "app/db/DbError.h"
#include "tests/support/TestDb.h"
#include "toolkit/ScriptedDialogs.h"

using testsupport::TestDb;

class TestSchema : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDb> t;
    toolkit::ScriptedDialogs dlg;

    db::Query* q() { return t->data()->Qry_Temp; }
    void open(const QString& sql) {
        q()->setSql(sql);
        q()->open();
    }
    QStringList columns(const QString& table) {
        QStringList out;
        for (const auto& f : t->data()->Connection->tableFields(table)) out << f.name;
        return out;
    }

private slots:
    void initTestCase() { TALLIX_SKIP_WITHOUT_TEST_SERVER(); }

    void init() {
        t = std::make_unique<TestDb>();
        QVERIFY(t->ok());
        QVERIFY(t->openData()->DBConnected);
    }
    void cleanup() { t.reset(); }

    void tablesAndColumns() {
        QCOMPARE(columns("custom"),
                 QStringList({"CustID", "Date", "Company", "CustType", "Category", "Country", "Province",
                              "City", "Address", "PostCode", "Tel", "Fax", "Income", "Email", "Url",
                              "From", "Introduce", "F_User"}));
        QCOMPARE(columns("contact"),
                 QStringList({"ContactId", "CustID", "Name", "Main", "Company", "Position", "Department",
                              "Email", "Address", "PostCode", "Tel", "Mobile", "HomeTel", "Fax",
                              "Birthday", "introduce", "F_User"}));
        QCOMPARE(columns("admin").value(1), QString("username"));
        QCOMPARE(columns("info"),
                 QStringList({"id", "Company", "Regname", "Address", "fax", "tel", "Postcode", "Version", "name"}));
        for (const char* lookup : {"type", "custfrom", "country", "province", "zw", "department"})
            QCOMPARE(columns(lookup), QStringList({"id", "name"}));
        QCOMPARE(columns("T_Import"), QStringList({"ImportID", "S_Field", "FieldName", "F_Field", "tablename"}));
        QCOMPARE(columns("T_Temp"), QStringList({"S_Field", "CellID"}));
        QCOMPARE(columns("T_Daily"), QStringList({"DailyID", "Subject", "Content", "AddDate", "author"}));
        QCOMPARE(columns("T_SchemaVersion"), QStringList({"Version"}));
        QCOMPARE(columns("T_Schedule"),
                 QStringList({"ScheduleID", "Subject", "ActType", "Customer", "Contactor", "StartTime", "EndTime",
                              "Hours", "Remind", "Content", "author", "CustID", "RemindAt", "Reminded"}));
        QCOMPARE(columns("T_Sale"),
                 QStringList({"SaleID", "SaleNo", "SaleDate", "CustID", "Company", "Total", "Note", "F_User"}));
        QCOMPARE(columns("T_SaleLine"), QStringList({"LineID", "SaleID", "Product", "Quantity", "Price", "Amount"}));
        QVERIFY(!columns("category").isEmpty());
    }

    // The server's tables have the same columns, kinds, sizes and keys as
    // the supplied database file.
    void sameTablesOnTheServer() {
        if (!TestDb::onServer()) QSKIP("compares the server's tables with the file's: runs on the server");
        QTemporaryDir dir;
        QVERIFY(QFile::copy(TALLIX_SUPPLIED_DB, dir.filePath("custom.db")));
        db::Connection file;
        file.open(db::Connection::connStringForFile(dir.filePath("custom.db")));
        db::Query tables(&file);
        tables.setSql("select name from sqlite_master where type='table' and name not like 'sqlite_%'");
        tables.open();
        QVERIFY(tables.recordCount() >= 19);
        for (tables.first(); !tables.eof(); tables.next()) {
            const QString name = tables.asString("name");
            const auto& here = file.tableFields(name);
            const auto& there = t->data()->Connection->tableFields(name);
            QCOMPARE(there.size(), here.size());
            for (int i = 0; i < here.size(); ++i) {
                const QString what = name + "." + here[i].name;
                QVERIFY2(there[i].name == here[i].name, qPrintable(what + " is " + there[i].name));
                QVERIFY2(there[i].kind == here[i].kind, qPrintable(what));
                QVERIFY2(there[i].size == here[i].size, qPrintable(what));
                QVERIFY2(there[i].autoInc == here[i].autoInc, qPrintable(what));
            }
        }
    }

    void sizesAreEnforced_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("size");
        QTest::newRow("custom.Company") << "custom" << "Company" << 200;
        QTest::newRow("custom.PostCode") << "custom" << "PostCode" << 6;
        QTest::newRow("custom.Date") << "custom" << "Date" << 20;
        QTest::newRow("custom.From") << "custom" << "From" << 50;
        QTest::newRow("contact.Company") << "contact" << "Company" << 250;
        QTest::newRow("contact.Fax") << "contact" << "Fax" << 20;
        QTest::newRow("info.Regname") << "info" << "Regname" << 20;
        QTest::newRow("T_Import.S_Field") << "T_Import" << "S_Field" << 30;
        QTest::newRow("T_Schedule.Contactor") << "T_Schedule" << "Contactor" << 50;
        QTest::newRow("T_Sale.SaleNo") << "T_Sale" << "SaleNo" << 30;
    }
    void sizesAreEnforced() {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(int, size);
        open("select * from " + table + " where 1=0");
        q()->append();
        q()->setValue(column, QString(size, QChar(0x4E2D)));  // counted in characters, not bytes
        q()->post();
        q()->append();
        q()->setValue(column, QString(size + 1, 'x'));
        QVERIFY_THROWS_EXCEPTION(db::DbError, q()->post());
        q()->cancel();
        QCOMPARE(q()->recordCount(), 1);
    }

    void keywordColumnsInBrackets() {
        QVERIFY(t->exec("insert into custom (Company, [From], [Date]) values ('A', 'Fair', '2026-01-02')"));
        open("select * from custom where [date]>='2026-01-01' and [from]='Fair'");
        QCOMPARE(q()->recordCount(), 1);
    }

    void seedRows() {
        open("select * from admin");
        QCOMPARE(q()->recordCount(), 1);
        QCOMPARE(q()->asString("username"), QString("Admin"));
        QCOMPARE(q()->asString("password"), QString());
        QCOMPARE(q()->field("permit").asInteger(), 0);
        open("select * from info");
        QCOMPARE(q()->recordCount(), 1);
        open("select * from T_SoftInfo");
        QCOMPARE(q()->recordCount(), 1);
        QCOMPARE(q()->asString("SoftName") + q()->asString("Version"), QString("Tallix V1.70"));
        for (const char* lookup : {"type", "custfrom", "country", "province", "zw", "department"}) {
            open(QString("select * from %1").arg(lookup));
            QVERIFY2(q()->recordCount() >= 3, lookup);
        }
        for (const char* empty : {"category", "custom", "contact", "T_Daily", "T_Schedule", "T_Temp", "T_Sale",
                                  "T_SaleLine"}) {
            open(QString("select * from %1").arg(empty));
            QVERIFY2(q()->recordCount() == 0, empty);
        }
    }

    void fieldShowCoversEveryColumn_data() {
        QTest::addColumn<QString>("tableName");
        QTest::addColumn<QString>("table");
        QTest::newRow("Custom") << "Custom" << "custom";
        QTest::newRow("Contact") << "Contact" << "contact";
        QTest::newRow("daily") << "daily" << "T_Daily";
        QTest::newRow("Sale") << "Sale" << "T_Sale";
        QTest::newRow("SaleLine") << "SaleLine" << "T_SaleLine";
    }
    void fieldShowCoversEveryColumn() {
        QFETCH(QString, tableName);
        QFETCH(QString, table);
        open("select * from T_FieldShow where TableName='" + tableName + "' order by ShowID");
        QSet<QString> fields, names;
        QSet<qlonglong> ids, showIds;
        int shown = 0, printed = 0;
        QStringList shownFields;
        for (q()->first(); !q()->eof(); q()->next()) {
            fields << q()->asString("Field").toLower();
            names << q()->asString("Name");
            ids << q()->field("ID").asInteger();
            showIds << q()->field("ShowID").asInteger();
            QVERIFY(q()->field("Width").asInteger() > 20);
            if (q()->field("show").asInteger() == 1) {
                ++shown;
                shownFields << q()->asString("Field");
            }
            printed += int(q()->field("Print").asInteger());
        }
        const int n = q()->recordCount();
        QSet<QString> cols;
        for (const QString& c : columns(table)) cols << c.toLower();
        QCOMPARE(fields, cols);
        QCOMPARE(int(names.size()), n);
        QCOMPARE(int(ids.size()), n);
        QCOMPARE(int(showIds.size()), n);
        QVERIFY(shown > 0 && shown <= 17);
        QVERIFY(printed <= 6);
        if (tableName == "Contact") QCOMPARE(shownFields.value(2), QString("Main"));
    }

    void importMapping() {
        open("select * from T_FieldShow where show=1 and TableName='import' order by ShowID");
        QCOMPARE(q()->recordCount(), 2);
        QCOMPARE(q()->asString("Field"), QString("FieldName"));
        q()->next();
        QCOMPARE(q()->asString("Field"), QString("F_Field"));
        for (const QString& target : {QString("custom"), QString("contact")}) {
            open("select * from T_Import where tablename='" + target + "'");
            QVERIFY(q()->recordCount() > 10);
            const QStringList cols = columns(target);
            for (q()->first(); !q()->eof(); q()->next()) {
                const QString f = q()->asString("S_Field");
                QVERIFY2(cols.contains(f, Qt::CaseInsensitive) || f == "Name", qPrintable(f));
            }
        }
    }
};

QTEST_MAIN(TestSchema)
#include "tst_schema.moc"
