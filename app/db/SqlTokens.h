#pragma once
// The one reader of statement texts. Statements are written once for every
// engine, with values as named parameters (":pat"); this splits a text into
// tokens, answers what the record set asks of it (its parameters, whether it
// orders its rows, the table of a plain select) and writes it out for one
// engine, asking the engine's dialect for the pieces that differ.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

namespace db {

class Dialect;

enum class TokenKind {
    Space,    // blanks, line ends
    Comment,  // -- to the end of the line, or /* ... */
    Word,     // a keyword or a plain name: select, custom, CustID
    Name,     // a name in brackets or double quotes: [From], "date"
    Text,     // a quoted literal: 'abc' (a doubled quote stands for one)
    Number,   // 12, 1.5, 2e3
    Param,    // :name
    Symbol,   // anything else: ( ) , * = <> <= || ...
};

struct Token {
    TokenKind kind;
    int at;    // position in the text
    int size;  // characters
};

// The rendered statement: text for the engine, with a ? for each value, and
// the values in the order of their marks.
struct Rendered {
    QString sql;
    QVariantList values;
};

class SqlText {
public:
    explicit SqlText(const QString& text = QString());

    const QString& text() const { return text_; }
    const QVector<Token>& tokens() const { return tokens_; }
    QStringView tokenText(int i) const { return QStringView(text_).mid(tokens_[i].at, tokens_[i].size); }
    // A name in brackets or quotes without them; any other token as it stands.
    QString bareText(int i) const;
    bool isWord(int i, QLatin1String word) const;

    // Parameter names in the order they appear; a name used twice is listed twice.
    QStringList params() const;
    // True when the statement orders its rows at its own level (an order by
    // inside brackets belongs to a sub-select).
    bool hasOrderBy() const;

    // "select * from <table> [where ...] [order by ...] [for share|update]":
    // rows of one table, read by key and written back.
    struct PlainSelect {
        bool ok = false;
        QString table;  // as written: custom, [custom]
        QString rest;   // the where and order clauses as written, with their leading blank
        QString lock;   // "for share" or "for update" as written, or empty
    };
    PlainSelect plainSelect() const;

    // The statement as dialect's engine reads it. valueOf gives each
    // parameter's value (a list value stands for as many values, "in
    // (:ids)"); a statement with parameters needs it. Values are handed on
    // as given: the caller converts them for the engine.
    Rendered render(const Dialect& dialect,
                    const std::function<QVariant(const QString&)>& valueOf = {}) const;

private:
    int nextSolid(int i) const;  // the next token from i on that is not blank or comment; size() when none
    int skipGroup(int open) const;  // index after the bracket group that opens at open
    int likeOperandEnd(int from) const;  // index after the right side of a like that starts at from
    int lockStart() const;  // index of the "for" of an ending row lock, or -1

    QString text_;
    QVector<Token> tokens_;
};

// Where a text holds a character that no engine of ours stores faithfully (a
// NUL, or half of a surrogate pair): its position, or -1.
int unstorableAt(const QString& text);
// That character in words: "a NUL character (U+0000)".
QString describeUnstorable(const QString& text, int at);

}  // namespace db
