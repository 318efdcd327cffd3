#include "toolkit/Icons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

#include <cmath>

namespace toolkit {
namespace {

// Every icon is drawn on a 32 x 32 grid and scaled to the size asked for.
// Outlines are 2 units wide and sit on odd coordinates, so they stay sharp
// at 32 px (2 px) and at 16 px (1 px).

const QColor kBlue(0x2a, 0x5d, 0x9f);
const QColor kBlueDark(0x1c, 0x41, 0x70);
const QColor kBlueMid(0x8d, 0xb2, 0xe0);
const QColor kBlueSoft(0xd9, 0xe6, 0xf6);
const QColor kGreen(0x4f, 0xae, 0x5c);
const QColor kGreenDark(0x2a, 0x6f, 0x35);
const QColor kRed(0xe2, 0x5b, 0x50);
const QColor kRedSoft(0xf6, 0xd3, 0xcf);
const QColor kRedDark(0xa0, 0x2b, 0x22);
const QColor kAmber(0xf3, 0xc2, 0x55);
const QColor kAmberDark(0x9a, 0x6a, 0x10);
const QColor kPaper(0xff, 0xff, 0xff);
const QColor kPaperLine(0x55, 0x6f, 0x93);

constexpr qreal kLine = 2.0;

// At 16 px fine detail only blurs the shape; drawings leave it out there.
bool small(const QPainter& p) { return p.transform().m11() < 0.6; }

void ink(QPainter& p, const QColor& outline, const QBrush& fill, qreal width = kLine) {
    QPen pen(outline, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(fill);
}

void stroke(QPainter& p, const QColor& color, qreal width = kLine) { ink(p, color, Qt::NoBrush, width); }

// A sheet of paper with a folded top-right corner and, when there is room, text lines.
void page(QPainter& p, const QRectF& r) {
    const qreal fold = r.width() * 0.3;
    QPainterPath sheet;
    sheet.moveTo(r.left(), r.top());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.right(), r.bottom());
    sheet.lineTo(r.left(), r.bottom());
    sheet.closeSubpath();
    ink(p, kPaperLine, kPaper);
    p.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    ink(p, kPaperLine, kBlueSoft);
    p.drawPath(corner);
    if (small(p)) return;
    stroke(p, kBlueMid, 1.5);
    for (qreal y = r.top() + fold + 4; y < r.bottom() - 2; y += 4)
        p.drawLine(QPointF(r.left() + 4, y), QPointF(r.right() - 4, y));
}

// Head and shoulders; (cx, top) is the top of the head, s scales the figure (1 = 16 units tall).
void person(QPainter& p, qreal cx, qreal top, qreal s, const QColor& fill, const QColor& outline) {
    const qreal r = 3.6 * s;
    const qreal y0 = top + 2 * r + 1.2 * s;
    const qreal w = 7 * s;
    QPainterPath body;
    body.moveTo(cx - w, top + 16 * s);
    body.lineTo(cx - w, y0 + 5 * s);
    body.arcTo(QRectF(cx - w, y0, 2 * w, 10 * s), 180, -180);
    body.lineTo(cx + w, top + 16 * s);
    body.closeSubpath();
    ink(p, outline, fill);
    p.drawPath(body);
    p.drawEllipse(QPointF(cx, top + r), r, r);
}

// A lens with a handle towards the lower right.
void magnifier(QPainter& p, const QPointF& c, qreal r) {
    const QPointF dir(std::sqrt(0.5), std::sqrt(0.5));
    stroke(p, kBlueDark, r * 0.55);
    p.drawLine(c + dir * (r + 1), c + dir * (r * 2.1));
    QRadialGradient glass(c - QPointF(r, r) * 0.35, r * 1.3);
    glass.setColorAt(0, kPaper);
    glass.setColorAt(1, kBlueMid);
    ink(p, kBlueDark, glass, kLine + 0.5);
    p.drawEllipse(c, r, r);
}

// A bold plus or cross as one outlined shape, centred on c.
QPainterPath plusShape(const QPointF& c, qreal half, qreal arm) {
    QPainterPath h, v;
    h.addRect(QRectF(c.x() - half, c.y() - arm, 2 * half, 2 * arm));
    v.addRect(QRectF(c.x() - arm, c.y() - half, 2 * arm, 2 * half));
    return h.united(v).simplified();
}

void checkMark(QPainter& p, const QPointF& a, const QPointF& b, const QPointF& c, qreal width) {
    // A dark rim under a lighter stroke reads as one outlined tick.
    stroke(p, kGreenDark, width + 2.5);
    p.drawPolyline(QPolygonF{a, b, c});
    stroke(p, kGreen, width);
    p.drawPolyline(QPolygonF{a, b, c});
}

void star(QPainter& p, const QPointF& c, qreal r) {
    QPolygonF pts;
    for (int i = 0; i < 10; ++i) {
        const qreal a = -M_PI / 2 + i * M_PI / 5;
        const qreal rr = (i % 2) ? r * 0.45 : r;
        pts << c + QPointF(std::cos(a) * rr, std::sin(a) * rr);
    }
    ink(p, kAmberDark, kAmber, 1.5);
    p.drawPolygon(pts);
}

void folder(QPainter& p, const QRectF& r) {
    QPainterPath f;
    const qreal tab = r.height() * 0.3;
    f.moveTo(r.left(), r.bottom());
    f.lineTo(r.left(), r.top());
    f.lineTo(r.left() + r.width() * 0.4, r.top());
    f.lineTo(r.left() + r.width() * 0.5, r.top() + tab);
    f.lineTo(r.right(), r.top() + tab);
    f.lineTo(r.right(), r.bottom());
    f.closeSubpath();
    ink(p, kAmberDark, kAmber);
    p.drawPath(f);
}

// A company block with rows of windows and a door.
void building(QPainter& p, const QRectF& r) {
    ink(p, kBlueDark, kBlueSoft);
    p.drawRect(r);
    const bool tiny = small(p);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    const qreal cell = tiny ? 6 : 5;
    const int cols = std::max(2, int((r.width() - 2) / cell));
    const qreal x0 = r.left() + (r.width() - cols * cell + cell - 3) / 2;
    for (qreal y = r.top() + 3; y + 3 < r.bottom() - 5; y += cell)
        for (int i = 0; i < cols; ++i) p.drawRect(QRectF(x0 + i * cell, y, 3, 3));
    p.drawRect(QRectF(r.center().x() - 2, r.bottom() - 6, 4, 6));
}

// ---- the icons ----------------------------------------------------------

void drawPrint(QPainter& p) {
    ink(p, kPaperLine, kPaper);
    p.drawRect(QRectF(9, 3, 14, 10));
    ink(p, kBlueDark, kBlueMid);
    p.drawRoundedRect(QRectF(3, 11, 26, 12), 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(24.5, 15.5), 1.6, 1.6);
    ink(p, kPaperLine, kPaper);
    p.drawRect(QRectF(9, 19, 14, 10));
    if (!small(p)) {
        stroke(p, kBlueMid, 1.5);
        p.drawLine(QPointF(12, 23), QPointF(20, 23));
        p.drawLine(QPointF(12, 26), QPointF(18, 26));
    }
}

void drawPreview(QPainter& p) {
    page(p, QRectF(3, 1, 20, 26));
    magnifier(p, QPointF(19, 19), 6.5);
}

void drawAdd(QPainter& p) {
    ink(p, kGreenDark, kGreen);
    p.drawPath(plusShape(QPointF(16, 16), 13, 4.5));
}

void drawEdit(QPainter& p) {
    page(p, QRectF(3, 1, 20, 26));
    p.save();
    p.translate(20, 19);
    p.rotate(-45);
    // Pencil along the x axis: tip at the left, rubber at the right.
    QPolygonF tip{QPointF(-13, 0), QPointF(-7, -3.5), QPointF(-7, 3.5)};
    ink(p, kBlueDark, QColor(0xf3, 0xdc, 0xb0), 1.6);
    p.drawPolygon(tip);
    ink(p, kBlueDark, kAmber, 1.6);
    p.drawRect(QRectF(-7, -3.5, 14, 7));
    ink(p, kBlueDark, kRed, 1.6);
    p.drawRect(QRectF(7, -3.5, 4, 7));
    p.setPen(Qt::NoPen);
    p.setBrush(kBlueDark);
    p.drawPolygon(QPolygonF{QPointF(-13.5, 0), QPointF(-11, -1.4), QPointF(-11, 1.4)});
    p.restore();
}

void drawDelete(QPainter& p) {
    // A waste bin: lid with handle, tapered body with ribs.
    ink(p, kRedDark, kRedSoft);
    QPolygonF body{QPointF(7, 9), QPointF(25, 9), QPointF(23, 29), QPointF(9, 29)};
    p.drawPolygon(body);
    ink(p, kRedDark, kRed);
    p.drawRoundedRect(QRectF(4, 5, 24, 4), 1.5, 1.5);
    stroke(p, kRedDark);
    p.drawLine(QPointF(13, 3), QPointF(19, 3));
    stroke(p, kRed, small(p) ? 2 : 1.8);
    for (qreal x : {12.5, 16.0, 19.5}) p.drawLine(QPointF(x, 13), QPointF(x, 25));
}

void drawSearch(QPainter& p) { magnifier(p, QPointF(13, 13), 9); }

void drawHelp(QPainter& p) {
    ink(p, kBlueDark, kBlue);
    p.drawEllipse(QPointF(16, 16), 14, 14);
    QPainterPath q;
    q.moveTo(11.5, 12.5);
    q.arcTo(QRectF(11.5, 7.5, 9, 9), 180, -200);
    q.quadTo(QPointF(16, 16.5), QPointF(16, 19.5));
    stroke(p, kPaper, 3.4);
    p.drawPath(q);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(16, 24.2), 2.2, 2.2);
}

void drawCustContact(QPainter& p) {
    building(p, QRectF(3, 3, 18, 26));
    person(p, 23, 13, 1.0, kGreen, kGreenDark);
}

void drawCustomers(QPainter& p) {
    building(p, QRectF(11, 3, 18, 26));
    ink(p, kBlueDark, kBlueMid);
    p.drawRect(QRectF(3, 13, 8, 16));
    if (!small(p)) {
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        for (qreal y : {16.0, 21.0}) p.drawRect(QRectF(5.5, y, 3, 3));
    }
}

void drawContacts(QPainter& p) {
    person(p, 11, 3, 1.05, kBlueMid, kBlueDark);
    person(p, 21, 9, 1.2, kGreen, kGreenDark);
}

void drawMyCust(QPainter& p) {
    person(p, 13, 4, 1.45, kBlueMid, kBlueDark);
    star(p, QPointF(24.5, 9), 7);
}

void drawCategory(QPainter& p) {
    stroke(p, kPaperLine);
    p.drawPolyline(QPolygonF{QPointF(7, 12), QPointF(7, 27), QPointF(15, 27)});
    p.drawLine(QPointF(7, 17), QPointF(15, 17));
    folder(p, QRectF(3, 3, 13, 9));
    folder(p, QRectF(15, 12, 14, 8));
    folder(p, QRectF(15, 22, 14, 8));
}

void drawRefresh(QPainter& p) {
    // Two arrows chasing each other round a ring, each drawn as one outlined band.
    const QPointF c(16, 16);
    const qreal r = 9.5;
    QPainterPathStroker band;
    band.setWidth(4.5);
    band.setCapStyle(Qt::FlatCap);
    for (qreal start : {210.0, 30.0}) {
        const qreal end = start - 125;
        QPainterPath arc;
        arc.arcMoveTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), start);
        arc.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), start, end - start);
        const qreal a = qDegreesToRadians(end);
        const QPointF tip = arc.currentPosition();
        const QPointF ahead(std::sin(a), std::cos(a));   // direction of travel, clockwise
        const QPointF out(std::cos(a), -std::sin(a));    // away from the centre
        QPainterPath head;
        head.addPolygon(QPolygonF{tip + out * 5, tip + ahead * 6, tip - out * 5});
        // At 16 px the band is barely wider than its outline: fill it darker there.
        ink(p, kBlueDark, small(p) ? kBlue : kBlueMid, 1.6);
        p.drawPath(band.createStroke(arc).united(head).simplified());
    }
}

