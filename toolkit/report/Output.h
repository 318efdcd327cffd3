#pragma once
// A report's pages onto paper or into a PDF file.
#include <QString>
#include <functional>

class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QWidget;

namespace report {

class Document;

// Told after each page written (pages written, pages known, whether that is
// all of them); returning false stops the run.
using PageProgress = std::function<bool(int done, int known, bool complete)>;

struct Outcome {
    enum Result { Done, Cancelled, Failed } result = Done;
    QString error;   // Failed: why
    int pages = 0;   // pages written
};

// Writes pages from..to (from 1; to 0 or past the end: to the last page) on a
// paged device whose painter has begun, a new page before each but the first.
Outcome paintPages(Document& doc, QPagedPaintDevice& device, QPainter& painter, int from = 1, int to = 0,
                   const PageProgress& progress = {});

// The whole report as a PDF file. The file is written under a temporary
// name beside path and takes its name only when complete, so a cancelled
// or failed run leaves whatever was there before.
Outcome writePdf(Document& doc, const QString& path, const PageProgress& progress = {});

// Sets printer up for the report's page (paper, orientation, no margins of
// its own: the report keeps its margins).
void setUpPrinter(QPrinter& printer, const Document& doc, const QString& title);

// Prints on a printer the user has chosen (or a PDF file the print dialog
// named, written the same way as writePdf).
Outcome printOn(Document& doc, QPrinter& printer, const PageProgress& progress = {});

// Counts every page of the report, with a progress window that can cancel
// when that takes a while. False when cancelled.
bool countPages(Document& doc, QWidget* parent = nullptr);

// What the user's commands run: the pages are counted, the platform's print
// dialog (through the dialog service) offers them all, then printing with a
// progress window that can cancel; a failure is shown in a message box.
// False when nothing was printed. *file, when given, is the PDF file the
// dialog named (empty for a printer).
bool printWithDialog(Document& doc, const QString& title, QWidget* parent = nullptr, QString* file = nullptr);
// Writes the PDF to path with a progress window; a failure is shown in a
// message box. False when no file was written.
bool savePdfWithProgress(Document& doc, const QString& path, const QString& title, QWidget* parent = nullptr);

}  // namespace report
