// A daily log entry is found by a key of its own: a stale delete on one
// workstation never hits another's newer entry. A database made before the
// key existed still opens; a super user's login adds the key, once, after a
// copy of the file, and says so; until then the log says what is missing.
#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTest>

#include "activities/U_AddDaily.h"
#include "activities/Windows.h"
#include "app/CommandLine.h"
#include "app/Places.h"
#include "app/SchemaUpgrade.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/U_login.h"
#include "app/db/SchemaVersion.h"
#include "app/db/ServerLogin.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

using testsupport::TestDb;

class TestSchemaUpgrade : public QObject, testsupport::AppFixture {
    Q_OBJECT

    // The database as an older version made it: the log without its key,
    // no version kept; entries 1 to 3, the second deleted again.
    void makeOld() {
        if (TestDb::onServer()) {
            QVERIFY(t->exec("drop trigger if exists t_daily_keys on t_daily"));
            QVERIFY(t->exec("alter table t_daily rename column dailyid to rid"));
            QVERIFY(t->exec("comment on column t_daily.rid is null"));
        } else {
            QVERIFY(t->exec("drop table T_Daily"));
            QVERIFY(t->exec("create table T_Daily (Subject VARCHAR(100) CHECK (length(Subject) <= 100), "
                            "Content MEMO, AddDate DATETIME, author VARCHAR(50) CHECK (length(author) <= 50))"));
            QVERIFY(t->exec("create index idx_daily_author on T_Daily (author, AddDate)"));
        }
        QVERIFY(t->exec("drop table T_SchemaVersion"));
        // Nor did it keep import choices or a log of imports.
        for (const char* table : {"T_ImportChoice", "T_ImportLog", "T_ImportRow"})
            QVERIFY(t->exec(QString("drop table %1").arg(table)));
        for (const char* s : {"one", "two", "three"})
            QVERIFY(t->exec(QString("insert into T_Daily (Subject, Content, AddDate, author) "
                                    "values ('%1', 'text of %1', '2026-03-01 00:00:00', 'Admin')").arg(s)));
        QVERIFY(t->exec("delete from T_Daily where Subject='two'"));
        t->data()->Connection->forgetTables();
    }
    // A file as versions before 4 made it: memos declared MEMO alone, which
    // gives SQLite's numeric affinity. The declared types are changed in
    // place, as an older program's schema would have written them.
    void makeOldMemos() {
        {
            QSqlDatabase d = QSqlDatabase::addDatabase("QSQLITE", "old-memos");
            d.setDatabaseName(t->dbPath());
            QVERIFY(d.open());
            QSqlQuery q(d);
            QVERIFY(q.exec("pragma schema_version") && q.next());
            const int cookie = q.value(0).toInt();
            QVERIFY(q.exec("pragma writable_schema=ON"));
            QVERIFY(q.exec("update sqlite_master set sql = replace(sql, 'MEMO TEXT', 'MEMO') where type = 'table'"));
            // Other connections read the tables' shape again.
            QVERIFY(q.exec(QString("pragma schema_version=%1").arg(cookie + 1)));
            QVERIFY(q.exec("pragma writable_schema=OFF"));
            QVERIFY(q.exec("update T_SchemaVersion set Version=3"));
            q = QSqlQuery();
            d.close();
        }
        QSqlDatabase::removeDatabase("old-memos");
        t->data()->Connection->forgetTables();
    }
    QStringList indexes() {
        QStringList out;
        auto q = t->select("select name from sqlite_master where type='index' and sql is not null order by name");
        for (q->first(); !q->eof(); q->next()) out << q->asString("name");
        return out;
    }
    void login(const QString& user, int permit) {
        if (permit != 0) QVERIFY(t->addUser(user, QString(), permit));
        TFrm_Login l;
        l.show();
        l.ComboBox1->setCurrentIndex(l.ComboBox1->findText(user));
        QTest::mouseClick(l.Btn_ok, Qt::LeftButton);
        QVERIFY(l.LoginOK);
    }
    QStringList backups() const {
        return QDir(t->dir()).entryList({"custom-before-*.db"}, QDir::Files);
    }
    QStringList subjects() {
        QStringList out;
        auto q = t->select("select * from T_Daily order by DailyID");
        for (q->first(); !q->eof(); q->next()) out << q->asString("Subject");
        return out;
    }

private slots:
    void initTestCase() { registerActivityWindows(); }
    void init() { QVERIFY(start()); }
    void cleanup() { stop(); }

