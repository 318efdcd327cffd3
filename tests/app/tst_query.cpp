// Record-set behaviour against a real database. The cases name no engine:
// they run on the embedded engine and on the test database server.
#include <QSignalSpy>
#include <QTest>

#include "app/db/Connection.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "app/db/RowInserter.h"
#include "app/db/Statement.h"
#include "app/db/Transaction.h"
#include "tests/support/TestDb.h"
#include "toolkit/RecordSource.h"

using db::Query;

class TestQuery : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TestDb> tdb;
    std::unique_ptr<db::Connection> conn;

    void exec(const db::Statement& sql) {
        Query q(conn.get());
        q.setSql(sql);
        q.execSql();
    }
    int count(const QString& sql) {
        Query q(conn.get());
        q.setSql(sql);
        q.open();
        return int(q.field(0).asInteger());
    }
    qlonglong addCustomer(const QString& company, const QString& category = QString(),
                          const QString& tel = QString()) {
        Query q(conn.get());
        q.setSql("select * from custom where 1=0");
        q.open();
        q.append();
        q.setValue("Company", company);
        q.setValue("Category", category);
        q.setValue("Tel", tel);
        q.post();
        return q.field("CustID").asInteger();
    }
    void addContact(qlonglong custId, const QString& name) {
        Query q(conn.get());
        q.setSql("select * from contact where 1=0");
        q.open();
        q.append();
        q.setValue("CustID", QString::number(custId));
        q.setValue("Name", name);
        q.post();
    }

