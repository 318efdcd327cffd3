#include "app/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringConverter>
#include <QTextStream>

IniFile::IniFile(const QString& path) : path_(path) {}

QStringList IniFile::load() const {
    QFile f(path_);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QTextStream in(&f);
    in.setEncoding(QStringConverter::Utf8);
    QStringList lines;
    while (!in.atEnd()) lines << in.readLine();
    return lines;
}

bool IniFile::save(const QStringList& lines) {
    // Written to a new file and renamed, so a failed write never leaves half a file.
    QSaveFile f(path_);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) {
        error_ = f.errorString();
        return false;
    }
    QTextStream out(&f);
    out.setEncoding(QStringConverter::Utf8);
    for (const QString& l : lines) out << l << '\n';
    out.flush();
    if (!f.commit()) {
        error_ = f.errorString();
        return false;
    }
    error_.clear();
    return true;
}

static bool isSectionLine(const QString& t, QString* name) {
    if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
        *name = t.mid(1, t.size() - 2).trimmed();
        return true;
    }
    return false;
}

bool IniFile::find(const QStringList& lines, const QString& section, const QString& key,
                   int* sectionLine, int* keyLine, QString* value) const {
    *sectionLine = -1;
    *keyLine = -1;
    bool inSection = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QString t = lines[i].trimmed();
        QString name;
        if (isSectionLine(t, &name)) {
            if (inSection) break;  // the key was not in our section
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection) *sectionLine = i;
            continue;
        }
        if (!inSection || t.startsWith(QLatin1Char(';'))) continue;
        const int eq = t.indexOf(QLatin1Char('='));
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
    return find(load(), section, key, &s, &k, &v) ? v : def;
}

int IniFile::readInteger(const QString& section, const QString& key, int def) const {
    bool ok = false;
    const int n = readString(section, key, QString()).toInt(&ok);
    return ok ? n : def;
}

bool IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    QStringList lines = load();
    int s, k;
    const QString line = key + QLatin1Char('=') + value;
    if (find(lines, section, key, &s, &k, nullptr)) {
        lines[k] = line;
    } else if (s >= 0) {
        // After the section's last key, before any blank lines that end it.
        int at = s + 1;
        for (int i = s + 1; i < lines.size(); ++i) {
            QString name;
            if (isSectionLine(lines[i].trimmed(), &name)) break;
            if (!lines[i].trimmed().isEmpty()) at = i + 1;
        }
        lines.insert(at, line);
    } else {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) lines << QString();
        lines << QLatin1Char('[') + section + QLatin1Char(']') << line;
    }
    return save(lines);
}

bool IniFile::writeInteger(const QString& section, const QString& key, int value) {
    return writeString(section, key, QString::number(value));
}
