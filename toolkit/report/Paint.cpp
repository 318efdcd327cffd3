#include "toolkit/report/Paint.h"

#include <QPageSize>
#include <QPaintDevice>
#include <QPainter>

#include "toolkit/report/Fonts.h"

namespace report {

void mapReportPixels(QPainter& painter, const QPaintDevice* device) {
    painter.scale(device->logicalDpiX() / 96.0, device->logicalDpiY() / 96.0);
}

void paintPage(QPainter& painter, const Page& page) {
    const QPaintDevice* device = painter.device();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    QPen rulePen(Qt::black, 1.0);
    rulePen.setCapStyle(Qt::SquareCap);
    TypeFace current;
    bool haveFont = false;
    for (const Item& item : page.items) {
        switch (item.kind) {
        case Item::Fill: painter.fillRect(item.rect, item.color); break;
        case Item::Rule:
            painter.setPen(rulePen);
            painter.drawLine(item.line);
            break;
        case Item::Text:
            if (!haveFont || !(current == item.font)) {
                painter.setFont(reportFont(item.font, device));
                current = item.font;
                haveFont = true;
            }
            painter.setPen(Qt::black);
            painter.drawText(QPointF(item.rect.left(), item.rect.top() + item.ascent), item.text);
            break;
        }
    }
    painter.restore();
}

QPageLayout devicePageLayout(const PageSetup& setup) {
    const QPageSize size = qFuzzyCompare(setup.paperMm.width(), 210.0) && qFuzzyCompare(setup.paperMm.height(), 297.0)
                               ? QPageSize(QPageSize::A4)
                               : QPageSize(setup.paperMm, QPageSize::Millimeter);
    return QPageLayout(size, setup.orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

QImage renderPage(const Page& page, double zoom, double devicePixelRatio) {
    const double scale = zoom * devicePixelRatio;
    QImage img(qMax(1, qRound(page.size.width() * scale)), qMax(1, qRound(page.size.height() * scale)),
               QImage::Format_ARGB32_Premultiplied);
    // The image is a 96-dpi device; the zoom is the painter's.
    const int dotsPerMeter = qRound(96 / 0.0254);
    img.setDotsPerMeterX(dotsPerMeter);
    img.setDotsPerMeterY(dotsPerMeter);
    img.fill(Qt::white);
    QPainter p(&img);
    p.scale(scale, scale);
    paintPage(p, page);
    p.end();
    img.setDevicePixelRatio(devicePixelRatio);
    return img;
}

}  // namespace report
