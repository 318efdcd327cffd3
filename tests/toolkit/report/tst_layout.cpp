// The report engine's layout stage: what lands on which page, where.
#include <QFontDatabase>
#include <QRawFont>
#include <QTest>

#include "toolkit/report/Fonts.h"
#include "toolkit/report/Layout.h"
#include "toolkit/report/ReportData.h"

using namespace report;

namespace {

constexpr double kEps = 0.001;

QList<QStringList> numberedRows(int n) {
    QList<QStringList> rows;
    for (int i = 0; i < n; ++i) rows << QStringList{QStringLiteral("Row %1").arg(i)};
    return rows;
}

// A long list that counts what the layout reads of it.
class CountingData : public ReportData {
public:
    explicit CountingData(int rows) : rows_(rows) {}
    int rowCount() override { return rows_; }
    int fieldIndex(const QString& name) override { return name == QLatin1String("Name") ? 0 : -1; }
    QString text(int row, int) override {
        ++reads;
        highest = std::max(highest, row);
        return QStringLiteral("Row %1").arg(row);
    }
    int reads = 0;
    int highest = -1;

private:
    int rows_;
};

// Header with a title and the page number, one detail band per row, footer.
ReportDef listReport(ReportData* data, double detailHeight = 100) {
    ReportDef d;
    d.title = QStringLiteral("List");
    d.pageHeader = Band(50);
    d.pageHeader.add(Element::label(10, 10, QStringLiteral("Title")));
    d.pageHeader.add(Element::pageNumber(300, 10));
    d.detail = Band(detailHeight);
    d.detail.add(Element::field(10, 5, QStringLiteral("Name")));
    d.pageFooter = Band(30);
    d.pageFooter.add(Element::label(10, 5, QStringLiteral("Page")));
    d.pageFooter.add(Element::pageNumber(60, 5));
    d.master = data;
    return d;
}

const Item* textIn(const Page& p, int band) {
    for (const Item& i : p.items)
        if (i.kind == Item::Text && i.band == band) return &i;
    return nullptr;
}

QStringList textsOfBand(const Page& p, int band) {
    QStringList out;
    for (const Item& i : p.items)
        if (i.kind == Item::Text && i.band == band) out << i.text;
    return out;
}

bool inside(const QRectF& inner, const QRectF& outer) {
    return inner.left() >= outer.left() - kEps && inner.right() <= outer.right() + kEps &&
           inner.top() >= outer.top() - kEps && inner.bottom() <= outer.bottom() + kEps;
}

}  // namespace

class TestLayout : public QObject {
    Q_OBJECT

private slots:
    void pageSetup() {
        PageSetup p;
        QVERIFY(std::abs(p.pagePx().width() - 210 * 96 / 25.4) < kEps);
        QVERIFY(std::abs(p.pagePx().height() - 297 * 96 / 25.4) < kEps);
        const QRectF c = p.contentPx();
        QVERIFY(std::abs(c.left() - 3 * 96 / 25.4) < kEps);
        QVERIFY(std::abs(c.top() - 10 * 96 / 25.4) < kEps);
        QVERIFY(std::abs(c.width() - 204 * 96 / 25.4) < kEps);
        QVERIFY(std::abs(c.height() - 277 * 96 / 25.4) < kEps);
        p.orientation = QPageLayout::Landscape;
        QVERIFY(std::abs(p.pagePx().width() - 297 * 96 / 25.4) < kEps);
        QVERIFY(std::abs(p.contentPx().width() - 291 * 96 / 25.4) < kEps);
        QVERIFY(std::abs(p.contentPx().height() - 190 * 96 / 25.4) < kEps);
    }

