#include "reports/ReportWindow.h"

#include "toolkit/Modal.h"
#include "toolkit/report/Output.h"
#include "toolkit/report/Preview.h"

TReportWindow::TReportWindow(QWidget* parent) : QWidget(parent) {
    // A window of its own that is never shown, rather than a hidden child
    // that would appear with its parent.
    setWindowFlags(Qt::Window);
    setAttribute(Qt::WA_DontShowOnScreen);
}

TReportWindow::~TReportWindow() = default;

std::unique_ptr<report::Document> TReportWindow::document() const {
    return std::make_unique<report::Document>(Report, QDateTime::currentDateTime());
}

void TReportWindow::Preview() {
    const auto doc = document();
    report::PreviewWindow preview(doc.get(), Report.title, parentWidget());
    toolkit::execModal(&preview);
}

bool TReportWindow::Print() {
    const auto doc = document();
    return report::printWithDialog(*doc, Report.title, parentWidget());
}

void TReportWindow::run(bool print) {
    // Deleted even when the report fails half-way: the error goes on up to
    // the command, which reports it.
    struct Later {
        QWidget* w;
        ~Later() { w->deleteLater(); }
    } later{this};
    if (print) Print();
    else Preview();
}
