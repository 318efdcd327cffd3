#pragma once
// config.ini: sections and keys are matched without regard to case, every
// write goes to the file at once, and every line a write does not change is
// kept byte for byte.
#include <QString>
#include <functional>
#include <memory>

class IniFile {
public:
    explicit IniFile(const QString& path);
    ~IniFile();

    QString fileName() const { return path_; }
    QString readString(const QString& section, const QString& key, const QString& def) const;
    // A missing key, or one that is not a whole number, reads as def.
    int readInteger(const QString& section, const QString& key, int def) const;
    // False when the file could not be written (lastError() says why).
    bool writeString(const QString& section, const QString& key, const QString& value);
    bool writeInteger(const QString& section, const QString& key, int value);
    QString lastError() const { return error_; }
    // Told why, whenever a write fails (the program shows it to the user).
    void setFailureReport(std::function<void(const QString&)> report) { report_ = std::move(report); }

private:
    struct Lines;
    std::unique_ptr<Lines> load() const;
    bool save(const Lines& lines);
    bool failed(const QString& why);
    bool find(const Lines& lines, const QString& section, const QString& key, int* sectionLine,
              int* keyLine, QString* value) const;

    QString path_;
    QString error_;
    std::function<void(const QString&)> report_;
};
