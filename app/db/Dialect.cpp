#include "app/db/Dialect.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include "app/db/DbError.h"

namespace db {

FieldDef fieldFromDeclaredType(const QString& name, const QString& declared) {
    FieldDef f;
    f.name = name;
    const QString t = declared.toUpper();
    if (t.contains(QLatin1String("BOOL")) || t == QLatin1String("BIT"))
        f.kind = FieldKind::Bool;
    else if (t.contains(QLatin1String("INT")))
        f.kind = FieldKind::Integer;
    else if (t.contains(QLatin1String("DATE")) || t.contains(QLatin1String("TIME")))
        f.kind = FieldKind::DateTime;
    else if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
             t.contains(QLatin1String("DOUB")) || t.contains(QLatin1String("NUM")) ||
             t.contains(QLatin1String("DEC")))
        f.kind = FieldKind::Float;
    else if (t.contains(QLatin1String("MEMO")) || t.isEmpty())
        f.kind = FieldKind::Memo;
    else
        f.kind = FieldKind::Text;
    static const QRegularExpression size(QStringLiteral("\\((\\d+)\\)"));
    const auto m = size.match(t);
    if (m.hasMatch() && f.kind == FieldKind::Text) f.size = m.captured(1).toInt();
    return f;
}

namespace {

class SqliteDialect : public Dialect {
public:
    QString driver() const override { return QStringLiteral("QSQLITE"); }

    void open(QSqlDatabase& db, const QString& dataSource) const override {
        // Never create a database: a missing file is a failure to connect.
        if (dataSource.isEmpty() || !QFileInfo(dataSource).isFile())
            throw DbError(QStringLiteral("Database file not found: %1").arg(dataSource));
        QString uri = QUrl::fromLocalFile(QFileInfo(dataSource).absoluteFilePath())
                          .toString(QUrl::FullyEncoded);
        uri += QStringLiteral("?mode=rw");
        db.setDatabaseName(uri);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) throw DbError(db.lastError().text());
        QSqlQuery q(db);
        // SQLite opens anything lazily; reading the catalogue proves the file
        // is a database we can use.
        if (!q.exec(QStringLiteral("select count(*) from sqlite_master"))) {
            const QString why = q.lastError().text();
            q.finish();
            db.close();
            throw DbError(why);
        }
        q.finish();
        // Several programs may share the file: WAL lets readers and one writer
        // work side by side. A file we cannot switch keeps its journal mode.
        q.exec(QStringLiteral("pragma journal_mode=WAL"));
        q.finish();
        q.exec(QStringLiteral("pragma foreign_keys=OFF"));
    }

    QVector<FieldDef> tableFields(QSqlDatabase& db, const QString& table) const override {
        QVector<FieldDef> out;
        QString name = table;
        if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
            name = name.mid(1, name.size() - 2);
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("pragma table_info(\"%1\")")
                        .arg(QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")))))
            throw DbError(q.lastError().text());
        while (q.next()) {
            FieldDef f = fieldFromDeclaredType(q.value(1).toString(), q.value(2).toString());
            // An INTEGER PRIMARY KEY is SQLite's row number: assigned on insert.
            if (q.value(5).toInt() > 0 && f.kind == FieldKind::Integer) f.autoInc = true;
            out << f;
        }
        return out;
    }

    QString rowKey(const QString& table) const override { return table + QStringLiteral(".rowid"); }
};

}  // namespace

std::unique_ptr<Dialect> Dialect::forProvider(const QString& provider) {
    if (provider.isEmpty() || provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0)
        return std::make_unique<SqliteDialect>();
    throw DbError(QStringLiteral("Unknown database provider: %1").arg(provider));
}

}  // namespace db
