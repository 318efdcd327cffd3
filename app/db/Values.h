#pragma once
// Conversion of values between the program and the engines: what a stored
// value reads as, what a value set by the program is stored as, and what a
// value bound to a statement is handed to the engine as.
#include <QDateTime>
#include <QString>
#include <QVariant>

#include "app/db/Dialect.h"

namespace db {

// A stored date/time text in the forms the engines keep it in
// (yyyy-MM-dd, with " hh:mm", " hh:mm:ss" or "Thh:mm:ss[.zzz]"); invalid
// when it is none of them.
QDateTime parseDateTime(const QString& s);
// The kind of field a column of a statement's result is, by its value type.
FieldKind kindOfMetaType(int id);
// A value as the engine handed it, in the type of its field.
QVariant fromEngine(const QVariant& raw, FieldKind kind);
// A value set by the program, as the engine stores it in a field of kind
// f.kind. Throws DbError for a value the field cannot take.
QVariant toEngine(const QVariant& v, const FieldDef& f, const QString& dateTimeFormat);
// The same, but a stored value the program cannot convert (a malformed
// date) is kept as it was read: for comparing with what is stored.
QVariant compareValue(const QVariant& v, const FieldDef& f, const QString& dateTimeFormat);
// A value bound to a statement's parameter as the engine takes it: dates as
// stored text, typed text never as null. Throws DbError for text holding a
// character no engine stores (what names it in the message).
QVariant bindable(const QVariant& v, const QString& dateTimeFormat, const QString& what = QString());
// True when bindable(v) is v itself, so a caller may pass v on without a
// copy; throws as bindable() does.
bool bindsAsIs(const QVariant& v, const QString& what = QString());
// Text form of a stored value, as grids and asString show it.
QString textOf(const QVariant& v);

}  // namespace db
