#pragma once
// What DBConn may hold, checked before anything is opened with it: the path
// of a database file, or the address of a database server
// (postgresql://...). Passwords never belong in it.
#include <QString>

// Empty when text is a file path or a server address; otherwise why it is
// neither (an address of some other kind, a scheme mistyped).
QString dbConnProblem(const QString& text);

// True when a server address carries a password (user:password@ or
// ?password=).
bool addressHasPassword(const QString& address);
// The address without its password.
QString addressWithoutPassword(const QString& address);

// Why a password is not taken in an address, and what to do instead; and
// the warning for an address in config.ini that holds one.
QString passwordInAddressText();
QString passwordInConfigText();
