// The envelope labels on plain paper: two columns of 385 x 142 px.
#include <QTemporaryDir>

#include "reports/U_R_CustBar.h"
#include "reports/Windows.h"
#include "tests/reports/ReportFixture.h"
#include "toolkit/Modal.h"
#include "toolkit/report/Preview.h"

using namespace report;
using reporttest::kEps;

class TestCustBar : public QObject, reporttest::ReportFixture {
    Q_OBJECT

    // Customers with the given numbers of contacts; each contact's post code
    // is unique ("P" and a running number) so its label can be found.
    QStringList fill(const QVector<int>& counts) {
        QStringList postCodes;
        int n = 0;
        for (int i = 0; i < counts.size(); ++i) {
            const int c = customer(QStringLiteral("Customer %1").arg(i), QStringLiteral("Customer road %1").arg(i));
            for (int k = 0; k < counts[i]; ++k, ++n) {
                const QString pc = QStringLiteral("P%1").arg(n, 4, 10, QLatin1Char('0'));
                contact(c, QStringLiteral("Name %1").arg(n), QString(), false, QStringLiteral("Street %1").arg(n), pc,
                        QStringLiteral("Company %1").arg(i));
                postCodes << pc;
            }
        }
        return postCodes;
    }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerReportWindows();
        QVERIFY(pdftext::available());
    }
    void init() { QVERIFY(begin()); }
    void cleanup() { stop(); }

    // The label as laid down: four lines and "(Receive)", where and in what
    // type; page header and footer.
    void labelLayout() {
        openLists();
        TFrm_R_CustBar w;
        QVERIFY(w.Settings.sheet.isEnvelope());
        const Band& l = w.QRSubDetail1;
        QCOMPARE(l.height, 142.0);
        QCOMPARE(l.grid.columns, 2);
        QCOMPARE(l.grid.columnWidth, 385.0);
        QCOMPARE(l.grid.columnPitch, 0.0);   // no gap
        const struct {
            ElementKind kind;
            const char* text;
            double x, y, pt;
        } expected[] = {{ElementKind::Field, "PostCode", 16, 24, 10},
                        {ElementKind::Field, "Address", 16, 48, 12},
                        {ElementKind::Field, "Company", 16, 72, 10},
                        {ElementKind::Field, "Name", 16, 96, 10},
                        {ElementKind::Label, "(Receive)", 96, 96, 10}};
        QCOMPARE(l.elements.size(), 5);
        for (int i = 0; i < 5; ++i) {
            const Element& e = l.elements[i];
            QCOMPARE(e.kind, expected[i].kind);
            QCOMPARE(e.text, QLatin1String(expected[i].text));
            QCOMPARE(e.pos, QPointF(expected[i].x, expected[i].y));
            QVERIFY(e.font);
            QCOMPARE(e.font->family, QStringLiteral("MS Sans Serif"));
            QCOMPARE(e.font->pointSize, expected[i].pt);
        }
        QCOMPARE(w.QRPageHeader.height, 40.0);
        QCOMPARE(w.QRPageHeader.elements[0].text, QStringLiteral("Customer Envelop Label"));
        QCOMPARE(w.QRPageHeader.elements[0].pos, QPointF(280, 8));
        QCOMPARE(w.QRPageHeader.elements[0].font->pointSize, 14.0);
        QVERIFY(w.QRPageHeader.elements[0].font->bold);
        QCOMPARE(w.QRPageFooter.height, 40.0);
        QVERIFY(!w.QRBand2.enabled);
        QCOMPARE(w.Report.page.orientation, QPageLayout::Portrait);
    }

    // Left then right, row by row, on the 142 px pitch down every page, one
    // label per contact and none for a customer without contacts.
    void labelsFillTwoColumns() {
        const QStringList codes = fill({3, 0, 2, 1, 0, 17, 4});
        openLists();
        TFrm_R_CustBar w;
        const auto doc = w.document();
        const QRectF content = w.Report.page.contentPx();
        const double top = content.top() + 40;
        const int perPage = 2 * int((content.bottom() - 40 - top) / 142);
        QCOMPARE(doc->pageCount(), (int(codes.size()) + perPage - 1) / perPage);
        int n = 0;
        for (const auto& page : pages(*doc)) {
            const auto labels = page->bandsOf(BandKind::SubDetail);
            QVERIFY(page->bandsOf(BandKind::GroupHeader).isEmpty());
            for (int k = 0; k < labels.size(); ++k, ++n) {
                const PlacedBand& lb = labels[k];
                QVERIFY(near(lb.rect.left(), content.left() + (k % 2) * 385));
                QVERIFY(near(lb.rect.top(), top + (k / 2) * 142));
                const int b = page->bands.indexOf(lb);
                const Item* code = itemIn(*page, b, codes[n]);
                QVERIFY2(code, qPrintable(codes[n]));
                QVERIFY(near(code->rect.left(), lb.rect.left() + 16));
                QVERIFY(near(code->rect.top(), lb.rect.top() + 24));
                QVERIFY(itemIn(*page, b, QStringLiteral("Street %1").arg(n)));
                QVERIFY(itemIn(*page, b, QStringLiteral("Name %1").arg(n)));
                const Item* receive = itemIn(*page, b, "(Receive)");
                QVERIFY(receive && near(receive->rect.left(), lb.rect.left() + 96));
            }
            QVERIFY(page->find("Customer Envelop Label"));
            QVERIFY(page->find("PageNO:"));
            QVERIFY(page->find(QString::number(page->number)));
        }
        QCOMPARE(n, int(codes.size()));
    }

    // A contact without an address gets the company's address and post
    // code; long texts wrap or end in an ellipsis inside their own label.
    void labelTexts() {
        const int a = customer("Alpha Ltd", "1 Harbour Road", QString(), "999077");
        contact(a, "Ann");   // no address of her own
        contact(a, "Maximilian Featherstonehaugh", QString(), false,
                QStringLiteral("广东省深圳市南山区粤海街道科技园南区深南大道一万零一号高新技术产业园区软件大厦东座十八楼"
                               "一千八百零八室，请转交给前台的工作人员再转交本人签收"),
                "518000", QString(300, QLatin1Char('C')).left(250));
        contact(a, "Bo", QString(), false, "Line one\nLine two", "100", "Beta\r\nGroup");
        openLists();
        TFrm_R_CustBar w;
        const auto doc = w.document();
        const auto page = doc->page(0);
        const auto labels = page->bandsOf(BandKind::SubDetail);
        QCOMPARE(labels.size(), 3);
        const int first = page->bands.indexOf(labels[0]);
        QCOMPARE(bandTexts(*page, first), QStringList({"999077", "1 Harbour Road", "Alpha Ltd", "Ann", "(Receive)"}));
        for (const PlacedBand& lb : labels) {
            const int b = page->bands.indexOf(lb);
            for (const Item& i : bandItems(*page, b, Item::Text)) {
                QVERIFY2(i.rect.left() >= lb.rect.left() - kEps && i.rect.right() <= lb.rect.right() + kEps &&
                             i.rect.top() >= lb.rect.top() - kEps && i.rect.bottom() <= lb.rect.bottom() + kEps,
                         qPrintable(i.text));
                QVERIFY(!i.text.contains('\n') && !i.text.contains('\r'));
            }
        }
        // The long address took two lines, moving company and name down.
        const int second = page->bands.indexOf(labels[1]);
        const auto items = bandItems(*page, second, Item::Text);
        QVERIFY(items.size() >= 6);
        QVERIFY(items[1].text.startsWith(QStringLiteral("广东省")));
        QVERIFY(items[2].rect.top() > items[1].rect.top());
        QVERIFY(items[2].text.endsWith(QChar(0x2026)));
        const Item* name = itemIn(*page, second, "Maximilian Featherstonehaugh");
        const Item* receive = itemIn(*page, second, "(Receive)");
        QVERIFY(name && receive);
        QVERIFY(name->rect.top() > labels[1].rect.top() + 96);
        QVERIFY(receive->rect.left() > name->rect.right());
        QVERIFY(std::abs(receive->rect.top() - name->rect.top()) < kEps);
        // Line breaks read as blanks on one line.
        const int third = page->bands.indexOf(labels[2]);
        QVERIFY(itemIn(*page, third, "Line one Line two") || itemIn(*page, third, "Line one"));
        QVERIFY(itemIn(*page, third, "Beta Group"));
    }

    void emptyListPrintsHeaderAndFooter() {
        customer("No contacts");
        openLists();
        TFrm_R_CustBar w;
        const auto doc = w.document();
        QCOMPARE(doc->pageCount(), 1);
        QVERIFY(doc->page(0)->bandsOf(BandKind::SubDetail).isEmpty());
        QVERIFY(doc->page(0)->find("Customer Envelop Label"));
        QVERIFY(doc->page(0)->find("Date:"));
        QVERIFY(doc->page(0)->find(doc->printed().toString("yyyy-MM-dd")));
    }

    // In the PDF the labels sit on the 37.6 mm pitch from the first row to
    // the last, on every page: the post codes are 142 px apart.
    void pdfPitch() {
        const QStringList codes = fill({12, 12, 6});
        openLists();
        QTemporaryDir tmp;
        const QString path = tmp.filePath("labels.pdf");
        dlg->printAnswers << path;
        main->PrintCustBar->trigger();
        TFrm_R_CustBar w;
        const auto doc = w.document();
        QCOMPARE(pdftext::pages(path), doc->pageCount());
        QVERIFY(doc->pageCount() >= 3);
        const auto words = pdftext::words(path);
        const pdftext::Word* origin = pdftext::find(words, codes[0]);
        QVERIFY(origin);
        const QRectF content = w.Report.page.contentPx();
        QVERIFY(std::abs(origin->box.left() * pdftext::kMmPerPt - pxToMm(content.left() + 16)) < 0.2);
        int k = 0;
        for (const auto& page : pages(*doc)) {
            const auto labels = page->bandsOf(BandKind::SubDetail);
            for (int i = 0; i < labels.size(); ++i, ++k) {
                const pdftext::Word* word = pdftext::find(words, codes[k], page->number);
                QVERIFY2(word, qPrintable(codes[k]));
                const double dx = (word->box.left() - origin->box.left()) * pdftext::kMmPerPt;
                const double dy = (word->box.top() - origin->box.top()) * pdftext::kMmPerPt;
                QVERIFY2(std::abs(dx - pxToMm((i % 2) * 385)) < 0.2, qPrintable(codes[k]));
                QVERIFY2(std::abs(dy - pxToMm((i / 2) * 142)) < 0.2, qPrintable(codes[k]));
            }
        }
        QCOMPARE(k, int(codes.size()));
        // 142 px is 37.6 mm.
        QVERIFY(std::abs(pxToMm(142) - 37.6) < 0.05);
    }

    void previewCommand() {
        fill({2, 3});
        openLists();
        toolkit::ScriptedModal script([](QDialog* d) {
            auto* p = qobject_cast<PreviewWindow*>(d);
            return p && p->document()->definition().title == QLatin1String("Customer Envelop Label") ? 1 : 0;
        });
        main->N42->trigger();       // Report menu, "Envelop Label "
        main->N48->trigger();       // the Preview tool button's drop-down
        QCOMPARE(script.shown, QStringList({"report::PreviewWindow", "report::PreviewWindow"}));
        QVERIFY(dlg->errors().isEmpty());
    }
};

QTEST_MAIN(TestCustBar)
#include "tst_r_custbar.moc"
