#pragma once
// The errors the data layer raises; their text says what went wrong in words
// a user can act on.
#include <QString>
#include <stdexcept>

namespace db {

class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& text)
        : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

// A row this program read was changed or deleted by another workstation
// before this one saved it; nothing was written.
class ConflictError : public DbError {
public:
    enum Kind { Changed, Deleted };
    explicit ConflictError(Kind kind)
        : DbError(kind == Changed
                      ? QStringLiteral("This record was changed on another workstation after you read it. "
                                       "Your change was not saved, so as not to overwrite theirs.")
                      : QStringLiteral("This record was deleted on another workstation after you read it. "
                                       "Your change was not saved.")),
          kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// What a text too long for its column is refused with.
inline QString tooLongMessage(const QString& column, int size) {
    return QStringLiteral("%1 is too long: it can hold at most %2 characters. Please shorten it and save again.")
        .arg(column)
        .arg(size);
}

// What a text holding a character no engine stores is refused with: what
// names the field ("Company"), or is empty for a text typed to search with.
inline QString unstorableMessage(const QString& what, const QString& character) {
    if (what.isEmpty())
        return QStringLiteral("The text holds %1, which cannot be stored or searched for. "
                              "Please remove it and try again.")
            .arg(character);
    return QStringLiteral("%1 holds %2, which cannot be stored. Please remove it and save again.")
        .arg(what, character);
}

}  // namespace db
