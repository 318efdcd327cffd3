#include "exchange/sheet/XlsxWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <sys/stat.h>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>
#include <xlsxwriter.h>

namespace sheet {

namespace {

// In a workbook "_x0041_" stands for the character U+0041, so a text that
// holds such a sequence itself has its underscore written as "_x005F_".
QString escapeUnderscores(const QString& t) {
    if (!t.contains(QLatin1String("_x"))) return t;
    QString out;
    out.reserve(t.size() + 8);
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t[i] == QLatin1Char('_') && i + 6 < t.size() && t[i + 1] == QLatin1Char('x') && t[i + 6] == QLatin1Char('_')) {
            bool hex = true;
            for (int k = 2; k < 6; ++k) hex = hex && isxdigit(t[i + k].toLatin1());
            if (hex) {
                out += QLatin1String("_x005F_");
                continue;
            }
        }
        out += t[i];
    }
    return out;
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
                    const QByteArray u = escapeUnderscores(r->cells[c]).toUtf8();
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

bool XlsxWriter::check(int err, const QString& what) {
    if (err == LXW_NO_ERROR) return true;
    if (error_.isEmpty()) error_ = QStringLiteral("%1: %2.").arg(what, QString::fromUtf8(lxw_strerror(lxw_error(err))));
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
        const QByteArray t = escapeUnderscores(titles[c]).toUtf8();
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
    QStringList kept = cells;
    for (QString& t : kept) {
        if (t.size() <= kMaxCellChars) continue;
        int cut = kMaxCellChars;
        if (t[cut - 1].isHighSurrogate()) --cut;  // never half a character
        t.truncate(cut);
        ++truncated_;
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
    const lxw_error err = workbook_close(d_->wb);
    d_->wb = nullptr;
    if (err != LXW_NO_ERROR) {
        error_ = QStringLiteral("The workbook could not be written: %1.").arg(QString::fromUtf8(lxw_strerror(err)));
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
