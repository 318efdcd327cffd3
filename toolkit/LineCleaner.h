#pragma once
// One-line fields hold no control characters: text pasted (or dropped) into
// a line edit loses them as it arrives, and the user is told. Line breaks
// and tabs become blanks, so the words around them stay apart; multi-line
// fields are not touched.
#include <QString>

namespace toolkit {

// The text without control characters; *removed tells whether any were there.
QString withoutControls(const QString& text, bool* removed = nullptr);

// Watches every line edit the application makes from now on (call once,
// after the application object exists).
void cleanOneLineFields();

}  // namespace toolkit
