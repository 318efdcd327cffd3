#pragma once
// The program as most window tests need it: a private database with its data
// module, scripted dialogs and the main window. A test class derives from it,
// calls start() in init() and stop() in cleanup(), and reaches the three as
// t, dlg and main.
#include <memory>

#include "app/U_Main.h"
#include "tests/support/TestDb.h"
#include "toolkit/ScriptedDialogs.h"

namespace testsupport {

class AppFixture {
protected:
    // Makes the three in the order the program does (the dialogs first, so
    // nothing reaches a real message box; the data module last). False, with
    // nothing made but the folder, when the database could not be copied.
    bool start();
    // Destroys them in the reverse order.
    void stop();
    // From now on the program runs as that user, as after a login.
    void setUser(const QString& name, int permit);

    std::unique_ptr<TestDb> t;
    std::unique_ptr<toolkit::ScriptedDialogs> dlg;
    std::unique_ptr<TFrm_Main> main;
};

}  // namespace testsupport