private slots:
    void initTestCase() { TALLIX_SKIP_WITHOUT_TEST_SERVER(); }

    void init() {
        tdb = std::make_unique<testsupport::TestDb>();
        QVERIFY(tdb->ok());
        conn = std::make_unique<db::Connection>();
        conn->open(tdb->connString());
        exec("delete from custom");
        exec("delete from contact");
    }
    void cleanup() {
        conn.reset();
        tdb.reset();
    }

    void appendPostAssignsKeyAndEditWritesBack() {
        Query q(conn.get());
        q.setSql("select * from custom");
        q.open();
        QCOMPARE(q.recordCount(), 0);
        QVERIFY(q.eof());
        q.append();
        QCOMPARE(q.state(), Query::State::Insert);
        q.setValue("Company", "Acme");
        q.setValue("Date", "2026-12-08");
        q.post();
        QCOMPARE(q.state(), Query::State::Browse);
        QCOMPARE(q.recordCount(), 1);
        const qlonglong id = q.field("CustID").asInteger();
        QVERIFY(id > 0);
        q.append();
        q.setValue("Company", "Beta");
        q.post();
        QCOMPARE(q.field("custid").asInteger(), id + 1);
        QCOMPARE(q.currentRow(), 1);

        q.first();
        q.edit();
        q.setValue("company", "Acme Ltd");
        q.post();
        QCOMPARE(q.asString("Company"), QString("Acme Ltd"));
        QCOMPARE(count("select count(*) from custom where Company='Acme Ltd' and [date]='2026-12-08'"), 1);

        // cancel throws the change away
        q.edit();
        q.setValue("Company", "Gone");
        q.cancel();
        QCOMPARE(q.asString("Company"), QString("Acme Ltd"));
        QCOMPARE(count("select count(*) from custom where Company='Gone'"), 0);
    }

    void deleteRemovesCurrentRow() {
        addCustomer("A");
        addCustomer("B");
        addCustomer("C");
        Query q(conn.get());
        q.setSql("select * from custom order by Company");
        q.open();
        q.next();
        QCOMPARE(q.asString("Company"), QString("B"));
        q.remove();
        QCOMPARE(q.recordCount(), 2);
        QCOMPARE(q.asString("Company"), QString("C"));
        q.remove();
        QCOMPARE(q.asString("Company"), QString("A"));
        q.remove();
        QVERIFY(q.isEmpty());
        QCOMPARE(count("select count(*) from custom"), 0);
        // Deleting from an empty result is an error, not a silent no-op.
        QVERIFY_THROWS_EXCEPTION(db::DbError, q.remove());
    }

    // After a delete the row that followed the deleted one is current, even
    // when a listener (a view) moves the cursor while the row is taken out.
    void deleteLeavesTheFollowingRowCurrent() {
        for (const char* c : {"A", "B", "C", "D", "E"}) addCustomer(c);
        Query q(conn.get());
        q.setSql("select * from custom order by Company");
        q.open();
        int moves = 0;
        connect(&q, &toolkit::RecordSource::rowAboutToBeRemoved, &q, [&](int row) {
            // What a list view does with its own current index.
            if (row + 1 < q.recordCount()) q.setCurrentRow(row + 1);
            ++moves;
        });
        QSignalSpy current(&q, &toolkit::RecordSource::currentRowChanged);
        q.setCurrentRow(1);
        q.remove();
        QCOMPARE(moves, 1);
        QCOMPARE(q.currentRow(), 1);
        QCOMPARE(q.asString("Company"), QString("C"));
        QCOMPARE(current.last().first().toInt(), 1);  // the last word is the true row
        q.last();
        q.remove();
        QCOMPARE(q.asString("Company"), QString("D"));
        QCOMPARE(q.recordCount(), 3);
        QCOMPARE(count("select count(*) from custom where Company in ('B', 'E')"), 0);
    }

    // Empty text set on purpose is stored as empty text, never as NULL.
    void emptyTextIsStoredAsEmptyText() {
        Query q(conn.get());
        q.setSql("select * from contact");
        q.open();
        q.append();
        q.setValue("Name", "Nobody's");
        q.setValue("CustID", QString());
        q.setValue("Company", QString(""));
        q.post();
        QCOMPARE(count("select count(*) from contact where CustID = '' and Company = ''"), 1);
        QCOMPARE(count("select count(*) from contact where CustID is null"), 0);
    }

    // An editor saved without a change sets each field to what its box
    // shows: empty text where nothing is stored leaves the field as it was;
    // clearing what was stored is still written.
    void emptyTextOverNothingChangesNothing() {
        const qlonglong id = addCustomer("Quiet Co", "Retail", "0755-1");
        const QString where = QString(" from custom where CustID=%1").arg(id);
        exec(db::Statement("update custom set City=NULL where CustID=:id").bind("id", id));
        Query q(conn.get());
        q.setSql("select *" + where);
        q.open();
        q.edit();
        q.setValue("City", QString(""));
        q.setValue("Address", QString());
        q.setValue("Tel", QString(""));
        q.post();
        QCOMPARE(count("select count(*)" + where + " and City is null and Address is null and Tel = ''"), 1);
        q.edit();
        q.setValue("City", QString("Shenzhen"));
        q.post();
        q.edit();
        q.setValue("City", QString(""));
        q.post();
        QCOMPARE(count("select count(*)" + where + " and City = ''"), 1);
    }

    // A refused write says in words what is wrong, not the engine's phrase.
    void refusalsSaidInWords() {
        Query q(conn.get());
        q.setSql("select * from custom");
        q.open();
        q.append();
        q.setValue("Company", "Long Address Ltd");
        q.setValue("Address", QString(5000, 'a'));
        try {
            q.post();
            QFAIL("an over-long address was stored");
        } catch (const db::DbError& e) {
            QVERIFY2(e.text().contains("Address") && e.text().contains("120"), qPrintable(e.text()));
            QVERIFY2(!e.text().contains("CHECK constraint"), qPrintable(e.text()));
            QVERIFY2(!e.text().contains("Unable to fetch row"), qPrintable(e.text()));
        }
        q.cancel();
        QCOMPARE(count("select count(*) from custom"), 0);
    }

    // Two workstations: a row changed or deleted by the other after this one
    // read it is never silently overwritten; read again, it saves.
    void changesOfAnotherWorkstationAreNotOverwritten() {
        const qlonglong id = addCustomer("Acme");
        exec(QString("update custom set Tel=NULL, Date='2024-03-05' where CustID=%1").arg(id));
        addCustomer("Beta");
        db::Connection second;
        second.open(tdb->connString());
        Query other(&second);

        Query q(conn.get());
        q.setSql("select * from custom order by CustID");
        q.open();
        QCOMPARE(q.asString("Company"), QString("Acme"));  // read here
        other.setSql(QString("update custom set Company='Acme (theirs)' where CustID=%1").arg(id));
        other.execSql();
        q.edit();
        q.setValue("Company", "Acme (mine)");
        try {
            q.post();
            QFAIL("another workstation's change was overwritten");
        } catch (const db::ConflictError& e) {
            QCOMPARE(e.kind(), db::ConflictError::Changed);
            QVERIFY(e.text().contains("changed on another workstation"));
        }
        q.cancel();
        QCOMPARE(count("select count(*) from custom where Company='Acme (theirs)'"), 1);
        q.refreshRow();
        QCOMPARE(q.asString("Company"), QString("Acme (theirs)"));
        q.edit();
        q.setValue("Company", "Acme (mine)");
        q.post();  // read again: saved
        QCOMPARE(count("select count(*) from custom where Company='Acme (mine)'"), 1);

        // Nothing changed meanwhile: no false alarm, nulls and dates included.
        q.edit();
        q.setValue("Fax", "1");
        q.post();
        QCOMPARE(count("select count(*) from custom where Fax='1'"), 1);

        // Deleted by the other: said so, and reading again takes it off the list.
        q.next();
        QCOMPARE(q.asString("Company"), QString("Beta"));
        other.setSql("delete from custom where Company='Beta'");
        other.execSql();
        q.edit();
        q.setValue("Tel", "2");
        try {
            q.post();
            QFAIL("a deleted row was saved");
        } catch (const db::ConflictError& e) {
            QCOMPARE(e.kind(), db::ConflictError::Deleted);
        }
        q.cancel();
        q.refreshRow();
        QCOMPARE(q.recordCount(), 1);
        QCOMPARE(q.asString("Company"), QString("Acme (mine)"));
        QCOMPARE(count("select count(*) from custom"), 1);
    }

    // Walking a long list in blocks, one column or whole rows, gives the
    // list's own rows in its own order, whatever its filter and sort.
    void blockReadsFollowTheList() {
        for (int i = 0; i < 300; ++i) addCustomer(QString("C%1").arg(i, 3, 10, QChar('0')), QString(), QString::number(1000 - i));
        exec("delete from custom where Company in ('C005', 'C150')");
        Query q(conn.get());
        q.setSql("select * from custom where Company like 'C1%' or Company like 'C0%'");
        q.open();
        QCOMPARE(q.recordCount(), 198);
        const int f = q.fieldIndex("Company");
        auto expected = [&] {
            QStringList out;
            for (int i = 0; i < q.recordCount(); ++i) out << q.textAt(i, f);
            return out;
        };
        auto byColumn = [&](int block) {
            QStringList out;
            for (int i = 0; i < q.recordCount(); i += block)
                for (const QVariant& v : q.columnValues(f, i, block)) out << v.toString();
            return out;
        };
        const int tel = q.fieldIndex("Tel");
        auto byRows = [&](int block) {
            QStringList out;
            for (int i = 0; i < q.recordCount(); i += block)
                for (const QVector<QVariant>& row : q.blockValues({f, tel}, i, block)) {
                    if (row.size() != 2) return QStringList{"a row of the wrong width"};
                    if (row[1].toString() != QString::number(1000 - row[0].toString().mid(1).toInt()))
                        return QStringList{"a row of mixed customers"};
                    out << row[0].toString();
                }
            return out;
        };
        QCOMPARE(byColumn(4096), expected());
        QCOMPARE(byColumn(7), expected());
        QCOMPARE(byRows(4096), expected());
        QCOMPARE(byRows(3), expected());  // blocks both with and without the gaps
        QCOMPARE(expected().value(5), QString("C006"));  // the gap is skipped
        q.sortBy("Tel");  // descending numbers as text: no longer in key order
        QCOMPARE(byColumn(50), expected());
        QCOMPARE(byRows(50), expected());
        QCOMPARE(expected().mid(0, 2), QStringList({"C000", "C199"}));  // "1000" < "801" as text
        QVERIFY(q.columnValues(f, 190, 50).size() == 8);
        QVERIFY(!q.columnValues(-1, 0, 5).value(0).isValid());  // no such field: nothing
    }

    void navigationAndExactCount() {
        for (int i = 0; i < 150; ++i) addCustomer(QString("C%1").arg(i, 3, 10, QChar('0')));
        Query q(conn.get());
        q.setSql("select * from custom where Company like 'C1%'");
        q.open();
        QCOMPARE(q.recordCount(), 50);
        int seen = 0;
        for (q.first(); !q.eof(); q.next()) {
            QVERIFY(q.asString("Company").startsWith("C1"));
            ++seen;
        }
        QCOMPARE(seen, 50);
        q.last();
        QCOMPARE(q.currentRow(), 49);
        // Rows far apart (different read chunks) hold their own values.
        q.setSql("select * from custom order by CustID");
        q.open();
        QCOMPARE(q.textAt(0, q.fieldIndex("Company")), QString("C000"));
        QCOMPARE(q.textAt(149, q.fieldIndex("Company")), QString("C149"));
        QCOMPARE(q.textAt(70, q.fieldIndex("Company")), QString("C070"));
    }

    void naturalOrderDespiteCoveringIndexes() {
        // Owners and names out of key order: an index on either must not
        // decide the order of a statement that gives none.
        const QStringList owners = {"Zed", "Amy", "Moe", "Amy", "Bob"};
        for (int i = 0; i < owners.size(); ++i) {
            const qlonglong id = addCustomer(QString("N%1").arg(9 - i));
            exec(QString("update custom set F_User='%1' where CustID=%2").arg(owners[i]).arg(id));
        }
        for (const QString& sql : {QString("select * from custom"),
                                   QString("select * from custom where F_User like '%'"),
                                   QString("select * from custom where Company like 'N%' and F_User<>'x'")}) {
            Query q(conn.get());
            q.setSql(sql);
            q.open();
            QCOMPARE(q.recordCount(), 5);
            qlonglong prev = 0;
            for (q.first(); !q.eof(); q.next()) {
                QVERIFY2(q.field("CustID").asInteger() > prev, qPrintable(sql));
                prev = q.field("CustID").asInteger();
            }
        }
        // An order given by the statement is kept, also next to a quoted "order by".
        Query q(conn.get());
        q.setSql("select * from custom where Company<>'order by x' order by F_User");
        q.open();
        QCOMPARE(q.asString("F_User"), QString("Amy"));
    }

    void namesInAnyLetterCase() {
        exec("delete from T_Temp");
        Query q(conn.get());
        q.setSql("select * from T_temp");
        q.open();
        q.append();
        q.setValue("s_field", "Company");
        q.setValue("CELLID", 3);
        q.post();
        Query r(conn.get());
        r.setSql("SELECT * FROM t_TEMP");
        r.open();
        QCOMPARE(r.recordCount(), 1);
        QCOMPARE(r.field("S_Field").asString(), QString("Company"));
        QCOMPARE(r.field("cellid").asInteger(), 3);
        const qlonglong id = addCustomer("X");
        Query c(conn.get());
        c.setSql("select * from [custom]");
        c.open();
        QCOMPARE(c.field("custid").asInteger(), id);
        QCOMPARE(c.field("CUSTID").asString(), QString::number(id));
        QVERIFY_THROWS_EXCEPTION(db::DbError, c.field("NoSuchField"));
    }

    void nullsReadAsDefaults() {
        addCustomer("Only");
        Query q(conn.get());
        q.setSql("select * from contact");
        q.open();
        q.append();
        q.setValue("Name", "P");
        q.post();
        QCOMPARE(q.field("Email").asString(), QString());
        QCOMPARE(q.field("Main").asBoolean(), false);
        QCOMPARE(q.field("ContactId").asInteger() > 0, true);
        QVERIFY(!q.field("Birthday").asDateTime().isValid());
        QVERIFY(q.field("Birthday").isNull());
        // An empty result reads as nulls too.
        Query e(conn.get());
        e.setSql("select * from custom where 1=0");
        e.open();
        QCOMPARE(e.asString("Company"), QString());
        QCOMPARE(e.field("CustID").asInteger(), 0);
    }

    void typedValuesRoundTrip() {
        Query q(conn.get());
        q.setSql("select * from contact");
        q.open();
        q.append();
        q.setValue("Name", "Li Lei");
        q.setValue("Main", true);
        q.setValue("Birthday", QDateTime(QDate(1980, 2, 29), QTime(0, 0)));
        q.post();
        Query r(conn.get());
        r.setSql("select * from contact");
        r.open();
        QCOMPARE(r.field("Main").asBoolean(), true);
        QCOMPARE(r.field("Birthday").asDateTime().date(), QDate(1980, 2, 29));
        QCOMPARE(r.field("Birthday").asString(), QString("1980-02-29"));
        QCOMPARE(r.field("Main").asString(), QString("True"));
    }

    // A memo holds text: one that looks like a number stays as typed.
    void memoKeepsNumberLikeText() {
        const QStringList texts = {"007", "1.50", "1e3", " 12 ", "02\n"};
        {
            db::TransactionGuard g(*conn);
            db::RowInserter many(conn.get(), "contact", {"CustID", "introduce"});
            for (int i = 0; i < texts.size(); ++i) many.add({QString("memo%1").arg(i), texts[i]});
            many.flush();
            for (int i = 0; i < texts.size(); ++i)
                exec(db::Statement("insert into custom (Company, Introduce) values (:c, :t)")
                         .bind("c", QString("Memo Co %1").arg(i))
                         .bind("t", texts[i]));
            g.commit();
        }
        Query q(conn.get());
        for (int i = 0; i < texts.size(); ++i) {
            q.setSql(db::Statement("select introduce from contact where CustID=:id").bind("id", QString("memo%1").arg(i)));
            q.open();
            QCOMPARE(q.field("introduce").asString(), texts[i]);
            q.setSql(db::Statement("select Introduce from custom where Company=:c").bind("c", QString("Memo Co %1").arg(i)));
            q.open();
            QCOMPARE(q.field("Introduce").asString(), texts[i]);
        }
    }

    // Rows written many at a time (an import's) are stored exactly as the
    // same values saved one by one through a statement; a value the column
    // cannot take is refused in words.
    void manyRowsStoreWhatOneRowStores() {
        if (!testsupport::TestDb::onServer())
            QVERIFY2(conn->dialect().repeated(conn->database(), "insert into contact (Name) values (?)"),
                     "the embedded engine's own interface is not in use");
        const QStringList cols = {"CustID", "Name", "Main", "Birthday", "Company", "Introduce", "Email"};
        const QList<QVariantList> rows = {
            {"1", "李雷 \"O'Neil\" 100%", true, QDateTime(QDate(1980, 2, 29), QTime(0, 0)), "", QString(5000, QChar(0x4e2d)), QVariant()},
            // Characters of one to four bytes in the engine's encoding.
            {"2", QString(), false, QVariant(), "  spaced  ", QString::fromUtf8("two\nlines é ß 𠀀 😀"), "a_b@x.cn"},
        };
        {
            db::TransactionGuard g(*conn);
            db::RowInserter many(conn.get(), "contact", cols);
            for (const QVariantList& r : rows) many.add(r);
            many.flush();
            QCOMPARE(many.rowsWritten(), 2);
            for (QVariantList r : rows) {
                r[0] = r[0].toString() + "b";
                db::Statement one("insert into contact (CustID, Name, Main, Birthday, Company, Introduce, Email) "
                                  "values (:a, :b, :c, :d, :e, :f, :g)");
                for (int i = 0; i < r.size(); ++i) one.bind(QString(QChar('a' + i)), r[i]);
                exec(one);
            }
            g.commit();
        }
        Query a(conn.get()), b(conn.get());
        for (const QString& id : {QString("1"), QString("2")}) {
            a.setSql(db::Statement("select * from contact where CustID=:id").bind("id", id));
            b.setSql(db::Statement("select * from contact where CustID=:id").bind("id", id + "b"));
            a.open();
            b.open();
            QCOMPARE(a.recordCount(), 1);
            for (const QString& col : cols.mid(1)) {
                QCOMPARE(a.field(col).isNull(), b.field(col).isNull());
                QCOMPARE(a.field(col).asString(), b.field(col).asString());
            }
        }
        QCOMPARE(a.field("Company").asString(), QString("  spaced  "));
        QCOMPARE(a.field("Introduce").asString(), QString::fromUtf8("two\nlines é ß 𠀀 😀"));
        a.setSql("select * from contact where CustID='1'");
        a.open();
        QCOMPARE(a.field("Introduce").asString().size(), 5000);
        QVERIFY(a.field("Email").isNull());
        QCOMPARE(a.field("Main").asBoolean(), true);

        // Written behind, on a thread of their own: every row, in order, and
        // a refused row reported by a later add() or by flush().
        {
            db::TransactionGuard g(*conn);
            db::RowInserter behind(conn.get(), "contact", {"CustID", "Name", "Main"}, true);
            for (int i = 0; i < 3000; ++i) behind.add({"behind", QString("第%1").arg(i), i % 2 == 0});
            behind.flush();
            g.commit();
        }
        QCOMPARE(count("select count(*) from contact where CustID='behind'"), 3000);
        QCOMPARE(count("select count(*) from contact where CustID='behind' and Main=1"), 1500);
        a.setSql("select Name from contact where CustID='behind' order by ContactId");
        a.open();
        for (int i = 0; i < 3000; ++i, a.next()) QCOMPARE(a.field("Name").asString(), QString("第%1").arg(i));
        {
            db::TransactionGuard g(*conn);
            db::RowInserter behind(conn.get(), "contact", {"CustID", "PostCode"}, true);
            try {
                for (int i = 0; i < 3000; ++i) behind.add({"refused", i == 1500 ? QString(51, 'x') : QString("1")});
                behind.flush();
                QFAIL("a postcode longer than its column was stored");
            } catch (const db::DbError& e) {
                QVERIFY2(e.text().contains("50"), qPrintable(e.text()));
            }
        }
        QCOMPARE(count("select count(*) from contact where CustID='refused'"), 0);

        db::TransactionGuard g(*conn);
        db::RowInserter bad(conn.get(), "contact", {"Name", "PostCode"});
        try {
            bad.add({"Too long", QString(51, 'x')});
            bad.flush();
            QFAIL("a postcode longer than its column was stored");
        } catch (const db::DbError& e) {
            // The server's words name the column's type, not its name.
            QVERIFY2(e.text().contains("50") && e.text().contains(testsupport::TestDb::onServer() ? "too long" : "PostCode"),
                     qPrintable(e.text()));
            QVERIFY2(!e.text().contains("CHECK constraint"), qPrintable(e.text()));
        }
    }

    // Dates stored as text by other programs read back in each form they
    // come in; an impossible date reads as none.
    void storedDateForms() {
        QList<QPair<QString, QDateTime>> forms = {
            {"1980-02-29", QDateTime(QDate(1980, 2, 29), QTime(0, 0))},
            {" 1999-12-31 23:59:59 ", QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59))},
            {"2024-05-17T10:20:30", QDateTime(QDate(2024, 5, 17), QTime(10, 20, 30))},
            {"2024-05-17 10:20", QDateTime(QDate(2024, 5, 17), QTime(10, 20))},
        };
        // The server keeps whole seconds.
        if (!testsupport::TestDb::onServer())
            forms.append({"2024-05-17 10:20:30.125", QDateTime(QDate(2024, 5, 17), QTime(10, 20, 30, 125))});
        for (const auto& f : forms)
            exec(db::Statement("insert into contact (Name, Birthday) values ('P', :day)").bind("day", f.first));
        if (!testsupport::TestDb::onServer()) exec("insert into contact (Name, Birthday) values ('P', '2023-02-29 10:00:00')");
        Query q(conn.get());
        q.setSql("select * from contact order by ContactId");
        q.open();
        for (const auto& f : forms) {
            QCOMPARE(q.field("Birthday").asDateTime(), f.second);
            q.next();
        }
        if (!testsupport::TestDb::onServer()) QVERIFY(!q.field("Birthday").asDateTime().isValid());
    }

    void quotesStoredVerbatim() {
        const QString name = "O'Brien \"and\" Sons; drop table custom --";
        addCustomer(name);
        Query q(conn.get());
        q.setSql(db::Statement("select * from custom where Company=:name").bind("name", name));
        q.open();
        QCOMPARE(q.recordCount(), 1);
        QCOMPARE(q.asString("Company"), name);
        q.setSql(db::Statement("select * from custom where Company like :pat").bind("pat", "%O'B%"));
        q.open();
        QCOMPARE(q.recordCount(), 1);
    }

    void masterDetailFollowsMaster() {
        const qlonglong a = addCustomer("A");
        const qlonglong b = addCustomer("B");
        addCustomer("C");
        addContact(a, "a1");
        addContact(a, "a2");
        addContact(b, "b1");
        Query master(conn.get());
        toolkit::DataSource ds(&master);
        master.setSql("select * from custom order by CustID");
        master.open();
        Query detail(conn.get());
        detail.setMasterSource(&ds);
        detail.setSql("Select * From Contact where CustID=:CustID");
        detail.open();
        QCOMPARE(detail.recordCount(), 2);
        master.next();
        QCOMPARE(detail.recordCount(), 1);
        QCOMPARE(detail.asString("Name"), QString("b1"));
        master.next();
        QCOMPARE(detail.recordCount(), 0);
        master.first();
        QCOMPARE(detail.recordCount(), 2);
        // A reopened master takes the detail along.
        master.close();
        master.setSql("select * from custom where Company='B'");
        master.open();
        QCOMPARE(detail.recordCount(), 1);
        // Cut the link: the detail no longer follows.
        detail.setMasterSource(nullptr);
        detail.setSql("Select * from Contact order by ContactID");
        detail.open();
        master.setSql("select * from custom where Company='C'");
        master.open();
        QCOMPARE(detail.recordCount(), 3);
    }

    void clientSideSort() {
        addCustomer("delta", "", "3");
        addCustomer("Alpha", "", "10");
        addCustomer("charlie", "", "2");
        addCustomer("Bravo", "", "");
        Query q(conn.get());
        q.setSql("select * from custom");
        q.open();
        q.sortBy("company");
        QStringList names;
        for (q.first(); !q.eof(); q.next()) names << q.asString("Company");
        QCOMPARE(names, QStringList({"Alpha", "Bravo", "charlie", "delta"}));
        q.sortBy("CustID");
        QCOMPARE(q.asString("Company"), QString("delta"));
        // tel is text: sorted as text, empty first
        q.sortBy("tel");
        QStringList tels;
        for (q.first(); !q.eof(); q.next()) tels << q.asString("Tel");
        QCOMPARE(tels, QStringList({"", "10", "2", "3"}));
        QVERIFY_THROWS_EXCEPTION(db::DbError, q.sortBy("nosuch"));
    }

    void displayLabels() {
        Query q(conn.get());
        q.setSql("select * from custom");
        q.open();
        QSignalSpy spy(&q, &toolkit::RecordSource::labelsChanged);
        q.setDisplayLabel("company", "Company Name");
        QCOMPARE(q.field("Company").displayLabel(), QString("Company Name"));
        QCOMPARE(q.displayLabel(q.fieldIndex("Tel")), QString("Tel"));
        QCOMPARE(spy.count(), 1);
    }

    void engineErrorsRaiseAndKeepState() {
        Query q(conn.get());
        q.setSql("select * from nosuchtable");
        try {
            q.open();
            QFAIL("no error raised");
        } catch (const db::DbError& e) {
            QVERIFY(e.text().contains("nosuchtable", Qt::CaseInsensitive));
        }
        QVERIFY(!q.active());
        // A post the engine refuses leaves the row being inserted and writes nothing.
        q.setSql("select * from custom");
        q.open();
        q.append();
        q.setValue("Company", QString(201, 'x'));
        QVERIFY_THROWS_EXCEPTION(db::DbError, q.post());
        QCOMPARE(q.state(), Query::State::Insert);
        QCOMPARE(q.recordCount(), 0);
        q.setValue("Company", QString(200, 'x'));
        q.post();
        QCOMPARE(count("select count(*) from custom"), 1);
        // Writing outside edit mode is an error.
        QVERIFY_THROWS_EXCEPTION(db::DbError, q.setValue("Company", "x"));
    }

    void otherStatementsAreReadWhole() {
        addCustomer("A", "01");
        addCustomer("B", "01");
        addCustomer("C", "02");
        Query q(conn.get());
        q.setSql("select Category, count(*) as n from custom group by Category order by Category");
        q.open();
        QCOMPARE(q.recordCount(), 2);
        QCOMPARE(q.asString("category"), QString("01"));
        QCOMPARE(q.field("N").asInteger(), 2);
        QVERIFY(!q.writable());
        QVERIFY_THROWS_EXCEPTION(db::DbError, q.append());
    }

    void transactionGuardRollsBack() {
        const qlonglong a = addCustomer("A");
        addContact(a, "p");
        {
            db::TransactionGuard t(*conn);
            exec("delete from contact where custid='" + QString::number(a) + "'");
            // leaving without commit
        }
        QCOMPARE(count("select count(*) from contact"), 1);
        {
            db::TransactionGuard t(*conn);
            exec("delete from contact where custid='" + QString::number(a) + "'");
            t.commit();
        }
        QCOMPARE(count("select count(*) from contact"), 0);
    }

    void changeSignalsArePaired() {
        Query q(conn.get());
        q.setSql("select * from custom");
        QSignalSpy before(&q, &toolkit::RecordSource::aboutToReset);
        QSignalSpy after(&q, &toolkit::RecordSource::resetDone);
        QSignalSpy ins(&q, &toolkit::RecordSource::rowInserted);
        QSignalSpy rem(&q, &toolkit::RecordSource::rowRemoved);
        q.open();
        q.append();
        q.setValue("Company", "A");
        q.post();
        q.remove();
        q.setSql("select * from nosuch");
        QVERIFY_THROWS_EXCEPTION(db::DbError, q.open());
        QCOMPARE(before.count(), after.count());
        QCOMPARE(ins.count(), 1);
        QCOMPARE(rem.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestQuery)
#include "tst_query.moc"
