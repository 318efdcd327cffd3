#pragma once
// "Undo Last Import" of the System menu: asks, undoes, and says what it did
// or why it could not.
#include <QString>

void undoLastImport(const QString& userName, int userPermit);
