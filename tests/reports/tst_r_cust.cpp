// The customer list report: a ruled table, one row per customer.
#include <QTemporaryDir>

#include "reports/U_R_Cust.h"
#include "reports/Windows.h"
#include "tests/reports/ReportFixture.h"
#include "toolkit/Modal.h"
#include "toolkit/report/Preview.h"

using namespace report;
using reporttest::kEps;

class TestCust : public QObject, reporttest::ReportFixture {
    Q_OBJECT

    // Rules of band b, as lines.
    static QVector<QLineF> rules(const Page& page, int b) {
        QVector<QLineF> out;
        for (const Item& i : page.items)
            if (i.kind == Item::Rule && i.band == b) out << i.line;
        return out;
    }

    // The detail rows of every page: the texts of each, by column.
    static QList<QStringList> rows(Document& doc) {
        QList<QStringList> out;
        const QVector<double> rules = TFrm_R_Cust::ColumnRules();
        for (const auto& page : pages(doc))
            for (int b = 0; b < page->bands.size(); ++b) {
                const PlacedBand& pb = page->bands[b];
                if (pb.kind != BandKind::Detail) continue;
                QStringList cells(5);
                for (const Item& i : bandItems(*page, b, Item::Text)) {
                    const double x = i.rect.left() - pb.rect.left();
                    int col = 0;
                    while (col + 1 < 5 && x > rules[col + 1]) ++col;
                    cells[col] = i.text;
                }
                out << cells;
            }
        return out;
    }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerReportWindows();
        QVERIFY(pdftext::available());
    }
    void init() { QVERIFY(begin()); }
    void cleanup() { stop(); }

    // Headings, rules and footer where the layout puts them.
    void pageLayout() {
        customer("Alpha", "Road 1", "111");
        openLists();
        TFrm_R_Cust w;
        const auto doc = w.document();
        const auto page = doc->page(0);
        const QRectF content = w.Report.page.contentPx();
        QVERIFY(content.height() > content.width());   // portrait
        QVERIFY(near(content.width(), 771.0, 0.5));
        const PlacedBand header = page->bandsOf(BandKind::PageHeader).first();
        QCOMPARE(header.rect.height(), 75.0);
        const int h = page->bands.indexOf(header);
        const struct {
            const char* text;
            double x, y;
        } headings[] = {{"Customer", 280, 8}, {"Company", 6, 55}, {"Address", 267, 56},
                        {"Contact", 515, 56}, {"Tel", 585, 56},   {"Mobile", 672, 56}};
        for (const auto& e : headings) {
            const Item* i = itemIn(*page, h, QLatin1String(e.text));
            QVERIFY2(i, e.text);
            QVERIFY(near(i->rect.left(), header.rect.left() + e.x));
            QVERIFY(near(i->rect.top(), header.rect.top() + e.y));
            QCOMPARE(i->font.bold, true);
            QCOMPARE(i->font.family, QString(e.text == QLatin1String("Customer") ? "宋体" : "MS Sans Serif"));
            QCOMPARE(i->font.pointSize, e.text == QLatin1String("Customer") ? 16.0 : 10.0);
        }
        // Thin lines through the middle of 3 px shapes: across at 48 and 72
        // for 770 px, down from 49 for 25 px at the six column edges.
        const QVector<QLineF> hr = rules(*page, h);
        const QPointF o = header.rect.topLeft();
        QVERIFY(hr.contains(QLineF(o + QPointF(0, 49.5), o + QPointF(770, 49.5))));
        QVERIFY(hr.contains(QLineF(o + QPointF(0, 73.5), o + QPointF(770, 73.5))));
        for (double x : {-1.0, 262.0, 509.0, 572.0, 668.0, 768.0})
            QVERIFY(hr.contains(QLineF(o + QPointF(x + 1.5, 49), o + QPointF(x + 1.5, 74))));
        QCOMPARE(hr.size(), 8);

        const PlacedBand row = page->bandsOf(BandKind::Detail).first();
        QCOMPARE(row.rect.height(), 26.0);
        QVERIFY(near(row.rect.top(), header.rect.bottom()));
        const int d = page->bands.indexOf(row);
        const QVector<QLineF> dr = rules(*page, d);
        const QPointF r = row.rect.topLeft();
        for (double x : {-1.0, 262.0, 509.0, 572.0, 668.0, 768.0})
            QVERIFY(dr.contains(QLineF(r + QPointF(x + 1.5, -1), r + QPointF(x + 1.5, 24))));
        QVERIFY(dr.contains(QLineF(r + QPointF(0, 24.5), r + QPointF(770, 24.5))));
        QVERIFY(near(itemIn(*page, d, "Alpha")->rect.left(), r.x() + 5));
        QVERIFY(near(itemIn(*page, d, "Alpha")->rect.top(), r.y() + 5));
        QVERIFY(near(itemIn(*page, d, "Road 1")->rect.left(), r.x() + 267));
        QVERIFY(near(itemIn(*page, d, "111")->rect.left(), r.x() + 585));

        const PlacedBand footer = page->bandsOf(BandKind::PageFooter).first();
        const int f = page->bands.indexOf(footer);
        QVERIFY(near(footer.rect.bottom(), content.bottom()));
        const QString today = doc->printed().toString("yyyy-MM-dd");
        QCOMPARE(bandTexts(*page, f), QStringList({"Date", today, "Page NO.", "1"}));
        QVERIFY(near(itemIn(*page, f, today)->rect.left(), footer.rect.left() + 560));
        QVERIFY(near(itemIn(*page, f, "1")->rect.left(), footer.rect.left() + 112));
        QVERIFY(near(itemIn(*page, f, "1")->rect.top(), footer.rect.top() + 16));
    }

    // One row per customer of the list as the user has it, in its order; the
    // contact column and the mobile number come from the main contact, else
    // from the first contact.
    void oneRowPerCustomer() {
        const int a = customer("Alpha", "Road 1", "111");
        const int b = customer("Beta", "Road 2", "222");
        const int c = customer("Gamma", "Road 3", "333");
        customer("Zeta", "Road 9", "999");   // filtered out below
        contact(a, "Ann", "1391");
        contact(a, "Abe", "1392", true);     // main contact of Alpha
        contact(b, "Ben", "1381");
        contact(b, "Bob", "1382");
        Q_UNUSED(c);
        openLists("select * from custom where Company <> 'Zeta' order by Company desc");
        TFrm_R_Cust w;
        const auto doc = w.document();
        QCOMPARE(rows(*doc), QList<QStringList>({{"Gamma", "Road 3", "", "333", ""},
                                                  {"Beta", "Road 2", "Ben", "222", "1381"},
                                                  {"Alpha", "Road 1", "Abe", "111", "1392"}}));
    }

    // Values stay inside their column; a long list runs over pages with the
    // headings and footer on each; an empty list prints them all the same.
    void columnsAndPages() {
        const int a = customer(QString(120, QLatin1Char('W')), QString(100, QChar(0x8DEF)), "0755-12345678901234");
        contact(a, "Maximilian Featherstonehaugh", "13912345678901234");
        for (int i = 0; i < 80; ++i) customer(QStringLiteral("客户%1").arg(i));
        openLists();
        TFrm_R_Cust w;
        const auto doc = w.document();
        QVERIFY(doc->pageCount() >= 3);
        const QVector<double> edges = TFrm_R_Cust::ColumnRules();
        int total = 0;
        for (const auto& page : pages(*doc)) {
            QVERIFY(page->find("Customer"));
            QVERIFY(page->find("Mobile"));
            QVERIFY(page->find(QString::number(page->number)));
            const double footerTop = page->bandsOf(BandKind::PageFooter).first().rect.top();
            for (int b = 0; b < page->bands.size(); ++b) {
                const PlacedBand& pb = page->bands[b];
                if (pb.kind != BandKind::Detail) continue;
                ++total;
                QVERIFY(pb.rect.bottom() <= footerTop + kEps);
                for (const Item& i : bandItems(*page, b, Item::Text)) {
                    const double x = i.rect.left() - pb.rect.left();
                    int col = 0;
                    while (col + 1 < 5 && x > edges[col + 1]) ++col;
                    QVERIFY2(i.rect.right() - pb.rect.left() < edges[col + 1] + 1.5, qPrintable(i.text));
                }
            }
        }
        QCOMPARE(total, 81);

        QVERIFY(t->exec("delete from contact"));
        QVERIFY(t->exec("delete from custom"));
        openLists();
        TFrm_R_Cust empty;
        const auto none = empty.document();
        QCOMPARE(none->pageCount(), 1);
        QVERIFY(none->page(0)->find("Customer") && none->page(0)->find("Page NO."));
        QVERIFY(none->page(0)->bandsOf(BandKind::Detail).isEmpty());
    }

    // Preview and print through the commands; Chinese as text in the PDF.
    void commands() {
        for (int i = 0; i < 50; ++i) {
            const int c = customer(QStringLiteral("深圳华强电子有限公司%1").arg(i), QStringLiteral("华强北路%1号").arg(i));
            contact(c, QStringLiteral("张伟%1").arg(i), QStringLiteral("139%1").arg(i));
        }
        openLists();
        int previewed = 0;
        {
            toolkit::ScriptedModal script([&](QDialog* d) {
                auto* p = qobject_cast<PreviewWindow*>(d);
                if (p) previewed = p->document()->pageCount();
                return 0;
            });
            main->PreviewCust->trigger();
            QCOMPARE(script.shown, QStringList{"report::PreviewWindow"});
        }
        QTemporaryDir tmp;
        dlg->printAnswers << tmp.filePath("cust.pdf");
        main->PrintCust->trigger();
        QCOMPARE(pdftext::pages(tmp.filePath("cust.pdf")), previewed);
        const auto words = pdftext::words(tmp.filePath("cust.pdf"));
        QVERIFY(pdftext::find(words, QStringLiteral("深圳华强电子有限公司0"), 1));
        QVERIFY(pdftext::find(words, QStringLiteral("张伟49"), previewed));
        // The tool bar's drop-downs run the same commands.
        dlg->printAnswers << tmp.filePath("menu.pdf");
        main->N38->trigger();
        QCOMPARE(pdftext::pages(tmp.filePath("menu.pdf")), previewed);
    }
};

QTEST_MAIN(TestCust)
#include "tst_r_cust.moc"
