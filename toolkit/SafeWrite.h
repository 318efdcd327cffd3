#pragma once
// Ending a file written through QSaveFile so that a write error is never
// taken for success: QSaveFile keeps the last bytes in a buffer and, when
// writing them out fails at commit (a full disk, a file size limit), renames
// the cut file over the old one all the same. Every file the program writes
// ends through commitWhole().
#include <QSaveFile>
#include <QString>

namespace toolkit {

// Writes out what f still holds and gives the file its name only when every
// byte was written; otherwise the old file stays as it was, the new one is
// dropped, and *error says why in the system's words.
bool commitWhole(QSaveFile& f, QString* error);

// Writes bytes as the whole new content of path, the same way.
bool writeWhole(const QString& path, const QByteArray& bytes, QString* error);

}  // namespace toolkit
