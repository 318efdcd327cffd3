#include "exchange/sheet/XlsxWriter.h"

#include "exchange/sheet/CellText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <sys/stat.h>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>
#include <xlsxwriter.h>
#include <limits>

#include "exchange/sheet/ZipParts.h"

namespace sheet {

namespace {

// Why a finished zip file is not whole, or empty text when it is: its
// central directory must end the file exactly where its end record says.
// The zip library does not learn of a write that fails when the file is
// closed (a full disk), and would hand over a cut file as a finished one.
QString incompleteZip(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return f.errorString();
    const qint64 size = f.size();
    const qint64 tail = std::min<qint64>(size, 22 + 0xFFFF);
    if (tail < 22 || !f.seek(size - tail)) return QStringLiteral("The file was cut short while being written.");
    const QByteArray t = f.read(tail);
    auto u16 = [&](qsizetype at) { return quint32(quint8(t[at])) | quint32(quint8(t[at + 1])) << 8; };
    auto u32 = [&](qsizetype at) { return u16(at) | u16(at + 2) << 16; };
    for (qsizetype at = t.size() - 22; at >= 0; --at) {
        if (u32(at) != 0x06054b50u) continue;
        const qint64 record = size - tail + at;
        const qint64 cdSize = u32(at + 12), cdOffset = u32(at + 16), comment = u16(at + 20);
        if (record + 22 + comment == size && cdOffset + cdSize == record) return QString();
    }
    return QStringLiteral("The file was cut short while being written (is the disk full?).");
}

// Why a part of a finished workbook is cut short, or empty text when every
// part ends with the end of its root element. The parts are written to
// temporary files first, and the writing library does not notice when
// those fill the disk.
QString cutPart(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return f.errorString();
    detail::ZipParts zip;
    QString why;
    if (!zip.open(&f, Limits(), &why)) return why;
    static const char* const kParts[] = {"[Content_Types].xml", "_rels/.rels", "docProps/app.xml", "docProps/core.xml",
                                         "xl/workbook.xml", "xl/_rels/workbook.xml.rels", "xl/styles.xml",
                                         "xl/theme/theme1.xml", "xl/sharedStrings.xml", "xl/worksheets/sheet1.xml"};
    for (const char* name : kParts) {
        const QString stored = zip.find(QString::fromLatin1(name));
        if (stored.isEmpty()) continue;
        QIODevice* in = zip.stream(stored, std::numeric_limits<qint64>::max() / 2, nullptr, &why);
        if (!in) return why;
        QByteArray head, tail;
        for (;;) {
            const QByteArray chunk = in->read(1 << 16);
            if (chunk.isEmpty()) break;
            if (head.size() < 512) head += chunk.left(512 - head.size());
            tail = (tail + chunk).right(512);
        }
        zip.closeStream();
        // The root element's name: the first tag that is not a declaration.
        qsizetype at = head.indexOf('<');
        while (at >= 0 && at + 1 < head.size() && (head[at + 1] == '?' || head[at + 1] == '!'))
            at = head.indexOf('<', at + 1);
        qsizetype end = at + 1;
        while (at >= 0 && end < head.size() && !QByteArray(" \t\r\n/>").contains(head[end])) ++end;
        const QByteArray root = at >= 0 ? head.mid(at + 1, end - at - 1) : QByteArray();
        const QByteArray last = tail.trimmed();
        if (root.isEmpty() || !(last.endsWith("</" + root + ">") || (last.endsWith("/>") && !last.contains("</"))))
            return QStringLiteral("The part %1 was cut short while being written (is the disk full?).").arg(stored);
    }
    return QString();
}

}  // namespace


// Rows are handed to a thread of their own, which encodes them and passes
// them to libxlsxwriter while the caller reads the next ones from the
// database: on two cores an export then takes about as long as the slower of
// the two, not their sum.
struct XlsxWriter::Impl {
    lxw_workbook* wb = nullptr;
    lxw_worksheet* ws = nullptr;
    lxw_format* bold = nullptr;
    QString temp;
    QByteArray sheetName;
    bool closed = false;

    struct Row {
        int row;
        int column;  // of the first cell
        QStringList cells;
    };
    static constexpr size_t kBatchRows = 512;
    static constexpr size_t kMaxBatches = 8;  // bounds what waits in memory
    std::vector<Row> batch;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<Row>> queue;
    bool finishing = false;
    int failedErr = LXW_NO_ERROR;  // the worker's first failure
    int failedRow = 0;
    std::thread worker;

    void startWorker() {
        if (worker.joinable()) return;
        worker = std::thread([this] { work(); });
    }

