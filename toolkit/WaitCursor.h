#pragma once
// The wait cursor for the length of a scope, restored however the scope ends.
#include <QGuiApplication>

namespace toolkit {

class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() {
        // A failure shown on the way out may already have cleared it.
        if (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace toolkit
