#pragma once
// A Dialogs double for tests: records every request and answers from a script.
#include <QList>
#include <QStringList>

#include "toolkit/DialogService.h"

namespace toolkit {

struct DialogRequest {
    enum Kind { Message, Error, OpenFile, SaveFile, OpenUrl, Print } kind;
    QString text;   // message text, error text, dialog filter or URL
    QString title;
    Icon icon = Icon::None;
    QMessageBox::StandardButtons buttons;
    QString detail;  // a message's detail text
    int pages = 0;   // a print dialog's last page, when it was told
};

class ScriptedDialogs : public Dialogs {
public:
    // Installs itself for its lifetime.
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    // Scripted answers, used in order; with none left a message answers its
    // first button among Yes/OK, a file dialog is cancelled, a URL "opens".
    QList<QMessageBox::StandardButton> answers;
    QStringList fileAnswers;
    bool urlResult = true;
    // Answers of print dialogs, used in order: a path prints to that PDF
    // file; empty text, or none left, cancels.
    QStringList printAnswers;

    QList<DialogRequest> requests;

    QMessageBox::StandardButton message(const QString& text, const QString& title, Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        const QString& detail = QString()) override;
    void error(const QString& text) override;
    QString openFile(const QString& title, const QString& filter, const QString& dir) override;
    QString saveFile(const QString& title, const QString& filter, const QString& dir) override;
    bool openUrl(const QUrl& url) override;
    bool print(QPrinter& printer, const QString& title, int pages = 0) override;

    // Texts of the message boxes shown so far.
    QStringList messages() const;
    QStringList errors() const;
    const DialogRequest* last() const { return requests.isEmpty() ? nullptr : &requests.last(); }
    void clear() { requests.clear(); }

private:
    Dialogs* previous_ = nullptr;
};

}  // namespace toolkit
