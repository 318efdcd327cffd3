#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>

#include "app/db/DbError.h"
#include "app/db/Dialect.h"
#include "app/db/PgSession.h"
#include "app/db/ServerLogin.h"

// A PostgreSQL server, for offices where several workstations share the data.
// The data source is a connection address:
//   postgresql://user@host:5432/tallix?sslmode=prefer
// Anything the address leaves out (password, host, even the database) comes
// from the usual client settings: the password file, PG* environment
// variables, a service named with ?service=.

namespace db {

namespace {

// A value of the driver's connection string, quoted.
QString conninfoValue(const QString& value) {
    QString v = value;
    v.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

// SQLSTATE classes and codes this program treats on their own.
bool lostCode(const QString& code) {
    return code.startsWith(QLatin1String("08")) || code == QLatin1String("57P01") ||
           code == QLatin1String("57P02") || code == QLatin1String("57P03");
}
bool busyCode(const QString& code) {
    return code == QLatin1String("40001") || code == QLatin1String("40P01") ||
           code == QLatin1String("55P03") || code == QLatin1String("57014");
}

// The server's message without its severity word and the statement excerpt
// it appends: "ERROR:  value too long ...\nLINE 1: ..." reads "value too long ...".
QString serverWords(const QSqlError& e) {
    QString t = e.databaseText().trimmed();
    if (t.isEmpty()) t = e.driverText().trimmed();
    t = t.section(QLatin1Char('\n'), 0, 0).trimmed();
    for (const char* word : {"ERROR:", "FATAL:", "PANIC:"})
        if (t.startsWith(QLatin1String(word))) t = t.mid(int(qstrlen(word))).trimmed();
    return t;
}

class PgDialect : public Dialect {
public:
    QString driver() const override { return QStringLiteral("QPSQL"); }

    OpenResult open(QSqlDatabase& db, const QString& dataSource) const override {
        const QUrl url(dataSource, QUrl::StrictMode);
        if (!url.isValid() || (url.scheme() != QLatin1String("postgresql") &&
                               url.scheme() != QLatin1String("postgres")))
            throw DbError(QStringLiteral("Not a database server address: %1").arg(dataSource));
        QStringList options;
        const QUrlQuery query(url);
        bool timeout = false;
        QString addressOptions;
        for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
            // Only plain key=value settings; anything else could change what
            // the driver's connection string means.
            static const QRegularExpression plain(QStringLiteral("^[A-Za-z_]+$"));
            if (!plain.match(key).hasMatch())
                throw DbError(QStringLiteral("Unknown setting in the server address: %1").arg(key));
            if (key == QLatin1String("host")) {
                db.setHostName(value);
                continue;
            }
            if (key == QLatin1String("options")) {
                addressOptions = value;
                continue;
            }
            if (key == QLatin1String("connect_timeout")) timeout = true;
            options << key + QStringLiteral("=") + conninfoValue(value);
        }
        options << QStringLiteral("options=") + conninfoValue(pgStartupOptions(addressOptions));
        // A server that does not answer fails within seconds, as a missing
        // file does, instead of leaving the program hanging at start.
        if (!timeout) options << QStringLiteral("connect_timeout=5");
        options << QStringLiteral("application_name=Tallix");
        if (!url.host().isEmpty()) db.setHostName(url.host());
        if (url.port() > 0) db.setPort(url.port());
        const QString name = url.path().mid(1);
        if (!name.isEmpty()) db.setDatabaseName(name);
        // Who logs in (see ServerLogin.h). Without a password here, libpq
        // takes it from the password file or PGPASSWORD.
        const ServerLogin login = serverLogin(url);
        bool lister = false;
        if (login.isSet()) {
            db.setUserName(login.role);
            db.setPassword(serverPassword(login.password));
        } else if (!url.userName().isEmpty() || name.isEmpty()) {
            db.setUserName(url.userName());
            db.setPassword(url.password());
        } else {
            lister = true;
            db.setUserName(listerRole(name));
            db.setPassword(listerPassword());
        }
        db.setConnectOptions(options.join(QLatin1Char(';')));
        if (!db.open()) {
            const QString why = whyNotConnected(db.lastError(), url, lister ? db.userName() : QString());
            if (!lister && refusedLogin(db.lastError())) throw LoginRefused(why);
            throw DbError(why);
        }
        try {
            pgCheckSession(db);
        } catch (...) {
            db.close();
            throw;
        }
        QSqlQuery q(db);
        // Before a user has logged in, the connection may read nothing but
        // the user names: the table is looked for, not read.
        if (!q.exec(QStringLiteral("select to_regclass('info')")) || !q.next() || q.value(0).isNull()) {
            const QSqlError e = q.lastError();
            q.finish();
            db.close();
            throw DbError(QStringLiteral("The server's database %1 is not a Tallix database (%2).")
                              .arg(name, e.isValid() ? serverWords(e) : QStringLiteral("it has no table info")));
        }
        q.finish();
        return {};
    }

    QString describe(const QSqlError& error) const override {
        const QString code = error.nativeErrorCode();
        const QString text = serverWords(error);
        if (connectionLost(error))
            return QStringLiteral("The connection to the database server was lost (%1). What was being "
                                  "saved was not stored; please try again when the server is back.")
                .arg(text.isEmpty() ? error.text() : text);
        if (busyCode(code))
            return QStringLiteral("Another workstation is saving to the database at this moment. "
                                  "Please try again in a moment; what you typed is kept.");
        if (code == QLatin1String("25006")) return readOnlyMessage();
        if (code == QLatin1String("23505"))
            return QStringLiteral("This value is already stored in another row (%1).").arg(text);
        return text.isEmpty() ? error.text() : text;
    }

    bool sessionGone(QSqlDatabase& db) const override { return pgSessionGone(db); }
    std::function<bool()> serverAnswers(const QSqlDatabase& db) const override { return pgServerAnswers(db); }

    bool connectionLost(const QSqlError& error) const override {
        if (lostCode(error.nativeErrorCode())) return true;
        const QString t = error.text();
        return t.contains(QLatin1String("server closed the connection")) ||
               t.contains(QLatin1String("no connection to the server")) ||
               t.contains(QLatin1String("terminating connection"));
    }

    QVector<FieldDef> tableFields(QSqlDatabase& db, const QString& table) const override {
        QString name = table;
        if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
            name = name.mid(1, name.size() - 2);
        QSqlQuery q(db);
        q.setForwardOnly(true);
        // The spelling of a name is kept as the column's comment: the server
        // keeps names in lower case, the program and its users know them as
        // "CustID" and "Company".
        q.prepare(QStringLiteral(
            "select c.column_name, c.data_type, c.character_maximum_length, c.domain_name, "
            "c.column_default, col_description(to_regclass(quote_ident(c.table_name)), c.ordinal_position) "
            "from information_schema.columns c "
            "where c.table_schema = current_schema() and c.table_name = lower(?) "
            "order by c.ordinal_position"));
        q.addBindValue(name);
        if (!q.exec()) throw DbError(describe(q.lastError()));
        QVector<FieldDef> out;
        while (q.next()) {
            const QString column = q.value(0).toString();
            // The row number of a table without a key of its own is not data.
            if (column == QLatin1String("rid")) continue;
            FieldDef f;
            const QString spelled = q.value(5).toString();
            f.name = spelled.compare(column, Qt::CaseInsensitive) == 0 ? spelled : column;
            const QString type = q.value(1).toString();
            if (q.value(3).toString() == QLatin1String("yesno") || type == QLatin1String("boolean"))
                f.kind = FieldKind::Bool;
            else if (type.contains(QLatin1String("int")))
                f.kind = FieldKind::Integer;
            else if (type.startsWith(QLatin1String("timestamp")) || type == QLatin1String("date"))
                f.kind = FieldKind::DateTime;
            else if (type == QLatin1String("double precision") || type == QLatin1String("real") ||
                     type == QLatin1String("numeric"))
                f.kind = FieldKind::Float;
            else if (type == QLatin1String("text"))
                f.kind = FieldKind::Memo;
            else
                f.kind = FieldKind::Text;
            if (f.kind == FieldKind::Text) f.size = q.value(2).toInt();
            f.autoInc = q.value(4).toString().startsWith(QLatin1String("nextval("));
            out << f;
        }
        return out;
    }

    QString rowKey(QSqlDatabase& db, const QString& table) const override {
        QString name = table;
        if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
            name = name.mid(1, name.size() - 2);
        QSqlQuery q(db);
        q.prepare(QStringLiteral(
            "select a.attname from pg_index i "
            "join pg_attribute a on a.attrelid = i.indrelid and a.attnum = any(i.indkey) "
            "where i.indrelid = to_regclass(quote_ident(lower(?))) and i.indisprimary"));
        q.addBindValue(name);
        if (!q.exec()) throw DbError(describe(q.lastError()));
        if (!q.next())
            throw DbError(QStringLiteral("The table %1 on the server has no key to find its rows by.").arg(name));
        return QLatin1Char('"') + q.value(0).toString() + QLatin1Char('"');
    }

    QStringList keyColumnStatements(QSqlDatabase& db, const QString& table, const QString& key) const override {
        const QString name = table.toLower();
        const QString column = key.toLower();
        QStringList out;
        // A table made with a row number of its own (rid) has its key
        // already: it only takes the key's name.
        QSqlQuery q(db);
        q.prepare(QStringLiteral("select 1 from information_schema.columns where table_schema = current_schema() "
                                 "and table_name = ? and column_name = 'rid'"));
        q.addBindValue(name);
        if (!q.exec()) throw DbError(describe(q.lastError()));
        if (q.next())
            out << QStringLiteral("ALTER TABLE %1 RENAME COLUMN rid TO %2").arg(name, column);
        else
            out << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 serial PRIMARY KEY").arg(name, column);
        out << QStringLiteral("COMMENT ON COLUMN %1.%2 IS '%3'").arg(name, column, QString(key).replace(QLatin1Char('\''), QLatin1String("''")));
        return out;
    }

    QStringList createTableStatements(const QString& table, const QList<ColumnSpec>& columns) const override {
        const QString name = table.toLower();
        QStringList defs, comments;
        for (const ColumnSpec& c : columns) {
            const QString column = c.name.toLower();
            QString d = column + QLatin1Char(' ');
            if (c.key) {
                d += QStringLiteral("serial PRIMARY KEY");
            } else {
                switch (c.kind) {
                case FieldKind::Text:
                    d += c.size > 0 ? QStringLiteral("varchar(%1)").arg(c.size) : QStringLiteral("text");
                    break;
                case FieldKind::Memo: d += QStringLiteral("text"); break;
                case FieldKind::Integer: d += QStringLiteral("integer"); break;
                case FieldKind::Float: d += QStringLiteral("double precision"); break;
                case FieldKind::Bool: d += QStringLiteral("yesno"); break;
                case FieldKind::DateTime: d += QStringLiteral("timestamp(0)"); break;
                }
                if (c.notNull) d += QStringLiteral(" NOT NULL");
                if (!c.defaultValue.isEmpty()) d += QStringLiteral(" DEFAULT ") + c.defaultValue;
            }
            defs << d;
            if (column != c.name)
                comments << QStringLiteral("COMMENT ON COLUMN %1.%2 IS '%3'")
                                .arg(name, column, QString(c.name).replace(QLatin1Char('\''), QLatin1String("''")));
        }
        return QStringList{QStringLiteral("CREATE TABLE %1 (%2)").arg(name, defs.join(QStringLiteral(", ")))} + comments;
    }

    bool copyDatabase(QSqlDatabase&, const QString&) const override { return false; }
    bool tablesChangedByOwnerOnly() const override { return true; }
    QString whyNotTableOwner(QSqlDatabase& db) const override {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("select tableowner, current_user from pg_tables "
                                   "where schemaname = current_schema() and tablename = 'custom'")))
            return describe(q.lastError());
        if (!q.next()) return QStringLiteral("The database has no table of customers.");
        const QString owner = q.value(0).toString();
        if (owner == q.value(1).toString()) return QString();
        return QStringLiteral("The tables belong to the role %1, and only that role may change them (it grants the "
                              "program's users their rights on what it makes). Connect as %1.")
            .arg(owner);
    }

