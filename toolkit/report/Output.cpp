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

#include "toolkit/Busy.h"
#include "toolkit/DialogService.h"
#include "toolkit/SafeWrite.h"
#include "toolkit/report/Layout.h"
#include "toolkit/report/Paint.h"

namespace report {

namespace {

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
    toolkit::BusyScope busy_;
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

namespace {

// The pages from..to, copies times over, as a PDF file at path on the page
// layout given. The file is written under a temporary name beside path and
// takes its name only when every byte of it was written, so a cancelled or
// failed run leaves whatever was there before.
Outcome writePdfFile(Document& doc, const QString& path, const QPageLayout& layout, int from, int to, int copies,
                     const PageProgress& progress) {
    Outcome out;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        out.result = Outcome::Failed;
        out.error = file.errorString();
        return out;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(layout);
        writer.setTitle(doc.definition().title);
        writer.setCreator(QCoreApplication::applicationName());
        QPainter painter;
        if (!painter.begin(&writer)) {
            out.result = Outcome::Failed;
            out.error = QCoreApplication::translate("report", "The PDF writer could not start.");
            file.cancelWriting();
            return out;
        }
        for (int copy = 0; copy < copies && out.result == Outcome::Done; ++copy) {
            if (copy > 0 && !writer.newPage()) break;
            const Outcome part = paintPages(doc, writer, painter, from, to, progress);
            out.pages += part.pages;
            out.result = part.result;
            out.error = part.error;
        }
        painter.end();
    }
    if (out.result != Outcome::Done) {
        file.cancelWriting();
        return out;
    }
    QString why;
    if (!toolkit::commitWhole(file, &why)) {
        out.result = Outcome::Failed;
        out.error = why;
    }
    return out;
}

}  // namespace

Outcome writePdf(Document& doc, const QString& path, const PageProgress& progress) {
    return writePdfFile(doc, path, devicePageLayout(doc.definition().page), 1, 0, 1, progress);
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
    int from = 1, to = 0;
    if (printer.printRange() == QPrinter::PageRange) {
        from = std::max(1, printer.fromPage());
        to = printer.toPage();
    }
    // Copies the printer does not make itself are printed one after another.
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    // A PDF file the print dialog named is written as "Save as PDF" writes
    // one: whole or not at all, with the user's usual permissions.
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return writePdfFile(doc, printer.outputFileName(), printer.pageLayout(), from, to, copies, progress);
    QPainter painter;
    if (!painter.begin(&printer)) {
        out.result = Outcome::Failed;
        out.error = QCoreApplication::translate("report", "The printer could not start.");
        return out;
    }
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
    return out;
}

bool countPages(Document& doc, QWidget* parent) {
    if (doc.complete()) return true;
    const toolkit::BusyScope busy;
    QProgressDialog dlg(QCoreApplication::translate("report", "Counting the pages"),
                        QCoreApplication::translate("report", "Cancel"), 0, 0, parent);
    dlg.setWindowModality(Qt::WindowModal);
    dlg.setMinimumDuration(300);
    while (!doc.countAhead(50)) {
        dlg.setLabelText(QCoreApplication::translate("report", "Counting the pages: %1").arg(doc.knownPages()));
        QCoreApplication::processEvents();
        if (dlg.wasCanceled()) return false;
    }
    return true;
}

bool printWithDialog(Document& doc, const QString& title, QWidget* parent, QString* file) {
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer, doc, title);
    // The dialog's page range offers every page, so they are known first.
    if (!countPages(doc, parent)) return false;
    if (!toolkit::dialogs().print(printer, title, std::max(1, doc.knownPages()))) return false;
    if (file) *file = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
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
