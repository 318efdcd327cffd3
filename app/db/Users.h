#pragma once
// The users who may log in, their passwords and permission levels, on
// either engine. A database file keeps them in table admin, passwords as
// salted hashes. On a server each user is a role of the server, which
// checks the password itself and refuses what the user's level may not do;
// table admin there names the users and their levels only.
#include <QString>
#include <QVector>
#include <optional>

#include "app/db/Connection.h"

namespace db {

struct UserEntry {
    qlonglong id = -1;
    QString name;  // as stored
    QString role;  // the server role the user logs in as (servers only)
};

// The users for the login list, in the table's order. On a server this is
// all a connection may read before a user has logged in.
QVector<UserEntry> listUsers(Connection& c);

struct LoginResult {
    bool ok = false;   // false: the password is not the user's
    int permit = -1;   // the user's permission level
};
// Checks user's password. On a database file, a password still kept in
// clear is replaced by its hash, and a super user's login replaces all of
// them. On a server the server checks it, and c (with every later
// connection of the program to that database) is logged in as the user.
// Other failures (no connection, no such user any more) throw DbError.
LoginResult logIn(Connection& c, const UserEntry& user, const QString& password);

// User management, for super users. Names are stored as given. A password
// is never shown or read back: nullopt keeps the present one.
qlonglong addUser(Connection& c, const QString& name, int permit, const QString& password);
void changeUser(Connection& c, qlonglong id, const QString& name, int permit,
                const std::optional<QString>& password);
void deleteUser(Connection& c, qlonglong id);
// True when user id is a super user and no other is left.
bool isLastSuperUser(Connection& c, qlonglong id);

// The logged-in user's own password; loginName is the name chosen at the
// login. Right and Wrong say whether password is theirs; NoSuchUser that
// the user was renamed or deleted since.
enum class PasswordCheck { Right, Wrong, NoSuchUser };
PasswordCheck checkOwnPassword(Connection& c, const QString& loginName, const QString& password);
void changeOwnPassword(Connection& c, const QString& loginName, const QString& newPassword);

// True while c may read nothing but the user names: on a server, before a
// user has logged in, when the address names no account of its own.
bool awaitsLogin(const Connection& c);

// A database file's passwords still kept in clear are replaced by their
// hashes; returns how many. Nothing happens on a server or a file opened
// for reading only.
int hashClearPasswords(Connection& c);

}  // namespace db
