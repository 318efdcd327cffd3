#include "toolkit/Icons.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>

namespace toolkit {

QIcon drawnIcon(const QString& name) {
    static QHash<QString, QIcon> cache;
    auto it = cache.find(name);
    if (it != cache.end()) return *it;
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x2a, 0x5d, 0x9f), 2));
    p.setBrush(QColor(0xd8, 0xe6, 0xf7));
    p.drawRoundedRect(QRectF(4, 4, 24, 24), 4, 4);
    p.end();
    QIcon icon(pm);
    cache.insert(name, icon);
    return icon;
}

}  // namespace toolkit
