// The steps that bring an older database up to date, in version order. A new
// step takes the next version number and goes at the end; db/schema.sql,
// db/seed.sql and db/server-schema.sql make new databases at the latest one.
#include "app/SchemaUpgrade.h"
#include "app/db/Query.h"
#include "app/db/SchemaVersion.h"

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
    };
    return steps;
}
