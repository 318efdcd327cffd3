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

// A search button is disabled, under the wait cursor, while its search runs;
// it comes back even when the engine refuses the statement.
template <class Button>
class SearchBusy {
public:
    explicit SearchBusy(Button* button) : button_(button) { button_->setEnabled(false); }
    ~SearchBusy() { button_->setEnabled(true); }
    SearchBusy(const SearchBusy&) = delete;
    SearchBusy& operator=(const SearchBusy&) = delete;

private:
    Button* button_;
    WaitCursor wait_;
};

}  // namespace toolkit
