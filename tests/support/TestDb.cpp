#include "tests/support/TestDb.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <QUuid>

#include "app/db/DbError.h"
#include "app/db/PasswordHash.h"
#include "app/db/ServerLogin.h"

namespace testsupport {

namespace {
const QString kNoRow = QStringLiteral("<none>");

QString serverBase() { return qEnvironmentVariable("TALLIX_TEST_PG").trimmed(); }

// A connection to a database of the test server as its superuser.
QSqlDatabase serverConnection(const QString& name, const QString& database) {
    QSqlDatabase m = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                  : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    const QUrl url(serverBase());
    m.setHostName(url.host());
    m.setPort(url.port(5432));
    m.setUserName(url.userName());
    m.setDatabaseName(database);
    return m;
}

// Runs statements on the server's maintenance database, outside any test
// database; false (with a warning) when one fails.
bool onMaintenance(const QStringList& statements) {
    const QString name = QStringLiteral("tallix-maintenance");
    bool ok = true;
    {
        QSqlDatabase m = serverConnection(name, QStringLiteral("postgres"));
        // A test that restarted the server left it a dropped connection.
        if (m.isOpen() && !QSqlQuery(m).exec(QStringLiteral("select 1"))) m.close();
        if (!m.isOpen() && !m.open()) {
            qWarning("cannot reach the test database server %s: %s", qPrintable(serverBase()),
                     qPrintable(m.lastError().text()));
            return false;
        }
        for (const QString& s : statements) {
            QSqlQuery q(m);
            // Two test programs copying the template at once: one waits.
            bool done = false;
            for (int attempt = 0; attempt < 50 && !done; ++attempt) {
                done = q.exec(s);
                if (!done && q.lastError().text().contains(QLatin1String("is being accessed by other users")))
                    QThread::msleep(100);
                else
                    break;
            }
            if (!done) {
                qWarning("%s: %s", qPrintable(s), qPrintable(q.lastError().text()));
                ok = false;
            }
        }
    }
    return ok;
}
}  // namespace

bool TestDb::onServer() {
    return qEnvironmentVariable("TALLIX_TEST_ENGINE").compare(QLatin1String("postgresql"), Qt::CaseInsensitive) == 0;
}

bool TestDb::serverMissing() { return onServer() && serverBase().isEmpty(); }

TestDb::TestDb() {
    if (!tmp_.isValid()) return;
    if (!onServer()) {
        ok_ = QFile::copy(QStringLiteral(TALLIX_SUPPLIED_DB), dbPath());
        if (ok_) QFile(dbPath()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return;
    }
    if (serverBase().isEmpty()) {
        qWarning("TALLIX_TEST_ENGINE=postgresql needs a test server in TALLIX_TEST_PG: run the tests "
                 "through make test (scripts/with-test-server.sh)");
        return;
    }
    serverDb_ = QStringLiteral("tallix_t_") +
                QUuid::createUuid().toString(QUuid::Id128).left(16);
    if (!onMaintenance({QStringLiteral("create database %1 template tallix_template").arg(serverDb_)})) {
        serverDb_.clear();
        return;
    }
    // Roles of its own, so that tests adding and deleting users meet no
    // other test's; the template's users keep their passwords.
    {
        QSqlDatabase owner = serverConnection(serverDb_ + QStringLiteral("-owner"), serverDb_);
        connections_ << owner.connectionName();
        QSqlQuery q(owner);
        if (!owner.open() || !q.exec(QStringLiteral("select * from tallix_setup_rights()"))) {
            qWarning("could not give the test database its roles: %s",
                     qPrintable(owner.isOpen() ? q.lastError().text() : owner.lastError().text()));
            return;
        }
    }
    dbConn_ = serverBase() + QLatin1Char('/') + serverDb_;
    QFile ini(QDir(tmp_.path()).filePath(QStringLiteral("config.ini")));
    ok_ = ini.open(QIODevice::WriteOnly) && ini.write("[Config]\nDBConn=" + dbConn_.toUtf8() + "\n") > 0;
}

TestDb::~TestDb() {
    data_.reset();
    db::forgetServerLogins();
    for (const QString& c : std::as_const(connections_)) QSqlDatabase::removeDatabase(c);
    if (!serverDb_.isEmpty()) dropServerDatabase(serverDb_);
}

bool dropServerDatabase(const QString& name) {
    return onMaintenance({QStringLiteral("drop database if exists %1 with (force)").arg(name),
                          // Roles belong to the whole server, not to the database.
                          QStringLiteral("do $$ declare r record; begin "
                                         "for r in select rolname from pg_roles where left(rolname, %2) = '%1.' "
                                         "or rolname in ('%1_super', '%1_common', '%1_login') loop "
                                         "execute format('drop role %I', r.rolname); end loop; end $$")
                              .arg(name)
                              .arg(name.size() + 1)});
}

bool TestDb::addUser(const QString& name, const QString& password, int permit) {
    if (!onServer()) {
        const QString c = QStringLiteral("tallix-test-owner-") + QUuid::createUuid().toString();
        bool ok = false;
        {
            QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), c);
            file.setDatabaseName(dbPath());
            QSqlQuery q(file);
            ok = file.open() &&
                 q.prepare(QStringLiteral("insert into admin (username, password, permit) values (?, ?, ?)"));
            q.addBindValue(name);
            q.addBindValue(db::hashPassword(password));
            q.addBindValue(permit);
            ok = ok && q.exec();
            if (!ok) qWarning("could not add user %s: %s", qPrintable(name), qPrintable(q.lastError().text()));
        }
        QSqlDatabase::removeDatabase(c);
        return ok;
    }
    QSqlDatabase owner = QSqlDatabase::database(serverDb_ + QStringLiteral("-owner"));
    QSqlQuery q(owner);
    q.prepare(QStringLiteral("select tallix_add_user(?, ?, ?)"));
    q.addBindValue(name);
    q.addBindValue(permit);
    q.addBindValue(db::scramVerifier(owner, password));
    if (q.exec()) return true;
    qWarning("could not add user %s: %s", qPrintable(name), qPrintable(q.lastError().text()));
    return false;
}

