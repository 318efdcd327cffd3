#pragma once
// Whom the connections to a database server log in as. Before a Tallix
// user has logged in: the account the address names, or else the
// database's own user-list login, which may read the user names and
// nothing else. After a login: the user's own server role, with the
// password the user typed; every connection of the program to that
// database then logs in so, reconnections and second connections included.
#include <QString>

class QSqlDatabase;
class QUrl;

namespace db {

struct ServerLogin {
    QString role;
    QString password;  // as typed; empty is allowed
    bool isSet() const { return !role.isEmpty(); }
};

// The login for connections to the database a server address names.
ServerLogin serverLogin(const QUrl& address);
void setServerLogin(const QUrl& address, const ServerLogin& login);
void forgetServerLogins();

// The password the server keeps for a Tallix password: the server cannot
// keep an empty one, so that has a stand-in everyone knows.
QString serverPassword(const QString& typed);
// The user-list login of a database, and its password, which is public.
QString listerRole(const QString& database);
QString listerPassword();

// What the server stores for password: a SCRAM verifier made here, so that
// the password itself never travels to the server. db is an open
// connection to the server; throws DbError when no verifier can be made.
QString scramVerifier(QSqlDatabase& db, const QString& password);

}  // namespace db

#include "app/db/DbError.h"

namespace db {

// The server refused the user name or password it was given.
class LoginRefused : public DbError {
public:
    using DbError::DbError;
};

}  // namespace db
