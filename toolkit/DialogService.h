#pragma once
// Every message box, confirmation, file dialog and desktop shell request of the
// program goes through one Dialogs object, so tests can script the answers.
#include <QMessageBox>
#include <QString>
#include <QUrl>

class QPrinter;
class QWidget;

namespace toolkit {

enum class Icon { None, Information, Warning, Error, Question };

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message box; returns the button pressed (OK when only OK is offered).
    // detail, when given, is offered below the text (the cause of a failure).
    virtual QMessageBox::StandardButton message(
        const QString& text, const QString& title, Icon icon,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
        const QString& detail = QString()) = 0;

    // The standard error box for failures nobody handled on the way up.
    virtual void error(const QString& text) = 0;

    // Return the chosen path, or empty text when cancelled.
    virtual QString openFile(const QString& title, const QString& filter,
                             const QString& dir = QString()) = 0;
    virtual QString saveFile(const QString& title, const QString& filter,
                             const QString& dir = QString()) = 0;

    // Ask the desktop to open a file, web or mailto address.
    virtual bool openUrl(const QUrl& url) = 0;

    // The platform's print dialog for printer: the user picks a printer (or a
    // PDF file) and its settings; pages, when known, is the last page its
    // page range offers. False when cancelled.
    virtual bool print(QPrinter& printer, const QString& title, int pages = 0) = 0;

    // Yes/No question; only Yes goes on.
    bool confirm(const QString& text, const QString& title, Icon icon) {
        return message(text, title, icon, QMessageBox::Yes | QMessageBox::No)
               == QMessageBox::Yes;
    }
};

// Width a message box needs so that the window system shows its whole title.
int messageBoxWidthFor(const QString& title);
// Hides any splash window, so that a message is never shown beneath it.
void hideSplashScreens();

// A plain message: no icon, the application's title, an OK button.
void showMessage(const QString& text);

// The real dialogs, parented to the active window.
class RealDialogs : public Dialogs {
public:
    QMessageBox::StandardButton message(const QString& text, const QString& title,
                                        Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        const QString& detail) override;
    void error(const QString& text) override;
    QString openFile(const QString& title, const QString& filter,
                     const QString& dir) override;
    QString saveFile(const QString& title, const QString& filter,
                     const QString& dir) override;
    bool openUrl(const QUrl& url) override;
    bool print(QPrinter& printer, const QString& title, int pages = 0) override;
};

// The service in force; RealDialogs unless a test installed another.
Dialogs& dialogs();
// Installs d (not owned) and returns the previous one; nullptr restores the real one.
Dialogs* setDialogs(Dialogs* d);

}  // namespace toolkit
