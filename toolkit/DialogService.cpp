#include "toolkit/DialogService.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>

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

QMessageBox::StandardButton RealDialogs::message(const QString& text, const QString& title,
                                                 Icon icon,
                                                 QMessageBox::StandardButtons buttons,
                                                 const QString& detail) {
    QMessageBox box(qtIcon(icon), title, text, buttons, QApplication::activeWindow());
    if (!detail.isEmpty()) box.setDetailedText(detail);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void RealDialogs::error(const QString& text) {
    const QString title = QApplication::applicationName();
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

QString RealDialogs::openFile(const QString& title, const QString& filter, const QString& dir) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, dir, filter);
}

QString RealDialogs::saveFile(const QString& title, const QString& filter, const QString& dir) {
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, dir, filter);
}

bool RealDialogs::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

bool RealDialogs::print(QPrinter& printer, const QString& title) {
    QPrintDialog d(&printer, QApplication::activeWindow());
    d.setWindowTitle(title);
    return d.exec() == QDialog::Accepted;
}

}  // namespace toolkit
