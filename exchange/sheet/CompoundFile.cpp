#include "exchange/sheet/CompoundFile.h"

#include <QtEndian>

namespace sheet::detail {

namespace {
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFree = 0xFFFFFFFF;
const char kSignature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};

quint32 u32(const char* p) { return qFromLittleEndian<quint32>(p); }
quint16 u16(const char* p) { return qFromLittleEndian<quint16>(p); }
}  // namespace

bool looksLikeCompoundFile(const QByteArray& head) {
    return head.size() >= 8 && memcmp(head.constData(), kSignature, 8) == 0;
}

QByteArray CompoundFile::sector(quint32 n) const {
    const qint64 at = (qint64(n) + 1) * sectorSize_;
    if (n >= sectorCount_ || at >= data_->size()) return QByteArray();
    if (at + sectorSize_ <= data_->size()) return QByteArray::fromRawData(data_->constData() + at, sectorSize_);
    // Some writers leave the last sector short; what is missing reads as zeros
    // (a stream's own length still says how much of it counts).
    QByteArray part(data_->constData() + at, qsizetype(data_->size() - at));
    part.resize(sectorSize_, '\0');
    return part;
}

bool CompoundFile::chain(const std::vector<quint32>& fat, quint32 start, qint64 maxSectors,
                         std::vector<quint32>* out, QString* why) const {
    out->clear();
    std::vector<bool> seen(fat.size(), false);
    quint32 s = start;
    while (s != kEndOfChain) {
        if (s >= fat.size() || seen[s]) {
            *why = QStringLiteral("The compound file's sector chains are broken.");
            return false;
        }
        if (qint64(out->size()) >= maxSectors) {
            *why = QStringLiteral("A stream of the compound file is longer than the file.");
            return false;
        }
        seen[s] = true;
        out->push_back(s);
        s = fat[s];
    }
    return true;
}

bool CompoundFile::open(const QByteArray* data, QString* why) {
    data_ = data;
    const char* h = data->constData();
    if (data->size() < 512 || !looksLikeCompoundFile(*data)) {
        *why = QStringLiteral("The file is not a compound document.");
        return false;
    }
    const int shift = u16(h + 0x1E);
    if (shift != 9 && shift != 12) {
        *why = QStringLiteral("The compound file states a sector size it cannot have.");
        return false;
    }
    sectorSize_ = 1 << shift;
    const qint64 sectors = (data->size() + sectorSize_ - 1) / sectorSize_ - 1;  // a short last one counts
    if (sectors < 1) {
        *why = QStringLiteral("The compound file is cut short.");
        return false;
    }
    sectorCount_ = quint32(std::min<qint64>(sectors, 0x7FFFFFFF));
    const quint32 fatSectors = u32(h + 0x2C);
    const quint32 firstDir = u32(h + 0x30);
    miniCutoff_ = u32(h + 0x38);
    const quint32 firstMiniFat = u32(h + 0x3C);
    quint32 difatNext = u32(h + 0x44);
    const quint32 difatCount = u32(h + 0x48);
    if (fatSectors > sectorCount_ || difatCount > sectorCount_) {
        *why = QStringLiteral("The compound file claims more sectors than it holds.");
        return false;
    }

    // The FAT's own sectors: 109 in the header, the rest in DIFAT sectors.
    std::vector<quint32> fatList;
    for (int i = 0; i < 109 && fatList.size() < fatSectors; ++i) fatList.push_back(u32(h + 0x4C + 4 * i));
    const int perSector = sectorSize_ / 4;
    std::vector<bool> seenDifat(sectorCount_, false);
    for (quint32 k = 0; k < difatCount && fatList.size() < fatSectors; ++k) {
        if (difatNext >= sectorCount_ || seenDifat[difatNext]) {
            *why = QStringLiteral("The compound file's sector table is broken.");
            return false;
        }
        seenDifat[difatNext] = true;
        const QByteArray s = sector(difatNext);
        if (s.isEmpty()) {
            *why = QStringLiteral("The compound file is cut short.");
            return false;
        }
        for (int i = 0; i < perSector - 1 && fatList.size() < fatSectors; ++i) fatList.push_back(u32(s.constData() + 4 * i));
        difatNext = u32(s.constData() + 4 * (perSector - 1));
    }
    fat_.clear();
    fat_.reserve(std::min<size_t>(size_t(fatList.size()) * perSector, sectorCount_ + size_t(perSector)));
    for (quint32 fs : fatList) {
        if (fat_.size() >= sectorCount_) break;
        const QByteArray s = sector(fs);
        if (s.isEmpty()) {
            *why = QStringLiteral("The compound file's sector table points past its end.");
            return false;
        }
        for (int i = 0; i < perSector; ++i) fat_.push_back(u32(s.constData() + 4 * i));
    }
    // Sectors past the file's end are not there, whatever the table says.
    if (fat_.size() > sectorCount_) fat_.resize(sectorCount_);

    std::vector<quint32> dirChain;
    if (!chain(fat_, firstDir, sectorCount_, &dirChain, why)) return false;
    entries_.clear();
    for (quint32 ds : dirChain) {
        const QByteArray s = sector(ds);
        for (int off = 0; off + 128 <= s.size(); off += 128) {
            const char* e = s.constData() + off;
            Entry en;
            const int nameBytes = std::min<int>(u16(e + 0x40), 64);
            const int chars = std::max(0, nameBytes / 2 - 1);
            en.name = QString::fromUtf16(reinterpret_cast<const char16_t*>(e), chars);
            en.type = quint8(e[0x42]);
            en.start = u32(e + 0x74);
            en.size = qFromLittleEndian<quint64>(e + 0x78);
            if (sectorSize_ == 512) en.size &= 0xFFFFFFFFu;  // version 3 keeps only the low half
            if (en.type == 0) continue;
            entries_.push_back(en);
        }
        if (entries_.size() > 100000) {
            *why = QStringLiteral("The compound file's directory is too long.");
            return false;
        }
    }
    if (entries_.empty() || entries_.front().type != 5) {
        *why = QStringLiteral("The compound file has no root entry.");
        return false;
    }

    // The mini stream (small streams live there) and its table.
    std::vector<quint32> mf;
    if (firstMiniFat != kEndOfChain && firstMiniFat != kFree) {
        if (!chain(fat_, firstMiniFat, sectorCount_, &mf, why)) return false;
        for (quint32 s : mf) {
            const QByteArray b = sector(s);
            for (int i = 0; i < perSector; ++i) miniFat_.push_back(u32(b.constData() + 4 * i));
        }
    }
    const Entry& root = entries_.front();
    if (root.start != kEndOfChain && root.start != kFree && root.size > 0) {
        std::vector<quint32> rc;
        if (!chain(fat_, root.start, sectorCount_, &rc, why)) return false;
        for (quint32 s : rc) miniStream_.append(sector(s));
        if (quint64(miniStream_.size()) > root.size) miniStream_.truncate(qsizetype(root.size));
    }
    return true;
}

