#pragma once
// What the activity windows need of the database that one made by an older
// version lacks: the schedule's customer link and reminder columns, and the
// sales tables. The program never adds them itself; a window that needs them
// says so, and everything else goes on working.
#include <QString>
#include <QStringList>

namespace db {
class Connection;
}

namespace activities {

// "table.column" for each column of table that the database lacks; just the
// table's name when the table itself is missing.
QStringList missingFromTable(db::Connection* c, const QString& table, const QStringList& columns);

// What the schedule editor and the reminders need that the database lacks.
QStringList missingForSchedules(db::Connection* c);
// What the sales window needs that the database lacks.
QStringList missingForSales(db::Connection* c);

// The message that tells the user what is missing and what still works.
QString missingMessage(const QString& window, const QStringList& missing, const QString& consequence);

// True when schedules can be added and edited; otherwise says why through
// the dialog service.
bool schedulesUsable(db::Connection* c);
// True when the sales window can open; otherwise says why.
bool salesUsable(db::Connection* c);

}  // namespace activities
