#include "toolkit/report/Report.h"

namespace report {

QSizeF PageSetup::pagePx() const {
    QSizeF mm = paperMm;
    if (orientation == QPageLayout::Landscape) mm.transpose();
    return QSizeF(mmToPx(mm.width()), mmToPx(mm.height()));
}

QRectF PageSetup::contentPx() const {
    const QSizeF page = pagePx();
    const double l = mmToPx(marginsMm.left()), t = mmToPx(marginsMm.top());
    const double r = mmToPx(marginsMm.right()), b = mmToPx(marginsMm.bottom());
    return QRectF(l, t, page.width() - l - r, page.height() - t - b);
}

namespace {
Element make(ElementKind kind, double x, double y, const QString& text, std::optional<TypeFace> font) {
    Element e;
    e.kind = kind;
    e.pos = QPointF(x, y);
    e.text = text;
    e.font = std::move(font);
    return e;
}
}  // namespace

Element Element::label(double x, double y, const QString& text, std::optional<TypeFace> font) {
    return make(ElementKind::Label, x, y, text, std::move(font));
}
Element Element::field(double x, double y, const QString& name, std::optional<TypeFace> font) {
    return make(ElementKind::Field, x, y, name, std::move(font));
}
Element Element::pageNumber(double x, double y, std::optional<TypeFace> font) {
    return make(ElementKind::PageNumber, x, y, QString(), std::move(font));
}
Element Element::printDate(double x, double y, std::optional<TypeFace> font) {
    return make(ElementKind::PrintDate, x, y, QString(), std::move(font));
}
Element Element::printDateTime(double x, double y, std::optional<TypeFace> font) {
    return make(ElementKind::PrintDateTime, x, y, QString(), std::move(font));
}
Element Element::hRule(double x, double y, double length) {
    Element e = make(ElementKind::HRule, x, y, QString(), std::nullopt);
    e.length = length;
    return e;
}
Element Element::vRule(double x, double y, double length) {
    Element e = make(ElementKind::VRule, x, y, QString(), std::nullopt);
    e.length = length;
    return e;
}

const Band& ReportDef::band(BandKind kind) const {
    switch (kind) {
    case BandKind::PageHeader: return pageHeader;
    case BandKind::GroupHeader: return groupHeader;
    case BandKind::Detail: return detail;
    case BandKind::SubDetail: return subDetail;
    case BandKind::PageFooter: break;
    }
    return pageFooter;
}

}  // namespace report
