#include "app/db/PasswordHash.h"

#include <sodium.h>

#include "app/db/DbError.h"

namespace db {

namespace {
void initialise() {
    static const int ready = sodium_init();
    if (ready < 0) throw DbError(QStringLiteral("The password library could not be started."));
}

// How hard a hash is to make: the library's setting for logins, a tenth of
// a second or so on an office computer.
constexpr unsigned long long kOps = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr size_t kMem = crypto_pwhash_MEMLIMIT_INTERACTIVE;
}  // namespace

QString hashPassword(const QString& password) {
    initialise();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()), kOps, kMem) != 0)
        throw DbError(QStringLiteral("There was not enough memory to protect the password."));
    return QString::fromLatin1(out);
}

bool isPasswordHash(const QString& stored) {
    // Clear passwords were held in 50 characters, a hash takes more.
    return stored.size() > 50 && stored.startsWith(QLatin1String("$argon2"));
}

bool passwordMatches(const QString& stored, const QString& typed) {
    if (!isPasswordHash(stored)) return stored == typed;
    initialise();
    const QByteArray hash = stored.toLatin1();
    const QByteArray utf8 = typed.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), utf8.constData(),
                                    static_cast<unsigned long long>(utf8.size())) == 0;
}

}  // namespace db
