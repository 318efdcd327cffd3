#include "toolkit/EditorDialog.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextEdit>

#include "toolkit/DialogService.h"
#include "toolkit/Guard.h"
#include "toolkit/Navigator.h"

namespace toolkit {

QStringList fieldValues(const QWidget* window) {
    QStringList out;
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        if (auto* box = qobject_cast<const QComboBox*>(w)) {
            out << box->currentText();
        } else if (auto* edit = qobject_cast<const QLineEdit*>(w)) {
            // The line edit inside a box or a date field is read through its owner.
            if (qobject_cast<QComboBox*>(edit->parentWidget()) || qobject_cast<QAbstractSpinBox*>(edit->parentWidget()))
                continue;
            out << edit->text();
        } else if (auto* plain = qobject_cast<const QPlainTextEdit*>(w)) {
            out << plain->toPlainText();
        } else if (auto* rich = qobject_cast<const QTextEdit*>(w)) {
            out << rich->toPlainText();
        } else if (auto* when = qobject_cast<const QDateTimeEdit*>(w)) {
            out << when->dateTime().toString(Qt::ISODate);
        } else if (auto* whole = qobject_cast<const QSpinBox*>(w)) {
            out << QString::number(whole->value());  // its text is made only when shown
        } else if (auto* real = qobject_cast<const QDoubleSpinBox*>(w)) {
            out << QString::number(real->value(), 'g', 17);
        } else if (auto* spin = qobject_cast<const QAbstractSpinBox*>(w)) {
            out << spin->text();
        } else if (auto* check = qobject_cast<const QAbstractButton*>(w)) {
            if (check->isCheckable()) out << (check->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
        }
    }
    return out;
}

EditorDialog::EditorDialog(QWidget* parent) : QDialog(parent) {}

void EditorDialog::markClean() {
    clean_ = fieldValues(this);
    marked_ = true;
}

bool EditorDialog::fieldsChanged() const { return marked_ && fieldValues(this) != clean_; }

bool EditorDialog::mayLeave() {
    if (!fieldsChanged()) return true;
    if (saveButton_ && !saveButton_->isEnabled()) return true;
    const QMessageBox::StandardButton answer =
        dialogs().message(QStringLiteral("Save changes?"), windowTitle(), Icon::Question,
                          QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    if (answer == QMessageBox::Discard) return true;
    if (answer != QMessageBox::Save) return false;  // Cancel, or the box closed
    bool saved = false;
    guarded([&] { saved = saveFields(); });
    return saved;
}

void EditorDialog::guardNavigator(Navigator* navigator) {
    navigator->setMoveCheck([this] { return mayLeave(); });
}

void EditorDialog::reject() {
    if (mayLeave()) QDialog::reject();
}

}  // namespace toolkit
