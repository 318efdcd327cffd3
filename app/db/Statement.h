#pragma once
// A statement text and the values of its parameters. The values never become
// part of the text: they reach the engine bound to the text's ":name" marks.
//
//   db::Statement s(QStringLiteral("select * from custom where Company like :pat"));
//   s.bind(QStringLiteral("pat"), QStringLiteral("%") + typed + QStringLiteral("%"));
//
// A list value stands for as many values: "where CustID in (:ids)".
#include <QList>
#include <QString>
#include <QVariant>
#include <utility>

namespace db {

class Statement {
public:
    Statement() = default;
    Statement(const QString& text) : text_(text) {}  // NOLINT: a text without values is a statement
#ifndef QT_NO_CAST_FROM_ASCII
    Statement(const char* text) : text_(QString::fromUtf8(text)) {}  // NOLINT: for tests' plain literals
#endif

    struct Value {
        QString name;
        QVariant value;
        QString label;  // what the value is in the user's words ("Company"), for refusals
    };

    // Binds value to the parameter name (matched without regard to case).
    // A label names the value in a refusal of text no engine stores.
    Statement& bind(const QString& name, const QVariant& value, const QString& label = QString()) {
        for (Value& v : values_)
            if (v.name.compare(name, Qt::CaseInsensitive) == 0) {
                v.value = value;
                v.label = label;
                return *this;
            }
        values_.append({name, value, label});
        return *this;
    }

    const QString& text() const { return text_; }
    const QList<Value>& values() const { return values_; }
    // The value bound to name; found says whether there is one.
    QVariant value(const QString& name, bool* found = nullptr) const {
        for (const Value& v : values_)
            if (v.name.compare(name, Qt::CaseInsensitive) == 0) {
                if (found) *found = true;
                return v.value;
            }
        if (found) *found = false;
        return QVariant();
    }

private:
    QString text_;
    QList<Value> values_;
};

// The text with % and _ typed by a user kept as wildcards, found anywhere in
// a value: "%text%".
inline QString containsPattern(const QString& text) {
    return QStringLiteral("%") + text + QStringLiteral("%");
}

}  // namespace db