QString TestDb::storedPassword(const QString& name) {
    const QString c = QStringLiteral("tallix-test-read-") + QUuid::createUuid().toString();
    QString out = kNoRow;
    {
        QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), c);
        file.setDatabaseName(dbPath());
        QSqlQuery q(file);
        if (file.open() && q.prepare(QStringLiteral("select password from admin where username = ?"))) {
            q.addBindValue(name);
            if (q.exec() && q.next()) out = q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(c);
    return out;
}

bool TestDb::passwordIs(const QString& name, const QString& password) {
    if (!onServer()) {
        const QString stored = storedPassword(name);
        return stored != kNoRow && db::passwordMatches(stored, password);
    }
    const QString role = roleOf(name);
    if (role.isEmpty()) return false;
    const QString c = connectAs(role, db::serverPassword(password));
    if (c.isEmpty()) return false;
    QSqlDatabase::database(c).close();
    return true;
}

QString TestDb::roleOf(const QString& name) {
    QSqlQuery q(QSqlDatabase::database(serverDb_ + QStringLiteral("-owner")));
    q.prepare(QStringLiteral("select rolname from tallix_user_names() where username = ?"));
    q.addBindValue(name);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

QString TestDb::connectAs(const QString& role, const QString& password) {
    const QString c = serverDb_ + QLatin1Char('-') + QString::number(connections_.size());
    QSqlDatabase s = serverConnection(c, serverDb_);
    connections_ << c;
    s.setUserName(role);
    s.setPassword(password);
    return s.open() ? c : QString();
}

QString TestDb::workstationAddress() const {
    const QUrl url(serverBase());
    return QStringLiteral("postgresql://%1:%2/%3").arg(url.host()).arg(url.port(5432)).arg(serverDb_);
}

QString TestDb::dbPath() const { return QDir(tmp_.path()).filePath(QStringLiteral("custom.db")); }

QString TestDb::connString() const {
    return dbConn_.isEmpty() ? db::Connection::connStringForFile(dbPath()) : db::Connection::connStringFor(dbConn_);
}

TFrm_Data* TestDb::openData() {
    data_.reset();
    data_ = std::make_unique<TFrm_Data>(tmp_.path());
    Frm_Data = data_.get();
    return data_.get();
}

bool TestDb::exec(const db::Statement& sql) {
    if (!data_) openData();
    try {
        data_->Qry_Temp->setSql(sql);
        data_->Qry_Temp->execSql();
        return true;
    } catch (const db::DbError& e) {
        qWarning("%s", qPrintable(e.text()));
        return false;
    }
}

bool TestDb::execBeside(const QString& sql) {
    const QString c = onServer() ? serverDb_ + QStringLiteral("-owner")
                                 : QStringLiteral("tallix-test-beside-") + QUuid::createUuid().toString();
    bool ok = false;
    {
        QSqlDatabase d = onServer() ? QSqlDatabase::database(c) : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), c);
        if (!onServer()) d.setDatabaseName(dbPath());
        QSqlQuery q(d);
        ok = d.open() && q.exec(sql);
        if (!ok && onServer()) {
            // The test server may have restarted since this session was opened.
            d.close();
            q = QSqlQuery(d);
            ok = d.open() && q.exec(sql);
        }
        if (!ok) qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    }
    if (!onServer()) QSqlDatabase::removeDatabase(c);
    return ok;
}

