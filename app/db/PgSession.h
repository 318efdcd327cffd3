#pragma once
// How a session with the database server is set up: the settings this
// program's statements rely on, given to the server as the session starts
// and read back before the session is used.
#include <QSqlDatabase>
#include <QString>

namespace db {

// The value of libpq's "options" for a session: the address's own options
// (may be empty) followed by this program's settings, which win.
QString pgStartupOptions(const QString& addressOptions);
// Reads every setting back, and checks that the driver writes values the
// way the session reads them. Throws DbError naming a setting the server
// did not take, with its cause; the session must not be used then.
void pgCheckSession(QSqlDatabase& db);

}  // namespace db
