#include "exchange/sheet/ZipParts.h"

#include <zip.h>

#include <algorithm>
#include <limits>

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

// One part, inflated by libzip as it is read. It ends where the part's
// header says the part ends, whatever the compressed data would still give
// (so a header that understates a part cuts it short rather than letting it
// grow), and fails past limit bytes or when the meter says stop.
class PartDevice : public QIODevice {
public:
    PartDevice(zip_file_t* file, qint64 claimed, qint64 limit, ProgressMeter* meter)
        : file_(file), claimed_(claimed), limit_(limit), meter_(meter) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    bool exceeded = false;
    bool cancelled = false;

protected:
    qint64 readData(char* data, qint64 max) override {
        if (exceeded || cancelled || broken_) return -1;
        if (ended_) return 0;
        // Qt asks for nothing at times (a buffered read that its buffer
        // served): that is no end of the part.
        if (max <= 0) return 0;
        const qint64 left = claimed_ - read_;
        if (left <= 0) {
            ended_ = true;
            return 0;
        }
        const qint64 n = zip_fread(file_, data, zip_uint64_t(std::min(max, left)));
        if (n < 0) {
            // A checksum or length found wrong at the end of the data is
            // taken as the end, as zip readers commonly do: what was read
            // stands or falls by the XML it holds.
            const int err = zip_error_code_zip(zip_file_get_error(file_));
            if (err == ZIP_ER_CRC || err == ZIP_ER_INCONS) {
                ended_ = true;
                return 0;
            }
            broken_ = true;  // a damaged stream stays damaged: no reader may wait for more
            return -1;
        }
        if (n == 0) {
            ended_ = true;
            return 0;
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
    bool atEnd() const override { return exceeded || cancelled || broken_ || (ended_ && QIODevice::atEnd()); }

private:
    zip_file_t* file_;
    qint64 claimed_;
    qint64 limit_;
    ProgressMeter* meter_;
    qint64 read_ = 0;
    bool ended_ = false;
    bool broken_ = false;
};

QString zipError(const zip_error_t* e) {
    zip_error_t copy;
    zip_error_init_with_code(&copy, zip_error_code_zip(e));
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&copy));
    zip_error_fini(&copy);
    return text;
}

QString keyOf(const QString& name) {
    // Some writers store Windows paths; the package means the same parts.
    QString key = name.toLower();
    key.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (key.startsWith(QLatin1Char('/'))) key.remove(0, 1);
    return key;
}

}  // namespace

// The package as libzip reads it: the caller's device, seekable, read-only.
struct ZipParts::Source {
    QIODevice* dev = nullptr;
    qint64 size = 0;
    zip_error_t error;

    Source() { zip_error_init(&error); }
    ~Source() { zip_error_fini(&error); }

    static zip_int64_t call(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
        return static_cast<Source*>(state)->handle(data, len, cmd);
    }

    zip_int64_t handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
        switch (cmd) {
        case ZIP_SOURCE_OPEN:
            return dev->seek(0) ? 0 : fail(ZIP_ER_SEEK);
        case ZIP_SOURCE_READ: {
            const qint64 n = dev->read(static_cast<char*>(data), qint64(std::min<zip_uint64_t>(len, 1 << 30)));
            return n < 0 ? fail(ZIP_ER_READ) : n;
        }
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_FREE:  // the device is the caller's
            return 0;
        case ZIP_SOURCE_STAT: {
            if (len < sizeof(zip_stat_t)) return fail(ZIP_ER_INVAL);
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->size = zip_uint64_t(size);
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&error, data, len);
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t to = zip_source_seek_compute_offset(zip_uint64_t(dev->pos()), zip_uint64_t(size), data,
                                                                  len, &error);
            if (to < 0) return -1;
            return dev->seek(to) ? 0 : fail(ZIP_ER_SEEK);
        }
        case ZIP_SOURCE_TELL:
            return dev->pos();
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_SEEKABLE;
        default:
            return fail(ZIP_ER_OPNOTSUPP);
        }
    }

    zip_int64_t fail(int code) {
        zip_error_set(&error, code, 0);
        return -1;
    }
};

ZipParts::ZipParts() = default;

ZipParts::~ZipParts() { close(); }

void ZipParts::close() {
    closeStream();
    if (zip_) zip_discard(zip_);  // also frees the source
    zip_ = nullptr;
    source_.reset();
}

bool ZipParts::open(QIODevice* dev, const Limits& limits, QString* why) {
    close();
    byLower_.clear();
    index_.clear();
    sizes_.clear();
    encrypted_.clear();
    source_ = std::make_unique<Source>();
    source_->dev = dev;
    source_->size = dev->size();
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_function_create(&Source::call, source_.get(), &error);
    if (src) {
        zip_ = zip_open_from_source(src, ZIP_RDONLY, &error);
        if (!zip_) zip_source_free(src);
    }
    if (!zip_) {
        *why = QStringLiteral("The zip container is damaged (%1).").arg(zipError(&error));
        zip_error_fini(&error);
        return false;
    }
    zip_error_fini(&error);
    const zip_int64_t entries = zip_get_num_entries(zip_, 0);
    if (entries < 0 || entries > limits.maxZipEntries) {
        *why = QStringLiteral("The zip container claims %1 entries, more than a workbook has.").arg(entries);
        return false;
    }
    for (zip_int64_t i = 0; i < entries; ++i) {
        zip_stat_t st;
        if (zip_stat_index(zip_, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
            *why = QStringLiteral("The list of the zip container's entries cannot be read.");
            return false;
        }
        const QString name = QString::fromUtf8(st.name);
        if (index_.contains(name)) continue;  // a name stored twice: the first one counts
        const QString key = keyOf(name);
        if (!byLower_.contains(key)) byLower_.insert(key, name);
        index_.insert(name, zip_uint64_t(i));
        const bool sized = st.valid & ZIP_STAT_SIZE;
        sizes_.insert(name, sized && st.size <= zip_uint64_t(std::numeric_limits<qint64>::max()) ? qint64(st.size)
                                                                                                 : std::numeric_limits<qint64>::max());
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            encrypted_.insert(name, true);
    }
    return true;
}

QString ZipParts::find(const QString& name) const { return byLower_.value(keyOf(name)); }

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
    if (!zip_ || !index_.contains(stored)) {
        *why = QStringLiteral("The part %1 of the workbook cannot be found.").arg(stored);
        return nullptr;
    }
    file_ = zip_fopen_index(zip_, index_.value(stored), 0);
    if (!file_) {
        *why = QStringLiteral("The part %1 of the workbook cannot be opened (%2).")
                   .arg(stored, zipError(zip_get_error(zip_)));
        return nullptr;
    }
    part_ = std::make_unique<PartDevice>(file_, claimedSize(stored), limit, meter);
    return part_.get();
}

bool ZipParts::exceeded() const {
    auto* d = static_cast<PartDevice*>(part_.get());
    return d && d->exceeded;
}

bool ZipParts::cancelledRead() const {
    auto* d = static_cast<PartDevice*>(part_.get());
    return d && d->cancelled;
}

void ZipParts::closeStream() {
    part_.reset();
    if (file_) zip_fclose(file_);
    file_ = nullptr;
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