    // Header on every page from the first, footer at the bottom of every
    // page to the last, bands in order and never across the footer.
    void pagesHeadersAndFooters() {
        ListData data({QStringLiteral("Name")}, numberedRows(25));
        Document doc(listReport(&data));
        const QRectF content = doc.definition().page.contentPx();
        const double footerTop = content.bottom() - 30;
        const int perPage = int((footerTop - content.top() - 50) / 100);
        const int expectedPages = (25 + perPage - 1) / perPage;
        QCOMPARE(doc.pageCount(), expectedPages);
        QVERIFY(doc.complete());
        int next = 0;
        for (int i = 0; i < doc.pageCount(); ++i) {
            const auto page = doc.page(i);
            QVERIFY(page);
            QCOMPARE(page->number, i + 1);
            const auto headers = page->bandsOf(BandKind::PageHeader);
            const auto footers = page->bandsOf(BandKind::PageFooter);
            QCOMPARE(headers.size(), 1);
            QCOMPARE(footers.size(), 1);
            QVERIFY(std::abs(headers[0].rect.top() - content.top()) < kEps);
            QVERIFY(std::abs(footers[0].rect.top() - footerTop) < kEps);
            QCOMPARE(textsOfBand(*page, page->bands.indexOf(headers[0])),
                     QStringList({"Title", QString::number(i + 1)}));
            QCOMPARE(textsOfBand(*page, int(page->bands.size()) - 1), QStringList({"Page", QString::number(i + 1)}));
            double y = headers[0].rect.bottom();
            for (const PlacedBand& b : page->bandsOf(BandKind::Detail)) {
                QCOMPARE(b.masterRow, next++);
                QVERIFY(std::abs(b.rect.top() - y) < kEps);   // no gaps
                QVERIFY(b.rect.bottom() <= footerTop + kEps);  // never into the footer
                y = b.rect.bottom();
            }
            const int onPage = int(page->bandsOf(BandKind::Detail).size());
            QCOMPARE(onPage, i + 1 < expectedPages ? perPage : 25 - perPage * (expectedPages - 1));
        }
        QCOMPARE(next, 25);
        QVERIFY(!doc.page(expectedPages));
    }

    void emptyListStillPrintsHeaderAndFooter() {
        ListData data({QStringLiteral("Name")}, {});
        Document doc(listReport(&data));
        QCOMPARE(doc.pageCount(), 1);
        const auto page = doc.page(0);
        QCOMPARE(page->texts(), QStringList({"Title", "1", "Page", "1"}));
        QVERIFY(page->bandsOf(BandKind::Detail).isEmpty());
        // No data set at all is an empty report too.
        ReportDef none = listReport(nullptr);
        Document doc2(none);
        QCOMPARE(doc2.pageCount(), 1);
        QCOMPARE(doc2.page(0)->texts().size(), 4);
    }

    // Group header once per master row, then its detail rows; the header
    // never stays alone at the foot of a page.
    void groupsAndSubDetail() {
        QList<QStringList> customers;
        QList<QList<QStringList>> contacts;
        const int counts[] = {3, 0, 7, 1, 12, 0, 4, 9, 2, 5, 6, 3};
        for (int m = 0; m < 12; ++m) {
            customers << QStringList{QStringLiteral("C%1").arg(m)};
            QList<QStringList> rows;
            for (int r = 0; r < counts[m]; ++r) rows << QStringList{QStringLiteral("C%1-%2").arg(m).arg(r)};
            contacts << rows;
        }
        ListData master({QStringLiteral("Company")}, customers);
        ListDetailData details({QStringLiteral("Name")}, contacts);
        ReportDef d;
        d.pageHeader = Band(40);
        d.pageFooter = Band(40);
        d.groupHeader = Band(60);
        d.groupHeader.add(Element::field(8, 5, QStringLiteral("Company")));
        d.subDetail = Band(70);
        d.subDetail.add(Element::field(8, 5, QStringLiteral("Name")));
        d.master = &master;
        d.details = &details;
        Document doc(d);
        const double footerTop = d.page.contentPx().bottom() - 40;

        QStringList seen;
        QList<QPair<int, int>> order;
        for (int i = 0; i < doc.pageCount(); ++i) {
            const auto page = doc.page(i);
            const auto& bands = page->bands;
            for (int b = 0; b < bands.size(); ++b) {
                const PlacedBand& pb = bands[b];
                if (pb.kind == BandKind::PageHeader || pb.kind == BandKind::PageFooter) continue;
                QVERIFY2(pb.rect.bottom() <= footerTop + kEps, "a band runs into the footer");
                order << qMakePair(pb.masterRow, pb.detailRow);
                seen << textsOfBand(*page, b);
                if (pb.kind == BandKind::GroupHeader && counts[pb.masterRow] > 0) {
                    // Its first contact is on the same page, right below it.
                    QVERIFY(b + 1 < bands.size());
                    QCOMPARE(bands[b + 1].kind, BandKind::SubDetail);
                    QCOMPARE(bands[b + 1].masterRow, pb.masterRow);
                    QCOMPARE(bands[b + 1].detailRow, 0);
                }
            }
        }
        QList<QPair<int, int>> expected;
        QStringList expectedTexts;
        for (int m = 0; m < 12; ++m) {
            expected << qMakePair(m, -1);
            expectedTexts << QStringLiteral("C%1").arg(m);
            for (int r = 0; r < counts[m]; ++r) {
                expected << qMakePair(m, r);
                expectedTexts << QStringLiteral("C%1-%2").arg(m).arg(r);
            }
        }
        QCOMPARE(order, expected);
        QCOMPARE(seen, expectedTexts);
        QVERIFY(doc.pageCount() > 3);
    }

