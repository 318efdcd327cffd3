#include "app/db/Users.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include "app/db/DbError.h"
#include "app/db/PasswordHash.h"
#include "app/db/ServerLogin.h"
#include "app/db/Transaction.h"

namespace db {

namespace {

// Room for a hash in the password column of a database file.
constexpr int kHashSize = 128;

bool onServer(const Connection& c) { return c.dialect().driver() == QLatin1String("QPSQL"); }

QUrl addressOf(const Connection& c) {
    const QString s = c.connString();
    const QString ds = QStringLiteral("Data Source=");
    const int at = int(s.indexOf(ds, 0, Qt::CaseInsensitive));
    return QUrl(at >= 0 ? s.mid(at + ds.size()) : QString());
}

// Runs sql with values bound in order.
QSqlQuery run(Connection& c, const QString& sql, const QVariantList& values = {}) {
    if (!c.connected()) throw DbError(QStringLiteral("Not connected to a database"));
    QSqlQuery q(c.database());
    q.setForwardOnly(true);
    // Without values the statement runs as it stands: the server cannot
    // prepare every kind of statement (alter role).
    if (values.isEmpty()) {
        if (!q.exec(sql)) c.fail(q);
        return q;
    }
    if (!q.prepare(sql)) c.fail(q);
    for (const QVariant& v : values) q.addBindValue(v);
    if (!q.exec()) c.fail(q);
    return q;
}

// A permission read from a row: no value counts as a common user.
int permitOf(const QVariant& v) { return v.isNull() ? -1 : v.toInt(); }

QString goneText(const QString& name) {
    return QStringLiteral("The user \"%1\" is no longer in the user list; it was renamed or deleted on another "
                          "workstation.").arg(name);
}

QString lastSuperText() {
    return QStringLiteral("This is the last super user. Someone must be able to manage the users, so it cannot be "
                          "deleted or made a common user; make another user a super user first.");
}

// ---- database file ----------------------------------------------------------

// Files made before passwords were hashed hold them in 50 characters, too
// few for a hash: the table is made again with room for one.
void widenPasswordColumn(Connection& c) {
    const QVector<FieldDef>& fields = c.tableFields(QStringLiteral("admin"));
    int size = -1;
    for (const FieldDef& f : fields)
        if (f.name.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0) size = f.size;
    if (size == 0 || size >= kHashSize) return;
    if (fields.size() != 4 || size < 0)
        throw DbError(QStringLiteral("The users table of this database file is not as this version knows it, "
                                     "so its passwords cannot be protected."));
    TransactionGuard t(c);
    QSqlQuery seq = run(c, QStringLiteral("select seq from sqlite_sequence where name='admin'"));
    const QVariant top = seq.next() ? seq.value(0) : QVariant();
    seq.finish();
    run(c, QStringLiteral("create table admin_wide ("
                          "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                          "username VARCHAR(50) CHECK (length(username) <= 50), "
                          "password VARCHAR(128) CHECK (length(password) <= 128), "
                          "permit INTEGER)"));
    run(c, QStringLiteral("insert into admin_wide (id, username, password, permit) "
                          "select id, username, password, permit from admin"));
    run(c, QStringLiteral("drop table admin"));
    run(c, QStringLiteral("alter table admin_wide rename to admin"));
    // Keys of deleted users are not given out again.
    if (!top.isNull()) run(c, QStringLiteral("update sqlite_sequence set seq=? where name='admin' and seq<?"), {top, top});
    t.commit();
    c.refreshSchema();
}

void fileCheckLastSuper(Connection& c, qlonglong id, int newPermit) {
    if (newPermit == 0) return;
    if (isLastSuperUser(c, id)) throw DbError(lastSuperText());
}

// ---- server -------------------------------------------------------------------

// Opens a connection of its own as role with password: false when the
// server refuses them. The program's own login is left as it was.
bool serverAccepts(Connection& c, const QString& role, const QString& password) {
    const QUrl address = addressOf(c);
    const ServerLogin before = serverLogin(address);
    setServerLogin(address, {role, password});
    bool ok = true;
    try {
        Connection probe;
        probe.open(c.connString());
    } catch (const LoginRefused&) {
        ok = false;
    } catch (...) {
        setServerLogin(address, before);
        throw;
    }
    setServerLogin(address, before);
    return ok;
}

QString roleOf(Connection& c, qlonglong id) {
    QSqlQuery q = run(c, QStringLiteral("select rolname from tallix_user_names() where id=?"), {id});
    return q.next() ? q.value(0).toString() : QString();
}

// A password typed for a user becomes what the server keeps for it; the
// program's own login follows when it is the user's.
QVariant verifierFor(Connection& c, const QString& role, const std::optional<QString>& password) {
    if (!password) return QVariant(QMetaType(QMetaType::QString));
    const QString verifier = scramVerifier(c.database(), *password);
    const QUrl address = addressOf(c);
    if (!role.isEmpty() && serverLogin(address).role == role) setServerLogin(address, {role, *password});
    return verifier;
}

}  // namespace

bool awaitsLogin(const Connection& c) {
    if (!onServer(c)) return false;
    const QUrl address = addressOf(c);
    return !serverLogin(address).isSet() && address.userName().isEmpty();
}

QVector<UserEntry> listUsers(Connection& c) {
    QVector<UserEntry> out;
    if (onServer(c)) {
        QSqlQuery q = run(c, QStringLiteral("select id, username, rolname from tallix_user_names()"));
        while (q.next()) out.append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString()});
    } else {
        QSqlQuery q = run(c, QStringLiteral("select id, username from admin order by id"));
        while (q.next()) out.append({q.value(0).toLongLong(), q.value(1).toString(), QString()});
    }
    return out;
}