void drawSelect(QPainter& p) { checkMark(p, QPointF(5, 17), QPointF(13, 25), QPointF(27, 8), 4.5); }

void drawExit(QPainter& p) {
    // Door frame, an open door leaf, and an arrow leaving to the right.
    ink(p, kBlueDark, kBlueSoft);
    p.drawRect(QRectF(3, 3, 16, 26));
    QPolygonF leaf{QPointF(3, 3), QPointF(12, 7), QPointF(12, 31), QPointF(3, 29)};
    ink(p, kBlueDark, kBlueMid);
    p.drawPolygon(leaf);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlueDark);
    p.drawEllipse(QPointF(10, 18), 1.2, 1.2);
    QPolygonF arrow{QPointF(14, 13.5), QPointF(21, 13.5), QPointF(21, 9),  QPointF(30, 16.5),
                    QPointF(21, 24),   QPointF(21, 19.5), QPointF(14, 19.5)};
    ink(p, kRedDark, kRed, 1.6);
    p.drawPolygon(arrow);
}

void drawSave(QPainter& p) {
    QPainterPath disk;
    disk.moveTo(3, 3);
    disk.lineTo(25, 3);
    disk.lineTo(29, 7);
    disk.lineTo(29, 29);
    disk.lineTo(3, 29);
    disk.closeSubpath();
    ink(p, kBlueDark, kBlue);
    p.drawPath(disk);
    ink(p, kBlueDark, kBlueSoft, 1.5);
    p.drawRect(QRectF(9, 3, 13, 9));
    p.setPen(Qt::NoPen);
    p.setBrush(kBlueDark);
    p.drawRect(QRectF(17, 5, 3, 5));
    ink(p, kBlueDark, kPaper, 1.5);
    p.drawRect(QRectF(7, 17, 18, 12));
    if (!small(p)) {
        stroke(p, kBlueMid, 1.5);
        p.drawLine(QPointF(10, 21), QPointF(22, 21));
        p.drawLine(QPointF(10, 25), QPointF(22, 25));
    }
}

