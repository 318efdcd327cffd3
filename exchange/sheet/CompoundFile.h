#pragma once
// Just enough of the compound file format (the container of .xls files and
// of password-protected Office documents) to list its streams and read one,
// with every sector chain checked: no loops, no sectors past the file's end.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace sheet::detail {

bool looksLikeCompoundFile(const QByteArray& head);

class CompoundFile {
public:
    // data stays owned by the caller and must outlive this object.
    bool open(const QByteArray* data, QString* why);
    QStringList names() const;
    // The stored name of an entry, found without regard to case; empty if absent.
    QString find(const QString& name) const;
    // The stream's bytes. out may share the data the file was opened on
    // (a stream that lies in one piece), so it is valid as long as they are.
    bool read(const QString& name, qint64 maxBytes, QByteArray* out, QString* why) const;

private:
    struct Entry {
        QString name;
        int type = 0;  // 1 storage, 2 stream, 5 root
        quint32 start = 0;
        quint64 size = 0;
    };
    bool chain(const std::vector<quint32>& fat, quint32 start, qint64 maxSectors, std::vector<quint32>* out,
               QString* why) const;
    QByteArray sector(quint32 n) const;

    const QByteArray* data_ = nullptr;
    int sectorSize_ = 512;
    quint32 sectorCount_ = 0;
    quint32 miniCutoff_ = 4096;
    std::vector<quint32> fat_;
    std::vector<quint32> miniFat_;
    QByteArray miniStream_;
    std::vector<Entry> entries_;
};

}  // namespace sheet::detail
