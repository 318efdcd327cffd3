// Envelope labels on ready-cut A4 label sheets.
#include <QFile>
#include <QTemporaryDir>

#include "app/IniFile.h"
#include "reports/LabelSheet.h"
#include "reports/U_R_CustBar.h"
#include "reports/Windows.h"
#include "tests/reports/ReportFixture.h"
#include "toolkit/report/Output.h"

using namespace report;
using reporttest::kEps;

namespace {
// Millimetres as report pixels (96 to the inch).
QRectF px(const QRectF& mm) {
    const double k = 96 / 25.4;
    return QRectF(mm.left() * k, mm.top() * k, mm.width() * k, mm.height() * k);
}
bool same(const QRectF& a, const QRectF& b) {
    return std::abs(a.left() - b.left()) < kEps && std::abs(a.top() - b.top()) < kEps &&
           std::abs(a.width() - b.width()) < kEps && std::abs(a.height() - b.height()) < kEps;
}
bool sameMm(const QRectF& a, const QRectF& b) {
    auto near = [](double x, double y) { return std::abs(x - y) < 0.001; };
    return near(a.left(), b.left()) && near(a.top(), b.top()) && near(a.width(), b.width()) &&
           near(a.height(), b.height());
}
QString show(const QRectF& r) {
    return QStringLiteral("(%1, %2) %3 x %4").arg(r.left()).arg(r.top()).arg(r.width()).arg(r.height());
}

// Where labels lie on the ready-cut sheets, in mm from the sheet's top left
// corner, worked out by hand from the makers' data sheets (label size, top
// and side margin, pitch across and down): the first label, the last of the
// first row, the first of the second row, and the last on the sheet.
struct Placed {
    const char* sheet;
    int index;  // from 0, row by row
    QRectF mm;
};
const Placed kPlaced[] = {
    // Avery L7163: 2 x 7 of 99.1 x 38.1, top 15.15, side 4.65, pitch 101.6 across, 38.1 down.
    {"2x7", 0, {4.65, 15.15, 99.1, 38.1}},
    {"2x7", 1, {106.25, 15.15, 99.1, 38.1}},
    {"2x7", 2, {4.65, 53.25, 99.1, 38.1}},
    {"2x7", 13, {106.25, 243.75, 99.1, 38.1}},
    // Avery L7162: 2 x 8 of 99.1 x 33.9, top 12.9, side 4.65, pitch 101.6 across, 33.9 down.
    {"2x8", 0, {4.65, 12.9, 99.1, 33.9}},
    {"2x8", 1, {106.25, 12.9, 99.1, 33.9}},
    {"2x8", 2, {4.65, 46.8, 99.1, 33.9}},
    {"2x8", 15, {106.25, 250.2, 99.1, 33.9}},
    // Avery L7160: 3 x 7 of 63.5 x 38.1, top 15.15, side 7.25, pitch 66.04 across, 38.1 down.
    {"3x7", 0, {7.25, 15.15, 63.5, 38.1}},
    {"3x7", 2, {139.33, 15.15, 63.5, 38.1}},
    {"3x7", 3, {7.25, 53.25, 63.5, 38.1}},
    {"3x7", 20, {139.33, 243.75, 63.5, 38.1}},
    // Avery Zweckform 3475: 3 x 8 of 70 x 37, edge to edge, top 0.5.
    {"3x8", 0, {0, 0.5, 70, 37}},
    {"3x8", 2, {140, 0.5, 70, 37}},
    {"3x8", 3, {0, 37.5, 70, 37}},
    {"3x8", 23, {140, 259.5, 70, 37}},
};
}  // namespace

class TestLabelSheet : public QObject, reporttest::ReportFixture {
    Q_OBJECT

    // n contacts over a few customers, post codes "Q0000", "Q0001", ...
    QStringList labels(int n) {
        QStringList codes;
        int c = 0;
        for (int i = 0; i < n; ++i) {
            if (i % 5 == 0) c = customer(QStringLiteral("Customer %1").arg(i));
            codes << QStringLiteral("Q%1").arg(i, 4, 10, QLatin1Char('0'));
            contact(c, QStringLiteral("Name %1").arg(i), QString(), false, QStringLiteral("Street %1").arg(i),
                    codes.last(), QStringLiteral("Company %1").arg(i));
        }
        openLists();
        return codes;
    }

