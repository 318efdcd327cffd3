#pragma once
// The first stage of a report: pages of placed items, in report pixels from
// the page's top-left corner. Nothing here paints, so what lands where can be
// checked without a printer.
//
// A Document lays pages out when they are asked for. It keeps where each
// page laid out so far begins (a few numbers per page) and the last few
// pages themselves, so that the first page of a report over a long list is
// ready at once and memory stays small however long the report runs.
#include <QDateTime>
#include <QLineF>
#include <QRectF>
#include <QVector>
#include <list>
#include <memory>
#include <vector>

#include "toolkit/report/Report.h"

namespace report {

struct PlacedBand {
    BandKind kind;
    QRectF rect;
    int masterRow = -1;   // -1 for page header and footer
    int detailRow = -1;   // sub-detail only
    int cell = -1;        // grid bands: the cell's index on the page
    bool operator==(const PlacedBand& o) const {
        return kind == o.kind && rect == o.rect && masterRow == o.masterRow && detailRow == o.detailRow &&
               cell == o.cell;
    }
};

struct Item {
    enum Kind { Text, Rule, Fill } kind = Text;
    QRectF rect;         // Text: one line's box; Fill: the area
    QLineF line;         // Rule
    QString text;        // one line, no line breaks
    TypeFace font;       // as asked for; the painter resolves it
    double ascent = 0;   // Text: from the top of rect to the baseline
    QColor color;        // Fill
    int band = -1;       // index into Page::bands
};

struct Page {
    int number = 0;   // from 1
    QSizeF size;
    QVector<PlacedBand> bands;
    QVector<Item> items;   // in painting order

    // Texts, in painting order (tests and look-ups).
    QStringList texts() const;
    // The first text item reading exactly text, or nullptr.
    const Item* find(const QString& text) const;
    // Bands of a kind, in page order.
    QVector<PlacedBand> bandsOf(BandKind kind) const;
};

// Where the walk over the data stands: the master row, and within it the
// group header (step 0), the detail band (1) or sub-detail row step - 2.
struct Cursor {
    int master = 0;
    int step = 0;
};

class Layouter {
public:
    Layouter(const ReportDef& def, const QDateTime& printed);

    bool atEnd(Cursor c);
    // Lays out page number from c and leaves c where the next page starts.
    // Where pages break depends on the bands alone, so a page walked only to
    // find where the next begins can leave out its texts (withItems false).
    Page layoutPage(int number, Cursor& c, bool withItems = true);

private:
    struct Placed;
    void settle(Cursor& c);
    int masterCount();
    int detailCount(int master);
    const Band* bandAt(const Cursor& c, BandKind* kind) const;
    double keepHeight(const Cursor& c);
    void placeBand(Page& page, const Band& band, BandKind kind, QPointF origin, double width, int master,
                   int detailRow, int cell);
    bool withItems_ = true;
    QString elementText(const Element& e, BandKind kind, int band, int index, int master, int detailRow,
                        int pageNumber);
    int fieldIndex(BandKind kind, int index, const Element& e);

    const ReportDef& def_;
    QDateTime printed_;
    int masterCount_ = -1;
    int countFor_ = -1;
    int count_ = 0;
    QHash<quint64, int> fields_;   // (band kind, element index) -> field index
};

class Document {
public:
    explicit Document(const ReportDef& def, const QDateTime& printed = QDateTime::currentDateTime());
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    const ReportDef& definition() const { return def_; }
    QDateTime printed() const { return printed_; }
    QSizeF pageSize() const { return def_.page.pagePx(); }

    // Page index (from 0), laid out on first demand; null past the last page.
    std::shared_ptr<const Page> page(int index);
    // Pages laid out so far (all of them once complete()).
    int knownPages() const { return int(starts_.size()) - (complete_ ? 0 : 1); }
    bool complete() const { return complete_; }
    // Walks on through the report for about budgetMs, keeping only where the
    // pages begin; true once the whole report is known.
    bool countAhead(int budgetMs);
    // Walks the whole report; may take a while on a long list.
    int pageCount();
    // How many pages were laid out, counting repeats (tests of laziness).
    int layoutRuns() const { return runs_; }

private:
    std::shared_ptr<const Page> layOut(int index);

    ReportDef def_;
    QDateTime printed_;
    Layouter layouter_;
    std::vector<Cursor> starts_;   // starts_[i]: where page i begins; one more while not complete
    bool complete_ = false;
    std::list<std::pair<int, std::shared_ptr<const Page>>> cache_;
    int runs_ = 0;
};

}  // namespace report
