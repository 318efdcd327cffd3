#pragma once
// The second stage of a report: a laid-out page drawn with QPainter, on a
// printer, a PDF writer or an image for the preview.
#include <QImage>
#include <QPageLayout>

#include "toolkit/report/Layout.h"

class QPainter;
class QPaintDevice;

namespace report {

// Draws page. The painter must map report pixels onto its device
// (beginReportPainting does that); fonts are sized for that device.
void paintPage(QPainter& painter, const Page& page);

// Maps report pixels onto device for painter: the device's resolution over 96.
void mapReportPixels(QPainter& painter, const QPaintDevice* device);

// The page layout a paged device needs for setup: the paper turned as
// the report says, no margins (the report keeps its own).
QPageLayout devicePageLayout(const PageSetup& setup);

// The page as an image at zoom (1 = 96 dpi), for the preview.
QImage renderPage(const Page& page, double zoom, double devicePixelRatio = 1.0);

}  // namespace report