    void newDatabaseIsAtTheLatestVersion() {
        db::Connection& c = *t->data()->Connection;
        QCOMPARE(db::schemaVersion(c), latestSchemaVersion());
        QVERIFY(db::hasColumn(c, "T_Daily", "DailyID"));
        for (const SchemaStep& s : schemaSteps()) QVERIFY2(!s.needed(c), qPrintable(s.what));
        // Logging in changes nothing and says nothing.
        login("Admin", 0);
        QVERIFY(dlg->requests.isEmpty());
        QVERIFY(backups().isEmpty());
    }

    void superUserLoginAddsTheKeyOnce() {
        makeOld();
        db::Connection& c = *t->data()->Connection;
        QCOMPARE(db::schemaVersion(c), 0);
        QVERIFY(!db::hasColumn(c, "T_Daily", "DailyID"));
        // A common user's login leaves it, and the log says what is missing.
        login("Tom", 1);
        QVERIFY(dlg->requests.isEmpty());
        setUser("Tom", 1);
        Frm_Data->Qry_Daily->setSql("select * from T_Daily");
        Frm_Data->Qry_Daily->open();
        main->DelDailyExecute();
        QCOMPARE(dlg->messages().size(), 1);
        QVERIFY(dlg->messages()[0].contains("T_Daily.DailyID"));
        QVERIFY(!dailyEntryToEdit());
        QCOMPARE(t->scalar("select count(*) from T_Daily"), 2);
        dlg->clear();
        Frm_Data->Qry_Daily->close();

        login("Admin", 0);
        QCOMPARE(dlg->messages().size(), 1);
        QCOMPARE(dlg->last()->title, QString("Database update"));
        QString said = dlg->messages()[0];
        if (TestDb::onServer()) {
            // A super user of the program is not the owner of the tables:
            // told who can, and how; the owner does it from a shell.
            QCOMPARE(dlg->last()->icon, toolkit::Icon::Warning);
            QVERIFY2(said.contains("tallix --upgrade-database"), qPrintable(said));
            QCOMPARE(db::schemaVersion(c), 0);
            QString message;
            db::forgetServerLogins();  // the shell is no workstation with a user logged in
            QVERIFY2(upgradeFromShell(Places::forProgram(t->dir()), t->dbConn(), &message) == 0, qPrintable(message));
            said = message;
            c.forgetTables();
        }
        QVERIFY2(said.contains("DailyID") && said.contains("T_ImportLog"), qPrintable(said + dlg->last()->detail));
        QCOMPARE(db::schemaVersion(c), latestSchemaVersion());
        QVERIFY(db::hasColumn(c, "T_Daily", "DailyID"));
        // Every entry kept, in its order, with what it held.
        QCOMPARE(subjects(), QStringList({"one", "three"}));
        QCOMPARE(t->text("select * from T_Daily where Subject='three'", "Content"), QString("text of three"));
        if (!TestDb::onServer()) {
            // The copy kept beside the file is the database as it was, and
            // the message names it.
            QCOMPARE(backups().size(), 1);
            QVERIFY(dlg->messages()[0].contains(backups()[0]));
            db::Connection copy;
            copy.open(db::Connection::connStringForFile(QDir(t->dir()).filePath(backups()[0])));
            QVERIFY(!db::hasColumn(copy, "T_Daily", "DailyID"));
            QCOMPARE(db::schemaVersion(copy), 0);
            // The row numbers became the keys; a new entry takes a new one.
            QCOMPARE(t->scalar("select DailyID from T_Daily where Subject='three'"), 3);
        }
        // The import tables are there, spelt as the program spells them, and
        // a new import is added as before until the user chooses otherwise.
        QStringList logColumns;
        for (const db::FieldDef& f : c.tableFields("T_ImportLog")) logColumns << f.name;
        QCOMPARE(logColumns, QStringList({"LogID", "UserName", "ImportedAt", "FileName", "TableName", "OnMatch",
                                          "MatchBy", "Added", "Updated", "Skipped", "Contacts", "UndoneBy",
                                          "UndoneAt"}));
        QCOMPARE(c.tableFields("T_ImportRow").size(), 7);
        QCOMPARE(t->text("select * from T_ImportChoice where tablename='custom'", "OnMatch"), QString("add"));
        QVERIFY(t->exec("insert into T_ImportLog (UserName, FileName) values ('Admin', 'a.xlsx')"));
        QVERIFY(t->exec("insert into T_ImportLog (UserName, FileName) values ('Admin', 'b.xlsx')"));
        QVERIFY(t->scalar("select LogID from T_ImportLog where FileName='b.xlsx'") >
                t->scalar("select LogID from T_ImportLog where FileName='a.xlsx'"));
        QVERIFY(t->exec("insert into T_Daily (Subject, author) values ('four', 'Admin')"));
        QVERIFY(t->scalar("select DailyID from T_Daily where Subject='four'") >
                t->scalar("select DailyID from T_Daily where Subject='three'"));
        // Once only.
        dlg->clear();
        login("Admin", 0);
        QVERIFY(dlg->requests.isEmpty());
        QVERIFY(backups().size() <= 1);
    }

