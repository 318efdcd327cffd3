#include "toolkit/report/Output.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QProgressDialog>
#include <QSaveFile>
#include <QTemporaryFile>

#include "toolkit/DialogService.h"
#include "toolkit/report/Layout.h"
#include "toolkit/report/Paint.h"

namespace report {

namespace {

// A file written under a temporary name in the folder of its final name,
// which it takes only when commit() is called; otherwise it goes away.
class FileBeside {
public:
    explicit FileBeside(const QString& path) : final_(QFileInfo(path).absoluteFilePath()) {
        const QFileInfo fi(final_);
        QTemporaryFile t(fi.absolutePath() + QStringLiteral("/.") + fi.completeBaseName() +
                         QStringLiteral("-XXXXXX.part"));
        t.setAutoRemove(false);
        if (!t.open()) {
            error_ = t.errorString();
            return;
        }
        temp_ = t.fileName();
    }
    ~FileBeside() {
        if (!temp_.isEmpty() && !committed_) QFile::remove(temp_);
    }
    bool ok() const { return !temp_.isEmpty(); }
    QString temp() const { return temp_; }
    QString error() const { return error_; }
    bool commit() {
        if (QFile::exists(final_) && !QFile::remove(final_)) {
            error_ = QCoreApplication::translate("report", "The file could not be replaced.");
            return false;
        }
        if (!QFile::rename(temp_, final_)) {
            error_ = QCoreApplication::translate("report", "The file could not be renamed.");
            return false;
        }
        committed_ = true;
        return true;
    }

private:
    QString final_, temp_, error_;
    bool committed_ = false;
};

// A progress window with Cancel that shows itself only when the run takes a while.
class ProgressWindow {
public:
    ProgressWindow(const QString& what, QWidget* parent)
        : what_(what), dlg_(what, QCoreApplication::translate("report", "Cancel"), 0, 1, parent) {
        dlg_.setWindowModality(Qt::WindowModal);
        dlg_.setMinimumDuration(500);
        dlg_.setAutoClose(false);
        dlg_.setAutoReset(false);
        dlg_.setValue(0);
    }
    bool operator()(int done, int known, bool complete) {
        dlg_.setMaximum(complete ? known : std::max(known, done) + 1);
        dlg_.setLabelText(complete ? QCoreApplication::translate("report", "%1: page %2 of %3").arg(what_).arg(done).arg(known)
                                   : QCoreApplication::translate("report", "%1: page %2").arg(what_).arg(done));
        dlg_.setValue(done);
        QCoreApplication::processEvents();
        return !dlg_.wasCanceled();
    }

private:
    QString what_;
    QProgressDialog dlg_;
};

void tellFailure(const QString& text, const QString& title, const QString& detail) {
    toolkit::dialogs().message(text, title, toolkit::Icon::Warning, QMessageBox::Ok, detail);
}

}  // namespace

Outcome paintPages(Document& doc, QPagedPaintDevice& device, QPainter& painter, int from, int to,
                   const PageProgress& progress) {
    Outcome out;
    bool first = true;
    for (int n = std::max(1, from); to <= 0 || n <= to; ++n) {
        const auto page = doc.page(n - 1);
        if (!page) break;
        if (!first && !device.newPage()) {
            out.result = Outcome::Failed;
            out.error = QCoreApplication::translate("report", "A new page could not be started.");
            return out;
        }
        first = false;
        painter.save();
        mapReportPixels(painter, &device);
        paintPage(painter, *page);
        painter.restore();
        ++out.pages;
        if (progress && !progress(out.pages, doc.knownPages(), doc.complete())) {
            out.result = Outcome::Cancelled;
            return out;
        }
    }
    return out;
}

Outcome writePdf(Document& doc, const QString& path, const PageProgress& progress) {
    Outcome out;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        out.result = Outcome::Failed;
        out.error = file.errorString();
        return out;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(devicePageLayout(doc.definition().page));
        writer.setTitle(doc.definition().title);
        writer.setCreator(QCoreApplication::applicationName());
        QPainter painter;
        if (!painter.begin(&writer)) {
            out.result = Outcome::Failed;
            out.error = QCoreApplication::translate("report", "The PDF writer could not start.");
            file.cancelWriting();
            return out;
        }
        out = paintPages(doc, writer, painter, 1, 0, progress);
        painter.end();
    }
    if (out.result != Outcome::Done) {
        file.cancelWriting();
        return out;
    }
    if (!file.commit()) {
        out.result = Outcome::Failed;
        out.error = file.errorString();
    }
    return out;
}

void setUpPrinter(QPrinter& printer, const Document& doc, const QString& title) {
    printer.setPageLayout(devicePageLayout(doc.definition().page));
    // The report places everything from the paper's corner itself.
    printer.setFullPage(true);
    printer.setDocName(title);
    printer.setCreator(QCoreApplication::applicationName());
}

Outcome printOn(Document& doc, QPrinter& printer, const PageProgress& progress) {
    Outcome out;
    // The dialog may have changed the paper; the report's own orientation stays.
    printer.setPageOrientation(doc.definition().page.orientation);
    printer.setFullPage(true);
    std::unique_ptr<FileBeside> file;
    QString finalName;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        finalName = printer.outputFileName();
        file = std::make_unique<FileBeside>(finalName);
        if (!file->ok()) {
            out.result = Outcome::Failed;
            out.error = file->error();
            return out;
        }
        printer.setOutputFileName(file->temp());
    }
    int from = 1, to = 0;
    if (printer.printRange() == QPrinter::PageRange) {
        from = std::max(1, printer.fromPage());
        to = printer.toPage();
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (file) printer.setOutputFileName(finalName);
        out.result = Outcome::Failed;
        out.error = QCoreApplication::translate("report", "The printer could not start.");
        return out;
    }
    // Copies the printer does not make itself are printed one after another.
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0 && !printer.newPage()) break;
        const Outcome part = paintPages(doc, printer, painter, from, to, progress);
        out.pages += part.pages;
        if (part.result != Outcome::Done) {
            out.result = part.result;
            out.error = part.error;
            break;
        }
    }
    if (out.result == Outcome::Cancelled) printer.abort();
    if (painter.isActive()) painter.end();
    if (file) {
        printer.setOutputFileName(finalName);
        if (out.result == Outcome::Done && !file->commit()) {
            out.result = Outcome::Failed;
            out.error = file->error();
        }
    }
    return out;
}

bool printWithDialog(Document& doc, const QString& title, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer, doc, title);
    if (!toolkit::dialogs().print(printer, title)) return false;
    ProgressWindow progress(QCoreApplication::translate("report", "Printing"), parent);
    const Outcome out = printOn(doc, printer, std::ref(progress));
    if (out.result == Outcome::Failed) {
        const QString where = printer.outputFormat() == QPrinter::PdfFormat
                                  ? QDir::toNativeSeparators(printer.outputFileName())
                                  : printer.printerName();
        tellFailure(QCoreApplication::translate("report", "The report could not be printed to %1.").arg(where), title,
                    out.error);
    }
    return out.result == Outcome::Done;
}

bool savePdfWithProgress(Document& doc, const QString& path, const QString& title, QWidget* parent) {
    ProgressWindow progress(QCoreApplication::translate("report", "Writing PDF"), parent);
    const Outcome out = writePdf(doc, path, std::ref(progress));
    if (out.result == Outcome::Failed)
        tellFailure(QCoreApplication::translate("report", "The PDF file %1 could not be written.")
                        .arg(QDir::toNativeSeparators(path)),
                    title, out.error);
    return out.result == Outcome::Done;
}

}  // namespace report
