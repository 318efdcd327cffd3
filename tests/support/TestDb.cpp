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

namespace testsupport {

namespace {
const QString kNoRow = QStringLiteral("<none>");

QString serverBase() { return qEnvironmentVariable("TALLIX_TEST_PG").trimmed(); }

// Runs statements on the server's maintenance database, outside any test
// database; false (with a warning) when one fails.
bool onMaintenance(const QStringList& statements) {
    const QString name = QStringLiteral("tallix-maintenance");
    bool ok = true;
    {
        QSqlDatabase m = QSqlDatabase::contains(name) ? QSqlDatabase::database(name)
                                                      : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        const QUrl url(serverBase());
        m.setHostName(url.host());
        m.setPort(url.port(5432));
        m.setUserName(url.userName());
        m.setDatabaseName(QStringLiteral("postgres"));
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
    dbConn_ = serverBase() + QLatin1Char('/') + serverDb_;
    QFile ini(QDir(tmp_.path()).filePath(QStringLiteral("config.ini")));
    ok_ = ini.open(QIODevice::WriteOnly) && ini.write("[Config]\nDBConn=" + dbConn_.toUtf8() + "\n") > 0;
}

TestDb::~TestDb() {
    data_.reset();
    if (!serverDb_.isEmpty())
        onMaintenance({QStringLiteral("drop database if exists %1 with (force)").arg(serverDb_)});
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
