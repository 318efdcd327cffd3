#pragma once
// What both exports ask before they write a file.
#include <QString>

// Why a typed file name cannot name a file in the target folder (a folder
// separator, a control character, "." or ".."); empty when it can.
QString badFileNameReason(const QString& name);

// The file name as typed, trimmed; empty text, after telling the user why,
// when it is blank ("Filename not null!") or cannot name a file.
QString checkedFileName(const QString& typed, const QString& title);

// Makes the folder when it is missing; false with *why set when it cannot.
bool ensureFolder(const QString& folder, QString* why);

// True when path is free, or when the user agreed to replace the file there.
bool mayWrite(const QString& path, const QString& title);

// "Cannot write <path>: <reason>" as a warning box.
void reportWriteFailure(const QString& path, const QString& reason, const QString& title);

// How an export ended, said to the user: cancelled (nothing written), failed
// (why), or written, when the file opens with the desktop's program for it.
// The list walked is left on the row the user had: moving it to the last
// row would also move the contacts that follow the customer.
// Returns true when the file was written.
bool finishExport(bool cancelled, bool written, const QString& error, const QString& path,
                  const QString& title);
