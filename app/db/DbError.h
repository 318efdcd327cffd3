#pragma once
// The one error the data layer raises; its text is the engine's own message.
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

}  // namespace db
