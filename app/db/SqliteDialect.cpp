#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include "app/db/DbError.h"
#include "app/db/Dialect.h"

// The embedded engine: one database file beside the program (or where
// DBConn says), shared by several programs through SQLite's own locking.

namespace db {

namespace {

// The first bytes of every SQLite 3 database file.
constexpr char kSqliteHeader[] = "SQLite format 3";

class SqliteDialect : public Dialect {
public:
    QString driver() const override { return QStringLiteral("QSQLITE"); }

    OpenResult open(QSqlDatabase& db, const QString& dataSource) const override {
        const QFileInfo info(dataSource);
        // Never create a database: a missing file is a failure to connect.
        if (dataSource.isEmpty() || !info.exists())
            throw DbError(QStringLiteral("The database file does not exist: %1").arg(dataSource));
        if (info.isDir())
            throw DbError(QStringLiteral("%1 is a folder, not a database file.").arg(dataSource));
        QFile file(info.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly))
            throw DbError(QStringLiteral("The database file cannot be read (%1): %2")
                              .arg(file.errorString(), dataSource));
        // The engine would take an empty file for a new database and write
        // one into it; checking the header first leaves any such file as it is.
        const QByteArray head = file.read(sizeof kSqliteHeader);
        file.close();
        if (info.size() == 0)
            throw DbError(QStringLiteral("The database file is empty (0 bytes), so it holds no data; "
                                         "it was left unchanged: %1").arg(dataSource));
        if (head != QByteArray(kSqliteHeader, sizeof kSqliteHeader))
            throw DbError(QStringLiteral("The file is not a database: %1").arg(dataSource));

        // A file or folder we may not write is opened for reading, so the
        // data can still be looked at.
        OpenResult result;
        if (!info.isWritable())
            result.readOnlyReason = QStringLiteral("the database file is read-only");
        else if (!QFileInfo(info.absolutePath()).isWritable())
            result.readOnlyReason = QStringLiteral("the folder of the database file is read-only");

        const QString uri = QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        if (result.readOnlyReason.isEmpty()) {
            openAndProbe(db, uri + QStringLiteral("?mode=rw"));
            // Several programs share the file through the rollback journal,
            // whose locks last only as long as a transaction. A write-ahead
            // log keeps its locks open all the time, and any other opening
            // and closing of the file inside this program (a file dialog
            // looking at the folder does it) drops them unseen: another
            // program then takes itself for the last user and deletes the
            // log with this program's changes in it. A file that another
            // program holds open keeps its mode until it is the only user.
            QSqlQuery q(db);
            q.exec(QStringLiteral("pragma journal_mode=DELETE"));
            q.finish();
            q.exec(QStringLiteral("pragma foreign_keys=OFF"));
            return result;
        }
        try {
            openAndProbe(db, uri + QStringLiteral("?mode=ro"));
        } catch (const DbError&) {
            // A WAL database in a folder we cannot write cannot make its
            // shared-memory file; read it as a file nobody changes.
            openAndProbe(db, uri + QStringLiteral("?mode=ro&immutable=1"));
        }
        return result;
    }

    QString describe(const QSqlError& error) const override {
        const QString text = error.databaseText();
        static const QRegularExpression tooLong(
            QStringLiteral("CHECK constraint failed: length\\(\\[?(\\w+)\\]?\\)\\s*<=\\s*(\\d+)"));
        const auto m = tooLong.match(text);
        if (m.hasMatch()) return tooLongMessage(m.captured(1), m.captured(2).toInt());
        if (text.contains(QLatin1String("database is locked")) ||
            text.contains(QLatin1String("database table is locked")))
            return QStringLiteral("Another workstation is saving to the database at this moment. "
                                  "Please try again in a moment; what you typed is kept.");
        if (text.contains(QLatin1String("readonly database")))
            return readOnlyMessage();
        if (text.contains(QLatin1String("database disk image is malformed")))
            return QStringLiteral("The database file is damaged (%1).").arg(text);
        return Dialect::describe(error);
    }

private:
    // Opens db on uri and reads the catalogue: SQLite opens anything lazily,
    // so only a read proves the file is a database we can use.
    static void openAndProbe(QSqlDatabase& db, const QString& uri) {
        db.setDatabaseName(uri);
        if (!db.open()) throw DbError(why(db.lastError()));
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("select count(*) from sqlite_master"))) {
            const QSqlError e = q.lastError();
            q.finish();
            db.close();
            throw DbError(why(e));
        }
        q.finish();
    }

    // A failure to open in words.
    static QString why(const QSqlError& e) {
        const QString t = e.databaseText().isEmpty() ? e.text() : e.databaseText();
        if (t.contains(QLatin1String("not a database")))
            return QStringLiteral("The file is not a database, or it is damaged (%1).").arg(t);
        if (t.contains(QLatin1String("malformed")))
            return QStringLiteral("The database file is damaged (%1).").arg(t);
        if (t.contains(QLatin1String("locked")))
            return QStringLiteral("The database file is locked by another program (%1).").arg(t);
        if (t.contains(QLatin1String("unable to open")))
            return QStringLiteral("The database file cannot be opened: the file or its folder may not "
                                  "be accessible (%1).").arg(t);
        return t;
    }

public:
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

    QString rowKey(QSqlDatabase&, const QString& table) const override {
        return table + QStringLiteral(".rowid");
    }

    QString quoteName(const QString& name) const override {
        return QLatin1Char('[') + name + QLatin1Char(']');
    }

    // A writer locks the whole file here, so rows need no locks of their own.
    QString rowLock(const QString&) const override { return QString(); }

    QString sameValue(const QString& column, FieldKind kind) const override {
        // Dates may be stored with or without their time: compare them as dates.
        if (kind == FieldKind::DateTime)
            return QStringLiteral("datetime(%1) IS datetime(?)").arg(column);
        return column + QStringLiteral(" IS ?");
    }
};

}  // namespace

std::unique_ptr<Dialect> makeSqliteDialect() { return std::make_unique<SqliteDialect>(); }

}  // namespace db
