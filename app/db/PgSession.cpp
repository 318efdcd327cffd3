#include "app/db/PgSession.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QStringList>

#include "app/db/DbError.h"

namespace db {

namespace {

struct Setting {
    const char* name;
    const char* value;
    const char* shown;  // how the server reports it once in force; "|" between spellings
};

// Set from the first statement of the session on, before the driver looks
// at anything.
constexpr Setting kSettings[] = {
    // A backslash in a quoted text is an ordinary character, as everywhere
    // else in this program; with this off, the driver's quoting of bound
    // values and the server's reading of them could disagree.
    {"standard_conforming_strings", "on", "on"},
    // Dates and times are read back in ISO form.
    {"DateStyle", "ISO", "ISO"},
    // Every text travels as UTF-8.
    {"client_encoding", "UTF8", "UTF8|UNICODE"},
    // A row another workstation holds blocks a save for as long as the
    // embedded engine waits for its file, then the save is refused.
    {"lock_timeout", "5s", "5s"},
};

}  // namespace

QString pgStartupOptions(const QString& addressOptions) {
    QStringList parts;
    if (!addressOptions.trimmed().isEmpty()) parts << addressOptions.trimmed();
    for (const Setting& s : kSettings)
        parts << QStringLiteral("-c %1=%2").arg(QLatin1String(s.name), QLatin1String(s.value));
    return parts.join(QLatin1Char(' '));
}

void pgCheckSession(QSqlDatabase& db) {
    QStringList reads;
    for (const Setting& s : kSettings) reads << QStringLiteral("current_setting('%1')").arg(QLatin1String(s.name));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select ") + reads.join(QLatin1Char(','))) || !q.next())
        throw DbError(QStringLiteral("The database server's session settings could not be read (%1).")
                          .arg(q.lastError().databaseText().trimmed().isEmpty() ? q.lastError().text()
                                                                                 : q.lastError().databaseText().trimmed()));
    int i = 0;
    for (const Setting& s : kSettings) {
        const QString now = q.value(i++).toString();
        // DateStyle reads "ISO, MDY": the order part is not ours to set.
        bool taken = false;
        for (const QString& shown : QString::fromLatin1(s.shown).split(QLatin1Char('|')))
            taken = taken || now.compare(shown, Qt::CaseInsensitive) == 0 ||
                    now.startsWith(shown + QLatin1Char(','), Qt::CaseInsensitive);
        if (!taken)
            throw DbError(QStringLiteral("The database server did not take the setting %1 = %2 for this session "
                                         "(it reads \"%3\"). A connection pool between this workstation and the "
                                         "server may be dropping session settings.")
                              .arg(QLatin1String(s.name), QLatin1String(s.value), now));
    }
    q.finish();
    // The driver writes each bound text as a quoted literal; it must write a
    // backslash as one backslash, which is how this session reads it.
    QSqlField probe(QStringLiteral("probe"), QMetaType(QMetaType::QString));
    probe.setValue(QStringLiteral("\\'"));
    const QString written = db.driver()->formatValue(probe);
    if (written != QStringLiteral("'\\'''"))
        throw DbError(QStringLiteral("The database driver quotes texts for another setting of "
                                     "standard_conforming_strings than this session's (it writes %1).")
                          .arg(written));
}

}  // namespace db
