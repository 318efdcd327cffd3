#include "exchange/sheet/Workbook.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <vector>

#include "exchange/sheet/BigAlloc.h"
#include "exchange/sheet/CompoundFile.h"
#include "exchange/sheet/Readers.h"
#include "exchange/sheet/SheetStore.h"

namespace sheet {

using detail::CellRec;

// ---- the active sheet --------------------------------------------------------

Worksheet::Worksheet() : d_(std::make_shared<detail::SheetData>()) {}
Worksheet::~Worksheet() = default;
Worksheet::Worksheet(const Worksheet&) = default;
Worksheet& Worksheet::operator=(const Worksheet&) = default;

QString Worksheet::name() const { return d_->name; }
int Worksheet::rowCount() const { return d_->rows; }
int Worksheet::columnCount() const { return d_->cols; }
qint64 Worksheet::storedCells() const { return qint64(d_->cells.size()); }

CellKind Worksheet::kind(int row, int column) const {
    const CellRec* c = d_->find(row, column);
    return c ? CellKind(c->kind) : CellKind::Empty;
}

Cell Worksheet::cell(int row, int column) const {
    const CellRec* c = d_->find(row, column);
    return c ? d_->cell(*c) : Cell();
}

QString Worksheet::text(int row, int column) const {
    const CellRec* c = d_->find(row, column);
    return c ? d_->text(*c) : QString();
}

QVariant Worksheet::value(int row, int column) const {
    const CellRec* c = d_->find(row, column);
    return c ? d_->value(*c) : QVariant();
}

QString Worksheet::valueText(int row, int column) const {
    const CellRec* c = d_->find(row, column);
    return c ? d_->valueText(*c) : QString();
}

bool Worksheet::rowIsEmpty(int row) const {
    if (row < 1 || row > d_->rows) return true;
    CellRec key;
    key.row = quint32(row);
    key.col = 0;
    const auto it = std::lower_bound(d_->cells.begin(), d_->cells.end(), key, [](const CellRec& a, const CellRec& b) {
        return a.row != b.row ? a.row < b.row : a.col < b.col;
    });
    return it == d_->cells.end() || it->row != quint32(row);
}

// ---- the workbook ------------------------------------------------------------

Workbook::Workbook(Parts parts)
    : format_(parts.format), sheetNames_(parts.sheetNames), active_(parts.active), date1904_(parts.date1904), readers_(parts.readers) {
    if (parts.sheet) sheet_.d_ = parts.sheet;
}

Workbook::~Workbook() = default;

QString formatName(Format f) {
    switch (f) {
    case Format::Xlsx: return QStringLiteral("Excel workbook (.xlsx)");
    case Format::Ods: return QStringLiteral("OpenDocument spreadsheet (.ods)");
    case Format::Xls: return QStringLiteral("Excel 97-2003 workbook (.xls)");
    case Format::Csv: return QStringLiteral("text file (.csv, .txt)");
    }
    return QString();
}

namespace {

const char kNotAWorkbook[] =
    "The file is not a workbook this program can read. It reads Excel workbooks (.xlsx, .xlsm, .xls), "
    "OpenDocument spreadsheets (.ods) and text files with separated values (.csv, .txt).";

bool startsWith(const QByteArray& head, const char* magic, int n) {
    return head.size() >= n && memcmp(head.constData(), magic, size_t(n)) == 0;
}

// Old Excel 2.x to 4.x worksheets: a bare BIFF stream, no container.
bool looksLikeOldBiff(const QByteArray& head) {
    if (head.size() < 4) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(head.constData());
    const int type = p[0] | (p[1] << 8);
    return (type == 0x0009 || type == 0x0209 || type == 0x0409 || type == 0x0809) && p[3] == 0;
}

// Bytes that no text file holds: NUL outside UTF-16, and most control characters.
bool looksBinary(const QByteArray& sample) {
    qsizetype control = 0;
    for (const char ch : sample) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != 0x0C && c != 0x1A) ++control;
    }
    return control * 20 > sample.size();
}

