#pragma once
// config.ini: sections and keys are matched without regard to case, every
// write goes to the file at once, and lines we do not understand are kept.
#include <QString>
#include <QStringList>

class IniFile {
public:
    explicit IniFile(const QString& path);

    QString fileName() const { return path_; }
    QString readString(const QString& section, const QString& key, const QString& def) const;
    // A missing key, or one that is not a whole number, reads as def.
    int readInteger(const QString& section, const QString& key, int def) const;
    // False when the file could not be written (lastError() says why).
    bool writeString(const QString& section, const QString& key, const QString& value);
    bool writeInteger(const QString& section, const QString& key, int value);
    QString lastError() const { return error_; }

private:
    QStringList load() const;
    bool save(const QStringList& lines);
    bool find(const QStringList& lines, const QString& section, const QString& key,
              int* sectionLine, int* keyLine, QString* value) const;

    QString path_;
    QString error_;
};
