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
// The label rectangle the sheet's geometry gives, in report pixels.
QRectF geometryPx(const LabelSheet& s, int index) {
    const QRectF mm = s.labelMm(index);
    return QRectF(mmToPx(mm.left()), mmToPx(mm.top()), mmToPx(mm.width()), mmToPx(mm.height()));
}
bool same(const QRectF& a, const QRectF& b) {
    return std::abs(a.left() - b.left()) < kEps && std::abs(a.top() - b.top()) < kEps &&
           std::abs(a.width() - b.width()) < kEps && std::abs(a.height() - b.height()) < kEps;
}
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
        registerReportWindows();
        QVERIFY(pdftext::available());
    }
    void init() { QVERIFY(begin()); }
    void cleanup() { stop(); }

    void builtInSheets() {
        const QVector<LabelSheet>& all = LabelSheets();
        QVERIFY(all.first().isEnvelope());
        QVERIFY(all.last().isCustom());
        const struct {
            const char* id;
            int columns, rows;
            double w, h;
        } wanted[] = {{"2x7", 2, 7, 99.1, 38.1}, {"2x8", 2, 8, 99.1, 33.9}, {"3x7", 3, 7, 63.5, 38.1},
                      {"3x8", 3, 8, 70, 37}};
        for (const auto& w : wanted) {
            const LabelSheet s = SheetById(QLatin1String(w.id));
            QCOMPARE(s.id, QLatin1String(w.id));
            QCOMPARE(s.columns, w.columns);
            QCOMPARE(s.rows, w.rows);
            QCOMPARE(s.width, w.w);
            QCOMPARE(s.height, w.h);
            QVERIFY2(s.problem().isEmpty(), w.id);
            // Inside the sheet, labels apart.
            const QRectF last = s.labelMm(s.perSheet() - 1);
            QVERIFY(last.right() <= 210 && last.bottom() <= 297);
            QVERIFY(s.hpitch >= s.width && s.vpitch >= s.height);
        }
        // The envelope layout described as a sheet: 385 x 142 px, two across.
        const LabelSheet e = EnvelopeLayout();
        QCOMPARE(e.columns, 2);
        QVERIFY(std::abs(mmToPx(e.width) - 385) < kEps && std::abs(mmToPx(e.height) - 142) < kEps);
        QCOMPARE(e.rows, 6);
        QVERIFY(e.problem().isEmpty());
        QVERIFY(SheetById("no such sheet").isEnvelope());
    }

    // Every built-in sheet: the first and last label of page 1 and of page 2
    // exactly where the geometry puts them, nothing but labels on the page.
    void labelsWhereTheSheetSays() {
        const QStringList codes = labels(60);
        for (const LabelSheet& s : LabelSheets()) {
            if (s.isEnvelope() || s.isCustom()) continue;
            TFrm_R_CustBar w;
            w.ApplySettings(on(s.id));
            QVERIFY(!w.QRPageHeader.enabled && !w.QRPageFooter.enabled);
            const auto doc = w.document();
            QCOMPARE(doc->pageCount(), (60 + s.perSheet() - 1) / s.perSheet());
            for (int p = 0; p < 2; ++p) {
                const auto page = doc->page(p);
                const auto cells = page->bandsOf(BandKind::SubDetail);
                QCOMPARE(int(cells.size()), s.perSheet());
                QCOMPARE(cells.size(), page->bands.size());
                QVERIFY2(same(cells.first().rect, geometryPx(s, 0)), qPrintable(s.id));
                QVERIFY2(same(cells.last().rect, geometryPx(s, s.perSheet() - 1)), qPrintable(s.id));
                for (int k = 0; k < cells.size(); ++k) QVERIFY(same(cells[k].rect, geometryPx(s, k)));
                // The first label's post code sits inside its label.
                const Item* code = itemIn(*page, 0, codes[p * s.perSheet()]);
                QVERIFY(code);
                QVERIFY(cells.first().rect.contains(code->rect));
            }
        }
    }

    // Starting at label 5 of a 2 x 7 sheet: four blank, the rest filled, and
    // the next sheet from its first label.
    void startAtLabelFive() {
        const QStringList codes = labels(30);
        TFrm_R_CustBar w;
        const LabelSheet s = SheetById("2x7");
        w.ApplySettings(on("2x7", 5));
        const auto doc = w.document();
        const auto first = doc->page(0)->bandsOf(BandKind::SubDetail);
        QCOMPARE(first.size(), 10);
        QCOMPARE(first.first().cell, 4);
        QVERIFY(same(first.first().rect, geometryPx(s, 4)));
        QVERIFY(same(first.last().rect, geometryPx(s, 13)));
        QVERIFY(doc->page(0)->find(codes[0]));
        const auto second = doc->page(1)->bandsOf(BandKind::SubDetail);
        QCOMPARE(second.first().cell, 0);
        QVERIFY(same(second.first().rect, geometryPx(s, 0)));
        QVERIFY(doc->page(1)->find(codes[10]));
        QCOMPARE(doc->pageCount(), 3);   // 10 + 14 + 6
        // A start past the sheet's last label is brought back onto it.
        EnvelopSettings big = on("2x7", 99);
        QCOMPARE(big.skipped(), 13);
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
    void settingRoundTrips() {
        const QString path = Frm_Data->ConfigIni->fileName();
        {
            IniFile ini(path);
            QVERIFY(WriteEnvelopSettings(ini, on("3x7", 8)));
        }
        IniFile again(path);
        EnvelopSettings back = ReadEnvelopSettings(again);
        QCOMPARE(back.sheet.id, QStringLiteral("3x7"));
        QVERIFY(back.sheet.sameGeometry(SheetById("3x7")));
        QCOMPARE(back.start, 8);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("[Envelop]"));

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
        QVERIFY(WriteEnvelopSettings(again, custom));
        back = ReadEnvelopSettings(IniFile(path));
        QVERIFY(back.sheet.isCustom());
        QVERIFY(back.sheet.sameGeometry(custom.sheet));
        QCOMPARE(back.start, 4);

        // A geometry spoilt by hand falls back to the envelope layout.
        IniFile(path).writeString("Envelop", "Width", "500");
        const EnvelopSettings spoilt = ReadEnvelopSettings(IniFile(path));
        QVERIFY(spoilt.sheet.isEnvelope());
        QVERIFY(!spoilt.problem.isEmpty());
        QCOMPARE(spoilt.rejected.width, 500.0);
        // Section and key names in any case.
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
        const LabelSheet s = SheetById("2x8");
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
        const QPointF inLabel = ref->rect.topLeft() - geometryPx(s, 0).topLeft();
        for (int p = 1; p <= 2; ++p)
            for (int k : {0, s.perSheet() - 2, s.perSheet() - 1}) {
                const QString code = codes[(p - 1) * s.perSheet() + k];
                const pdftext::Word* word = pdftext::find(words, code, p);
                QVERIFY2(word, qPrintable(code));
                const QRectF label = s.labelMm(k);
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
