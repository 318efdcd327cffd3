#pragma once
// The parts of a zip package (.xlsx, .ods), read with bounds: a part is
// never inflated past the size we allow it, whatever its header claims, so
// a zip bomb ends in a refusal instead of filling memory or the disk.
#include <QByteArray>
#include <QHash>
#include <QIODevice>
#include <QString>
#include <functional>
#include <memory>

#include "exchange/sheet/Workbook.h"

struct zip;
struct zip_file;

namespace sheet::detail {

// Progress of the whole open: bytes inflated so far against the total the
// parts to be read claim. Returning false cancels.
class ProgressMeter {
public:
    explicit ProgressMeter(const std::function<bool(qint64, qint64)>& cb) : cb_(cb) {}
    void setTotal(qint64 t) { total_ = t; }
    // False once cancelled.
    bool advance(qint64 bytes);
    bool cancelled() const { return cancelled_; }

private:
    std::function<bool(qint64, qint64)> cb_;
    qint64 done_ = 0, total_ = 0, lastReport_ = -1;
    bool cancelled_ = false;
};

class ZipParts {
public:
    ZipParts();
    ~ZipParts();

    // Opens the package on dev (not owned). False with why set when it is
    // not a zip we can read.
    bool open(QIODevice* dev, const Limits& limits, QString* why);

    // The stored name of a part, found without regard to case and to a
    // leading slash; empty when absent.
    QString find(const QString& name) const;
    qint64 claimedSize(const QString& stored) const { return sizes_.value(stored, -1); }
    bool encrypted(const QString& stored) const { return encrypted_.contains(stored); }

    // Reads a whole part of at most limit bytes.
    bool readAll(const QString& stored, qint64 limit, QByteArray* out, QString* why);

    // A device that inflates the part as it is read and fails (with
    // exceeded() or cancelled() set) past limit bytes or when the meter
    // says stop. One part at a time.
    QIODevice* stream(const QString& stored, qint64 limit, ProgressMeter* meter, QString* why);
    bool exceeded() const;
    bool cancelledRead() const;
    void closeStream();

    ZipParts(const ZipParts&) = delete;
    ZipParts& operator=(const ZipParts&) = delete;

private:
    struct Source;  // libzip's view of dev
    void close();
    std::unique_ptr<Source> source_;
    zip* zip_ = nullptr;
    zip_file* file_ = nullptr;
    std::unique_ptr<QIODevice> part_;
    QHash<QString, QString> byLower_;
    QHash<QString, quint64> index_;  // the first entry of each stored name
    QHash<QString, qint64> sizes_;
    QHash<QString, bool> encrypted_;
};

}  // namespace sheet::detail
