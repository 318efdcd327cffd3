#include "tests/support/AppFixture.h"

#include "toolkit/LineCleaner.h"

namespace testsupport {

bool AppFixture::start() {
    t = std::make_unique<TestDb>();
    if (!t->ok()) return false;
    dlg = std::make_unique<toolkit::ScriptedDialogs>();
    toolkit::cleanOneLineFields();  // as the program's application does
    main = std::make_unique<TFrm_Main>();
    t->openData();
    return true;
}

void AppFixture::stop() {
    main.reset();
    dlg.reset();
    t.reset();
}

void AppFixture::setUser(const QString& name, int permit) {
    main->UserName = name;
    main->UserPermit = permit;
}

}  // namespace testsupport
