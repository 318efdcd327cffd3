#pragma once
// Runs a user action and reports any failure in the standard error box, so
// that a refused statement never tears down the event loop.
#include <functional>

namespace toolkit {

// Returns false when fn threw (the error has then been shown).
bool guarded(const std::function<void()>& fn);

}  // namespace toolkit
