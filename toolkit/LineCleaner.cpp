#include "toolkit/LineCleaner.h"

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include "toolkit/DialogService.h"

namespace toolkit {

QString withoutControls(const QString& text, bool* removed) {
    QString out;
    out.reserve(text.size());
    bool any = false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029;
        if (!control) {
            out += c;
            continue;
        }
        any = true;
        // A break between two words keeps them apart.
        const bool gap = u == u'\t' || u == u'\n' || u == u'\r' || u == u'\v' || u == u'\f' || u == 0x85 ||
                         u == 0x2028 || u == 0x2029;
        if (gap && !out.isEmpty() && !out.endsWith(QLatin1Char(' '))) out += QLatin1Char(' ');
    }
    if (removed) *removed = any;
    return out;
}

namespace {

const char kWatched[] = "tallixCleaned";

void clean(QLineEdit* edit) {
    bool removed = false;
    const QString text = withoutControls(edit->text(), &removed);
    if (!removed) return;
    const int cursor = edit->cursorPosition();
    const int lost = int(edit->text().size() - text.size());
    edit->setText(text);
    edit->setCursorPosition(std::max(0, std::min(cursor - lost, int(text.size()))));
    // Told once the paste is over, not from inside the edit's own handling.
    QPointer<QLineEdit> where(edit);
    QTimer::singleShot(0, edit, [where] {
        if (!where) return;
        dialogs().message(QStringLiteral("Control characters (line breaks, tabs and the like) were removed from "
                                         "the text: this field holds one line."),
                          where->window()->windowTitle(), Icon::Information);
    });
}

class Watch : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Polish) {
            auto* edit = qobject_cast<QLineEdit*>(o);
            if (edit && !edit->property(kWatched).toBool()) {
                edit->setProperty(kWatched, true);
                // textEdited: what the user typed, pasted or dropped, not
                // what the program itself put there.
                QObject::connect(edit, &QLineEdit::textEdited, edit, [edit] { clean(edit); });
            }
        }
        return false;
    }
};

}  // namespace

void cleanOneLineFields() {
    static QPointer<Watch> watch;
    if (watch || !qApp) return;
    watch = new Watch(qApp);
    qApp->installEventFilter(watch);
}

}  // namespace toolkit
