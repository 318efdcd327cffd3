// Statement texts as the tokenizer reads them and as each engine gets them.
// No database: the dialects are asked for their pieces only.
#include <QTest>

#include "app/db/DbError.h"
#include "app/db/Dialect.h"
#include "app/db/SqlTokens.h"
#include "app/db/Statement.h"
#include "app/db/Values.h"

using db::SqlText;

class TestStatement : public QObject {
    Q_OBJECT

    std::unique_ptr<db::Dialect> lite = db::Dialect::forProvider("SQLite");
    std::unique_ptr<db::Dialect> pg = db::Dialect::forProvider("PostgreSQL");

    static db::Rendered render(const db::Dialect& d, const QString& text, const QVariantMap& values = {}) {
        return SqlText(text).render(d, [&](const QString& name) { return values.value(name); });
    }

private slots:
    void parametersOutsideQuotesOnly() {
        const SqlText t("select * from custom where Company like :pat and Tel=:tel "
                        "and Fax=':fake' and [a:b]=1 and \"c:d\"=2 -- :comment\n"
                        "and x=:pat and y::text='1' /* :block */ and z=$f$ :dollar $f$");
        QCOMPARE(t.params(), QStringList({"pat", "tel", "pat"}));
        // Names run over letters of any script, digits and underscores.
        QCOMPARE(SqlText("where a=:名前_1 and b=:x2").params(), QStringList({"名前_1", "x2"}));
    }

    void orderByAtTheStatementsOwnLevel() {
        QVERIFY(SqlText("select * from custom ORDER  BY CustID").hasOrderBy());
        QVERIFY(SqlText("select * from custom order\nby CustID").hasOrderBy());
        QVERIFY(!SqlText("select * from custom where Company='order by'").hasOrderBy());
        QVERIFY(!SqlText("select * from custom where [order by]=1").hasOrderBy());
        QVERIFY(!SqlText("select * from custom where CustID in (select CustID from contact order by Name)")
                     .hasOrderBy());
        QVERIFY(!SqlText("select * from border by").hasOrderBy());
    }

    void plainSelectOfOneTable() {
        auto p = SqlText("select * from [custom] where (company like :company)  ORDER BY CustID;").plainSelect();
        QVERIFY(p.ok);
        QCOMPARE(p.table, QString("[custom]"));
        QCOMPARE(p.rest, QString(" where (company like :company)  ORDER BY CustID"));
        QVERIFY(p.lock.isEmpty());

        p = SqlText("  Select * From custom").plainSelect();
        QVERIFY(p.ok);
        QCOMPARE(p.table, QString("custom"));
        QVERIFY(p.rest.isEmpty());

        p = SqlText("select * from custom where Company=:c order by CustID for share").plainSelect();
        QVERIFY(p.ok);
        QCOMPARE(p.rest, QString(" where Company=:c order by CustID"));
        QCOMPARE(p.lock, QString("for share"));

        // Rows that are not one table's rows.
        for (const char* other : {"select Company from custom", "select * from custom, contact",
                                  "select * from custom join contact on 1=1",
                                  "select * from custom group by Company", "select * from custom limit 5",
                                  "select * from custom; delete from custom", "select count(*) from custom",
                                  "update custom set Company='x'"})
            QVERIFY2(!SqlText(other).plainSelect().ok, other);
    }

    void embeddedEngineReadsTheTextAsWritten() {
        const auto r = render(*lite, "select * from [custom] where [From] like :pat and Company='a''b:c' "
                                     "order by CustID for share",
                              {{"pat", "%x%"}});
        QCOMPARE(r.sql, QString("select * from [custom] where [From] like ? and Company='a''b:c' order by CustID"));
        QCOMPARE(r.values, QVariantList({"%x%"}));
    }

