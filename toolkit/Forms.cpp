#include "toolkit/Forms.h"

#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QPointer>
#include <QShowEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "toolkit/Icons.h"

namespace toolkit {

namespace {
// Some window managers offer "minimise" on every window whatever it asks
// for, and minimise the program's main window along with a dialog that
// belongs to it. A fixed dialog comes straight back, with its main window.
class StayUp : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override {
        auto* d = static_cast<QWidget*>(watched);
        if (e->type() == QEvent::WindowStateChange && d->isMinimized()) {
            QPointer<QWidget> dialog(d);
            QTimer::singleShot(0, d, [dialog] {
                if (!dialog) return;
                if (QWidget* owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr)
                    if (owner->isMinimized()) owner->setWindowState(owner->windowState() & ~Qt::WindowMinimized);
                dialog->setWindowState(dialog->windowState() & ~Qt::WindowMinimized);
                dialog->show();
                dialog->raise();
                dialog->activateWindow();
            });
        }
        return false;
    }
};
}  // namespace

void keepUp(QWidget* w) {
    static const char* const kKept = "tallixKeptUp";
    if (w->property(kKept).toBool()) return;
    w->setProperty(kKept, true);
    w->installEventFilter(new StayUp(w));
}

void makeFixedDialog(QDialog* d, int w, int h) {
    // Without CustomizeWindowHint the window system adds its default buttons
    // whatever hints are given.
    d->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                      Qt::MSWindowsFixedSizeDialogHint);
    d->setFixedSize(w, h);
    keepUp(d);
}

void centreOnScreen(QWidget* w) {
    if (QScreen* s = QGuiApplication::primaryScreen())
        w->move(s->availableGeometry().center() - w->rect().center());
}

void formShowOnce(QShowEvent* e, bool& shown, const std::function<void()>& formShow) {
    if (shown || e->spontaneous()) return;
    shown = true;
    guarded(formShow);
}

void formShowEachTime(QShowEvent* e, const std::function<void()>& formShow) {
    if (!e->spontaneous()) guarded(formShow);
}

void onUserChange(QComboBox* box, QObject* context, const std::function<void()>& handler) {
    auto run = [handler] { guarded(handler); };
    QObject::connect(box, &QComboBox::activated, context, run);
    QObject::connect(box->lineEdit(), &QLineEdit::textEdited, context, run);
}

void setTabOrder(std::initializer_list<QWidget*> widgets) {
    QWidget* const* w = widgets.begin();
    for (size_t i = 1; i < widgets.size(); ++i) QWidget::setTabOrder(w[i - 1], w[i]);
}

QToolButton* addToolButton(QToolBar* bar, const QString& caption, const QString& icon) {
    auto* b = new QToolButton(bar);
    b->setText(caption);
    b->setIcon(drawnIcon(icon));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setAutoRaise(true);
    bar->addWidget(b);
    return b;
}

void makeTypedCombo(QComboBox* box) {
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
}

void makePasswordEdit(QLineEdit* edit) {
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
}

void showTextsFromStart(QWidget* w) {
    for (QLineEdit* e : w->findChildren<QLineEdit*>())
        if (!e->hasFocus()) e->setCursorPosition(0);
}

void setBoxText(QComboBox* box, const QString& text) {
    box->setCurrentIndex(box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    box->setEditText(text);
    if (box->lineEdit()) box->lineEdit()->setCursorPosition(0);
}

void styleAsLink(QLineEdit* edit) {
    QFont f = edit->font();
    f.setUnderline(true);
    edit->setFont(f);
    QPalette p = edit->palette();
    p.setColor(QPalette::Text, QColor(0, 0, 255));
    edit->setPalette(p);
}

}  // namespace toolkit