    static EnvelopSettings on(const QString& id, int start = 1) {
        EnvelopSettings s;
        s.sheet = SheetById(id);
        s.start = start;
        return s;
    }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerReportWindows();
        QVERIFY(pdftext::available());
    }
    void init() { QVERIFY(begin()); }
    void cleanup() { stop(); }

    void builtInSheets_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::newRow("L7163") << "2x7" << 2 << 7 << 99.1 << 38.1;
        QTest::newRow("L7162") << "2x8" << 2 << 8 << 99.1 << 33.9;
        QTest::newRow("L7160") << "3x7" << 3 << 7 << 63.5 << 38.1;
        QTest::newRow("3475") << "3x8" << 3 << 8 << 70.0 << 37.0;
    }
    void builtInSheets() {
        QFETCH(QString, id);
        QFETCH(int, columns);
        QFETCH(int, rows);
        QFETCH(double, width);
        QFETCH(double, height);
        const LabelSheet s = SheetById(id);
        QCOMPARE(s.id, id);
        QCOMPARE(s.columns, columns);
        QCOMPARE(s.rows, rows);
        QCOMPARE(s.width, width);
        QCOMPARE(s.height, height);
        QCOMPARE(s.perSheet(), columns * rows);
        QVERIFY2(s.problem().isEmpty(), qPrintable(s.problem()));
    }

    void choicesInOrder() {
        const QVector<LabelSheet>& all = LabelSheets();
        QCOMPARE(all.size(), 6);
        QVERIFY(all.first().isEnvelope());
        QCOMPARE(all[1].id, QStringLiteral("2x7"));
        QVERIFY(all.last().isCustom());
        QVERIFY(SheetById("no such sheet").isEnvelope());
    }

    // The envelope layout described as a sheet: 385 x 142 px, two across,
    // six down below the page header.
    void envelopeLayoutAsASheet() {
        const LabelSheet e = EnvelopeLayout();
        QCOMPARE(e.columns, 2);
        QCOMPARE(e.rows, 6);
        QVERIFY2(std::abs(e.width - 101.865) < 0.001, qPrintable(QString::number(e.width)));     // 385 px
        QVERIFY2(std::abs(e.height - 37.5708) < 0.001, qPrintable(QString::number(e.height)));   // 142 px
        QVERIFY(e.problem().isEmpty());
    }

    // The label rectangles a sheet gives, against the positions worked out
    // by hand.
    void labelPositions_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("index");
        QTest::addColumn<QRectF>("mm");
        for (const Placed& p : kPlaced)
            QTest::addRow("%s label %d", p.sheet, p.index + 1) << QString::fromLatin1(p.sheet) << p.index << p.mm;
    }
    void labelPositions() {
        QFETCH(QString, id);
        QFETCH(int, index);
        QFETCH(QRectF, mm);
        const QRectF got = SheetById(id).labelMm(index);
        QVERIFY2(sameMm(got, mm), qPrintable(show(got) + QStringLiteral(", wanted ") + show(mm)));
    }

    // Every built-in sheet: on pages 1 and 2 the report puts its labels where
    // the sheet has them (worked out by hand), one band per label, nothing
    // else on the page.
    void labelsWhereTheSheetSays_data() {
        QTest::addColumn<QString>("id");
        for (const char* id : {"2x7", "2x8", "3x7", "3x8"}) QTest::newRow(id) << QString::fromLatin1(id);
    }
    void labelsWhereTheSheetSays() {
        QFETCH(QString, id);
        const QStringList codes = labels(60);
        const LabelSheet s = SheetById(id);
        TFrm_R_CustBar w;
        w.ApplySettings(on(id));
        QVERIFY(!w.QRPageHeader.enabled && !w.QRPageFooter.enabled);
        const auto doc = w.document();
        QCOMPARE(doc->pageCount(), (60 + s.perSheet() - 1) / s.perSheet());
        for (int p = 0; p < 2; ++p) {
            const auto page = doc->page(p);
            const auto cells = page->bandsOf(BandKind::SubDetail);
            QCOMPARE(int(cells.size()), s.perSheet());
            QCOMPARE(cells.size(), page->bands.size());
            for (const Placed& want : kPlaced) {
                if (id != QLatin1String(want.sheet)) continue;
                QVERIFY2(same(cells[want.index].rect, px(want.mm)),
                         qPrintable(QStringLiteral("page %1, label %2").arg(p + 1).arg(want.index + 1)));
            }
            // The first label's post code sits inside its label.
            const Item* code = itemIn(*page, 0, codes[p * s.perSheet()]);
            QVERIFY(code);
            QVERIFY(cells.first().rect.contains(code->rect));
        }
    }

    // Starting at label 5 of a 2 x 7 sheet: four blank, the rest filled, and
    // the next sheet from its first label.
    void startAtLabelFive() {
        const QStringList codes = labels(30);
        TFrm_R_CustBar w;
        w.ApplySettings(on("2x7", 5));
        const auto doc = w.document();
        const auto first = doc->page(0)->bandsOf(BandKind::SubDetail);
        QCOMPARE(first.size(), 10);
        QCOMPARE(first.first().cell, 4);
        QVERIFY(same(first.first().rect, px({4.65, 91.35, 99.1, 38.1})));       // third row, left
        QVERIFY(same(first.last().rect, px({106.25, 243.75, 99.1, 38.1})));     // last row, right
        QVERIFY(doc->page(0)->find(codes[0]));
        const auto second = doc->page(1)->bandsOf(BandKind::SubDetail);
        QCOMPARE(second.first().cell, 0);
        QVERIFY(same(second.first().rect, px({4.65, 15.15, 99.1, 38.1})));
        QVERIFY(doc->page(1)->find(codes[10]));
        QCOMPARE(doc->pageCount(), 3);   // 10 + 14 + 6
    }

    // A start past the sheet's last label is brought back onto it.
    void startPastTheLastLabel() {
        QCOMPARE(on("2x7", 99).skipped(), 13);
        QCOMPARE(on("2x7", 0).skipped(), 0);
        QCOMPARE(on("3x8", 24).skipped(), 23);
    }

    // Texts longer than a label stop at its edge: nothing reaches the next.
    void longTextsStayOnTheirLabel() {
        for (int i = 0; i < 9; ++i) {
            const int c = customer(QStringLiteral("C%1").arg(i));
            contact(c, QString(40, QLatin1Char('N')), QString(), false,
                    QString(200, i % 2 ? QChar(0x8DEF) : QLatin1Char('A')), QString(12, QLatin1Char('9')),
                    QString(200, QChar(0x516C)));
        }
        openLists();
        for (const char* id : {"2x7", "2x8", "3x7", "3x8"}) {
            TFrm_R_CustBar w;
            w.ApplySettings(on(QLatin1String(id)));
            const auto doc = w.document();
            const auto page = doc->page(0);
            for (int b = 0; b < page->bands.size(); ++b) {
                const QRectF label = page->bands[b].rect;
                for (const Item& i : bandItems(*page, b, Item::Text)) {
                    QVERIFY2(i.rect.left() >= label.left() - kEps && i.rect.right() <= label.right() + kEps &&
                                 i.rect.top() >= label.top() - kEps && i.rect.bottom() <= label.bottom() + kEps,
                             qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(id), i.text)));
                }
                QVERIFY(bandTexts(*page, b).size() >= 5);   // all four lines and "(Receive)" kept
            }
        }
    }

    // The choice survives a restart of the program: written to config.ini,
    // read back by a fresh ini object on the same file.
    void builtInChoiceRoundTrips() {
        const QString path = Frm_Data->ConfigIni->fileName();
        {
            IniFile ini(path);
            QVERIFY(WriteEnvelopSettings(ini, on("3x7", 8)));
        }
        const EnvelopSettings back = ReadEnvelopSettings(IniFile(path));
        QCOMPARE(back.sheet.id, QStringLiteral("3x7"));
        QCOMPARE(back.sheet.columns, 3);
        QCOMPARE(back.sheet.rows, 7);
        QCOMPARE(back.start, 8);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("[Envelop]"));
    }

    void customGeometryRoundTrips() {
        const QString path = Frm_Data->ConfigIni->fileName();
        EnvelopSettings custom;
        custom.sheet = SheetById("custom");
        custom.sheet.columns = 3;
        custom.sheet.rows = 10;
        custom.sheet.width = 66.7;
        custom.sheet.height = 25.4;
        custom.sheet.top = 12.7;
        custom.sheet.left = 3.5;
        custom.sheet.hpitch = 69.85;
        custom.sheet.vpitch = 25.4;
        custom.start = 4;
        QVERIFY(custom.sheet.problem().isEmpty());
        {
            IniFile ini(path);
            QVERIFY(WriteEnvelopSettings(ini, custom));
        }
        const EnvelopSettings back = ReadEnvelopSettings(IniFile(path));
        QVERIFY(back.sheet.isCustom());
        QCOMPARE(back.sheet.columns, 3);
        QCOMPARE(back.sheet.rows, 10);
        QVERIFY(sameMm(back.sheet.labelMm(0), {3.5, 12.7, 66.7, 25.4}));
        QVERIFY(sameMm(back.sheet.labelMm(29), {143.2, 241.3, 66.7, 25.4}));
        QCOMPARE(back.start, 4);
    }

    // A geometry spoilt by hand falls back to the envelope layout.
    void spoiltGeometryFallsBack() {
        const QString path = Frm_Data->ConfigIni->fileName();
        EnvelopSettings custom;
        custom.sheet = SheetById("custom");
        {
            IniFile ini(path);
            QVERIFY(WriteEnvelopSettings(ini, custom));
        }
        QVERIFY(ReadEnvelopSettings(IniFile(path)).sheet.isCustom());
        IniFile(path).writeString("Envelop", "Width", "500");
        const EnvelopSettings spoilt = ReadEnvelopSettings(IniFile(path));
        QVERIFY(spoilt.sheet.isEnvelope());
        QVERIFY(!spoilt.problem.isEmpty());
        QCOMPARE(spoilt.rejected.width, 500.0);
    }

    void sectionAndKeyNamesInAnyCase() {
        const QString path = Frm_Data->ConfigIni->fileName();
        IniFile(path).writeString("ENVELOP", "SHEET", "2x8");
        QCOMPARE(ReadEnvelopSettings(IniFile(path)).sheet.id, QStringLiteral("2x8"));
    }

    // Without a choice the report is today's envelope layout, exactly.
    void defaultKeepsTheEnvelopeLayout() {
        labels(14);
        TFrm_R_CustBar byDefault;   // config.ini has no [Envelop]
        QVERIFY(byDefault.Settings.sheet.isEnvelope());
        TFrm_R_CustBar chosen;
        chosen.ApplySettings(on("envelope"));
        const auto a = byDefault.document();
        const auto b = chosen.document();
        QCOMPARE(a->pageCount(), b->pageCount());
        const QRectF content = byDefault.Report.page.contentPx();
        QVERIFY(std::abs(content.left() - mmToPx(3)) < kEps && std::abs(content.top() - mmToPx(10)) < kEps);
        for (int p = 0; p < a->pageCount(); ++p) {
            const auto pa = a->page(p), pb = b->page(p);
            QCOMPARE(pa->bands.size(), pb->bands.size());
            for (int i = 0; i < pa->bands.size(); ++i) QVERIFY(same(pa->bands[i].rect, pb->bands[i].rect));
            QCOMPARE(pa->items.size(), pb->items.size());
            for (int i = 0; i < pa->items.size(); ++i) {
                QCOMPARE(pa->items[i].text, pb->items[i].text);
                QVERIFY(same(pa->items[i].rect, pb->items[i].rect));
            }
            const auto cells = pa->bandsOf(BandKind::SubDetail);
            for (int k = 0; k < cells.size(); ++k) {
                QVERIFY(same(cells[k].rect, QRectF(content.left() + (k % 2) * 385, content.top() + 40 + (k / 2) * 142,
                                                   385, 142)));
            }
            QVERIFY(pa->find("Customer Envelop Label"));
        }
    }

    // Measured in the PDF: the last row of a page, on page 1 and page 2,
    // within 0.2 mm of where the sheet's geometry puts it.
    void alignmentInThePdf() {
        const QStringList codes = labels(40);
        const int perSheet = 16;
        // L7162 (2 x 8): labels 1, 15 and 16, worked out by hand.
        const QList<QPair<int, QPointF>> where = {
            {0, {4.65, 12.9}}, {perSheet - 2, {4.65, 250.2}}, {perSheet - 1, {106.25, 250.2}}};
        QVERIFY(WriteEnvelopSettings(*Frm_Data->ConfigIni, on("2x8")));
        QTemporaryDir tmp;
        const QString path = tmp.filePath("sheet.pdf");
        dlg->printAnswers << path;
        main->PrintCustBar->trigger();
        QCOMPARE(pdftext::pages(path), 3);
        const auto words = pdftext::words(path);
        TFrm_R_CustBar w;
        const auto doc = w.document();
        const auto firstPage = doc->page(0);
        const Item* ref = firstPage->find(codes[0]);
        QVERIFY(ref);
        // Where in its label the post code sits (the same in every label).
        const QPointF inLabel = ref->rect.topLeft() - px({4.65, 12.9, 99.1, 33.9}).topLeft();
        for (int p = 1; p <= 2; ++p)
            for (const auto& [k, corner] : where) {
                const QString code = codes[(p - 1) * perSheet + k];
                const pdftext::Word* word = pdftext::find(words, code, p);
                QVERIFY2(word, qPrintable(code));
                const QRectF label(corner, QSizeF(99.1, 33.9));
                const double x = word->box.left() * pdftext::kMmPerPt;
                const double y = word->box.top() * pdftext::kMmPerPt;
                QVERIFY2(std::abs(x - (label.left() + pxToMm(inLabel.x()))) < 0.2, qPrintable(code));
                QVERIFY2(std::abs(y - (label.top() + pxToMm(inLabel.y()))) < 0.2,
                         qPrintable(QStringLiteral("%1 at %2 mm, the sheet says %3 mm")
                                        .arg(code)
                                        .arg(y)
                                        .arg(label.top() + pxToMm(inLabel.y()))));
            }
    }
};

QTEST_MAIN(TestLabelSheet)
#include "tst_labelsheet.moc"