    void serverGetsItsOwnOperatorsAndNames() {
        auto r = render(*pg, "select * from [custom] where ([From] like :pat)AND(city like :pat) for share",
                        {{"pat", "%\\%"}});
        QCOMPARE(r.sql, QString("select * from \"custom\" where (\"from\" ilike ? escape '')AND(city ilike ? "
                                "escape '') for share"));
        QCOMPARE(r.values, QVariantList({"%\\%", "%\\%"}));

        // The escape clause follows the whole right side, however written.
        r = render(*pg, "select 1 where a like '%' || :x || '%' and b not like 'C1%' or c like lower(:y)",
                   {{"x", "q"}, {"y", "Q"}});
        QCOMPARE(r.sql, QString("select 1 where a ilike '%' || ? || '%' escape '' and b not ilike 'C1%' escape '' "
                                "or c ilike lower(?) escape ''"));
        // One the statement gives itself stays the only one.
        r = render(*pg, "select 1 where a like 'x!%' escape '!'");
        QCOMPARE(r.sql, QString("select 1 where a ilike 'x!%' escape '!'"));
        // Keywords inside literals and comments are left alone.
        r = render(*pg, "select 'like [x] :y' as t -- like [z]\n");
        QCOMPARE(r.sql, QString("select 'like [x] :y' as t -- like [z]\n"));
        QVERIFY(r.values.isEmpty());
    }

    void listValuesStandForSeveral() {
        auto r = render(*lite, "update T_Schedule set Reminded = 1 where ScheduleID in (:ids)",
                        {{"ids", QVariantList{3, 5, 8}}});
        QCOMPARE(r.sql, QString("update T_Schedule set Reminded = 1 where ScheduleID in (?,?,?)"));
        QCOMPARE(r.values, QVariantList({3, 5, 8}));
        r = render(*lite, "select * from contact where CustID in (:ids)", {{"ids", QVariantList{}}});
        QCOMPARE(r.sql, QString("select * from contact where CustID in (null)"));
        QVERIFY(r.values.isEmpty());
    }

    void aStatementWithParametersNeedsItsValues() {
        QVERIFY_THROWS_EXCEPTION(db::DbError, SqlText("select * from custom where Company=:c").render(*lite));
    }

    void boundValuesAsTheEngineTakesThem() {
        const QString fmt = "yyyy-MM-dd hh:mm:ss";
        // Typed nothing is empty text, not null; null stays null.
        QCOMPARE(db::bindable(QString(), fmt), QVariant(QString("")));
        QVERIFY(db::bindable(QString(), fmt).typeId() == QMetaType::QString);
        QVERIFY(db::bindable(QVariant(), fmt).isNull());
        QCOMPARE(db::bindable(QDate(2024, 3, 5), fmt), QVariant("2024-03-05"));
        QCOMPARE(db::bindable(QDateTime(QDate(2024, 3, 5), QTime(9, 8, 7)), fmt), QVariant("2024-03-05 09:08:07"));
        QCOMPARE(db::bindable(true, fmt), QVariant(1));
        const QString hostile = "'); drop table custom; --\\'";
        QCOMPARE(db::bindable(hostile, fmt), QVariant(hostile));
        // What no engine stores is refused, naming what holds it.
        try {
            db::bindable(QString("a") + QChar(0) + "b", fmt, "Company");
            QFAIL("a NUL was bound");
        } catch (const db::DbError& e) {
            QVERIFY2(e.text().startsWith("Company holds a NUL character (U+0000)"), qPrintable(e.text()));
        }
    }

    void charactersNoEngineStores() {
        QCOMPARE(db::unstorableAt("plain 中文 😀"), -1);
        QCOMPARE(db::unstorableAt(QString("ab") + QChar(0)), 2);
        QCOMPARE(db::unstorableAt(QString("a") + QChar(0xD83D)), 1);  // half of a pair at the end
        QCOMPARE(db::unstorableAt(QString("a") + QChar(0xDE00) + "b"), 1);
        QCOMPARE(db::unstorableAt(QString(QChar(0xD83D)) + "x"), 0);
        QCOMPARE(db::describeUnstorable(QString("a") + QChar(0xDE00), 1),
                 QString("half of a character pair (U+DE00) without its other half"));
    }

    void statementsCarryTheirValues() {
        db::Statement s("select * from admin where username=:Name");
        s.bind("name", "x").bind("NAME", "y");
        QCOMPARE(s.values().size(), 1);
        bool found = false;
        QCOMPARE(s.value("nAmE", &found), QVariant("y"));
        QVERIFY(found);
        s.value("other", &found);
        QVERIFY(!found);
        QCOMPARE(db::containsPattern("5%_"), QString("%5%_%"));
    }
};

QTEST_MAIN(TestStatement)
#include "tst_statement.moc"
