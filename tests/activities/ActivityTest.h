#pragma once
// Driving the activity windows as a user does: typing (also text an input
// method delivers, such as Chinese), clicking grid rows, and choosing from a
// grid's popup menu.
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>

#include "toolkit/DataGrid.h"

namespace acttest {

// Types text into w key by key; characters beyond ASCII arrive as an input
// method hands them over, as key events carrying the text.
inline void typeText(QWidget* w, const QString& text) {
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            QTest::keyClick(w, Qt::Key_Return);
        } else if (c.unicode() < 128 && c.unicode() >= 32) {
            QTest::keyClicks(w, QString(c));
        } else {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(w, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(w, &release);
        }
    }
}

inline QPoint cellCentre(toolkit::DataGrid* g, int row, int column = 0) {
    g->scrollTo(g->model()->index(row, column));
    return g->visualRect(g->model()->index(row, column)).center();
}

inline void clickRow(toolkit::DataGrid* g, int row, int column = 0) {
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cellCentre(g, row, column));
}

inline void doubleClickRow(toolkit::DataGrid* g, int row, int column = 0) {
    const QPoint p = cellCentre(g, row, column);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, p);
}

// Right-clicks a grid at a row (or below the rows when row is -1) and returns
// the popup menu that opened, or nullptr.
inline QMenu* popupAt(toolkit::DataGrid* g, int row) {
    const QPoint p = row >= 0 ? cellCentre(g, row) : QPoint(5, g->viewport()->height() - 3);
    QTest::mouseClick(g->viewport(), Qt::RightButton, {}, p);
    QContextMenuEvent e(QContextMenuEvent::Mouse, p, g->viewport()->mapToGlobal(p));
    if (!qobject_cast<QMenu*>(QApplication::activePopupWidget())) QCoreApplication::sendEvent(g->viewport(), &e);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

// Chooses an item of an open popup menu with the mouse.
inline void choose(QMenu* menu, QAction* item) {
    QVERIFY(menu && menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

}  // namespace acttest
