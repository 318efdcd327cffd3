#include "app/db/SchemaVersion.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include "app/db/Connection.h"
#include "app/db/DbError.h"

namespace db {

namespace {

const QString kVersionTable = QStringLiteral("T_SchemaVersion");

void run(Connection& c, const QString& sql, const QVariantList& values = {}) {
    QSqlQuery q(c.database());
    // Statements that change tables cannot be prepared on every engine:
    // without values they run as they stand.
    if (values.isEmpty()) {
        if (!q.exec(c.sql(sql))) c.fail(q);
        return;
    }
    if (!q.prepare(c.sql(sql))) c.fail(q);
    for (const QVariant& v : values) q.addBindValue(v);
    if (!q.exec()) c.fail(q);
}

// The database file behind the connection (the embedded engine's URI
// without its options), or empty text.
QString databaseFile(Connection& c) {
    const QString name = c.database().databaseName();
    if (!name.startsWith(QLatin1String("file:"))) return name;
    return QUrl(name).toLocalFile();
}

}  // namespace

int schemaVersion(Connection& c) {
    if (c.tableFields(kVersionTable).isEmpty()) return 0;
    QSqlQuery q(c.database());
    if (!q.exec(c.sql(QStringLiteral("select max(Version) from ") + kVersionTable)))
        c.fail(q);
    return q.next() ? q.value(0).toInt() : 0;
}

void setSchemaVersion(Connection& c, int version) {
    if (c.tableFields(kVersionTable).isEmpty()) {
        run(c, QStringLiteral("CREATE TABLE %1 (Version INTEGER NOT NULL)").arg(kVersionTable));
        c.forgetTables();
    }
    run(c, QStringLiteral("delete from ") + kVersionTable);
    run(c, QStringLiteral("insert into %1 (Version) values (?)").arg(kVersionTable), {version});
}

bool hasColumn(Connection& c, const QString& table, const QString& column) {
    for (const FieldDef& f : c.tableFields(table))
        if (f.name.compare(column, Qt::CaseInsensitive) == 0) return true;
    return false;
}

void addKeyColumn(Connection& c, const QString& table, const QString& key) {
    for (const QString& sql : c.dialect().keyColumnStatements(c.database(), table, key)) run(c, sql);
    c.forgetTables();
}

QStringList tablesStoringNumberLikeMemos(Connection& c) {
    return c.dialect().tablesStoringNumberLikeMemos(c.database());
}

void keepMemosAsText(Connection& c) {
    for (const QString& table : tablesStoringNumberLikeMemos(c)) c.dialect().keepMemosAsText(c.database(), table);
    c.forgetTables();
}

void createTable(Connection& c, const QString& table, const QList<ColumnSpec>& columns) {
    for (const QString& sql : c.dialect().createTableStatements(table, columns)) run(c, sql);
    c.forgetTables();
}

QString backupCopy(Connection& c, const QString& tag) {
    const QFileInfo file(databaseFile(c));
    if (file.fileName().isEmpty()) return QString();
    QString path = file.dir().filePath(file.completeBaseName() + QLatin1Char('-') + tag + QStringLiteral(".db"));
    // An earlier copy of the same name is kept: a second one gets the time.
    if (QFileInfo::exists(path))
        path = file.dir().filePath(file.completeBaseName() + QLatin1Char('-') + tag + QLatin1Char('-') +
                                   QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")) +
                                   QStringLiteral(".db"));
    // Written under a name of its own and renamed once whole: a copy cut
    // short (the program stopped) never takes the name the user looks for.
    // It holds the same data as the database: no wider access than it.
    const QString part = path + QStringLiteral(".part");
    auto removePart = [&part]() {
        QFile::remove(part);
        QFile::remove(part + QStringLiteral("-journal"));
    };
    removePart();  // one left by an earlier attempt
    {
        QFile empty(part);
        if (!empty.open(QIODevice::WriteOnly))
            throw DbError(QStringLiteral("The copy of the database cannot be written in %1: %2")
                              .arg(QDir::toNativeSeparators(file.absolutePath()), empty.errorString()));
        empty.setPermissions(file.permissions() | QFile::ReadOwner | QFile::WriteOwner);
    }
    try {
        if (!c.dialect().copyDatabase(c.database(), part)) {
            removePart();
            return QString();
        }
    } catch (...) {
        removePart();
        throw;
    }
    if (!QFile::rename(part, path)) {
        removePart();
        throw DbError(QStringLiteral("The copy of the database could not be saved as %1.").arg(QDir::toNativeSeparators(path)));
    }
    return path;
}

}  // namespace db
