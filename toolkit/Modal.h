#pragma once
// Every modal window of the program is run through execModal, so tests can
// drive a dialog that a command opens instead of blocking in its event loop.
#include <QDialog>
#include <functional>

namespace toolkit {

// Runs d modally and returns its result. With a script installed, the dialog
// is shown (so its show handlers run), handed to the script, and closed if the
// script left it open; the script's return value is the result.
int execModal(QDialog* d);

using ModalScript = std::function<int(QDialog*)>;

// Installs a script for its lifetime (tests only). Scripts nest: the newest wins.
class ScriptedModal {
public:
    explicit ScriptedModal(ModalScript script);
    ~ScriptedModal();
    ScriptedModal(const ScriptedModal&) = delete;
    ScriptedModal& operator=(const ScriptedModal&) = delete;

    // Class names of the dialogs run so far, in order.
    QStringList shown;

private:
    ModalScript script_;
    ScriptedModal* previous_;
    friend int execModal(QDialog*);
};

}  // namespace toolkit
