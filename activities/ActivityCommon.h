#pragma once
// What the activity windows share: their font, popup items, search buttons,
// and the way they reach the main window and the logged-in user.
#include <QFont>
#include <QPushButton>
#include <QString>
#include <functional>

#include "toolkit/WaitCursor.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class TFrm_Main;
namespace db {
class Query;
}
namespace toolkit {
class DataGrid;
}

namespace activities {

// The activity windows are drawn in 宋体 9 pt (a fallback where it is missing).
QFont windowFont();

// The logged-in user's name; empty before a login.
QString userName();

// Runs a command of the main window, if there is one.
void mainCommand(void (TFrm_Main::*cmd)());

// A popup menu item that runs handler through the error guard.
QAction* popupItem(QMenu* menu, const QString& name, const QString& caption, std::function<void()> handler);

// Opens menu where the user right-clicks in grid.
void attachPopup(toolkit::DataGrid* grid, QMenu* menu);

// One column per field of the grid's record set, titled with the field's name.
void defaultColumns(toolkit::DataGrid* grid, db::Query* query);

using SearchBusy = toolkit::SearchBusy<QPushButton>;

// The one-band bar at the top of a list window: a caption, a key box 329
// pixels wide and a search button, on a panel.
struct SearchBar {
    QWidget* bar;
    QWidget* panel;
    QLabel* label;
    QLineEdit* key;
    QPushButton* button;
};
SearchBar makeSearchBar(QWidget* parent, const QString& caption, const QString& buttonName);


}  // namespace activities
