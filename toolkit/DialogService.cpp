#include "toolkit/DialogService.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QGridLayout>
#include <QSpacerItem>

#include "toolkit/Busy.h"
#include "toolkit/Forms.h"

namespace toolkit {

namespace {
RealDialogs& realDialogs() {
    static RealDialogs real;
    return real;
}
Dialogs* current = nullptr;

QMessageBox::Icon qtIcon(Icon icon) {
    switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}
}  // namespace

Dialogs& dialogs() { return current ? *current : realDialogs(); }

Dialogs* setDialogs(Dialogs* d) {
    Dialogs* old = current;
    current = d;
    return old;
}

void showMessage(const QString& text) {
    dialogs().message(text, QApplication::applicationName(), Icon::None, QMessageBox::Ok);
}

namespace {

// Runs a message box that is wide enough for its title: the window system
// cuts a title that does not fit ("Wa... ng").
QMessageBox::StandardButton runBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                                   QMessageBox::StandardButtons buttons, const QString& detail) {
    const BusyScope busy;
    hideSplashScreens();
    QMessageBox box(icon, title, text, buttons, QApplication::activeWindow());
    if (!detail.isEmpty()) box.setDetailedText(detail);
    // A box without a title of its own shows the application's name there.
    const QString shown = title.isEmpty() ? QApplication::applicationName() : title;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(messageBoxWidthFor(shown), 0, QSizePolicy::Minimum,
                                      QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    keepUp(&box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

int messageBoxWidthFor(const QString& title) {
    // The title in the title bar's font, plus room for the window icon and
    // the close box the window manager puts beside it.
    const QFontMetrics fm(QApplication::font("QMdiSubWindowTitleBar"));
    return fm.horizontalAdvance(title) + 120;
}

void hideSplashScreens() {
    // A splash stays on top of everything: a message shown while it is up
    // would sit behind it and the program would seem to hang.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowType() == Qt::SplashScreen) w->hide();
}

QMessageBox::StandardButton RealDialogs::message(const QString& text, const QString& title,
                                                 Icon icon,
                                                 QMessageBox::StandardButtons buttons,
                                                 const QString& detail) {
    return runBox(qtIcon(icon), title, text, buttons, detail);
}

void RealDialogs::error(const QString& text) {
    runBox(QMessageBox::Critical, QApplication::applicationName(), text, QMessageBox::Ok, QString());
}

QString RealDialogs::openFile(const QString& title, const QString& filter, const QString& dir) {
    const BusyScope busy;
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, dir, filter);
}

QString RealDialogs::saveFile(const QString& title, const QString& filter, const QString& dir) {
    const BusyScope busy;
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, dir, filter);
}

bool RealDialogs::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

bool RealDialogs::print(QPrinter& printer, const QString& title, int pages) {
    const BusyScope busy;
    QPrintDialog d(&printer, QApplication::activeWindow());
    // The page range runs from the first page to the last, not to a
    // made-up 9999.
    if (pages > 0) d.setMinMax(1, pages);
    d.setWindowTitle(title);
    return d.exec() == QDialog::Accepted;
}

}  // namespace toolkit