    // An older file stored a memo that looks like a number as that number
    // ("007" as 7). A super user's login makes those tables again: every row
    // keeps its key and what it shows, the indexes stay, a deleted customer's
    // number is not handed out again, and new texts are kept as typed.
    void oldMemosKeepNumberLikeText() {
        if (TestDb::onServer()) QSKIP("the server keeps memos as text");
        makeOldMemos();
        if (QTest::currentTestFailed()) return;
        db::Connection& c = *t->data()->Connection;
        const QStringList old = db::tablesStoringNumberLikeMemos(c);
        for (const char* table : {"custom", "contact", "T_Daily", "T_Schedule", "T_Sale", "T_ImportRow"})
            QVERIFY2(old.contains(table), qPrintable(old.join(',')));
        const QStringList indexesBefore = indexes();

        const QStringList typed = {"007",  "1e3",  "1.50",  "note 007", "0.1", "-0", "  12 ", "0.30000000000000004",
                                   "1.2345678901234567e19", "1e-07", "9223372036854775807", "1e999"};
        QList<int> keys;
        QStringList shown;
        auto introduce = [&](int key) {
            return db::Statement("select Introduce, typeof(Introduce) as k from custom where CustID=:id").bind("id", key);
        };
        for (int i = 0; i < typed.size(); ++i) {
            QVERIFY(t->exec(db::Statement("insert into custom (Company, Introduce) values (:c, :t)")
                                .bind("c", QString("Old %1").arg(i))
                                .bind("t", typed[i])));
            keys << t->scalar(db::Statement("select CustID from custom where Company=:c").bind("c", QString("Old %1").arg(i)));
            shown << t->text(introduce(keys.last()), "Introduce");
        }
        QCOMPARE(shown.mid(0, 3), QStringList({"7", "1000", "1.5"}));
        QCOMPARE(shown[7], QString("0.30000000000000004"));
        QVERIFY(t->exec("insert into custom (Company) values ('No note')"));
        QCOMPARE(t->text("select typeof(Introduce) as k from custom where Company='Old 0'", "k"), QString("integer"));
        QVERIFY(t->exec("insert into contact (Name, introduce) values ('Old contact', '0042')"));
        QVERIFY(t->exec("insert into T_Daily (Subject, Content) values ('old entry', '2.50')"));
        // The newest customer goes: its number stays taken.
        QVERIFY(t->exec("insert into custom (Company) values ('Gone')"));
        const int gone = t->scalar("select CustID from custom where Company='Gone'");
        QVERIFY(t->exec("delete from custom where Company='Gone'"));
        const int customers = t->scalar("select count(*) from custom");

        login("Admin", 0);
        QCOMPARE(dlg->messages().size(), 1);
        QVERIFY2(dlg->messages()[0].contains("as typed") && dlg->messages()[0].contains(backups().value(0, "?")),
                 qPrintable(dlg->messages()[0]));
        QCOMPARE(db::schemaVersion(c), latestSchemaVersion());
        QVERIFY(db::tablesStoringNumberLikeMemos(c).isEmpty());
        QCOMPARE(indexes(), indexesBefore);
        QCOMPARE(t->scalar("select count(*) from custom"), customers);
        for (const db::FieldDef& f : c.tableFields("custom"))
            if (f.name == "Introduce") QCOMPARE(int(f.kind), int(db::FieldKind::Memo));

        // What was stored shows as before, now as text.
        for (int i = 0; i < typed.size(); ++i) {
            QCOMPARE(t->text(introduce(keys[i]), "Introduce"), shown[i]);
            QCOMPARE(t->text(introduce(keys[i]), "k"), QString("text"));
        }
        QCOMPARE(t->text("select typeof(Introduce) as k from custom where Company='No note'", "k"), QString("null"));
        QCOMPARE(t->text("select introduce from contact where Name='Old contact'", "introduce"), QString("42"));
        QCOMPARE(t->text("select Content from T_Daily where Subject='old entry'", "Content"), QString("2.5"));

        // New texts are kept as typed; a new customer's number is past the deleted one.
        for (int i = 0; i < typed.size(); ++i) {
            QVERIFY(t->exec(db::Statement("insert into custom (Company, Introduce) values (:c, :t)")
                                .bind("c", QString("New %1").arg(i))
                                .bind("t", typed[i])));
            QCOMPARE(t->text(db::Statement("select Introduce from custom where Company=:c").bind("c", QString("New %1").arg(i)),
                             "Introduce"),
                     typed[i]);
        }
        QVERIFY(t->scalar("select min(CustID) from custom where Company like 'New %'") > gone);
        QVERIFY(t->exec("insert into contact (Name, introduce) values ('New contact', '0042')"));
        QCOMPARE(t->text("select introduce from contact where Name='New contact'", "introduce"), QString("0042"));

        // The copy kept is the file as it was, no more open to others than it.
        QCOMPARE(backups().size(), 1);
        QCOMPARE(QFileInfo(QDir(t->dir()).filePath(backups()[0])).permissions(), QFileInfo(t->dbPath()).permissions());
        QVERIFY(!(QFileInfo(t->dbPath()).permissions() & QFile::ReadOther));
        db::Connection copy;
        copy.open(db::Connection::connStringForFile(QDir(t->dir()).filePath(backups()[0])));
        QVERIFY(db::tablesStoringNumberLikeMemos(copy).contains("custom"));
    }