    void work() {
        for (;;) {
            std::vector<Row> rows;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [this] { return !queue.empty() || finishing; });
                if (queue.empty()) return;
                rows = std::move(queue.front());
                queue.pop_front();
                changed.notify_all();
                if (failedErr != LXW_NO_ERROR) continue;  // drain, write nothing more
            }
            int err = LXW_NO_ERROR;
            for (auto r = rows.cbegin(); r != rows.cend() && err == LXW_NO_ERROR; ++r) {
                for (int c = 0; c < r->cells.size() && err == LXW_NO_ERROR; ++c) {
                    if (r->cells[c].isEmpty()) continue;
                    const QByteArray u = r->cells[c].toUtf8();  // escaped and cut already
                    err = worksheet_write_string(ws, lxw_row_t(r->row - 1), lxw_col_t(r->column - 1 + c),
                                                       u.constData(), nullptr);
                    if (err != LXW_NO_ERROR) {
                        std::lock_guard lock(mutex);
                        failedErr = err;
                        failedRow = r->row;
                    }
                }
            }
        }
    }

    // Hands the gathered rows over, waiting while the worker is far behind.
    void flush(bool all) {
        if (batch.empty() || (!all && batch.size() < kBatchRows)) return;
        startWorker();
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return queue.size() < kMaxBatches; });
        queue.push_back(std::move(batch));
        batch.clear();
        batch.reserve(kBatchRows);
        changed.notify_all();
    }

    // Waits until every handed-over row is in the workbook.
    void finish() {
        flush(true);
        if (!worker.joinable()) return;
        {
            std::lock_guard lock(mutex);
            finishing = true;
        }
        changed.notify_all();
        worker.join();
        finishing = false;  // a later row starts a new worker
    }

    int failure(int* row) {
        std::lock_guard lock(mutex);
        *row = failedRow;
        return failedErr;
    }
};

double XlsxWriter::widthFor(const QString& title) {
    double w = 0;
    for (const QChar c : title) {
        const ushort u = c.unicode();
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) ||
                          (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF) ||
                          (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
                          (u >= 0xFFE0 && u <= 0xFFE6);
        w += wide ? 2 : 1;
    }
    // Bold type and the cell's margins need a little more.
    return std::max(8.43, w * 1.1 + 2);
}

XlsxWriter::XlsxWriter(const QString& path) : XlsxWriter(path, Options()) {}

XlsxWriter::XlsxWriter(const QString& path, const Options& options) : d_(std::make_unique<Impl>()), path_(path) {
    const QFileInfo target(path);
    const QDir dir = target.absoluteDir();
    if (!dir.exists()) {
        error_ = QStringLiteral("The folder %1 does not exist.").arg(QDir::toNativeSeparators(dir.absolutePath()));
        return;
    }
    // Making the temporary file ourselves tells, in the system's words, why a
    // folder cannot take a file, before any work is done.
    QTemporaryFile tmp(dir.filePath(QStringLiteral(".") + target.completeBaseName() + QStringLiteral("-XXXXXX.tmp")));
    tmp.setAutoRemove(false);
    if (!tmp.open()) {
        error_ = QStringLiteral("No file can be written in the folder %1: %2.")
                     .arg(QDir::toNativeSeparators(dir.absolutePath()), tmp.errorString());
        return;
    }
    d_->temp = tmp.fileName();
    tmp.close();
    // Qt may make the file unnamed first and then fail to give it its name,
    // as with a name too long for the folder.
    if (d_->temp.isEmpty()) {
        error_ = QStringLiteral("No file of that name can be written in the folder %1: the name is too long.")
                     .arg(QDir::toNativeSeparators(dir.absolutePath()));
        return;
    }
    lxw_workbook_options opt{};
    opt.constant_memory = options.constantMemory ? LXW_TRUE : LXW_FALSE;
    opt.use_zip64 = LXW_TRUE;
    d_->wb = workbook_new_opt(QFile::encodeName(d_->temp).constData(), &opt);
    if (!d_->wb) {
        error_ = QStringLiteral("The workbook cannot be created (out of memory).");
        QFile::remove(d_->temp);
        return;
    }
    d_->sheetName = options.sheetName.left(31).toUtf8();
    d_->ws = workbook_add_worksheet(d_->wb, d_->sheetName.isEmpty() ? nullptr : d_->sheetName.constData());
    d_->bold = workbook_add_format(d_->wb);
    if (!d_->ws || !d_->bold) {
        error_ = QStringLiteral("The worksheet cannot be created.");
        return;
    }
    format_set_bold(d_->bold);
}

XlsxWriter::~XlsxWriter() { discard(); }

// The library's message for an error, without its closing full stop (ours follows).
QString XlsxWriter::libraryMessage(int err) {
    QString m = QString::fromUtf8(lxw_strerror(lxw_error(err)));
    while (m.endsWith(QLatin1Char('.'))) m.chop(1);
    return m;
}

bool XlsxWriter::check(int err, const QString& what) {
    if (err == LXW_NO_ERROR) return true;
    if (error_.isEmpty()) error_ = QStringLiteral("%1: %2.").arg(what, libraryMessage(err));
    return false;
}