bool TestDb::refuseWrites(const QString& table, const QString& event, const QString& message,
                          const QString& condition) {
    const QString name = QStringLiteral("refuse_%1_%2").arg(table.toLower(), event);
    if (!onServer()) {
        return exec(QStringLiteral("create trigger %1 before %2 on %3 %4 begin select raise(abort, '%5'); end")
                        .arg(name, event, table,
                             condition.isEmpty() ? QString() : QStringLiteral("when ") + condition, message));
    }
    return exec(QStringLiteral("create function %1() returns trigger language plpgsql as "
                               "$f$ begin raise exception '%2'; end $f$")
                    .arg(name, message)) &&
           exec(QStringLiteral("create trigger %1 before %2 on %3 for each row %4 execute function %1()")
                    .arg(name, event, table,
                         condition.isEmpty() ? QString() : QStringLiteral("when (") + condition + QLatin1Char(')')));
}

bool TestDb::allowWrites(const QString& table, const QString& event) {
    const QString name = QStringLiteral("refuse_%1_%2").arg(table.toLower(), event);
    if (!onServer()) return exec(QStringLiteral("drop trigger %1").arg(name));
    return exec(QStringLiteral("drop trigger %1 on %2").arg(name, table)) &&
           exec(QStringLiteral("drop function %1()").arg(name));
}

std::unique_ptr<db::Query> TestDb::select(const db::Statement& sql) {
    if (!data_) openData();
    auto q = std::make_unique<db::Query>(data_->Connection);
    q->setSql(sql);
    q->open();
    return q;
}

int TestDb::rowCount(const db::Statement& sql) { return select(sql)->recordCount(); }

int TestDb::scalar(const db::Statement& sql) { return int(select(sql)->field(0).asInteger()); }

QVariant TestDb::value(const db::Statement& sql, const QString& field) {
    const auto q = select(sql);
    return q->isEmpty() ? QVariant(kNoRow) : q->field(field).value();
}

QString TestDb::text(const db::Statement& sql, const QString& field) {
    const auto q = select(sql);
    return q->isEmpty() ? kNoRow : q->field(field).asString();
}

}  // namespace testsupport
