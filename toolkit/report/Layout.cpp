#include "toolkit/report/Layout.h"

#include <QElapsedTimer>
#include <QTextLayout>
#include <algorithm>
#include <numeric>

#include "toolkit/report/Fonts.h"
#include "toolkit/report/ReportData.h"

namespace report {

namespace {

constexpr double kEps = 0.01;
constexpr int kCachedPages = 6;
constexpr double kAfterGap = 4;   // between a text and the one that follows it on its line
const QString kEllipsis = QStringLiteral("\u2026");

QString oneLine(QString s) {
    s.replace(QLatin1String("\r\n"), QLatin1String(" "));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    s.replace(QChar::LineSeparator, QLatin1Char(' '));
    s.replace(QChar::ParagraphSeparator, QLatin1Char(' '));
    return s;
}

QString elided(const QFontMetricsF& fm, const QString& text, double width) {
    if (fm.horizontalAdvance(text) <= width + kEps) return text;
    // elidedText keeps a whole glyph short of the edge; an empty result
    // (not even the ellipsis fits) prints nothing rather than spilling over.
    return fm.elidedText(text, Qt::ElideRight, std::max(0.0, width));
}

// The lines of text broken within width, paragraph by paragraph.
QStringList wrapped(const TypeFace& face, const QString& text, double width) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines;
    const QFont font = reportFont(face);
    for (const QString& para : t.split(QLatin1Char('\n'))) {
        if (para.trimmed().isEmpty()) {
            lines << QString();
            continue;
        }
        QTextLayout layout(para, font, measuringDevice());
        QTextOption opt;
        opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(opt);
        layout.beginLayout();
        for (;;) {
            QTextLine line = layout.createLine();
            if (!line.isValid()) break;
            line.setLineWidth(std::max(1.0, width));
            QString piece = para.mid(line.textStart(), line.textLength());
            while (!piece.isEmpty() && piece.back().isSpace()) piece.chop(1);
            lines << piece;
        }
        layout.endLayout();
    }
    while (lines.size() > 1 && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

}  // namespace

// ---- Page -------------------------------------------------------------------

QStringList Page::texts() const {
    QStringList out;
    for (const Item& i : items)
        if (i.kind == Item::Text) out << i.text;
    return out;
}

const Item* Page::find(const QString& text) const {
    for (const Item& i : items)
        if (i.kind == Item::Text && i.text == text) return &i;
    return nullptr;
}

QVector<PlacedBand> Page::bandsOf(BandKind kind) const {
    QVector<PlacedBand> out;
    for (const PlacedBand& b : bands)
        if (b.kind == kind) out << b;
    return out;
}

// ---- Layouter ------------------------------------------------------------------

Layouter::Layouter(const ReportDef& def, const QDateTime& printed) : def_(def), printed_(printed) {}

int Layouter::masterCount() {
    if (masterCount_ < 0) masterCount_ = def_.master ? std::max(0, def_.master->rowCount()) : 0;
    return masterCount_;
}

int Layouter::detailCount(int master) {
    if (!def_.details || !def_.subDetail.enabled) return 0;
    if (countFor_ != master) {
        countFor_ = master;
        count_ = std::max(0, def_.details->rowCount(master));
    }
    return count_;
}

bool Layouter::atEnd(Cursor c) {
    settle(c);
    return c.master >= masterCount();
}

void Layouter::settle(Cursor& c) {
    while (c.master < masterCount()) {
        if (c.step == 0) {
            if (def_.groupHeader.enabled) return;
            c.step = 1;
        }
        if (c.step == 1) {
            if (def_.detail.enabled) return;
            c.step = 2;
        }
        if (c.step - 2 < detailCount(c.master)) return;
        ++c.master;
        c.step = 0;
    }
}

const Band* Layouter::bandAt(const Cursor& c, BandKind* kind) const {
    switch (c.step) {
    case 0: *kind = BandKind::GroupHeader; return &def_.groupHeader;
    case 1: *kind = BandKind::Detail; return &def_.detail;
    default: *kind = BandKind::SubDetail; return &def_.subDetail;
    }
}

// What must fit below a group header with it: the first band that follows
// it for the same master row.
double Layouter::keepHeight(const Cursor& c) {
    if (c.step != 0 || !def_.keepGroupHeaderWithNext) return 0;
    if (def_.detail.enabled) return def_.detail.height;
    if (detailCount(c.master) > 0) return def_.subDetail.height;
    return 0;
}

int Layouter::fieldIndex(BandKind kind, int index, const Element& e) {
    const quint64 key = (quint64(kind) << 32) | quint32(index);
    const auto it = fields_.constFind(key);
    if (it != fields_.constEnd()) return *it;
    int f = -1;
    if (kind == BandKind::SubDetail) {
        if (def_.details) f = def_.details->fieldIndex(e.text);
    } else if (def_.master) {
        f = def_.master->fieldIndex(e.text);
    }
    fields_.insert(key, f);
    return f;
}

QString Layouter::elementText(const Element& e, BandKind kind, int, int index, int master, int detailRow,
                              int pageNumber) {
    switch (e.kind) {
    case ElementKind::Label: return e.text;
    case ElementKind::PageNumber: return QString::number(pageNumber);
    case ElementKind::PrintDate: return printed_.toString(QStringLiteral("yyyy-MM-dd"));
    case ElementKind::PrintDateTime: return printed_.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case ElementKind::Field: {
        // Page bands have no row of their own.
        if (master < 0) return QString();
        const int f = fieldIndex(kind, index, e);
        if (f < 0) return QString();
        if (kind == BandKind::SubDetail) return def_.details->text(master, detailRow, f);
        return def_.master->text(master, f);
    }
    case ElementKind::HRule:
    case ElementKind::VRule: break;
    }
    return QString();
}

void Layouter::placeBand(Page& page, const Band& band, BandKind kind, QPointF origin, double width, int master,
                         int detailRow, int cell) {
    const int bandIndex = int(page.bands.size());
    page.bands.append({kind, QRectF(origin, QSizeF(width, band.height)), master, detailRow, cell});
    if (!withItems_) return;
    if (band.background.isValid()) {
        Item fill;
        fill.kind = Item::Fill;
        fill.rect = QRectF(origin, QSizeF(width, band.height));
        fill.color = band.background;
        fill.band = bandIndex;
        page.items.append(fill);
    }

    const QList<Element>& els = band.elements;
    // Top to bottom, so that a text that grows knows what lies below it.
    QVector<int> order(els.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return els[a].pos.y() < els[b].pos.y(); });

