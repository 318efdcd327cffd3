#pragma once
// Text workbooks (.csv, .txt): which encoding and which separator a file
// uses, decided from its bytes.
#include <QByteArray>
#include <QString>

namespace sheet {

struct TextEncoding {
    QString name;     // "UTF-8", "UTF-16LE", "UTF-16BE", "GB18030" or "Windows-1252"
    int bomBytes = 0;  // bytes of the byte order mark to skip
    // UTF-8 text holding bytes that are not UTF-8 (damage, or a piece pasted
    // in from a file of another encoding): the offset of the first; else -1.
    qsizetype badByte = -1;
};

// A byte order mark decides; without one, UTF-16 is recognised by its zero
// bytes, valid UTF-8 is UTF-8, and legacy bytes are GB18030 when they pair
// up as Chinese characters do, Windows-1252 otherwise. Text that is
// mostly UTF-8 with a few bytes that are not is UTF-8 with badByte set:
// read in any encoding, part of it would come in garbled.
TextEncoding detectTextEncoding(const QByteArray& data);

// Comma, semicolon or tab: the one found the same number of times on the
// most lines (outside quotes). A first line "sep=;" names it outright.
QChar detectSeparator(QStringView text, bool* sepLine = nullptr);

}  // namespace sheet
