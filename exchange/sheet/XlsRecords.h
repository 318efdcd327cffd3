#pragma once
// The record layer of .xls workbook streams: records with the CONTINUE
// records that carry their overflow, and the strings inside them, each read
// only as far as the bytes go.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QtEndian>
#include <cstring>
#include <vector>

namespace sheet::detail {

// One record: its own body and the bodies of the CONTINUE records after it.
// Fixed fields are read from the body; past its end they read as zero.
struct BiffRecord {
    quint16 type = 0;
    std::vector<QByteArrayView> parts;

    int size() const { return parts.empty() ? 0 : int(parts[0].size()); }
    qint64 bytes() const {
        qint64 n = 0;
        for (const QByteArrayView& p : parts) n += p.size();
        return n;
    }
    quint8 u8(int at) const { return at >= 0 && at + 1 <= size() ? quint8(parts[0][at]) : 0; }
    quint16 u16(int at) const { return at >= 0 && at + 2 <= size() ? qFromLittleEndian<quint16>(parts[0].data() + at) : 0; }
    quint32 u32(int at) const { return at >= 0 && at + 4 <= size() ? qFromLittleEndian<quint32>(parts[0].data() + at) : 0; }
    double f64(int at) const {
        if (at < 0 || at + 8 > size()) return 0;
        const quint64 bits = qFromLittleEndian<quint64>(parts[0].data() + at);
        double d;
        memcpy(&d, &bits, sizeof d);
        return d;
    }
};

// Walks the records of a stream from a position.
class BiffWalker {
public:
    BiffWalker(const QByteArray& stream, qint64 from) : s_(stream), pos_(from) {}
    // The next record with its continuations; false at the end of the
    // stream or when a record runs past it (failed() then tells).
    bool next(BiffRecord* r);
    bool failed() const { return failed_; }
    QString why() const { return why_; }

private:
    const QByteArray& s_;
    qint64 pos_;
    bool failed_ = false;
    QString why_;
};

// Reads the parts of a record as one run of bytes, except that characters
// continuing into the next part start there with a fresh options byte.
class BiffSegments {
public:
    explicit BiffSegments(const std::vector<QByteArrayView>& parts) : parts_(parts) {}
    bool atEnd();
    bool skip(qint64 n);
    bool u8(quint8* v);
    bool u16(quint16* v);
    bool u32(quint32* v);
    // Up to n bytes of the current part (at least one unless at the end).
    QByteArrayView take(qint64 n);
    // At the end of a part with more to come: moves to the next one.
    bool nextPart();
    bool atPartEnd() const { return part_ < parts_.size() && at_ >= parts_[part_].size(); }

private:
    const std::vector<QByteArrayView>& parts_;
    size_t part_ = 0;
    qsizetype at_ = 0;
};

// Strings of the workbook: UTF-16 or one byte per character (Latin-1 in
// Excel 97 and later, the workbook's code page in Excel 5 and 95).
class BiffText {
public:
    void setBiff8(bool on) { biff8_ = on; }
    void setCodePage(quint16 cp);
    // A string with a length of lenBytes (1 or 2) bytes in front.
    bool unicodeString(BiffSegments& s, int lenBytes, QString* out);

private:
    QString eightBit(QByteArrayView bytes);

    bool biff8_ = true;
    QStringDecoder decoder_;
    bool latin1_ = true;
};

}  // namespace sheet::detail
