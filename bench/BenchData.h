#pragma once
// The benchmark database: a copy of the supplied one in a temporary folder
// (or, with --server <address>, a fresh database on that PostgreSQL server),
// then 100,000 customers in 63 categories and 300,000 contacts, written into
// the data module's database in one transaction.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <cstdio>
#include <cstring>

#include "app/U_data.h"

namespace bench {

// Copies the supplied database into dir, writable; says on stderr when it cannot.
inline bool copySuppliedDb(const QTemporaryDir& dir) {
    if (!QFile::copy(QStringLiteral(TALLIX_SUPPLIED_DB), dir.filePath("custom.db"))) {
        std::fprintf(stderr, "cannot copy %s\n", TALLIX_SUPPLIED_DB);
        return false;
    }
    QFile(dir.filePath("custom.db")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return true;
}

// The database of a benchmark run: the file, or with "--server <address>"
// among the arguments a new database on that server, named in dir's
// config.ini. Remembers the server database so dropServerDb() can remove it.
struct Database {
    QString server;  // the server's address, empty for the file
    QString name;    // the database made on the server
};

inline bool prepare(const QTemporaryDir& dir, int argc, char** argv, Database& db) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--server") == 0) db.server = QString::fromLocal8Bit(argv[i + 1]);
    if (db.server.isEmpty()) return copySuppliedDb(dir);
    db.name = QStringLiteral("tallix_bench_") + QUuid::createUuid().toString(QUuid::Id128).left(10);
    const QString address = db.server + QLatin1Char('/') + db.name;
    // The scratch database's Admin gets an empty password, without asking.
    qputenv("TALLIX_ADMIN_PASSWORD", QByteArray());
    if (QProcess::execute(QStringLiteral("bash"), {QStringLiteral(TALLIX_SOURCE_DIR "/scripts/server-create-db.sh"),
                                                   address}) != 0) {
        std::fprintf(stderr, "cannot make a database on %s\n", qPrintable(db.server));
        return false;
    }
    QFile ini(dir.filePath(QStringLiteral("config.ini")));
    return ini.open(QIODevice::WriteOnly) && ini.write("[Config]\nDBConn=" + address.toUtf8() + "\n") > 0;
}

inline void dropServerDb(const Database& db) {
    if (db.name.isEmpty()) return;
    QProcess::execute(QStringLiteral("psql"), {db.server + QStringLiteral("/postgres"), QStringLiteral("-qc"),
                                               QStringLiteral("drop database %1 with (force)").arg(db.name)});
    // Its logins belong to the whole server.
    QProcess::execute(QStringLiteral("psql"),
                      {db.server + QStringLiteral("/postgres"), QStringLiteral("-qc"),
                       QStringLiteral("do $$ declare r record; begin for r in select rolname from pg_roles "
                                      "where left(rolname, %2) = '%1.' or rolname in ('%1_super', '%1_common', "
                                      "'%1_login') loop execute format('drop role %I', r.rolname); end loop; end $$")
                           .arg(db.name)
                           .arg(db.name.size() + 1)});
}

inline const char* engineName(const TFrm_Data& d) {
    return d.ConnString.contains(QLatin1String("PostgreSQL")) ? "PostgreSQL" : "SQLite";
}

inline void exec(TFrm_Data& d, const QString& sql) {
    d.Qry_Temp->setSql(sql);
    d.Qry_Temp->execSql();
}

inline void fillServer(TFrm_Data& d) {
    d.Connection->beginTrans();
    exec(d,
         "insert into custom ([Date], Company, CustType, Category, Country, Province, City, Address, "
         "PostCode, Tel, Fax, Email, Url, [From], Introduce, F_User) "
         "select '2026-' || lpad((1 + i % 12)::text, 2, '0') || '-' || lpad((1 + i % 28)::text, 2, '0'), "
         "'Company ' || i, 'Retailer', lpad((1 + i % 9)::text, 2, '0') || lpad((1 + i % 7)::text, 2, '0'), "
         "'China', '广东', 'Shenzhen', i || ' Harbour Road', '518000', '0755-' || (1000000 + i), '0755-1', "
         "'info' || i || '@example.com', 'www.example.com', 'Web site', 'Profile of customer ' || i, "
         "case i % 3 when 0 then 'Admin' else 'Tom' end from generate_series(1, 100000) i");
    exec(d,
         "insert into contact (CustID, Name, Main, Company, Position, Tel, Mobile, Email, F_User) "
         "select (1 + i / 3)::text, 'Person ' || i, (i % 3 = 0)::int, 'Company ' || (1 + i / 3), "
         "'Manager', '0755-2', '139' || (10000000 + i), 'p' || i || '@example.com', 'Admin' "
         "from generate_series(0, 299999) i");
    exec(d, "insert into category (code, name) select lpad(i::text, 2, '0'), 'Group ' || i from generate_series(1, 9) i");
    exec(d,
         "insert into category (code, name) select lpad((1 + i / 7)::text, 2, '0') || lpad((1 + i % 7)::text, 2, '0'), "
         "'Subgroup ' || (1 + i / 7) || '.' || (1 + i % 7) from generate_series(0, 62) i");
    d.Connection->commitTrans();
    exec(d, "analyze");
}

inline void fill(TFrm_Data& d) {
    if (std::strcmp(engineName(d), "PostgreSQL") == 0) {
        fillServer(d);
        return;
    }
    d.Connection->beginTrans();
    exec(d,
         "with recursive n(i) as (select 1 union all select i + 1 from n where i < 100000) "
         "insert into custom ([Date], Company, CustType, Category, Country, Province, City, Address, "
         "PostCode, Tel, Fax, Email, Url, [From], Introduce, F_User) "
         "select '2026-' || printf('%02d', 1 + i % 12) || '-' || printf('%02d', 1 + i % 28), "
         "'Company ' || i, 'Retailer', printf('%02d%02d', 1 + i % 9, 1 + i % 7), 'China', '广东', "
         "'Shenzhen', i || ' Harbour Road', '518000', '0755-' || (1000000 + i), '0755-1', "
         "'info' || i || '@example.com', 'www.example.com', 'Web site', 'Profile of customer ' || i, "
         "case i % 3 when 0 then 'Admin' else 'Tom' end from n");
    exec(d,
         "with recursive n(i) as (select 0 union all select i + 1 from n where i < 299999) "
         "insert into contact (CustID, Name, Main, Company, Position, Tel, Mobile, Email, F_User) "
         "select cast(1 + i / 3 as text), 'Person ' || i, i % 3 = 0, 'Company ' || (1 + i / 3), "
         "'Manager', '0755-2', '139' || (10000000 + i), 'p' || i || '@example.com', 'Admin' from n");
    exec(d,
         "with recursive n(i) as (select 1 union all select i + 1 from n where i < 9) "
         "insert into category (code, name) select printf('%02d', i), 'Group ' || i from n");
    exec(d,
         "with recursive n(i) as (select 0 union all select i + 1 from n where i < 62) "
         "insert into category (code, name) select printf('%02d%02d', 1 + i / 7, 1 + i % 7), "
         "'Subgroup ' || (1 + i / 7) || '.' || (1 + i % 7) from n");
    d.Connection->commitTrans();
}

}  // namespace bench