    // The server keeps names in lower case.
    QString quoteName(const QString& name) const override {
        QString n = name.toLower();
        n.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + n + QLatin1Char('"');
    }

    // Matching without regard to case, as the embedded engine's like does.
    QString likeOperator() const override { return QStringLiteral("ilike"); }
    // The server's like takes a backslash as its escape character unless told
    // otherwise; the embedded engine has none.
    QString likeEscape() const override { return QStringLiteral(" escape ''"); }

    QString rowLock(const QString& kind) const override { return QStringLiteral("for ") + kind; }

    bool insertReturnsKey() const override { return true; }

    // The row's text form, each value written out in one fixed form: dates
    // and numbers do not follow the session's settings, and a null counts as
    // empty text (as on the embedded engine).
    QString rowDigest(QSqlDatabase&, const QVector<FieldDef>& cols) const override {
        if (cols.isEmpty()) return QString();
        QStringList values;
        for (const FieldDef& f : cols) {
            const QString n = quoteName(f.name);
            switch (f.kind) {
            case FieldKind::DateTime:
                values << QStringLiteral("coalesce(to_char(%1, 'YYYY-MM-DD HH24:MI:SS.US'), '')").arg(n);
                break;
            case FieldKind::Float: values << QStringLiteral("coalesce(%1::numeric::text, '')").arg(n); break;
            default: values << QStringLiteral("coalesce(%1::text, '')").arg(n); break;
            }
        }
        return QStringLiteral("'p:' || left(md5(row(%1)::text), 30)").arg(values.join(QLatin1Char(',')));
    }
    QString rowDigestTag() const override { return QStringLiteral("p:"); }