    // Two columns: left then right, row by row, at the band's pitch.
    void columnsFillLeftThenRight() {
        QList<QList<QStringList>> contacts;
        QList<QStringList> customers;
        const int counts[] = {3, 0, 2, 30};
        int labels = 0;
        for (int m = 0; m < 4; ++m) {
            customers << QStringList{QString::number(m)};
            QList<QStringList> rows;
            for (int r = 0; r < counts[m]; ++r) rows << QStringList{QStringLiteral("L%1").arg(labels++)};
            contacts << rows;
        }
        ListData master({QStringLiteral("Id")}, customers);
        ListDetailData details({QStringLiteral("Name")}, contacts);
        ReportDef d;
        d.pageHeader = Band(40);
        d.pageFooter = Band(40);
        d.subDetail = Band(142);
        d.subDetail.add(Element::field(16, 24, QStringLiteral("Name")));
        d.subDetail.grid.columns = 2;
        d.subDetail.grid.columnWidth = 385;
        d.master = &master;
        d.details = &details;
        Document doc(d);
        const QRectF c = d.page.contentPx();
        const double top = c.top() + 40;
        const int rows = int((c.bottom() - 40 - top) / 142);
        const int perPage = rows * 2;
        QCOMPARE(doc.pageCount(), (labels + perPage - 1) / perPage);
        int n = 0;
        for (int i = 0; i < doc.pageCount(); ++i) {
            const auto page = doc.page(i);
            const auto cells = page->bandsOf(BandKind::SubDetail);
            for (int k = 0; k < cells.size(); ++k, ++n) {
                QCOMPARE(cells[k].cell, k);
                QVERIFY(std::abs(cells[k].rect.left() - (c.left() + (k % 2) * 385)) < kEps);
                QVERIFY(std::abs(cells[k].rect.top() - (top + (k / 2) * 142)) < kEps);
                QCOMPARE(cells[k].rect.width(), 385.0);
                const Item* t = textIn(*page, page->bands.indexOf(cells[k]));
                QVERIFY(t);
                QCOMPARE(t->text, QStringLiteral("L%1").arg(n));
                QVERIFY(std::abs(t->rect.left() - (cells[k].rect.left() + 16)) < kEps);
                QVERIFY(std::abs(t->rect.top() - (cells[k].rect.top() + 24)) < kEps);
            }
            if (i + 1 < doc.pageCount()) QCOMPARE(int(cells.size()), perPage);
        }
        QCOMPARE(n, labels);   // a customer without rows gives no cell

        // Skipped cells on the first page only.
        d.subDetail.grid.skip = 3;
        Document skipped(d);
        const auto first = skipped.page(0)->bandsOf(BandKind::SubDetail);
        QCOMPARE(first.first().cell, 3);
        QVERIFY(std::abs(first.first().rect.left() - (c.left() + 385)) < kEps);
        QVERIFY(std::abs(first.first().rect.top() - (top + 142)) < kEps);
        QCOMPARE(int(first.size()), perPage - 3);
        QCOMPARE(skipped.page(1)->bandsOf(BandKind::SubDetail).first().cell, 0);
    }

    // A fixed sheet: cells where its origin and pitches put them, the same on
    // every page, so nothing drifts.
    void fixedGridSheet() {
        ListData master({QStringLiteral("Id")}, {{"a"}});
        QList<QStringList> rows;
        for (int i = 0; i < 40; ++i) rows << QStringList{QString::number(i)};
        ListDetailData details({QStringLiteral("Name")}, {rows});
        ReportDef d;
        d.page.marginsMm = QMarginsF(0, 0, 0, 0);
        d.subDetail = Band(mmToPx(38.1));
        d.subDetail.add(Element::field(10, 10, QStringLiteral("Name")));
        ColumnGrid& g = d.subDetail.grid;
        g.columns = 2;
        g.columnWidth = mmToPx(99.1);
        g.columnPitch = mmToPx(101.6);
        g.rowPitch = mmToPx(38.1);
        g.rowsPerPage = 7;
        g.origin = QPointF(mmToPx(4.65), mmToPx(15.15));
        g.skip = 4;
        d.master = &master;
        d.details = &details;
        Document doc(d);
        QCOMPARE(doc.pageCount(), 1 + (40 - 10 + 13) / 14);
        for (int i = 0; i < doc.pageCount(); ++i) {
            const auto cells = doc.page(i)->bandsOf(BandKind::SubDetail);
            for (const PlacedBand& b : cells) {
                const int col = b.cell % 2, row = b.cell / 2;
                QVERIFY(row < 7);
                QVERIFY(std::abs(b.rect.left() - mmToPx(4.65 + col * 101.6)) < kEps);
                QVERIFY(std::abs(b.rect.top() - mmToPx(15.15 + row * 38.1)) < kEps);
                QVERIFY(std::abs(b.rect.width() - mmToPx(99.1)) < kEps);
            }
            QCOMPARE(cells.first().cell, i == 0 ? 4 : 0);
        }
        QCOMPARE(doc.page(0)->bandsOf(BandKind::SubDetail).size(), 10);
    }

