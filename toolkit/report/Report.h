#pragma once
// A banded report as data: the page, the bands and what each band holds.
//
// Positions are report pixels (96 to the inch, so 96 px = 25.4 mm) from the
// top-left corner of the band. A report walks one master data set: for each
// of its rows it prints the group header, the detail band and one sub-detail
// band per row of the detail data tied to that master row. The page header
// and footer go on every page, the first and the last included.
#include <QColor>
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <optional>

namespace report {

class ReportData;
class DetailData;

constexpr double kPxPerMm = 96.0 / 25.4;
inline constexpr double mmToPx(double mm) { return mm * kPxPerMm; }
inline constexpr double pxToMm(double px) { return px / kPxPerMm; }

struct TypeFace {
    QString family;
    double pointSize = 10;
    bool bold = false;
    bool operator==(const TypeFace& o) const {
        return family == o.family && pointSize == o.pointSize && bold == o.bold;
    }
};

struct PageSetup {
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QSizeF paperMm{210, 297};              // A4, as it lies in portrait
    QMarginsF marginsMm{3, 10, 3, 10};     // left, top, right, bottom

    // The page as printed (turned for landscape), in report pixels.
    QSizeF pagePx() const;
    // The area inside the margins, in report pixels from the page's corner.
    QRectF contentPx() const;
};

enum class ElementKind {
    Label,          // fixed text
    Field,          // a column of the band's data row, by name
    PageNumber,     // the number of the page, from 1
    PrintDate,      // the day the report was printed
    PrintDateTime,  // the day and time the report was printed
    HRule,          // a thin line across, in a shape 3 px high
    VRule,          // a thin line down, in a shape 3 px wide
};

struct Element {
    ElementKind kind = ElementKind::Label;
    QPointF pos;     // top-left, from the band's top-left corner
    QString text;    // Label: the caption; Field: the column name
    std::optional<TypeFace> font;  // none: the report's base font
    double length = 0;    // rules only
    // Texts are as wide as their text, up to maxRight (0: the band's right
    // edge); what is longer ends in an ellipsis.
    double maxRight = 0;
    // Breaks the text into lines within its width instead; lines that would
    // leave the band are dropped and the last one kept shows the ellipsis.
    bool wrap = false;
    // With wrap: the lines the text adds move the elements below it down,
    // as far as the band still holds them.
    bool stretch = false;
    // Index of an earlier element of the band that this text must not
    // overlap: it starts after that one's text when that one runs long.
    int after = -1;

    static Element label(double x, double y, const QString& text, std::optional<TypeFace> font = {});
    static Element field(double x, double y, const QString& name, std::optional<TypeFace> font = {});
    static Element pageNumber(double x, double y, std::optional<TypeFace> font = {});
    static Element printDate(double x, double y, std::optional<TypeFace> font = {});
    static Element printDateTime(double x, double y, std::optional<TypeFace> font = {});
    static Element hRule(double x, double y, double length);
    static Element vRule(double x, double y, double length);
};

// Where the bands of a multi-column (label) band go. Cells fill a row from
// left to right, then the next row.
struct ColumnGrid {
    int columns = 1;
    double columnWidth = 0;   // 0: the content width shared by the columns
    double columnPitch = 0;   // 0: columnWidth (no gap)
    double rowPitch = 0;      // 0: the band's height
    int rowsPerPage = 0;      // 0: as many as fit above the page footer
    // The page position of the first cell (label sheets); none: the cells
    // follow the bands above them.
    std::optional<QPointF> origin;
    // Cells left empty on the first page (a sheet that is partly used).
    int skip = 0;

    bool isGrid() const { return columns > 1 || origin.has_value(); }
};

struct Band {
    bool enabled = false;
    double height = 0;
    QColor background;   // invalid: none
    QList<Element> elements;
    ColumnGrid grid;     // detail and sub-detail only

    Band() = default;
    explicit Band(double h) : enabled(true), height(h) {}
    Element& add(const Element& e) {
        elements.append(e);
        return elements.last();
    }
};

enum class BandKind { PageHeader, GroupHeader, Detail, SubDetail, PageFooter };

struct ReportDef {
    QString title;
    PageSetup page;
    TypeFace baseFont{QStringLiteral("Arial"), 10, false};
    Band pageHeader;
    Band groupHeader;   // once per master row, before its detail and sub-detail rows
    Band detail;        // once per master row
    Band subDetail;     // once per row of `details` for the master row
    Band pageFooter;
    // Keeps a group header on the page of the first band that follows it.
    bool keepGroupHeaderWithNext = true;

    ReportData* master = nullptr;    // not owned; none: an empty report
    DetailData* details = nullptr;   // not owned

    const Band& band(BandKind kind) const;
};

}  // namespace report
