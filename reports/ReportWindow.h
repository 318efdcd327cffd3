#pragma once
// What the three report windows share. A report window is made for one
// preview or print request and is never shown itself: it holds the report
// (page, bands, data) and hands it to the preview window or the printer,
// then goes away.
#include <QWidget>
#include <memory>

#include "toolkit/report/Layout.h"
#include "toolkit/report/Report.h"

class TReportWindow : public QWidget {
    Q_OBJECT
public:
    explicit TReportWindow(QWidget* parent = nullptr);
    ~TReportWindow() override;

    // The report as the window built it.
    report::ReportDef Report;

    // A fresh layout of the report, stamped with the time of printing.
    std::unique_ptr<report::Document> document() const;
    // The preview window, run modally.
    void Preview();
    // The platform's print dialog, then the printer. False when nothing printed.
    bool Print();
    // What the report commands do: preview (or print), then the window is
    // deleted once control is back in the event loop.
    void run(bool print);
};