QStringList CompoundFile::names() const {
    QStringList out;
    for (const Entry& e : entries_) out << e.name;
    return out;
}

QString CompoundFile::find(const QString& name) const {
    for (const Entry& e : entries_)
        if (e.type == 2 && e.name.compare(name, Qt::CaseInsensitive) == 0) return e.name;
    return QString();
}

bool CompoundFile::read(const QString& name, qint64 maxBytes, QByteArray* out, QString* why) const {
    const Entry* en = nullptr;
    for (const Entry& e : entries_)
        if (e.type == 2 && e.name == name) en = &e;
    if (!en) {
        *why = QStringLiteral("The compound file has no stream %1.").arg(name);
        return false;
    }
    if (qint64(en->size) > maxBytes || en->size > quint64(data_->size()) * 2) {
        *why = QStringLiteral("The stream %1 claims %L2 bytes, more than the file can hold.").arg(name).arg(en->size);
        return false;
    }
    out->clear();
    std::vector<quint32> c;
    if (en->size < miniCutoff_) {
        if (!chain(miniFat_, en->start, qint64(miniFat_.size()) + 1, &c, why)) return false;
        for (quint32 s : c) {
            const qint64 at = qint64(s) * 64;
            if (at + 64 > miniStream_.size()) {
                *why = QStringLiteral("A small stream of the compound file points past its end.");
                return false;
            }
            out->append(miniStream_.constData() + at, 64);
        }
    } else {
        if (!chain(fat_, en->start, sectorCount_, &c, why)) return false;
        // A stream written in one piece (as most writers write it) is
        // handed out where it lies, not copied: 30 MB of .xls are a tenth of
        // a second of copying and page faults.
        bool inOnePiece = !c.empty() && qint64(en->size) <= qint64(c.size()) * sectorSize_ &&
                          (qint64(c.front()) + 1) * sectorSize_ + qint64(en->size) <= data_->size();
        for (size_t i = 1; inOnePiece && i < c.size(); ++i) inOnePiece = c[i] == c[0] + i;
        if (inOnePiece) {
            *out = QByteArray::fromRawData(data_->constData() + (qint64(c.front()) + 1) * sectorSize_,
                                           qsizetype(en->size));
            return true;
        }
        out->reserve(qsizetype(en->size));
        for (quint32 s : c) {
            const QByteArray b = sector(s);
            if (b.isEmpty()) {
                *why = QStringLiteral("A stream of the compound file points past its end.");
                return false;
            }
            out->append(b);
        }
    }
    if (quint64(out->size()) < en->size) {
        *why = QStringLiteral("The stream %1 is cut short.").arg(name);
        return false;
    }
    out->truncate(qsizetype(en->size));
    return true;
}

}  // namespace sheet::detail