    // Texts keep to their place: one line ends in an ellipsis, line breaks
    // in a one-line text are blanks, wrapping text moves what is below it
    // and stops at the band's edge.
    void textsKeepToTheirPlace() {
        const QString longText = QStringLiteral("广东省深圳市南山区粤海街道科技园南区深南大道一万零一号高新技术产业园区") +
                                 QStringLiteral("软件大厦东座十八楼一千八百零八室 and a few more words to be sure");
        ListData master({QStringLiteral("Id")}, {{"1"}});
        ListDetailData details({QStringLiteral("Short"), QStringLiteral("Long"), QStringLiteral("Lines"),
                                QStringLiteral("Name")},
                               {{{QStringLiteral("Jo"), longText, QStringLiteral("first\r\nsecond\nthird"),
                                  QStringLiteral("Maximilian Featherstonehaugh")}}});
        ReportDef d;
        d.subDetail = Band(142);
        Band& b = d.subDetail;
        Element one = Element::field(16, 0, QStringLiteral("Long"));
        one.maxRight = 200;
        b.add(one);                                                   // 0
        b.add(Element::field(16, 20, QStringLiteral("Lines")));       // 1
        Element wrap = Element::field(16, 48, QStringLiteral("Long"), TypeFace{QStringLiteral("Arial"), 12, false});
        wrap.wrap = true;
        wrap.stretch = true;
        wrap.maxRight = 369;
        b.add(wrap);                                                  // 2
        b.add(Element::field(16, 72, QStringLiteral("Short")));       // 3
        b.add(Element::field(200, 96, QStringLiteral("Missing")));    // 4: no such field
        Element name = Element::field(16, 96, QStringLiteral("Name"));
        name.maxRight = 369;
        b.add(name);                                                  // 5
        Element receive = Element::label(96, 96, QStringLiteral("(Receive)"));
        receive.maxRight = 369;
        receive.after = 5;
        b.add(receive);                                               // 6
        b.grid.columns = 2;
        b.grid.columnWidth = 385;
        d.master = &master;
        d.details = &details;
        Document doc(d);
        const auto page = doc.page(0);
        const PlacedBand cell = page->bandsOf(BandKind::SubDetail).first();
        const QFontMetricsF fm12 = reportMetrics(TypeFace{QStringLiteral("Arial"), 12, false});

        QVector<const Item*> texts;
        for (const Item& i : page->items)
            if (i.kind == Item::Text) texts << &i;
        for (const Item* i : texts) {
            QVERIFY2(inside(i->rect, cell.rect), qPrintable(i->text));
            QVERIFY(!i->text.contains(QLatin1Char('\n')) && !i->text.contains(QLatin1Char('\r')));
        }
        // One line, cut at its right edge with an ellipsis.
        QVERIFY(texts[0]->text.endsWith(QChar(0x2026)));
        QVERIFY(texts[0]->rect.right() <= cell.rect.left() + 200 + kEps);
        QCOMPARE(texts[1]->text, QStringLiteral("first second third"));
        // The wrapped text: as many lines as leave room for the ones below.
        QVector<const Item*> wrapped;
        for (const Item* i : texts)
            if (i->font.pointSize == 12) wrapped << i;
        QVERIFY(wrapped.size() >= 2);
        QVERIFY(wrapped.last()->text.endsWith(QChar(0x2026)));
        for (int k = 1; k < wrapped.size(); ++k)
            QVERIFY(std::abs(wrapped[k]->rect.top() - wrapped[k - 1]->rect.top() - fm12.lineSpacing()) < kEps);
        const double grown = (wrapped.size() - 1) * fm12.lineSpacing();
        const Item* shortItem = page->find(QStringLiteral("Jo"));
        QVERIFY(shortItem);
        QVERIFY(std::abs(shortItem->rect.top() - (cell.rect.top() + 72 + grown)) < kEps);
        // "(Receive)" after the long name, not under it, inside the label.
        const Item* rec = page->find(QStringLiteral("(Receive)"));
        const Item* nm = page->find(QStringLiteral("Maximilian Featherstonehaugh"));
        QVERIFY(rec && nm);
        QVERIFY(nm->rect.right() > cell.rect.left() + 96);
        QVERIFY(rec->rect.left() >= nm->rect.right());
        QVERIFY(std::abs(rec->rect.top() - nm->rect.top()) < kEps);
        // Nothing printed for a column the data does not have.
        for (const Item* i : texts) QVERIFY(std::abs(i->rect.left() - (cell.rect.left() + 200)) > kEps);
    }