    void aFailedStepChangesNothing() {
        if (TestDb::onServer()) QSKIP("the embedded engine's rebuild is what fails here");
        makeOld();
        // Something in the way of the rebuilt table: the step fails.
        QVERIFY(t->exec("create table T_Daily_new (x INTEGER)"));
        login("Admin", 0);
        QCOMPARE(dlg->messages().size(), 1);
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Warning);
        QVERIFY(!dlg->last()->detail.isEmpty());
        db::Connection& c = *t->data()->Connection;
        QVERIFY(!db::hasColumn(c, "T_Daily", "DailyID"));
        QCOMPARE(db::schemaVersion(c), 0);
        QCOMPARE(t->scalar("select count(*) from T_Daily"), 2);
        QVERIFY(!c.inTransaction());
        // Nothing changed, so no copy is left to pile up.
        QVERIFY(backups().isEmpty());
        QVERIFY(QDir(t->dir()).entryList({"*.part*"}, QDir::Files).isEmpty());
    }

    // Another workstation deleted an entry and wrote a new one; this one
    // still lists the deleted entry and deletes it: nothing else goes, and
    // the user is told.
    void aStaleDeleteHitsNoNewerEntry() {
        setUser("Admin", 0);
        QVERIFY(t->exec("insert into T_Daily (Subject, Content, AddDate, author) "
                        "values ('mine', 'x', '2026-03-01 00:00:00', 'Admin')"));
        db::Query* q = Frm_Data->Qry_Daily;
        q->setSql("select * from T_Daily");
        q->open();
        QCOMPARE(q->asString("Subject"), QString("mine"));
        {
            db::Connection second;
            second.open(t->connString());
            db::Query other(&second);
            other.setSql("delete from T_Daily where Subject='mine'");
            other.execSql();
            other.setSql("insert into T_Daily (Subject, Content, AddDate, author) "
                         "values ('theirs', 'y', '2026-03-02 00:00:00', 'Tom')");
            other.execSql();
        }
        dlg->answers = {QMessageBox::Yes};
        main->DelDailyExecute();
        QCOMPARE(dlg->messages().size(), 2);
        QVERIFY(dlg->messages()[1].contains("already been deleted"));
        QCOMPARE(t->rowCount("select * from T_Daily where Subject='theirs'"), 1);
        QCOMPARE(q->recordCount(), 0);  // the stale row left the list

        // The same for an edit: its save says the entry is gone.
        q->close();
        q->open();
        QCOMPARE(q->asString("Subject"), QString("theirs"));
        QVERIFY(t->exec("delete from T_Daily"));
        dlg->clear();
        TFrm_AddDaily e;
        e.AddMode = false;
        e.show();
        QTest::keyClicks(e.Edit_Subject, " edited");
        dlg->answers = {QMessageBox::No};
        QTest::mouseClick(e.Btn_OK, Qt::LeftButton);
        QCOMPARE(dlg->messages().size(), 1);
        QVERIFY(dlg->messages()[0].contains("deleted on another workstation"));
        QCOMPARE(t->scalar("select count(*) from T_Daily"), 0);
    }
};

QTEST_MAIN(TestSchemaUpgrade)
#include "tst_schemaupgrade.moc"
