#pragma once
// Whether the user is in the middle of something that a notice popping up
// (or work done behind their back) would disturb: a modal dialog, a message
// box, a file or print dialog, a progress window. Each of those holds a
// BusyScope while it is up.
namespace toolkit {

class BusyScope {
public:
    BusyScope();
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
};

// True while any BusyScope lives or the application shows a modal window.
bool busy();

}  // namespace toolkit
