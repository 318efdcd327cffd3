#pragma once
// Helpers for putting user text into SQL statements.
#include <QString>

namespace db {

// The text with every single quote doubled, for use between single quotes.
// `%` and `_` are left alone: in a like pattern they stay wildcards.
QString esc(const QString& text);

// esc() wrapped in single quotes.
QString quoted(const QString& text);

}  // namespace db
