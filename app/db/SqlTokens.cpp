#include "app/db/SqlTokens.h"

#include "app/db/DbError.h"
#include "app/db/Dialect.h"

namespace db {

namespace {

bool wordStart(QChar c) { return c.isLetter() || c == QLatin1Char('_'); }
bool wordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$'); }
bool digit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Two-character operators read as one symbol.
bool pairSymbol(QChar a, QChar b) {
    static const char* const pairs[] = {"<>", "<=", ">=", "!=", "||", "::"};
    for (const char* p : pairs)
        if (a == QLatin1Char(p[0]) && b == QLatin1Char(p[1])) return true;
    return false;
}

// The length of a dollar-quote tag starting at i ("$$", "$body$"), or 0.
int dollarTag(const QString& s, int i) {
    int j = i + 1;
    while (j < s.size() && (s[j].isLetter() || s[j] == QLatin1Char('_') || (j > i + 1 && digit(s[j])))) ++j;
    return j < s.size() && s[j] == QLatin1Char('$') ? j + 1 - i : 0;
}

QVector<Token> tokenize(const QString& s) {
    QVector<Token> out;
    const int n = int(s.size());
    int i = 0;
    auto push = [&](TokenKind k, int from, int to) { out.append(Token{k, from, to - from}); };
    while (i < n) {
        const QChar c = s[i];
        const int from = i;
        if (c.isSpace()) {
            while (i < n && s[i].isSpace()) ++i;
            push(TokenKind::Space, from, i);
        } else if (c == QLatin1Char('-') && i + 1 < n && s[i + 1] == QLatin1Char('-')) {
            while (i < n && s[i] != QLatin1Char('\n')) ++i;
            push(TokenKind::Comment, from, i);
        } else if (c == QLatin1Char('/') && i + 1 < n && s[i + 1] == QLatin1Char('*')) {
            const int end = int(s.indexOf(QLatin1String("*/"), i + 2));
            i = end < 0 ? n : end + 2;
            push(TokenKind::Comment, from, i);
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A doubled quote inside stands for one; a text without its end
            // runs to the end and is left to the engine to refuse.
            ++i;
            while (i < n) {
                if (s[i] == c) {
                    if (i + 1 < n && s[i + 1] == c) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            push(c == QLatin1Char('\'') ? TokenKind::Text : TokenKind::Name, from, i);
        } else if (c == QLatin1Char('$') && dollarTag(s, i) > 0) {
            // The server's dollar quoting, $$...$$ or $tag$...$tag$: text.
            const int tag = dollarTag(s, i);
            const int end = int(s.indexOf(QStringView(s).mid(i, tag), i + tag));
            i = end < 0 ? n : end + tag;
            push(TokenKind::Text, from, i);
        } else if (c == QLatin1Char('[')) {
            const int end = int(s.indexOf(QLatin1Char(']'), i + 1));
            i = end < 0 ? n : end + 1;
            push(TokenKind::Name, from, i);
        } else if (c == QLatin1Char(':') && i + 1 < n && wordStart(s[i + 1])) {
            i += 2;
            while (i < n && wordChar(s[i])) ++i;
            push(TokenKind::Param, from, i);
        } else if (wordStart(c)) {
            while (i < n && wordChar(s[i])) ++i;
            push(TokenKind::Word, from, i);
        } else if (digit(c) || (c == QLatin1Char('.') && i + 1 < n && digit(s[i + 1]))) {
            while (i < n && (digit(s[i]) || s[i] == QLatin1Char('.'))) ++i;
            if (i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
                int j = i + 1;
                if (j < n && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-'))) ++j;
                if (j < n && digit(s[j])) {
                    i = j;
                    while (i < n && digit(s[i])) ++i;
                }
            }
            push(TokenKind::Number, from, i);
        } else if (i + 1 < n && pairSymbol(c, s[i + 1])) {
            i += 2;
            push(TokenKind::Symbol, from, i);
        } else {
            ++i;
            push(TokenKind::Symbol, from, i);
        }
    }
    return out;
}

bool blank(const Token& t) { return t.kind == TokenKind::Space || t.kind == TokenKind::Comment; }

}  // namespace

SqlText::SqlText(const QString& text) : text_(text), tokens_(tokenize(text)) {}

QString SqlText::bareText(int i) const {
    const QStringView t = tokenText(i);
    if (tokens_[i].kind == TokenKind::Name && t.size() >= 2) {
        const QChar close = t.front() == QLatin1Char('[') ? QLatin1Char(']') : t.front();
        if (t.back() == close) {
            QString inner = t.mid(1, t.size() - 2).toString();
            if (close == QLatin1Char('"')) inner.replace(QLatin1String("\"\""), QLatin1String("\""));
            return inner;
        }
        return t.mid(1).toString();
    }
    return t.toString();
}

bool SqlText::isWord(int i, QLatin1String word) const {
    return i >= 0 && i < tokens_.size() && tokens_[i].kind == TokenKind::Word &&
           tokenText(i).compare(word, Qt::CaseInsensitive) == 0;
}

int SqlText::nextSolid(int i) const {
    while (i < tokens_.size() && blank(tokens_[i])) ++i;
    return i;
}

int SqlText::skipGroup(int open) const {
    int depth = 0;
    for (int i = open; i < tokens_.size(); ++i) {
        if (tokens_[i].kind != TokenKind::Symbol) continue;
        const QStringView t = tokenText(i);
        if (t == QLatin1String("(")) ++depth;
        else if (t == QLatin1String(")") && --depth == 0) return i + 1;
    }
    return int(tokens_.size());
}

QStringList SqlText::params() const {
    QStringList out;
    for (int i = 0; i < tokens_.size(); ++i)
        if (tokens_[i].kind == TokenKind::Param) out << tokenText(i).mid(1).toString();
    return out;
}

bool SqlText::hasOrderBy() const {
    int depth = 0;
    for (int i = 0; i < tokens_.size(); ++i) {
        const Token& t = tokens_[i];
        if (t.kind == TokenKind::Symbol) {
            if (tokenText(i) == QLatin1String("(")) ++depth;
            else if (tokenText(i) == QLatin1String(")")) --depth;
        } else if (depth == 0 && isWord(i, QLatin1String("order")) && isWord(nextSolid(i + 1), QLatin1String("by"))) {
            return true;
        }
    }
    return false;
}

int SqlText::lockStart() const {
    // The last solid tokens, a closing ";" aside: "for share" or "for update".
    int last = int(tokens_.size()) - 1;
    while (last >= 0 && blank(tokens_[last])) --last;
    if (last >= 0 && tokens_[last].kind == TokenKind::Symbol && tokenText(last) == QLatin1String(";")) --last;
    while (last >= 0 && blank(tokens_[last])) --last;
    if (!isWord(last, QLatin1String("share")) && !isWord(last, QLatin1String("update"))) return -1;
    int f = last - 1;
    while (f >= 0 && blank(tokens_[f])) --f;
    if (!isWord(f, QLatin1String("for"))) return -1;
    // "for update" closes only a select; an update statement's own word is not a lock.
    return isWord(nextSolid(0), QLatin1String("select")) ? f : -1;
}

SqlText::PlainSelect SqlText::plainSelect() const {
    PlainSelect p;
    int i = nextSolid(0);
    if (!isWord(i, QLatin1String("select"))) return p;
    i = nextSolid(i + 1);
    if (i >= tokens_.size() || tokens_[i].kind != TokenKind::Symbol || tokenText(i) != QLatin1String("*")) return p;
    i = nextSolid(i + 1);
    if (!isWord(i, QLatin1String("from"))) return p;
    const int table = nextSolid(i + 1);
    if (table >= tokens_.size() ||
        (tokens_[table].kind != TokenKind::Word && tokens_[table].kind != TokenKind::Name))
        return p;
    // Only where, order by and a row lock may follow: a join, a group or a
    // second table makes rows that are not rows of the table.
    const int next = nextSolid(table + 1);
    const int lock = lockStart();
    const bool ending = next >= tokens_.size() ||
                        (tokens_[next].kind == TokenKind::Symbol && tokenText(next) == QLatin1String(";") &&
                         nextSolid(next + 1) >= tokens_.size());
    if (!ending && next != lock && !isWord(next, QLatin1String("where")) && !isWord(next, QLatin1String("order")))
        return p;
    // Nothing after the where and order clauses but what they may hold.
    int depth = 0;
    const int stop = lock >= 0 ? lock : int(tokens_.size());
    for (int k = next; k < stop; ++k) {
        if (tokens_[k].kind == TokenKind::Symbol) {
            const QStringView t = tokenText(k);
            if (t == QLatin1String("(")) ++depth;
            else if (t == QLatin1String(")")) --depth;
            else if (t == QLatin1String(";") && depth == 0 && nextSolid(k + 1) < stop) return p;
        } else if (depth == 0 && (isWord(k, QLatin1String("group")) || isWord(k, QLatin1String("union")) ||
                                  isWord(k, QLatin1String("limit")) || isWord(k, QLatin1String("having")))) {
            return p;
        }
    }
    p.ok = true;
    p.table = tokenText(table).toString();
    const int restFrom = tokens_[table].at + tokens_[table].size;
    const int restTo = stop < tokens_.size() ? tokens_[stop].at : int(text_.size());
    p.rest = text_.mid(restFrom, restTo - restFrom);
    while (!p.rest.isEmpty() && (p.rest.back().isSpace() || p.rest.back() == QLatin1Char(';'))) p.rest.chop(1);
    if (lock >= 0) {
        int end = int(tokens_.size()) - 1;
        while (end > lock && (blank(tokens_[end]) || tokenText(end) == QLatin1String(";"))) --end;
        p.lock = text_.mid(tokens_[lock].at, tokens_[end].at + tokens_[end].size - tokens_[lock].at);
    }
    return p;
}

int SqlText::likeOperandEnd(int from) const {
    // One value, or values joined by ||: a parameter, a literal, a name, a
    // call, a bracketed expression.
    int i = nextSolid(from);
    int end = from;
    while (i < tokens_.size()) {
        const Token& t = tokens_[i];
        if (t.kind == TokenKind::Symbol && tokenText(i) == QLatin1String("(")) {
            end = skipGroup(i);
        } else if (t.kind == TokenKind::Word) {
            end = i + 1;
            const int call = nextSolid(end);
            if (call < tokens_.size() && tokens_[call].kind == TokenKind::Symbol &&
                tokenText(call) == QLatin1String("("))
                end = skipGroup(call);
        } else if (t.kind == TokenKind::Param || t.kind == TokenKind::Text || t.kind == TokenKind::Number ||
                   t.kind == TokenKind::Name) {
            end = i + 1;
            // A qualified name: table.column.
            while (end + 1 < tokens_.size() && tokenText(end) == QLatin1String(".") &&
                   (tokens_[end + 1].kind == TokenKind::Word || tokens_[end + 1].kind == TokenKind::Name))
                end += 2;
        } else {
            break;
        }
        const int join = nextSolid(end);
        if (join < tokens_.size() && tokens_[join].kind == TokenKind::Symbol && tokenText(join) == QLatin1String("||")) {
            i = nextSolid(join + 1);
            continue;
        }
        break;
    }
    return end;
}

Rendered SqlText::render(const Dialect& dialect, const std::function<QVariant(const QString&)>& valueOf) const {
    Rendered r;
    r.sql.reserve(text_.size() + 16);
    const int lock = lockStart();
    const int n = lock >= 0 ? lock : int(tokens_.size());
    QVector<int> escapeAfter;  // token indexes after which a like's escape clause goes
    for (int i = 0; i < n; ++i) {
        const Token& t = tokens_[i];
        while (!escapeAfter.isEmpty() && escapeAfter.front() == i) {
            escapeAfter.removeFirst();
            r.sql += dialect.likeEscape();
        }
        switch (t.kind) {
        case TokenKind::Name:
            // [Name] is ours to write per engine; a name in double quotes is
            // the engine's own spelling and stays.
            if (tokenText(i).startsWith(QLatin1Char('['))) r.sql += dialect.quoteName(bareText(i));
            else r.sql += tokenText(i);
            break;
        case TokenKind::Param: {
            const QString name = tokenText(i).mid(1).toString();
            if (!valueOf) throw DbError(QStringLiteral("No value for the parameter :%1").arg(name));
            const QVariant v = valueOf(name);
            if (v.typeId() == QMetaType::QVariantList || v.typeId() == QMetaType::QStringList) {
                const QVariantList list = v.toList();
                // An empty list matches nothing: "in (null)".
                if (list.isEmpty()) r.sql += QStringLiteral("null");
                for (int k = 0; k < list.size(); ++k) {
                    r.sql += k ? QStringLiteral(",?") : QStringLiteral("?");
                    r.values << list[k];
                }
            } else {
                r.sql += QLatin1Char('?');
                r.values << v;
            }
            break;
        }
        case TokenKind::Word:
            if (isWord(i, QLatin1String("like"))) {
                r.sql += dialect.likeOperator();
                const int end = likeOperandEnd(i + 1);
                if (end > i + 1 && !isWord(nextSolid(end), QLatin1String("escape"))) {
                    // Kept in order: a like inside the operand closes first.
                    int at = 0;
                    while (at < escapeAfter.size() && escapeAfter[at] <= end) ++at;
                    escapeAfter.insert(at, end);
                }
                break;
            }
            r.sql += tokenText(i);
            break;
        default:
            r.sql += tokenText(i);
            break;
        }
    }
    while (!escapeAfter.isEmpty()) {
        escapeAfter.removeFirst();
        r.sql += dialect.likeEscape();
    }
    if (lock >= 0) {
        const QString clause = dialect.rowLock(isWord(nextSolid(lock + 1), QLatin1String("update"))
                                                   ? QStringLiteral("update")
                                                   : QStringLiteral("share"));
        while (!r.sql.isEmpty() && r.sql.back().isSpace()) r.sql.chop(1);
        if (!clause.isEmpty()) r.sql += QLatin1Char(' ') + clause;
    }
    return r;
}

int unstorableAt(const QString& text) {
    const int n = int(text.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.unicode() == 0) return i;
        if (c.isHighSurrogate()) {
            if (i + 1 < n && text[i + 1].isLowSurrogate()) {
                ++i;
                continue;
            }
            return i;
        }
        if (c.isLowSurrogate()) return i;
    }
    return -1;
}

QString describeUnstorable(const QString& text, int at) {
    const ushort u = at >= 0 && at < text.size() ? text[at].unicode() : 0;
    if (u == 0) return QStringLiteral("a NUL character (U+0000)");
    return QStringLiteral("half of a character pair (U+%1) without its other half")
        .arg(QString::number(u, 16).toUpper(), 4, QLatin1Char('0'));
}

}  // namespace db