bool XlsxWriter::writable() {
    if (!ok() || !d_->ws) return false;
    if (d_->closed || !d_->wb) {
        error_ = QStringLiteral("The workbook was already written or dropped.");
        return false;
    }
    return true;
}

bool XlsxWriter::setTitles(const QStringList& titles) {
    if (!writable()) return false;
    d_->finish();  // the sheet is the writer thread's while it has rows
    for (int c = 0; c < titles.size(); ++c)
        if (!check(worksheet_set_column(d_->ws, lxw_col_t(c), lxw_col_t(c), widthFor(titles[c]), nullptr),
                   QStringLiteral("Setting a column width")))
            return false;
    worksheet_freeze_panes(d_->ws, 1, 0);
    for (int c = 0; c < titles.size(); ++c) {
        bool cut = false;
        const QByteArray t = workbookCellText(titles[c], kMaxCellChars, &cut).toUtf8();
        if (!check(worksheet_write_string(d_->ws, 0, lxw_col_t(c), t.constData(), d_->bold),
                   QStringLiteral("Writing the title row")))
            return false;
    }
    return true;
}

bool XlsxWriter::setCell(int row, int column, const QString& text) { return writeCells(row, column, {text}); }

bool XlsxWriter::writeRow(int row, const QStringList& cells) { return writeCells(row, 1, cells); }

bool XlsxWriter::writeCells(int row, int column, const QStringList& cells) {
    if (!writable()) return false;
    int failedRow = 0;
    if (const int err = d_->failure(&failedRow); err != LXW_NO_ERROR)
        return check(err, QStringLiteral("Writing row %1").arg(failedRow));
    if (row < 1 || row > 1048576 || column < 1 || column - 1 + cells.size() > 16384) {
        error_ = QStringLiteral("Cell %1, %2 lies outside a sheet.").arg(row).arg(column - 1 + cells.size());
        return false;
    }
    // Escaped first, then cut: the escapes count against the cell's length,
    // and a cell the library would refuse as too long would end the export.
    QStringList kept;
    kept.reserve(cells.size());
    for (const QString& t : cells) {
        bool cut = false;
        kept << workbookCellText(t, kMaxCellChars, &cut);
        if (cut) ++truncated_;
    }
    d_->batch.push_back({row, column, std::move(kept)});
    d_->flush(false);
    return true;
}

bool XlsxWriter::commit() {
    if (!d_->wb || d_->closed) {
        if (error_.isEmpty()) error_ = QStringLiteral("The workbook was already written or dropped.");
        return false;
    }
    d_->finish();
    int failedRow = 0;
    if (const int err = d_->failure(&failedRow); err != LXW_NO_ERROR)
        check(err, QStringLiteral("Writing row %1").arg(failedRow));
    if (!ok()) {
        discard();
        return false;
    }
    d_->closed = true;
    errno = 0;
    const lxw_error err = workbook_close(d_->wb);
    const int errorNumber = errno;
    d_->wb = nullptr;
    if (err != LXW_NO_ERROR) {
        // The library's words for a full disk name a zip function; the user
        // needs to hear that the disk is full.
        QString why = noRoomReason(QFileInfo(d_->temp).absolutePath(), errorNumber);
        if (why.isEmpty()) why = noRoomReason(QDir::tempPath(), errorNumber);
        if (why.isEmpty()) why = libraryMessage(err);
        error_ = QStringLiteral("The workbook could not be written: %1.").arg(why);
        QFile::remove(d_->temp);
        return false;
    }
    // Whole, or the old file keeps its name.
    QString why = incompleteZip(d_->temp);
    if (why.isEmpty()) why = cutPart(d_->temp);
    if (!why.isEmpty()) {
        error_ = QStringLiteral("The workbook could not be written: %1").arg(why);
        QFile::remove(d_->temp);
        return false;
    }
    // The temporary file was made for this user only; the workbook gets the
    // permissions any new file of the user gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(d_->temp).constData(), 0666 & ~mask);
    // rename() replaces the target in one step: readers see the old file or
    // the new one, never a part of either.
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(d_->temp).toStdString()),
                            std::filesystem::path(QFile::encodeName(path_).toStdString()), ec);
    if (ec) {
        error_ = QStringLiteral("The finished workbook could not be given its name: %1.")
                     .arg(QString::fromLocal8Bit(ec.message().c_str()));
        QFile::remove(d_->temp);
        return false;
    }
    return true;
}

void XlsxWriter::discard() {
    if (!d_) return;
    if (d_->worker.joinable()) {
        {
            std::lock_guard lock(d_->mutex);
            d_->queue.clear();  // nothing waiting is wanted any more
            d_->batch.clear();
        }
        d_->finish();
    }
    if (d_->wb && !d_->closed) {
        d_->closed = true;
        lxw_workbook_free(d_->wb);  // frees without writing anything out
        d_->wb = nullptr;
    }
    if (!d_->temp.isEmpty() && QFile::exists(d_->temp)) QFile::remove(d_->temp);
}

}  // namespace sheet
