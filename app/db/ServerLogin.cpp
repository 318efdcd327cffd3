#include "app/db/ServerLogin.h"

#include <QHash>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>
#include <libpq-fe.h>

#include "app/db/DbError.h"

namespace db {

namespace {
QMutex mutex;
QHash<QString, ServerLogin>& logins() {
    static QHash<QString, ServerLogin> all;
    return all;
}

// The database an address names, whatever user and options it carries.
QString keyOf(const QUrl& address) {
    QString host = QUrlQuery(address).queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    if (host.isEmpty()) host = address.host();
    return host.toLower() + QLatin1Char(':') + QString::number(address.port(5432)) + address.path();
}
}  // namespace

ServerLogin serverLogin(const QUrl& address) {
    QMutexLocker lock(&mutex);
    return logins().value(keyOf(address));
}

void setServerLogin(const QUrl& address, const ServerLogin& login) {
    QMutexLocker lock(&mutex);
    if (login.isSet()) logins().insert(keyOf(address), login);
    else logins().remove(keyOf(address));
}

void forgetServerLogins() {
    QMutexLocker lock(&mutex);
    logins().clear();
}

QString serverPassword(const QString& typed) {
    return typed.isEmpty() ? QStringLiteral("tallix-empty-password") : typed;
}

QString listerRole(const QString& database) { return database + QStringLiteral("_login"); }
QString listerPassword() { return QStringLiteral("tallix-user-list"); }

QString scramVerifier(QSqlDatabase& db, const QString& password) {
    const QVariant handle = db.isOpen() ? db.driver()->handle() : QVariant();
    // The driver's handle type is named as the compiler spells PGconn*.
    const bool pg = handle.isValid() &&
                    (qstrcmp(handle.typeName(), "PGconn*") == 0 || qstrcmp(handle.typeName(), "pg_conn*") == 0);
    PGconn* conn = pg ? *static_cast<PGconn* const*>(handle.constData()) : nullptr;
    if (!conn) throw DbError(QStringLiteral("Not connected to a database server"));
    const QByteArray utf8 = serverPassword(password).toUtf8();
    char* verifier = PQencryptPasswordConn(conn, utf8.constData(), "", "scram-sha-256");
    if (!verifier)
        throw DbError(QStringLiteral("The password could not be prepared for the server (%1).")
                          .arg(QString::fromUtf8(PQerrorMessage(conn)).trimmed()));
    const QString out = QString::fromLatin1(verifier);
    PQfreemem(verifier);
    return out;
}

}  // namespace db
