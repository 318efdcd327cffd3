#pragma once
// What every record editor shares: it remembers what its fields held when
// it last loaded or saved a record, and before anything would leave changed
// fields behind (a navigator move, Esc, the close box, the exit button) it
// asks "Save changes?" with Save, Discard and Cancel. Unchanged fields go on
// without a question.
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QStringList>

class QAbstractButton;

namespace toolkit {

class Navigator;

// The values of every input field inside a window, in one list, so that two
// readings can be compared: what was loaded against what is there now.
QStringList fieldValues(const QWidget* window);

class EditorDialog : public QDialog {
    Q_OBJECT
public:
    explicit EditorDialog(QWidget* parent = nullptr);

    // What the fields hold now counts as unchanged: call after loading a
    // record, after a save that keeps the editor open, and after clearing.
    void markClean();
    // True when a field holds something other than at the last markClean().
    bool fieldsChanged() const;
    // Asks "Save changes?" when fields changed. True when the editor may
    // move on: nothing changed, the user chose Discard, or chose Save and the
    // save succeeded. False on Cancel or a failed save: the fields stay.
    bool mayLeave();
    // The navigator asks before it moves the record set.
    void guardNavigator(Navigator* navigator);

    // Esc, the close box and the exit buttons end here: they ask first.
    void reject() override;

protected:
    // Saves the fields as the save button does, without closing; true when
    // the record was stored. The editor says itself why a save was refused.
    virtual bool saveFields() = 0;
    // The save button: while it is disabled (a record the user may only look
    // at, or nothing to save into) there is nothing to ask about.
    void setSaveButton(QAbstractButton* button) { saveButton_ = button; }

private:
    QStringList clean_;
    bool marked_ = false;
    QPointer<QAbstractButton> saveButton_;
};

}  // namespace toolkit