void drawCancel(QPainter& p) {
    ink(p, kRedDark, kRed);
    p.drawEllipse(QPointF(16, 16), 14, 14);
    stroke(p, kPaper, 4);
    p.drawLine(QPointF(10.5, 10.5), QPointF(21.5, 21.5));
    p.drawLine(QPointF(21.5, 10.5), QPointF(10.5, 21.5));
}

void drawUsers(QPainter& p) {
    person(p, 13, 2, 1.05, kBlueMid, kBlueDark);
    person(p, 22, 9, 1.2, kBlueMid, kBlueDark);
    // A key lying in the free lower left corner, teeth down.
    QPainterPath key;
    key.addEllipse(QPointF(6.5, 25), 4.5, 4.5);
    key.addRect(QRectF(10, 23.2, 11, 3.6));
    key.addRect(QRectF(16.5, 26, 2.8, 3.5));
    ink(p, kAmberDark, kAmber, 1.6);
    p.drawPath(key.simplified());
    p.setPen(Qt::NoPen);
    p.setBrush(kAmberDark);
    p.drawEllipse(QPointF(5.5, 25), 1.4, 1.4);
}

void drawLookup(QPainter& p) {
    ink(p, kBlueDark, kBlue, 1.0);
    for (qreal x : {6.5, 16.0, 25.5}) p.drawEllipse(QPointF(x, 16), 3.3, 3.3);
}

