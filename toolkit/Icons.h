#pragma once
// Icons drawn for this program in code, by name: tool bar, group bar and
// dialog tool buttons share them so the program looks of one piece.
#include <QIcon>
#include <QString>

namespace toolkit {

// Known names: print, preview, add, edit, delete, search, help, custcontact,
// customers, contacts, mycust, category, refresh, select, exit, save, cancel,
// users, lookup. An unknown name gives an empty icon.
QIcon drawnIcon(const QString& name);

}  // namespace toolkit