    // A caption longer than its room pushes its value along.
    void afterPushesAlong() {
        ListData master({QStringLiteral("V")}, {{"value"}});
        ReportDef d;
        d.detail = Band(25);
        d.detail.add(Element::label(8, 5, QStringLiteral("A very long caption indeed: ")));
        Element v = Element::field(83, 5, QStringLiteral("V"));
        v.after = 0;
        d.detail.add(v);
        d.master = &master;
        Document doc(d);
        const auto page = doc.page(0);
        const Item* caption = page->find(QStringLiteral("A very long caption indeed: "));
        const Item* value = page->find(QStringLiteral("value"));
        QVERIFY(caption && value);
        QVERIFY(caption->rect.right() > d.page.contentPx().left() + 83);
        QVERIFY(value->rect.left() > caption->rect.right());
    }

    // The first page of a long list is laid out alone, reading only its rows.
    void laysOutOnDemand() {
        CountingData data(100000);
        Document doc(listReport(&data, 20));
        const auto first = doc.page(0);
        QVERIFY(first);
        QCOMPARE(doc.layoutRuns(), 1);
        QCOMPARE(doc.knownPages(), 1);
        QVERIFY(!doc.complete());
        QVERIFY(data.highest < 100);
        const int perPage = int(first->bandsOf(BandKind::Detail).size());

        // Page 6 needs the pages before it walked, once.
        const auto sixth = doc.page(5);
        QCOMPARE(sixth->bandsOf(BandKind::Detail).first().masterRow, 5 * perPage);
        QCOMPARE(doc.knownPages(), 6);
        const int runs = doc.layoutRuns();
        doc.page(5);
        QCOMPARE(doc.layoutRuns(), runs);   // kept, not laid out again

        // Counting ahead keeps only where pages begin; a page laid out again
        // from there is the same page.
        const QStringList before = doc.page(1)->texts();
        doc.countAhead(50);
        QVERIFY(doc.knownPages() > 6);
        for (int i = 10; i < 20; ++i) doc.page(i);
        QCOMPARE(doc.page(1)->texts(), before);
        // Counting reads no texts: where pages break depends on bands alone.
        const int reads = data.reads;
        QCOMPARE(doc.pageCount(), (100000 + perPage - 1) / perPage);
        QVERIFY(doc.complete());
        QCOMPARE(data.reads, reads);
    }

    void missingFontFallsBackToChinese() {
        const QString family = resolvedFamily(QStringLiteral("No Such Face 4711"));
        QVERIFY(!family.isEmpty());
        QVERIFY2(!cjkFamily().isEmpty(), "no font with Chinese is installed");
        const QFont f = reportFont(TypeFace{QStringLiteral("No Such Face 4711"), 10, false});
        const QFontMetricsF fm(f, measuringDevice());
        // Some family of the font draws each glyph: 客 (customer) and a Latin A.
        QRawFont raw = QRawFont::fromFont(QFont(cjkFamily()));
        QVERIFY(raw.supportsCharacter(QChar(0x5BA2)));
        QVERIFY(f.families().contains(cjkFamily()));
        QVERIFY(fm.horizontalAdvance(QStringLiteral("客户")) > 0);
        // An installed family is used as asked.
        const QString installed = QFontDatabase::families().value(0);
        QCOMPARE(resolvedFamily(installed), installed);
        // Sizes are in points: 12 pt is 16 report pixels to the em, and
        // measuring is the same whatever the screen.
        QVERIFY(std::abs(QFontInfo(reportFont(TypeFace{installed, 12, false})).pixelSize() - 16) <= 1);
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