LoginResult logIn(Connection& c, const UserEntry& user, const QString& password) {
    if (onServer(c)) {
        if (user.role.isEmpty())
            throw DbError(QStringLiteral("The user \"%1\" cannot log in to the database server yet: a super user "
                                         "gives them a password in User Management first.").arg(user.name));
        if (!serverAccepts(c, user.role, password)) {
            // Deleted meanwhile, its login went with it: said as such.
            QSqlQuery q = run(c, QStringLiteral("select 1 from tallix_user_names() where id=?"), {user.id});
            if (!q.next()) throw DbError(goneText(user.name));
            return {};
        }
        // From now on every connection to this database logs in as the user.
        const QUrl address = addressOf(c);
        const ServerLogin before = serverLogin(address);
        setServerLogin(address, {user.role, password});
        try {
            c.open(c.connString());
        } catch (...) {
            setServerLogin(address, before);
            try {
                c.open(c.connString());
            } catch (...) {
                // The reconnection says so at the next action.
            }
            throw;
        }
        QSqlQuery q = run(c, QStringLiteral("select permit from tallix_me()"));
        if (!q.next()) throw DbError(goneText(user.name));
        return {true, permitOf(q.value(0))};
    }
    QSqlQuery q = run(c, QStringLiteral("select password, permit from admin where id=?"), {user.id});
    if (!q.next()) throw DbError(goneText(user.name));
    const QString stored = q.value(0).toString();
    const int permit = permitOf(q.value(1));
    q.finish();
    if (!passwordMatches(stored, password)) return {};
    if (!c.readOnly()) {
        // Protected now that the clear password is known to be right; a
        // file another program keeps busy is converted at a later login.
        try {
            if (!isPasswordHash(stored)) {
                widenPasswordColumn(c);
                run(c, QStringLiteral("update admin set password=? where id=? and (password=? or password is null)"),
                    {hashPassword(password), user.id, stored});
            }
            if (permit == 0) hashClearPasswords(c);
        } catch (const DbError&) {
        }
    }
    return {true, permit};
}

int hashClearPasswords(Connection& c) {
    if (onServer(c) || c.readOnly()) return 0;
    QVector<std::pair<qlonglong, QString>> clear;
    {
        QSqlQuery q = run(c, QStringLiteral("select id, password from admin"));
        while (q.next())
            if (!isPasswordHash(q.value(1).toString())) clear.append({q.value(0).toLongLong(), q.value(1).toString()});
    }
    if (clear.isEmpty()) return 0;
    widenPasswordColumn(c);
    // Hashing takes a while each: done before the file is held for writing.
    QVector<QString> hashes;
    for (const auto& [id, password] : clear) hashes << hashPassword(password);
    TransactionGuard t(c);
    int n = 0;
    for (int i = 0; i < clear.size(); ++i) {
        QSqlQuery u = run(c, QStringLiteral("update admin set password=? where id=? and (password=? or password is null)"),
                          {hashes[i], clear[i].first, clear[i].second});
        n += u.numRowsAffected();
    }
    t.commit();
    return n;
}

