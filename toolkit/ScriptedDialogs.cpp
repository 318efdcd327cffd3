#include "toolkit/ScriptedDialogs.h"

#include <QPrinter>

namespace toolkit {

ScriptedDialogs::ScriptedDialogs() { previous_ = setDialogs(this); }

ScriptedDialogs::~ScriptedDialogs() { setDialogs(previous_); }

QMessageBox::StandardButton ScriptedDialogs::message(const QString& text, const QString& title,
                                                     Icon icon,
                                                     QMessageBox::StandardButtons buttons,
                                                     const QString& detail) {
    requests.append({DialogRequest::Message, text, title, icon, buttons, detail});
    if (!answers.isEmpty()) return answers.takeFirst();
    if (buttons.testFlag(QMessageBox::Yes)) return QMessageBox::Yes;
    return QMessageBox::Ok;
}

void ScriptedDialogs::error(const QString& text) {
    requests.append({DialogRequest::Error, text, QString(), Icon::Error, QMessageBox::Ok, QString()});
}

QString ScriptedDialogs::openFile(const QString& title, const QString& filter, const QString&) {
    requests.append({DialogRequest::OpenFile, filter, title, Icon::None, {}, QString()});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString ScriptedDialogs::saveFile(const QString& title, const QString& filter, const QString&) {
    requests.append({DialogRequest::SaveFile, filter, title, Icon::None, {}, QString()});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

bool ScriptedDialogs::openUrl(const QUrl& url) {
    requests.append({DialogRequest::OpenUrl, url.toString(), QString(), Icon::None, {}, QString()});
    return urlResult;
}

bool ScriptedDialogs::print(QPrinter& printer, const QString& title, int pages) {
    requests.append({DialogRequest::Print, QString(), title, Icon::None, {}, QString(), pages});
    const QString path = printAnswers.isEmpty() ? QString() : printAnswers.takeFirst();
    if (path.isEmpty()) return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return true;
}

QStringList ScriptedDialogs::messages() const {
    QStringList out;
    for (const auto& r : requests)
        if (r.kind == DialogRequest::Message) out << r.text;
    return out;
}

QStringList ScriptedDialogs::errors() const {
    QStringList out;
    for (const auto& r : requests)
        if (r.kind == DialogRequest::Error) out << r.text;
    return out;
}

}  // namespace toolkit
