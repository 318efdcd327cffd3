#include "toolkit/Guard.h"

#include <QGuiApplication>
#include <exception>

#include "toolkit/DialogService.h"

namespace toolkit {

bool guarded(const std::function<void()>& fn) {
    try {
        fn();
        return true;
    } catch (const std::exception& e) {
        // A wait cursor set by the action must not outlive it.
        while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
        dialogs().error(QString::fromUtf8(e.what()));
    }
    return false;
}

}  // namespace toolkit
