#pragma once
// Editors cap each box at the size of the column it is saved into, so that a
// text too long to store cannot even be typed.
#include <QList>
#include <QPair>
#include <QString>

class QWidget;
namespace db {
class Connection;
}

// For each (box, column) pair: a line edit, or the edit of an editable combo
// box, takes at most as many characters as the column of table holds. Boxes
// of unbounded columns are left alone; so is everything when the table
// cannot be read.
void limitToColumns(db::Connection* connection, const QString& table,
                    const QList<QPair<QWidget*, QString>>& boxes);