std::unique_ptr<Workbook> fromZip(QIODevice* dev, const detail::ReadContext& cx) {
    detail::ZipParts zip;
    QString why;
    if (!zip.open(dev, cx.limits, &why)) return cx.fail(Failure::Damaged, why);
    const QString wbPart = detail::xlsxWorkbookPart(zip, cx.limits);
    if (!wbPart.isEmpty()) return detail::readXlsx(zip, wbPart, cx);
    const QString mime = zip.find(QStringLiteral("mimetype"));
    QByteArray type;
    if (!mime.isEmpty()) zip.readAll(mime, 4096, &type, &why);
    const QString t = QString::fromLatin1(type).trimmed();
    if (t.startsWith(QLatin1String("application/vnd.oasis.opendocument.spreadsheet")) ||
        (t.isEmpty() && !zip.find(QStringLiteral("content.xml")).isEmpty()))
        return detail::readOds(zip, cx);
    if (t.startsWith(QLatin1String("application/vnd.oasis.opendocument.")))
        return cx.fail(Failure::NotAWorkbook, QStringLiteral("The file is an OpenDocument file of another kind "
                                                             "(%1), not a spreadsheet.")
                                                  .arg(t.mid(35)));
    if (!zip.find(QStringLiteral("word/document.xml")).isEmpty())
        return cx.fail(Failure::NotAWorkbook, QStringLiteral("The file is a Word document, not a workbook."));
    if (!zip.find(QStringLiteral("ppt/presentation.xml")).isEmpty())
        return cx.fail(Failure::NotAWorkbook, QStringLiteral("The file is a presentation, not a workbook."));
    return cx.fail(Failure::NotAWorkbook, QString::fromLatin1(kNotAWorkbook));
}

std::unique_ptr<Workbook> fromCompound(const QByteArray& data, const detail::ReadContext& cx) {
    detail::CompoundFile cf;
    QString why;
    if (!cf.open(&data, &why)) return cx.fail(Failure::Damaged, why);
    if (!cf.find(QStringLiteral("EncryptedPackage")).isEmpty() || !cf.find(QStringLiteral("EncryptionInfo")).isEmpty())
        return cx.fail(Failure::Encrypted, QStringLiteral("The workbook is protected by a password. Save it without a "
                                                          "password and try again."));
    if (!cf.find(QStringLiteral("Workbook")).isEmpty() || !cf.find(QStringLiteral("Book")).isEmpty())
        return detail::readXls(data, cx);
    if (!cf.find(QStringLiteral("WordDocument")).isEmpty())
        return cx.fail(Failure::NotAWorkbook, QStringLiteral("The file is a Word document, not a workbook."));
    return cx.fail(Failure::NotAWorkbook, QString::fromLatin1(kNotAWorkbook));
}

// Everything but the zip: decided on the bytes.
std::unique_ptr<Workbook> fromBytes(const QByteArray& data, const detail::ReadContext& cx) {
    if (detail::looksLikeCompoundFile(data)) return fromCompound(data, cx);
    if (looksLikeOldBiff(data))
        return cx.fail(Failure::Unsupported, QStringLiteral("The file is a worksheet of Excel 4.0 or older, which this "
                                                            "program does not read. Save it as .xlsx."));
    if (data.isEmpty()) return cx.fail(Failure::NotAWorkbook, QStringLiteral("The file is empty."));
    const QByteArray head = data.left(8);
    if (startsWith(head, "%PDF", 4) || startsWith(head, "\x89PNG", 4) || startsWith(head, "\xFF\xD8\xFF", 3) ||
        startsWith(head, "GIF8", 4) || startsWith(head, "Rar!", 4) || startsWith(head, "\x1F\x8B", 2) ||
        startsWith(head, "7z\xBC\xAF", 4))
        return cx.fail(Failure::NotAWorkbook, QString::fromLatin1(kNotAWorkbook));
    const QByteArray sample = data.left(65536);
    const bool utf16 = (sample.size() >= 2 && ((uchar(sample[0]) == 0xFF && uchar(sample[1]) == 0xFE) ||
                                              (uchar(sample[0]) == 0xFE && uchar(sample[1]) == 0xFF))) ||
                       sample.count('\0') * 4 >= sample.size();
    if (!utf16 && looksBinary(sample)) return cx.fail(Failure::NotAWorkbook, QString::fromLatin1(kNotAWorkbook));
    const QByteArray lower = sample.left(512).trimmed().toLower();
    if (lower.startsWith("<?xml") || lower.startsWith("<html") || lower.startsWith("<!doctype html"))
        return cx.fail(Failure::Unsupported, QStringLiteral("The file is a web page or an XML file, not a workbook "
                                                            "this program reads. Save it as .xlsx."));
    return detail::readText(data, cx);
}

