#include "app/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {
void paintBackdrop(QPainter& p, const QSize& s) {
    QLinearGradient g(0, 0, s.width(), s.height());
    g.setColorAt(0, QColor(0x1d, 0x4e, 0x89));
    g.setColorAt(1, QColor(0x3f, 0x8f, 0xd2));
    p.fillRect(QRect(QPoint(0, 0), s), g);
    // A few soft rings, so the plain gradient reads as a picture.
    p.setPen(QPen(QColor(255, 255, 255, 40), 2));
    for (int r = 40; r < s.width(); r += 38)
        p.drawEllipse(QPoint(s.width() - 60, 20), r, r);
}
}  // namespace

QPixmap splashPicture(const QSize& size) {
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    paintBackdrop(p, size);
    QFont f = p.font();
    f.setPixelSize(54);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(30, 60, size.width() - 60, 80), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Tallix"));
    f.setPixelSize(18);
    f.setBold(false);
    p.setFont(f);
    p.setPen(QColor(230, 240, 255));
    p.drawText(QRect(34, 135, size.width() - 60, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Customer Relationship Manager  V1.70"));
    return pm;
}

QPixmap loginBanner(const QSize& size) {
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    paintBackdrop(p, size);
    return pm;
}
