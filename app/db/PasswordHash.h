#pragma once
// Passwords kept in a database file: salted hashes (Argon2id through
// libsodium), never the passwords themselves. Files made before hold them
// in clear; those are still read, and replaced by hashes at a login.
#include <QString>

namespace db {

// A new salted hash of password; throws DbError when the library cannot
// make one (out of memory).
QString hashPassword(const QString& password);

// True when stored is such a hash rather than a password in clear.
bool isPasswordHash(const QString& stored);

// True when typed is the password stored keeps: a hash is checked by the
// library; a clear password is compared exactly, letter case included.
bool passwordMatches(const QString& stored, const QString& typed);

}  // namespace db
