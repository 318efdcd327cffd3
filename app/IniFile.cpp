#include "app/IniFile.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include "toolkit/SafeWrite.h"

// The file is read and written in its own encoding: UTF-8 (with or without a
// byte-order mark), UTF-16 with its mark, GB18030 as a Chinese system writes
// it, or, for anything else, byte for byte. A write changes the bytes of one
// line and nothing else, so the other lines, odd line ends (CR, CRLF, LF)
// and a byte-order mark come back exactly as they were.

namespace {

struct Line {
    QByteArray text;  // without its line end, in the file's encoding (UTF-8 for UTF-16 files)
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

bool validIn(const char* encoding, const QByteArray& bytes) {
    QStringDecoder d(encoding, QStringDecoder::Flag::Stateless);
    if (!d.isValid()) return false;
    (void)QString(d(bytes));
    return !d.hasError();
}

// Every byte above 0x7F part of a well-formed GB18030 sequence, and most
// two-byte pairs where Chinese characters lie: Western text in an 8-bit
// character set rarely has that.
bool looksLikeGb18030(const QByteArray& d) {
    const auto* p = reinterpret_cast<const unsigned char*>(d.constData());
    const qsizetype n = d.size();
    qint64 pairs = 0, hanPairs = 0;
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c == 0x80 || c == 0xFF || i + 1 >= n) return false;
        const unsigned char c2 = p[i + 1];
        if (c2 >= 0x30 && c2 <= 0x39) {
            if (i + 3 >= n || p[i + 2] < 0x81 || p[i + 2] > 0xFE || p[i + 3] < 0x30 || p[i + 3] > 0x39) return false;
            i += 4;
            ++pairs;
            continue;
        }
        if (c2 < 0x40 || c2 == 0x7F || c2 == 0xFF) return false;
        ++pairs;
        if (c >= 0xA1 && c2 >= 0xA1) ++hanPairs;
        i += 2;
    }
    return pairs > 0 && hanPairs * 5 >= pairs * 4 && validIn("GB18030", d);
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
    QByteArray bom;       // the byte-order mark the file starts with, kept
    QByteArray encoding;  // of the lines' bytes: "UTF-8", "GB18030" or "ISO-8859-1"
    QByteArray wide;      // "UTF-16LE"/"UTF-16BE" for a file the lines are converted from

    // A line as text: in the file's encoding; a line another program wrote
    // in another one (a GB18030 line in a UTF-8 file) as that one.
    QString decode(const QByteArray& text) const {
        for (const char* e : {encoding.constData(), "GB18030"}) {
            QStringDecoder d(e, QStringDecoder::Flag::Stateless);
            if (!d.isValid()) continue;
            const QString s = d(text);
            if (!d.hasError() && (e == encoding.constData() || looksLikeGb18030(text))) return s;
        }
        return QString::fromLatin1(text);
    }
    // The value in the lines' encoding; false when that cannot hold it.
    bool encode(const QString& value, QByteArray* out) const {
        QStringEncoder e(encoding.constData(), QStringEncoder::Flag::Stateless);
        if (!e.isValid()) return false;
        *out = e(value);
        return !e.hasError() && decode(*out) == value;
    }
};

IniFile::IniFile(const QString& path) : path_(path) {}

IniFile::~IniFile() = default;

std::unique_ptr<IniFile::Lines> IniFile::load() const {
    auto l = std::make_unique<Lines>();
    l->encoding = "UTF-8";
    QFile f(path_);
    if (!f.open(QIODevice::ReadOnly)) return l;
    QByteArray bytes = f.readAll();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    if (bytes.size() >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
        l->wide = p[0] == 0xFF ? "UTF-16LE" : "UTF-16BE";
        l->bom = bytes.left(2);
        QStringDecoder d(l->wide.constData());
        bytes = QString(d(bytes.mid(2))).toUtf8();
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        l->bom = bytes.left(3);
        bytes = bytes.mid(3);
    } else if (!validIn("UTF-8", bytes)) {
        // Not UTF-8: a Chinese system's GB18030, or else bytes kept as they are.
        l->encoding = looksLikeGb18030(bytes) ? "GB18030" : "ISO-8859-1";
    }
    l->lines = splitLines(bytes);
    return l;
}

bool IniFile::save(const Lines& l) {
    QByteArray bytes;
    for (const Line& line : l.lines) bytes += line.text + line.end;
    if (!l.wide.isEmpty()) {
        QStringEncoder e(l.wide.constData());
        bytes = e(QString::fromUtf8(bytes));
    }
    // Written to a new file and renamed, so a failed write never leaves half a file.
    QString why;
    if (!toolkit::writeWhole(path_, l.bom + bytes, &why))
        return failed(QStringLiteral("%1: %2").arg(path_, why));
    error_.clear();
    return true;
}

bool IniFile::find(const Lines& l, const QString& section, const QString& key, int* sectionLine,
                   int* keyLine, QString* value) const {
    *sectionLine = -1;
    *keyLine = -1;
    bool inSection = false;
    for (int i = 0; i < l.lines.size(); ++i) {
        const QString t = l.decode(l.lines[i].text).trimmed();
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
    QByteArray encoded, keyBytes, sectionBytes;
    if (!l->encode(value, &encoded) || !l->encode(key, &keyBytes) || !l->encode(section, &sectionBytes)) {
        return failed(QStringLiteral("%1 is written in %2, which cannot hold the value \"%3\".")
                          .arg(path_,
                               QString::fromLatin1(l->encoding == "ISO-8859-1" ? "an 8-bit character set"
                                                                               : l->encoding),
                               value));
    }
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
        text = text.left(at) + encoded;
        return save(*l);
    }
    const Line line{keyBytes + '=' + encoded, eol};
    if (s >= 0) {
        // After the section's last key, before any blank lines that end it.
        int at = s + 1;
        for (int i = s + 1; i < lines.size(); ++i) {
            const QString t = l->decode(lines[i].text).trimmed();
            QString name;
            if (isSectionLine(t, &name)) break;
            if (!t.isEmpty()) at = i + 1;
        }
        if (lines[at - 1].end.isEmpty()) lines[at - 1].end = eol;
        lines.insert(at, line);
    } else {
        if (!lines.isEmpty()) {
            if (lines.last().end.isEmpty()) lines.last().end = eol;
            if (!l->decode(lines.last().text).trimmed().isEmpty()) lines << Line{QByteArray(), eol};
        }
        lines << Line{'[' + sectionBytes + ']', eol} << line;
    }
    return save(*l);
}

bool IniFile::writeInteger(const QString& section, const QString& key, int value) {
    return writeString(section, key, QString::number(value));
}

bool IniFile::failed(const QString& why) {
    error_ = why;
    if (report_) report_(why);
    return false;
}
