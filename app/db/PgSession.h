#pragma once
// How a session with the database server is set up: the settings this
// program's statements rely on, given to the server as the session starts
// and read back before the session is used.
#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace db {

// The value of libpq's "options" for a session: the address's own options
// (may be empty) followed by this program's settings, which win.
QString pgStartupOptions(const QString& addressOptions);
// Reads every setting back, and checks that the driver writes values the
// way the session reads them. Throws DbError naming a setting the server
// did not take, with its cause; the session must not be used then.
void pgCheckSession(QSqlDatabase& db);
// True when the server has closed the session (it restarted, or ended the
// session) since its last statement. Reads what the server sent meanwhile,
// without sending anything; a session in use is never taken for gone. A
// gone session is set up again by opening the connection anew, which runs
// the two functions above.
bool pgSessionGone(QSqlDatabase& db);
// Whether the server db was opened on accepts sessions again: a question
// that needs no login, safe to ask on another thread, taking at most the
// connection time-out.
std::function<bool()> pgServerAnswers(const QSqlDatabase& db);

}  // namespace db
