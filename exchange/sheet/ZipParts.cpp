#include "exchange/sheet/ZipParts.h"

#include <quazip.h>
#include <quazipfile.h>
#include <quazipfileinfo.h>

namespace sheet::detail {

bool ProgressMeter::advance(qint64 bytes) {
    done_ += bytes;
    if (cancelled_) return false;
    if (!cb_) return true;
    // Report about every quarter megabyte, and once at the start.
    if (lastReport_ >= 0 && done_ - lastReport_ < (1 << 18)) return true;
    lastReport_ = done_;
    if (!cb_(done_, std::max(total_, done_))) cancelled_ = true;
    return !cancelled_;
}

namespace {

// Counts what is read through it, stops at the limit, and reports progress.
class LimitedDevice : public QIODevice {
public:
    LimitedDevice(QIODevice* inner, qint64 limit, ProgressMeter* meter)
        : inner_(inner), limit_(limit), meter_(meter) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    bool exceeded = false;
    bool cancelled = false;

protected:
    qint64 readData(char* data, qint64 max) override {
        if (exceeded || cancelled) return -1;
        const qint64 n = inner_->read(data, max);
        if (n < 0) {
            broken_ = true;  // a damaged stream stays damaged: no reader may wait for more
            return -1;
        }
        read_ += n;
        if (read_ > limit_) {
            exceeded = true;
            return -1;
        }
        if (meter_ && !meter_->advance(n)) {
            cancelled = true;
            return -1;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
    bool atEnd() const override { return exceeded || cancelled || broken_ || (inner_->atEnd() && QIODevice::atEnd()); }

private:
    QIODevice* inner_;
    qint64 limit_;
    ProgressMeter* meter_;
    qint64 read_ = 0;
    bool broken_ = false;
};

}  // namespace

ZipParts::ZipParts() = default;

ZipParts::~ZipParts() { closeStream(); }

bool ZipParts::open(QIODevice* dev, const Limits& limits, QString* why) {
    zip_ = std::make_unique<QuaZip>(dev);
    if (!zip_->open(QuaZip::mdUnzip)) {
        *why = QStringLiteral("The zip container is damaged (error %1).").arg(zip_->getZipError());
        return false;
    }
    const int entries = zip_->getEntriesCount();
    if (entries < 0 || entries > limits.maxZipEntries) {
        *why = QStringLiteral("The zip container claims %1 entries, more than a workbook has.").arg(entries);
        return false;
    }
    const QList<QuaZipFileInfo64> infos = zip_->getFileInfoList64();
    if (infos.isEmpty() && entries > 0) {
        *why = QStringLiteral("The list of the zip container's entries cannot be read.");
        return false;
    }
    for (const QuaZipFileInfo64& i : infos) {
        // Some writers store Windows paths; the package means the same parts.
        QString key = i.name.toLower();
        key.replace(QLatin1Char('\\'), QLatin1Char('/'));
        while (key.startsWith(QLatin1Char('/'))) key.remove(0, 1);
        if (!byLower_.contains(key)) byLower_.insert(key, i.name);
        sizes_.insert(i.name, qint64(i.uncompressedSize));
        if (i.flags & 1) encrypted_.insert(i.name, true);
    }
    return true;
}

QString ZipParts::find(const QString& name) const {
    QString key = name.toLower();
    key.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (key.startsWith(QLatin1Char('/'))) key.remove(0, 1);
    return byLower_.value(key);
}

QIODevice* ZipParts::stream(const QString& stored, qint64 limit, ProgressMeter* meter, QString* why) {
    closeStream();
    if (encrypted(stored)) {
        *why = QStringLiteral("The workbook is protected by a password.");
        return nullptr;
    }
    if (claimedSize(stored) > limit) {
        *why = QStringLiteral("The part %1 of the workbook is %L2 bytes long once unpacked, more than this program "
                              "reads (%L3 bytes); it is refused as a likely zip bomb.")
                   .arg(stored)
                   .arg(claimedSize(stored))
                   .arg(limit);
        return nullptr;
    }
    if (!zip_->setCurrentFile(stored, QuaZip::csSensitive)) {
        *why = QStringLiteral("The part %1 of the workbook cannot be found.").arg(stored);
        return nullptr;
    }
    file_ = std::make_unique<QuaZipFile>(zip_.get());
    if (!file_->open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("The part %1 of the workbook cannot be opened (error %2).")
                   .arg(stored)
                   .arg(file_->getZipError());
        file_.reset();
        return nullptr;
    }
    limited_ = std::make_unique<LimitedDevice>(file_.get(), limit, meter);
    return limited_.get();
}

bool ZipParts::exceeded() const {
    auto* d = static_cast<LimitedDevice*>(limited_.get());
    return d && d->exceeded;
}

bool ZipParts::cancelledRead() const {
    auto* d = static_cast<LimitedDevice*>(limited_.get());
    return d && d->cancelled;
}

void ZipParts::closeStream() {
    limited_.reset();
    if (file_) file_->close();
    file_.reset();
}

bool ZipParts::readAll(const QString& stored, qint64 limit, QByteArray* out, QString* why) {
    QIODevice* d = stream(stored, limit, nullptr, why);
    if (!d) return false;
    out->clear();
    char buf[65536];
    for (;;) {
        const qint64 n = d->read(buf, sizeof buf);
        if (n < 0) {
            if (exceeded())
                *why = QStringLiteral("The part %1 of the workbook is larger than %L2 bytes, more than such a "
                                      "part needs.")
                           .arg(stored)
                           .arg(limit);
            else
                *why = QStringLiteral("The part %1 of the workbook is damaged.").arg(stored);
            closeStream();
            return false;
        }
        if (n == 0) break;
        out->append(buf, n);
    }
    closeStream();
    return true;
}

}  // namespace sheet::detail
