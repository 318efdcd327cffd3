#include "app/DbAddress.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include "app/db/Connection.h"

QString dbConnProblem(const QString& text) {
    const QString t = text.trimmed();
    if (db::Connection::isServerAddress(t)) return QString();
    // "scheme://..." of any other kind is no file either: a mistyped
    // postgresql:// must not be taken for a file name.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    if (scheme.match(t).hasMatch())
        return QStringLiteral("\"%1\" is not a database file nor a postgresql:// address.").arg(t);
    return QString();
}

bool addressHasPassword(const QString& address) {
    if (!db::Connection::isServerAddress(address)) return false;
    const QUrl url(address.trimmed());
    return !url.password().isEmpty() || QUrlQuery(url).hasQueryItem(QStringLiteral("password"));
}

QString addressWithoutPassword(const QString& address) {
    QUrl url(address.trimmed());
    QUrlQuery query(url);
    query.removeAllQueryItems(QStringLiteral("password"));
    url.setQuery(query);
    url.setPassword(QString());
    return url.toString();
}

QString passwordInAddressText() {
    return QStringLiteral("The address holds a password, which would be kept in config.ini for anyone to read. "
                          "Leave it out of the address: give it in the password file (~/.pgpass, a line "
                          "host:port:database:user:password, readable by you only) or in the PGPASSWORD setting.");
}

QString passwordInConfigText() {
    return QStringLiteral("The database address in config.ini holds a password. It is used, but anyone who can "
                          "read config.ini can read it: move it into the password file (~/.pgpass, a line "
                          "host:port:database:user:password, readable by you only) or the PGPASSWORD setting, "
                          "and choose the address again without it in System > Open Database.");
}