    auto fontOf = [&](const Element& e) { return e.font ? *e.font : def_.baseFont; };
    auto isText = [](const Element& e) { return e.kind != ElementKind::HRule && e.kind != ElementKind::VRule; };

    QVector<double> rightEdge(els.size(), -1);   // where each text ended, for `after`
    QVector<QPair<double, double>> growth;       // (design top, extra height) of texts that grew
    for (int i : order) {
        const Element& e = els[i];
        double shift = 0;
        for (const auto& g : growth)
            if (g.first < e.pos.y() - kEps) shift += g.second;
        const double y = e.pos.y() + shift;

        if (!isText(e)) {
            Item rule;
            rule.kind = Item::Rule;
            rule.band = bandIndex;
            // A thin line through the middle of a shape 3 px across.
            if (e.kind == ElementKind::HRule)
                rule.line = QLineF(origin.x() + e.pos.x(), origin.y() + y + 1.5, origin.x() + e.pos.x() + e.length,
                                   origin.y() + y + 1.5);
            else
                rule.line = QLineF(origin.x() + e.pos.x() + 1.5, origin.y() + y, origin.x() + e.pos.x() + 1.5,
                                   origin.y() + y + e.length);
            rule.rect = QRectF(rule.line.p1(), rule.line.p2()).normalized();
            page.items.append(rule);
            continue;
        }

        const TypeFace face = fontOf(e);
        const QFontMetricsF fm = reportMetrics(face);
        double x = e.pos.x();
        if (e.after >= 0 && e.after < els.size() && rightEdge[e.after] >= 0)
            x = std::max(x, rightEdge[e.after] + kAfterGap);
        const double right = e.maxRight > 0 ? std::min(e.maxRight, width) : width;
        const double avail = right - x;
        const QString raw = elementText(e, kind, bandIndex, i, master, detailRow, page.number);
        rightEdge[i] = x;
        if (avail <= 0 || raw.isEmpty()) continue;

        QStringList lines;
        if (e.wrap) {
            lines = wrapped(face, raw, avail);
            // How many lines the band holds: a growing text leaves room for
            // the texts below it, any other keeps within the band.
            int room;
            const double step = fm.lineSpacing();
            if (e.stretch) {
                double lowest = 0;
                for (int j = 0; j < els.size(); ++j)
                    if (j != i && isText(els[j]) && els[j].pos.y() > e.pos.y() + kEps)
                        lowest = std::max(lowest, els[j].pos.y() + reportMetrics(fontOf(els[j])).height());
                double below = 0;
                for (const auto& g : growth) below += g.second;
                const double slack = lowest > 0 ? band.height - (lowest + below) : band.height - (y + fm.height());
                room = 1 + int(std::floor((slack + kEps) / step));
            } else {
                room = 1 + int(std::floor((band.height - y - fm.height() + kEps) / step));
            }
            room = std::max(1, room);
            if (lines.size() > room) {
                const QString rest = lines.mid(room - 1).join(QLatin1Char(' '));
                lines = lines.mid(0, room - 1);
                lines << elided(fm, rest + kEllipsis, avail);
            }
            if (e.stretch && lines.size() > 1) growth.append({e.pos.y(), double(lines.size() - 1) * step});
        } else {
            lines << elided(fm, oneLine(raw), avail);
        }

        double lineTop = y;
        double widest = 0;
        for (const QString& line : lines) {
            if (!line.isEmpty()) {
                Item t;
                t.kind = Item::Text;
                t.text = line;
                t.font = face;
                t.ascent = fm.ascent();
                const double w = fm.horizontalAdvance(line);
                widest = std::max(widest, w);
                t.rect = QRectF(origin.x() + x, origin.y() + lineTop, w, fm.height());
                t.band = bandIndex;
                page.items.append(t);
            }
            lineTop += fm.lineSpacing();
        }
        rightEdge[i] = x + widest;
    }
}

Page Layouter::layoutPage(int number, Cursor& c, bool withItems) {
    withItems_ = withItems;
    Page page;
    page.number = number;
    page.size = def_.page.pagePx();
    const QRectF content = def_.page.contentPx();

    double y = content.top();
    if (def_.pageHeader.enabled) {
        placeBand(page, def_.pageHeader, BandKind::PageHeader, QPointF(content.left(), y), content.width(), -1, -1,
                  -1);
        y += def_.pageHeader.height;
    }
    const double footerTop =
        def_.pageFooter.enabled ? content.bottom() - def_.pageFooter.height : content.bottom();

    // A run of grid cells: its top, and the cells it has used.
    bool inRun = false;
    double runTop = 0;
    int cells = 0;
    bool skipDone = number > 1;
    bool placedAny = false;

    settle(c);
    while (c.master < masterCount()) {
        BandKind kind;
        const Band* band = bandAt(c, &kind);
        const int detailRow = kind == BandKind::SubDetail ? c.step - 2 : -1;
        const ColumnGrid& g = band->grid;
        if (g.isGrid()) {
            const int columns = std::max(1, g.columns);
            const double colWidth = g.columnWidth > 0 ? g.columnWidth : content.width() / columns;
            const double colPitch = g.columnPitch > 0 ? g.columnPitch : colWidth;
            const double rowPitch = g.rowPitch > 0 ? g.rowPitch : band->height;
            if (!inRun) {
                inRun = true;
                runTop = g.origin ? std::max(g.origin->y(), y) : y;
                cells = 0;
                if (!skipDone) {
                    int perPage = g.rowsPerPage > 0 ? g.rowsPerPage * columns : 0;
                    cells = std::max(0, g.skip);
                    if (perPage > 0) cells = std::min(cells, perPage - 1);
                }
            }
            skipDone = true;
            const int row = cells / columns;
            const int col = cells % columns;
            const double top = runTop + row * rowPitch;
            const bool full = (g.rowsPerPage > 0 && row >= g.rowsPerPage) || top + band->height > footerTop + kEps;
            // A band taller than the page still goes somewhere; cells skipped
            // past the end of the first page leave it for the next.
            if (full && (placedAny || cells > 0)) break;
            const double left = (g.origin ? g.origin->x() : content.left()) + col * colPitch;
            placeBand(page, *band, kind, QPointF(left, top), colWidth, c.master, detailRow, cells);
            ++cells;
            y = top + band->height;
        } else {
            inRun = false;
            const double need = band->height + keepHeight(c);
            if (y + need > footerTop + kEps && placedAny) break;
            placeBand(page, *band, kind, QPointF(content.left(), y), content.width(), c.master, detailRow, -1);
            y += band->height;
        }
        placedAny = true;
        ++c.step;
        settle(c);
    }

    if (def_.pageFooter.enabled)
        placeBand(page, def_.pageFooter, BandKind::PageFooter, QPointF(content.left(), footerTop), content.width(),
                  -1, -1, -1);
    return page;
}

// ---- Document ----------------------------------------------------------------------

Document::Document(const ReportDef& def, const QDateTime& printed)
    : def_(def), printed_(printed), layouter_(def_, printed_) {
    starts_.push_back(Cursor());
}

std::shared_ptr<const Page> Document::layOut(int index) {
    Cursor c = starts_[index];
    auto page = std::make_shared<const Page>(layouter_.layoutPage(index + 1, c));
    ++runs_;
    if (!complete_ && index + 1 == int(starts_.size())) {
        // The first time this page was laid out: note where the next begins.
        if (layouter_.atEnd(c)) complete_ = true;
        else starts_.push_back(c);
    }
    cache_.emplace_front(index, page);
    if (cache_.size() > kCachedPages) cache_.pop_back();
    return page;
}

std::shared_ptr<const Page> Document::page(int index) {
    if (index < 0) return nullptr;
    for (auto it = cache_.begin(); it != cache_.end(); ++it) {
        if (it->first == index) {
            cache_.splice(cache_.begin(), cache_, it);
            return cache_.front().second;
        }
    }
    // Pages before it must be walked first to know where it begins.
    while (!complete_ && index >= int(starts_.size())) {
        const int last = int(starts_.size()) - 1;
        Cursor c = starts_[last];
        layouter_.layoutPage(last + 1, c, false);
        ++runs_;
        if (layouter_.atEnd(c)) complete_ = true;
        else starts_.push_back(c);
    }
    if (index >= int(starts_.size())) return nullptr;
    return layOut(index);
}

bool Document::countAhead(int budgetMs) {
    QElapsedTimer t;
    t.start();
    while (!complete_ && t.elapsed() < budgetMs) {
        const int last = int(starts_.size()) - 1;
        Cursor c = starts_[last];
        layouter_.layoutPage(last + 1, c, false);
        ++runs_;
        if (layouter_.atEnd(c)) complete_ = true;
        else starts_.push_back(c);
    }
    return complete_;
}

int Document::pageCount() {
    while (!countAhead(1000)) {
    }
    return knownPages();
}

}  // namespace report
