#pragma once
// The benchmark database: a copy of the supplied one in a temporary folder,
// then 100,000 customers in 63 categories and 300,000 contacts, written into
// the data module's database in one transaction.
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

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

inline void exec(TFrm_Data& d, const QString& sql) {
    d.Qry_Temp->setSql(sql);
    d.Qry_Temp->execSql();
}

inline void fill(TFrm_Data& d) {
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
