// The steps that bring an older database up to date, in version order. A new
// step takes the next version number and goes at the end; db/schema.sql,
// db/seed.sql and db/server-schema.sql make new databases at the latest one.
#include "app/SchemaUpgrade.h"
#include "app/db/Connection.h"
#include "app/db/Query.h"
#include "app/db/SchemaVersion.h"

namespace {

// Columns of the tables a step makes.
db::ColumnSpec key(const QString& name) {
    db::ColumnSpec c;
    c.name = name;
    c.kind = db::FieldKind::Integer;
    c.key = true;
    return c;
}
// notNullDefault: empty for a column that may be null, "-" for one that may
// not and has no default, otherwise the default of one that may not.
db::ColumnSpec column(const QString& name, db::FieldKind kind, int size = 0, const QString& notNullDefault = QString()) {
    db::ColumnSpec c;
    c.name = name;
    c.kind = kind;
    c.size = size;
    c.notNull = !notNullDefault.isEmpty();
    c.defaultValue = notNullDefault == QLatin1String("-") ? QString() : notNullDefault;
    return c;
}

}  // namespace

const QList<SchemaStep>& schemaSteps() {
    static const QList<SchemaStep> steps = {
        // Without a key of its own a log entry was found by the engine's row
        // number, which a later entry may take over: a stale delete then hit
        // someone else's entry.
        {1, QStringLiteral("the daily log (T_Daily) got a key column, DailyID"),
         [](db::Connection& c) { return !db::hasColumn(c, QStringLiteral("T_Daily"), QStringLiteral("DailyID")); },
         [](db::Connection& c) {
             db::addKeyColumn(c, QStringLiteral("T_Daily"), QStringLiteral("DailyID"));
             // Every column of the log has its row of grid settings, hidden.
             db::Query q(&c);
             q.setSql(QStringLiteral("insert into T_FieldShow (ID, ShowID, TableName, Field, Name, Width, show, Print) "
                                     "select 5, 5, 'daily', 'DailyID', 'No.', 60, 0, 0 where not exists "
                                     "(select 1 from T_FieldShow where TableName='daily' and Field='DailyID')"));
             q.execSql();
         }},
        // Imports that update and can be undone keep their choices and a log.
        {2, QStringLiteral("imports keep their choices and a log to undo them by (tables T_ImportChoice, "
                           "T_ImportLog, T_ImportRow)"),
         [](db::Connection& c) { return c.tableFields(QStringLiteral("T_ImportLog")).isEmpty(); },
         [](db::Connection& c) {
             using K = db::FieldKind;
             if (c.tableFields(QStringLiteral("T_ImportChoice")).isEmpty()) {
                 db::createTable(c, QStringLiteral("T_ImportChoice"),
                                 {key(QStringLiteral("ChoiceID")),
                                  column(QStringLiteral("tablename"), K::Text, 20),
                                  column(QStringLiteral("OnMatch"), K::Text, 10, QStringLiteral("'add'")),
                                  column(QStringLiteral("MatchBy"), K::Text, 10, QStringLiteral("'company'")),
                                  column(QStringLiteral("ClearEmpty"), K::Bool, 0, QStringLiteral("0"))});
                 db::Query q(&c);
                 q.setSql(QStringLiteral("insert into T_ImportChoice (tablename, OnMatch, MatchBy, ClearEmpty) values "
                                         "('custom', 'add', 'company', 0), ('contact', 'add', 'name', 0)"));
                 q.execSql();
             }
             db::createTable(c, QStringLiteral("T_ImportLog"),
                             {key(QStringLiteral("LogID")),
                              column(QStringLiteral("UserName"), K::Text, 50),
                              column(QStringLiteral("ImportedAt"), K::DateTime),
                              column(QStringLiteral("FileName"), K::Text, 255),
                              column(QStringLiteral("TableName"), K::Text, 20),
                              column(QStringLiteral("OnMatch"), K::Text, 10),
                              column(QStringLiteral("MatchBy"), K::Text, 10),
                              column(QStringLiteral("Added"), K::Integer, 0, QStringLiteral("0")),
                              column(QStringLiteral("Updated"), K::Integer, 0, QStringLiteral("0")),
                              column(QStringLiteral("Skipped"), K::Integer, 0, QStringLiteral("0")),
                              column(QStringLiteral("Contacts"), K::Integer, 0, QStringLiteral("0")),
                              column(QStringLiteral("UndoneBy"), K::Text, 50),
                              column(QStringLiteral("UndoneAt"), K::DateTime)});
             if (c.tableFields(QStringLiteral("T_ImportRow")).isEmpty())
                 db::createTable(c, QStringLiteral("T_ImportRow"),
                                 {key(QStringLiteral("RowNo")),
                                  column(QStringLiteral("LogID"), K::Integer, 0, QStringLiteral("-")),
                                  column(QStringLiteral("TableName"), K::Text, 20),
                                  column(QStringLiteral("RecordID"), K::Integer, 0, QStringLiteral("-")),
                                  column(QStringLiteral("Action"), K::Text, 1),
                                  column(QStringLiteral("OldValues"), K::Memo),
                                  column(QStringLiteral("Digest"), K::Text, 32)});
             // Undo reads an import's rows; a merge moves schedules and sales by customer.
             db::Query q(&c);
             const struct {
                 const char* table;
                 const char* sql;
             } indexes[] = {{"T_ImportRow", "CREATE INDEX IF NOT EXISTS idx_importrow_log ON T_ImportRow (LogID)"},
                            {"T_Schedule", "CREATE INDEX IF NOT EXISTS idx_schedule_custid ON T_Schedule (CustID)"},
                            {"T_Sale", "CREATE INDEX IF NOT EXISTS idx_sale_custid ON T_Sale (CustID)"}};
             for (const auto& index : indexes) {
                 // A database older still may lack the column (its windows say so).
                 const QString table = QString::fromLatin1(index.table);
                 if (table != QLatin1String("T_ImportRow") && !db::hasColumn(c, table, QStringLiteral("CustID"))) continue;
                 q.setSql(QString::fromLatin1(index.sql));
                 q.execSql();
             }
         }},
        // Customer No. pairs on the customer side too, to update or skip customers by number.
        {3, QStringLiteral("imports may pair Customer No. with customers, to update or skip them by number"),
         [](db::Connection& c) {
             db::Query q(&c);
             q.setSql(QStringLiteral("select count(*) as n from T_Import where tablename='custom' and S_Field='CustID'"));
             q.open();
             return q.field(QStringLiteral("n")).asInteger() == 0;
         },
         [](db::Connection& c) {
             db::Query q(&c);
             q.setSql(QStringLiteral("insert into T_Import (S_Field, FieldName, F_Field, tablename) "
                                     "values ('CustID', 'Customer No.', '', 'custom')"));
             q.execSql();
         }},
        // A memo declared without TEXT stored a text that looks like a number
        // as that number: "007" came back as 7, "1.50" as 1.5.
        {4, QStringLiteral("notes and other long texts keep a text that looks like a number as typed (\"007\" "
                           "was stored as 7); texts already stored keep what they show"),
         [](db::Connection& c) { return !db::tablesStoringNumberLikeMemos(c).isEmpty(); },
         [](db::Connection& c) { db::keepMemosAsText(c); }},
    };
    return steps;
}
