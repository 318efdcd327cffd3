#pragma once
// What a written workbook's cell text becomes, and why a write ran out of room.
#include <QString>

namespace sheet {

// The text as a cell of an .xlsx stores it: an underscore that would read as
// a character code ("_x0041_") is itself written as "_x005F_", and then the
// whole is cut to maxChars characters (code points), never inside such an
// escape or a surrogate pair. *cut tells whether anything was left out.
QString workbookCellText(const QString& text, int maxChars, bool* cut);

// "the disk is full" (naming the folder) when a write into folder failed for
// want of room: errorNumber (errno) says so, or the disk has no room left.
// Empty otherwise.
QString noRoomReason(const QString& folder, int errorNumber);

}  // namespace sheet
