#pragma once
// Report fonts: asked for by name and size; a name that is not installed is
// replaced by a like face, and failing that by a face that has Chinese, so
// that Chinese text never prints as empty boxes.
#include <QFont>
#include <QFontMetricsF>
#include <QString>

#include "toolkit/report/Report.h"

class QPaintDevice;

namespace report {

// The family that prints for a requested one.
QString resolvedFamily(const QString& requested);
// An installed family that covers Chinese; empty when there is none.
QString cjkFamily();

// The font for face, sized for painting on device (whose painter maps report
// pixels onto it); without a device, sized in report pixels for measuring.
QFont reportFont(const TypeFace& face, const QPaintDevice* device = nullptr);

// Metrics in report pixels.
QFontMetricsF reportMetrics(const TypeFace& face);

// A 96-dpi device for measuring and laying out text.
const QPaintDevice* measuringDevice();

}  // namespace report
