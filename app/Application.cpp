#include "app/Application.h"

#include <exception>

#include "toolkit/DialogService.h"
#include "toolkit/LineCleaner.h"

TallixApplication::TallixApplication(int& argc, char** argv) : QApplication(argc, argv) {
    toolkit::cleanOneLineFields();
}

bool TallixApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        while (overrideCursor()) restoreOverrideCursor();
        toolkit::dialogs().error(QString::fromUtf8(e.what()));
    }
    return false;
}