    QString sameValue(const QString& column, FieldKind) const override {
        return column + QStringLiteral(" IS NOT DISTINCT FROM ?");
    }

private:
    static bool refusedLogin(const QSqlError& e) {
        const QString t = e.text();
        return t.contains(QLatin1String("password authentication failed")) ||
               t.contains(QLatin1String("no password supplied")) ||
               t.contains(QLatin1String("authentication failed"));
    }

    // lister: the user-list login the program chose itself, if it did.
    static QString whyNotConnected(const QSqlError& e, const QUrl& url, const QString& lister) {
        const QString t = serverWords(e).isEmpty() ? e.text() : serverWords(e);
        const QString where = url.host().isEmpty() ? QStringLiteral("the database server")
                                                   : QStringLiteral("the database server at %1").arg(url.host());
        if (t.contains(QLatin1String("password authentication failed")) ||
            t.contains(QLatin1String("no password supplied")) ||
            t.contains(QLatin1String("authentication failed"))) {
            if (!lister.isEmpty())
                return QStringLiteral("%1 does not know the login %2 that lists the users of this database; "
                                      "a database made with scripts/server-create-db.sh has it (%3).")
                    .arg(where, lister, t);
            return QStringLiteral("%1 refused the user name or password (%2).").arg(where, t);
        }
        if (t.contains(QLatin1String("does not exist")) && t.contains(QLatin1String("database")))
            return QStringLiteral("%1 has no such database (%2).").arg(where, t);
        if (t.contains(QLatin1String("timeout")) || t.contains(QLatin1String("Connection refused")) ||
            t.contains(QLatin1String("could not connect")) || t.contains(QLatin1String("could not translate")) ||
            t.contains(QLatin1String("No route")))
            return QStringLiteral("%1 cannot be reached (%2).").arg(where, t);
        return QStringLiteral("%1 refused the connection (%2).").arg(where, t);
    }
};

}  // namespace

std::unique_ptr<Dialect> makePgDialect() { return std::make_unique<PgDialect>(); }

}  // namespace db
