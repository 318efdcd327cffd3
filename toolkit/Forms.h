#pragma once
// What every window repeats: where it opens, when its FormShow runs, and how
// its buttons reach their handlers.
#include <QAbstractButton>
#include <QObject>
#include <functional>
#include <initializer_list>

#include "toolkit/Guard.h"

class QComboBox;
class QDialog;
class QLineEdit;
class QShowEvent;
class QToolBar;
class QToolButton;
class QWidget;

namespace toolkit {

// A fixed dialog: title bar with its system menu and close box, nothing to
// minimise or maximise it with (a minimised modal dialog would hide the whole
// program), and its client area fixed at w x h pixels.
void makeFixedDialog(QDialog* d, int w, int h);

// A modal window that a window manager minimises (with the program's main
// window) comes straight back: otherwise the whole program would vanish
// while it waits for the hidden window.
void keepUp(QWidget* w);

// Moves a window to the middle of the primary screen's free area.
void centreOnScreen(QWidget* w);

// Runs a window's FormShow from its showEvent, through guarded() so that an
// engine error is reported and the window still opens: once, on the first
// show the program causes (the window system's re-show after a minimise is
// spontaneous and does not count) ...
void formShowOnce(QShowEvent* e, bool& shown, const std::function<void()>& formShow);
// ... or on every show the program causes, for windows that start afresh each time.
void formShowEachTime(QShowEvent* e, const std::function<void()>& formShow);

// Connects a button to a handler of its window, run through guarded().
template <class Window>
void onClick(QAbstractButton* button, Window* window, void (Window::*handler)()) {
    QObject::connect(button, &QAbstractButton::clicked, window,
                     [window, handler] { guarded([window, handler] { (window->*handler)(); }); });
}

// Runs handler, through guarded(), when the user changes an editable box:
// picks an item or types. What the program itself puts into it does not count.
void onUserChange(QComboBox* box, QObject* context, const std::function<void()>& handler);

// Sets the tab order of the widgets as listed.
void setTabOrder(std::initializer_list<QWidget*> widgets);

// A flat tool-bar button with a drawn icon and its caption beside it, added to bar.
QToolButton* addToolButton(QToolBar* bar, const QString& caption, const QString& icon);

// Makes box an editable drop-down that keeps the text exactly as typed: no
// inline completion (typing "United" must not become "United Kingdom"), no
// insertion of typed text into the list, and Enter goes on to the dialog's
// default button at once.
void makeTypedCombo(QComboBox* box);

// A password box that shows "*" for each character typed, whatever the
// style's own mask character is.
void makePasswordEdit(QLineEdit* edit);

// Puts every line edit inside w back at the start of its text: a text
// longer than its box then shows its beginning, not its end.
void showTextsFromStart(QWidget* w);

// Shows text in an editable box, selecting the item that reads the same.
void setBoxText(QComboBox* box, const QString& text);

// An address field: blue underlined type, opened by a double-click.
void styleAsLink(QLineEdit* edit);

}  // namespace toolkit