std::unique_ptr<Workbook> openDevice(QIODevice* dev, qint64 size, const OpenOptions& options, QString* error,
                                     Failure* failure, std::function<std::unique_ptr<QIODevice>()> reopen) {
    detail::ProgressMeter meter(options.progress);
    detail::ReadContext cx;
    cx.limits = options.limits;
    cx.meter = &meter;
    cx.error = error;
    cx.failure = failure;
    cx.generalXmlOnly = options.generalXmlOnly;
    cx.twoThreadsFrom = options.twoThreadsFrom;
    cx.reopen = std::move(reopen);
    if (size > options.limits.maxFileBytes)
        return cx.fail(Failure::TooLarge, QStringLiteral("The file is %L1 bytes long, more than this program reads.").arg(size));
    const QByteArray head = dev->peek(8);
    std::unique_ptr<Workbook> wb;
    if (startsWith(head, "PK\x03\x04", 4) || startsWith(head, "PK\x05\x06", 4)) {
        wb = fromZip(dev, cx);
    } else {
        const bool text = !detail::looksLikeCompoundFile(head) && !looksLikeOldBiff(head);
        if (text && size > options.limits.maxTextFileBytes)
            return cx.fail(Failure::TooLarge, QStringLiteral("The text file is %L1 bytes long, more than this program "
                                                             "reads.")
                                                  .arg(size));
        // An .xls of many megabytes lands in memory marked for huge pages
        // (see BigAlloc.h): a few page faults instead of thousands, which
        // halves its opening. The readers keep nothing of it; it goes when
        // the workbook is read.
        std::vector<char, detail::BigAllocator<char>> whole;
        QByteArray data;
        if (!text) {
            whole.resize(size_t(size));
            const qint64 got = dev->read(whole.data(), size);
            data = QByteArray::fromRawData(whole.data(), qsizetype(std::max<qint64>(got, 0)));
        } else {
            data = dev->readAll();
        }
        if (data.size() != size)
            return cx.fail(Failure::Unreadable, QStringLiteral("The file cannot be read whole: %1").arg(dev->errorString()));
        wb = fromBytes(data, cx);
    }
    if (meter.cancelled()) return cx.fail(Failure::Cancelled, QStringLiteral("Reading was cancelled."));
    if (!wb && error && error->isEmpty()) cx.fail(Failure::Damaged, QStringLiteral("The workbook cannot be read."));
    return wb;
}

}  // namespace

std::unique_ptr<Workbook> Workbook::open(const QString& path, QString* error, const OpenOptions& options,
                                         Failure* failure) {
    QString localError;
    Failure localFailure = Failure::None;
    if (!error) error = &localError;
    if (!failure) failure = &localFailure;
    error->clear();
    *failure = Failure::None;
    const QFileInfo fi(path);
    if (!fi.exists()) {
        *failure = Failure::Unreadable;
        *error = QStringLiteral("The file does not exist.");
        return nullptr;
    }
    if (fi.isDir()) {
        *failure = Failure::Unreadable;
        *error = QStringLiteral("That is a folder, not a file.");
        return nullptr;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *failure = Failure::Unreadable;
        *error = QStringLiteral("The file cannot be opened: %1.").arg(f.errorString());
        return nullptr;
    }
    const QString full = fi.absoluteFilePath();
    auto wb = openDevice(&f, f.size(), options, error, failure, [full]() -> std::unique_ptr<QIODevice> {
        auto again = std::make_unique<QFile>(full);
        if (!again->open(QIODevice::ReadOnly)) return nullptr;
        return again;
    });
    if (wb && wb->format_ == Format::Csv) {
        wb->sheetNames_ = QStringList{fi.completeBaseName()};
        auto d = std::const_pointer_cast<detail::SheetData>(wb->sheet_.d_);
        d->name = fi.completeBaseName();
    }
    return wb;
}

std::unique_ptr<Workbook> Workbook::openData(const QByteArray& data, QString* error, const OpenOptions& options,
                                             Failure* failure) {
    QString localError;
    Failure localFailure = Failure::None;
    if (!error) error = &localError;
    if (!failure) failure = &localFailure;
    error->clear();
    *failure = Failure::None;
    QByteArray copy = data;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    return openDevice(&buf, copy.size(), options, error, failure, [&copy]() -> std::unique_ptr<QIODevice> {
        auto again = std::make_unique<QBuffer>(&copy);
        again->open(QIODevice::ReadOnly);
        return again;
    });
}

}  // namespace sheet