qlonglong addUser(Connection& c, const QString& name, int permit, const QString& password) {
    c.checkWritable();
    if (onServer(c)) {
        QSqlQuery q = run(c, QStringLiteral("select tallix_add_user(?, ?, ?)"),
                          {name, permit, scramVerifier(c.database(), password)});
        return q.next() ? q.value(0).toLongLong() : -1;
    }
    widenPasswordColumn(c);
    const QString hash = hashPassword(password);
    QSqlQuery q = run(c, QStringLiteral("insert into admin (username, password, permit) values (?, ?, ?)"),
                      {name, hash, permit});
    return q.lastInsertId().toLongLong();
}

void changeUser(Connection& c, qlonglong id, const QString& name, int permit,
                const std::optional<QString>& password) {
    c.checkWritable();
    if (onServer(c)) {
        run(c, QStringLiteral("select tallix_change_user(?, ?, ?, ?)"),
            {id, name, permit, verifierFor(c, roleOf(c, id), password)});
        return;
    }
    if (password) widenPasswordColumn(c);
    const QString hash = password ? hashPassword(*password) : QString();
    TransactionGuard t(c);
    fileCheckLastSuper(c, id, permit);
    QSqlQuery q = password ? run(c, QStringLiteral("update admin set username=?, permit=?, password=? where id=?"),
                                 {name, permit, hash, id})
                           : run(c, QStringLiteral("update admin set username=?, permit=? where id=?"),
                                 {name, permit, id});
    if (q.numRowsAffected() == 0) throw DbError(goneText(name));
    t.commit();
}

void deleteUser(Connection& c, qlonglong id) {
    c.checkWritable();
    if (onServer(c)) {
        run(c, QStringLiteral("select tallix_delete_user(?)"), {id});
        return;
    }
    TransactionGuard t(c);
    fileCheckLastSuper(c, id, -1);
    run(c, QStringLiteral("delete from admin where id=?"), {id});
    t.commit();
}

bool isLastSuperUser(Connection& c, qlonglong id) {
    QSqlQuery me = run(c, QStringLiteral("select permit from admin where id=?"), {id});
    if (!me.next() || permitOf(me.value(0)) != 0) return false;
    QSqlQuery all = run(c, QStringLiteral("select count(*) from admin where permit=0"));
    return all.next() && all.value(0).toInt() <= 1;
}

PasswordCheck checkOwnPassword(Connection& c, const QString& loginName, const QString& password) {
    if (onServer(c)) {
        QSqlQuery q = run(c, QStringLiteral("select username from tallix_me()"));
        if (!q.next()) return PasswordCheck::NoSuchUser;
        const QString role = serverLogin(addressOf(c)).role;
        if (role.isEmpty()) return PasswordCheck::NoSuchUser;
        return serverAccepts(c, role, password) ? PasswordCheck::Right : PasswordCheck::Wrong;
    }
    QSqlQuery q = run(c, QStringLiteral("select password from admin where username=?"), {loginName});
    if (!q.next()) return PasswordCheck::NoSuchUser;
    return passwordMatches(q.value(0).toString(), password) ? PasswordCheck::Right : PasswordCheck::Wrong;
}

void changeOwnPassword(Connection& c, const QString& loginName, const QString& newPassword) {
    c.checkWritable();
    if (onServer(c)) {
        QString verifier = scramVerifier(c.database(), newPassword);
        // A statement that takes no values: the verifier is written into it.
        run(c, QStringLiteral("alter role current_user password '%1'")
                   .arg(verifier.replace(QLatin1Char('\''), QLatin1String("''"))));
        const QUrl address = addressOf(c);
        ServerLogin login = serverLogin(address);
        if (login.isSet()) {
            login.password = newPassword;
            setServerLogin(address, login);
        }
        return;
    }
    widenPasswordColumn(c);
    QSqlQuery q = run(c, QStringLiteral("update admin set password=? where username=?"),
                      {hashPassword(newPassword), loginName});
    if (q.numRowsAffected() == 0) throw DbError(goneText(loginName));
}

}  // namespace db
