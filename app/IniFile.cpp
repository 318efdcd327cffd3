#include "app/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

// The file is handled as bytes: a write changes the bytes of one line and
// nothing else, so lines in another encoding, odd line ends (CR, CRLF, LF)
// and a byte-order mark come back exactly as they were.

namespace {

struct Line {
    QByteArray text;  // without its line end
    QByteArray end;   // "\r\n", "\n", "\r" or nothing on the last line
};

QList<Line> splitLines(const QByteArray& bytes) {
    QList<Line> out;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c != '\n' && c != '\r') continue;
        Line l;
        l.text = bytes.mid(start, i - start);
        if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n') {
            l.end = "\r\n";
            ++i;
        } else {
            l.end = QByteArray(1, c);
        }
        out << l;
        start = i + 1;
    }
    if (start < n) out << Line{bytes.mid(start), QByteArray()};
    return out;
}

// A line's text for matching: UTF-8 where it is UTF-8, otherwise byte for
// byte (section and key names are plain ASCII either way).
QString decode(const QByteArray& text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8(text);
    if (utf8.hasError()) s = QString::fromLatin1(text);
    if (s.startsWith(QChar(0xFEFF))) s.remove(0, 1);
    return s;
}

bool isSectionLine(const QString& t, QString* name) {
    if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
        *name = t.mid(1, t.size() - 2).trimmed();
        return true;
    }
    return false;
}

}  // namespace

struct IniFile::Lines {
    QList<Line> lines;
};

IniFile::IniFile(const QString& path) : path_(path) {}

IniFile::~IniFile() = default;

std::unique_ptr<IniFile::Lines> IniFile::load() const {
    auto l = std::make_unique<Lines>();
    QFile f(path_);
    if (f.open(QIODevice::ReadOnly)) l->lines = splitLines(f.readAll());
    return l;
}

bool IniFile::save(const Lines& l) {
    QByteArray bytes;
    for (const Line& line : l.lines) bytes += line.text + line.end;
    // Written to a new file and renamed, so a failed write never leaves half a file.
    QSaveFile f(path_);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        error_ = f.errorString();
        return false;
    }
    error_.clear();
    return true;
}

bool IniFile::find(const Lines& l, const QString& section, const QString& key, int* sectionLine,
                   int* keyLine, QString* value) const {
    *sectionLine = -1;
    *keyLine = -1;
    bool inSection = false;
    for (int i = 0; i < l.lines.size(); ++i) {
        const QString t = decode(l.lines[i].text).trimmed();
        QString name;
        if (isSectionLine(t, &name)) {
            if (inSection) break;  // the key was not in our section
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection) *sectionLine = i;
            continue;
        }
        if (!inSection || t.startsWith(QLatin1Char(';'))) continue;
        const qsizetype eq = t.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        if (t.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
            *keyLine = i;
            if (value) *value = t.mid(eq + 1).trimmed();
            return true;
        }
    }
    return false;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
    int s, k;
    QString v;
    return find(*load(), section, key, &s, &k, &v) ? v : def;
}

int IniFile::readInteger(const QString& section, const QString& key, int def) const {
    bool ok = false;
    const int n = readString(section, key, QString()).toInt(&ok);
    return ok ? n : def;
}

bool IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    std::unique_ptr<Lines> l = load();
    QList<Line>& lines = l->lines;
    // New lines end the way the file's lines end.
    QByteArray eol = "\n";
    for (const Line& line : lines)
        if (!line.end.isEmpty()) {
            eol = line.end;
            break;
        }
    int s, k;
    if (find(*l, section, key, &s, &k, nullptr)) {
        // Only the value changes; the key keeps its spelling and spacing.
        QByteArray& text = lines[k].text;
        qsizetype at = text.indexOf('=') + 1;
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
        text = text.left(at) + value.toUtf8();
        return save(*l);
    }
    const Line line{key.toUtf8() + '=' + value.toUtf8(), eol};
    if (s >= 0) {
        // After the section's last key, before any blank lines that end it.
        int at = s + 1;
        for (int i = s + 1; i < lines.size(); ++i) {
            const QString t = decode(lines[i].text).trimmed();
            QString name;
            if (isSectionLine(t, &name)) break;
            if (!t.isEmpty()) at = i + 1;
        }
        if (lines[at - 1].end.isEmpty()) lines[at - 1].end = eol;
        lines.insert(at, line);
    } else {
        if (!lines.isEmpty()) {
            if (lines.last().end.isEmpty()) lines.last().end = eol;
            if (!decode(lines.last().text).trimmed().isEmpty()) lines << Line{QByteArray(), eol};
        }
        lines << Line{'[' + section.toUtf8() + ']', eol} << line;
    }
    return save(*l);
}

bool IniFile::writeInteger(const QString& section, const QString& key, int value) {
    return writeString(section, key, QString::number(value));
}
