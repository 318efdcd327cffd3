#include "exchange/sheet/XlsRecords.h"

namespace sheet::detail {

namespace {
constexpr quint16 kContinue = 0x003C;
}

bool BiffWalker::next(BiffRecord* r) {
    r->parts.clear();
    const qint64 n = s_.size();
    if (failed_ || pos_ + 4 > n) return false;
    const char* d = s_.constData();
    r->type = qFromLittleEndian<quint16>(d + pos_);
    qint64 len = qFromLittleEndian<quint16>(d + pos_ + 2);
    if (pos_ + 4 + len > n) {
        failed_ = true;
        why_ = QStringLiteral("The workbook stream ends in the middle of a record (at byte %L1).").arg(pos_);
        return false;
    }
    r->parts.emplace_back(d + pos_ + 4, len);
    pos_ += 4 + len;
    while (pos_ + 4 <= n && qFromLittleEndian<quint16>(d + pos_) == kContinue) {
        len = qFromLittleEndian<quint16>(d + pos_ + 2);
        if (pos_ + 4 + len > n) break;  // reported with the next record
        r->parts.emplace_back(d + pos_ + 4, len);
        pos_ += 4 + len;
    }
    return true;
}

bool BiffSegments::nextPart() {
    while (part_ < parts_.size() && at_ >= parts_[part_].size()) {
        if (part_ + 1 >= parts_.size()) return false;
        ++part_;
        at_ = 0;
        if (!parts_[part_].isEmpty()) return true;
    }
    return part_ < parts_.size();
}

bool BiffSegments::atEnd() {
    if (part_ >= parts_.size()) return true;
    if (at_ < parts_[part_].size()) return false;
    return !nextPart();
}

QByteArrayView BiffSegments::take(qint64 n) {
    if (atEnd()) return {};
    const QByteArrayView p = parts_[part_];
    const qsizetype k = qsizetype(std::min<qint64>(n, p.size() - at_));
    const QByteArrayView out = p.sliced(at_, k);
    at_ += k;
    return out;
}

bool BiffSegments::skip(qint64 n) {
    while (n > 0) {
        const QByteArrayView v = take(n);
        if (v.isEmpty()) return false;
        n -= v.size();
    }
    return true;
}

bool BiffSegments::u8(quint8* v) {
    const QByteArrayView b = take(1);
    if (b.size() != 1) return false;
    *v = quint8(b[0]);
    return true;
}

bool BiffSegments::u16(quint16* v) {
    quint8 lo = 0, hi = 0;
    if (!u8(&lo) || !u8(&hi)) return false;
    *v = quint16(lo | (hi << 8));
    return true;
}

bool BiffSegments::u32(quint32* v) {
    quint16 lo = 0, hi = 0;
    if (!u16(&lo) || !u16(&hi)) return false;
    *v = quint32(lo) | (quint32(hi) << 16);
    return true;
}

void BiffText::setCodePage(quint16 cp) {
    // Code pages by number, as Windows names them; 1200 (UTF-16) is what
    // Excel 97 and later state, whose one-byte strings are Latin-1 anyway.
    const char* name = nullptr;
    switch (cp) {
    case 367: case 1200: case 1252: case 32769: name = "windows-1252"; break;
    case 437: name = "IBM437"; break;
    case 850: name = "IBM850"; break;
    case 852: name = "IBM852"; break;
    case 866: name = "IBM866"; break;
    case 874: name = "windows-874"; break;
    case 932: name = "Shift_JIS"; break;
    case 936: name = "GB18030"; break;
    case 949: name = "windows-949"; break;
    case 950: name = "Big5"; break;
    case 1250: name = "windows-1250"; break;
    case 1251: name = "windows-1251"; break;
    case 1253: name = "windows-1253"; break;
    case 1254: name = "windows-1254"; break;
    case 1255: name = "windows-1255"; break;
    case 1256: name = "windows-1256"; break;
    case 1257: name = "windows-1257"; break;
    case 1258: name = "windows-1258"; break;
    case 10000: case 32768: name = "macintosh"; break;
    default: name = "windows-1252"; break;
    }
    decoder_ = QStringDecoder(name);
    // Without that code page at hand, Latin-1 keeps at least the ASCII letters.
    latin1_ = !decoder_.isValid();
}

QString BiffText::eightBit(QByteArrayView bytes) {
    if (latin1_) return QString::fromLatin1(bytes);
    decoder_.resetState();
    return decoder_.decode(bytes);
}

bool BiffText::unicodeString(BiffSegments& s, int lenBytes, QString* out) {
    out->clear();
    quint16 cch = 0;
    if (lenBytes == 1) {
        quint8 c = 0;
        if (!s.u8(&c)) return false;
        cch = c;
    } else if (!s.u16(&cch)) {
        return false;
    }
    if (!biff8_) {
        // Excel 5 and 95: one byte per character, in the code page.
        QByteArray bytes;
        while (bytes.size() < cch) {
            const QByteArrayView v = s.take(cch - bytes.size());
            if (v.isEmpty()) return false;
            bytes += v;
        }
        *out = eightBit(bytes);
        return true;
    }
    quint8 flags = 0;
    if (!s.u8(&flags)) return false;
    quint16 runs = 0;
    quint32 ext = 0;
    if ((flags & 0x08) && !s.u16(&runs)) return false;
    if ((flags & 0x04) && !s.u32(&ext)) return false;
    bool wide = flags & 0x01;
    out->reserve(cch);
    qint64 left = cch;
    while (left > 0) {
        if (s.atPartEnd()) {
            // The characters go on in the next part, which says their width anew.
            if (!s.nextPart() || !s.u8(&flags)) return false;
            wide = flags & 0x01;
        }
        const QByteArrayView v = s.take(wide ? left * 2 : left);
        if (v.isEmpty()) return false;
        if (wide) {
            const qsizetype chars = v.size() / 2;
            const qsizetype at = out->size();
            out->resize(at + chars);
            char16_t* to = reinterpret_cast<char16_t*>(out->data()) + at;
            for (qsizetype i = 0; i < chars; ++i) to[i] = qFromLittleEndian<quint16>(v.data() + 2 * i);
            left -= chars;
            if (v.size() % 2) return false;  // half a character: the record is broken
        } else {
            out->append(QLatin1StringView(v.data(), v.size()));
            left -= v.size();
        }
    }
    // Formatting runs and phonetic text: nothing the import shows. When
    // they run short the table simply ends there.
    s.skip(qint64(runs) * 4 + ext);
    return true;
}

}  // namespace sheet::detail