using DrawFn = void (*)(QPainter&);

DrawFn painterFor(const QString& name) {
    static const QHash<QString, DrawFn> table{
        {QStringLiteral("print"), drawPrint},       {QStringLiteral("preview"), drawPreview},   {QStringLiteral("add"), drawAdd},
        {QStringLiteral("edit"), drawEdit},         {QStringLiteral("delete"), drawDelete},     {QStringLiteral("search"), drawSearch},
        {QStringLiteral("help"), drawHelp},         {QStringLiteral("custcontact"), drawCustContact},
        {QStringLiteral("customers"), drawCustomers}, {QStringLiteral("contacts"), drawContacts}, {QStringLiteral("mycust"), drawMyCust},
        {QStringLiteral("category"), drawCategory}, {QStringLiteral("refresh"), drawRefresh},   {QStringLiteral("select"), drawSelect},
        {QStringLiteral("exit"), drawExit},         {QStringLiteral("save"), drawSave},         {QStringLiteral("cancel"), drawCancel},
        {QStringLiteral("users"), drawUsers},       {QStringLiteral("lookup"), drawLookup},
    };
    return table.value(name, nullptr);
}

QPixmap render(DrawFn draw, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    draw(p);
    return pm;
}

}  // namespace

QIcon drawnIcon(const QString& name) {
    static QHash<QString, QIcon> cache;
    auto it = cache.constFind(name);
    if (it != cache.constEnd()) return *it;
    const DrawFn draw = painterFor(name);
    if (!draw) return QIcon();
    QIcon icon;
    // Each size is drawn from the vectors, not scaled from another pixmap.
    for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(render(draw, size));
    cache.insert(name, icon);
    return icon;
}

}  // namespace toolkit
