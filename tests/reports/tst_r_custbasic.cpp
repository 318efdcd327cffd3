// The customer basic information report.
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "reports/U_R_CustBasic.h"
#include "reports/Windows.h"
#include "tests/reports/ReportFixture.h"
#include "toolkit/Modal.h"
#include "toolkit/report/Preview.h"

using namespace report;
using reporttest::kEps;

class TestCustBasic : public QObject, reporttest::ReportFixture {
    Q_OBJECT

    // Chooses the fields of a table for printing, with their widths, and
    // nothing else of that table.
    void choose(const QString& table, const QStringList& fields, int width = 0) {
        QVERIFY(t->exec(QStringLiteral("update T_FieldShow set Print=0 where TableName='%1'").arg(table)));
        for (const QString& f : fields) {
            QVERIFY(t->exec(QStringLiteral("update T_FieldShow set Print=1 where TableName='%1' and Field='%2'")
                                .arg(table, f)));
            if (width > 0)
                QVERIFY(t->exec(QStringLiteral("update T_FieldShow set Width=%3 where TableName='%1' and Field='%2'")
                                    .arg(table, f)
                                    .arg(width)));
        }
    }

    // x of the band's elements of a kind, in the order placed.
    static QVector<double> xs(const Band& b, ElementKind kind) {
        QVector<double> out;
        for (const Element& e : b.elements)
            if (e.kind == kind) out << e.pos.x();
        return out;
    }

    static QStringList captions(const Band& b) {
        QStringList out;
        for (const Element& e : b.elements)
            if (e.kind == ElementKind::Label) out << e.text;
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

    // Six fields of width 100: captions at L(i), values 75 (contacts 65)
    // further right, all 5 from the band's top.
    void fieldPositions() {
        const QStringList six = {"Company", "Address", "Tel", "Fax", "Email", "Url"};
        choose("Custom", six, 100);
        choose("Contact", {"Name", "Position", "Tel", "Mobile", "Email", "Department"}, 100);
        const int c = customer("Alpha", "Road 1", "123");
        contact(c, "Ann");
        openLists();
        TFrm_R_CustBasic w;
        const QVector<double> customerLefts = {8, 130, 280, 460, 630, 790};
        const QVector<double> contactLefts = {8, 150, 340, 520, 685, 850};
        QCOMPARE(xs(w.QRBand2, ElementKind::Label), customerLefts);
        QVector<double> values;
        for (double x : customerLefts) values << x + 75;
        QCOMPARE(xs(w.QRBand2, ElementKind::Field), values);
        QCOMPARE(xs(w.QRSubDetail1, ElementKind::Label), contactLefts);
        values.clear();
        for (double x : contactLefts) values << x + 65;
        QCOMPARE(xs(w.QRSubDetail1, ElementKind::Field), values);
        for (const Element& e : w.QRBand2.elements) QCOMPARE(e.pos.y(), 5.0);
        QCOMPARE(w.QRBand2.height, 25.0);
        QCOMPARE(w.QRSubDetail1.height, 24.0);

        // The same positions on the page, from the band's corner.
        const auto doc = w.document();
        const auto page = doc->page(0);
        const PlacedBand band = page->bandsOf(BandKind::GroupHeader).first();
        const int b = page->bands.indexOf(band);
        const Item* caption = itemIn(*page, b, QStringLiteral("Tel: "));
        const Item* value = itemIn(*page, b, QStringLiteral("123"));
        QVERIFY(caption && value);
        QVERIFY(near(caption->rect.left(), band.rect.left() + 280));
        QVERIFY(near(value->rect.left(), band.rect.left() + 355));
        QVERIFY(near(caption->rect.top(), band.rect.top() + 5));
        // Captions read "Name: ".
        QCOMPARE(captions(w.QRBand2).first(), QStringLiteral("Company: "));
    }

    // Customer fields in the order of ID, contact fields in the order of ShowID.
    void fieldOrder() {
        choose("Custom", {"Company", "Tel", "Email"});
        QVERIFY(t->exec("update T_FieldShow set ID=1 where TableName='Custom' and Field='Email'"));
        QVERIFY(t->exec("update T_FieldShow set ID=99, ShowID=1 where TableName='Custom' and Field='Company'"));
        choose("Contact", {"Name", "Mobile", "Tel"});
        QVERIFY(t->exec("update T_FieldShow set ShowID=0, ID=99 where TableName='Contact' and Field='Mobile'"));
        openLists();
        TFrm_R_CustBasic w;
        QCOMPARE(captions(w.QRBand2), QStringList({"E-mail: ", "Tel: ", "Company: "}));
        QCOMPARE(captions(w.QRSubDetail1), QStringList({"Mobile: ", "Name: ", "Tel: "}));
        // Positions follow from the widths in that order.
        const QVector<double> lefts = xs(w.QRBand2, ElementKind::Label);
        const int email = t->scalar("select Width from T_FieldShow where TableName='Custom' and Field='Email'");
        const int tel = t->scalar("select Width from T_FieldShow where TableName='Custom' and Field='Tel'");
        QCOMPARE(lefts, QVector<double>({8, email + 30.0, email + tel + 80.0}));
    }

    // No customer field chosen: the grey band still prints, empty, for each
    // customer; the contact rows still print.
    void noCustomerField() {
        choose("Custom", {});
        choose("Contact", {"Name"});
        const int a = customer("Alpha");
        contact(a, "Ann");
        customer("Beta");
        openLists();
        TFrm_R_CustBasic w;
        QVERIFY(w.QRBand2.elements.isEmpty());
        const auto doc = w.document();
        const auto page = doc->page(0);
        const auto headers = page->bandsOf(BandKind::GroupHeader);
        QCOMPARE(headers.size(), 2);
        for (const PlacedBand& h : headers) {
            const int b = page->bands.indexOf(h);
            QVERIFY(bandTexts(*page, b).isEmpty());
            const auto fills = bandItems(*page, b, Item::Fill);
            QCOMPARE(fills.size(), 1);
            QCOMPARE(fills[0].rect, h.rect);
            QCOMPARE(fills[0].color, QColor(0xE3, 0xE3, 0xE3));
        }
        const auto rows = page->bandsOf(BandKind::SubDetail);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(bandTexts(*page, page->bands.indexOf(rows[0])), QStringList({"Name: ", "Ann"}));
    }

    // A seventh Print row, stored by other means than the chooser, is left
    // out: the first six by ID are placed.
    void seventhFieldLeftOut() {
        const QStringList seven = {"Company", "CustType", "Country", "Province", "City", "Address", "Tel"};
        choose("Custom", seven, 60);
        openLists();
        TFrm_R_CustBasic w;
        QCOMPARE(w.CustomerFields.size(), 7);
        QCOMPARE(captions(w.QRBand2).size(), kMaxPrintFields);
        QVERIFY(!captions(w.QRBand2).contains(QStringLiteral("Tel: ")));
        QCOMPARE(xs(w.QRBand2, ElementKind::Field).size(), kMaxPrintFields);
    }

    // Each customer of the list, in its order: its band, then its contacts
    // in the order they were entered; a customer without contacts has its
    // band all the same.
    void customersAndTheirContacts() {
        choose("Custom", {"Company"});
        choose("Contact", {"Name"});
        const int a = customer("Alpha");
        const int b = customer("Beta");
        const int c = customer("Gamma");
        contact(c, "Cid");
        contact(a, "Ann");
        contact(c, "Cai");
        contact(a, "Abe");
        openLists("select * from custom order by Company desc");
        TFrm_R_CustBasic w;
        const auto doc = w.document();
        QStringList seen;
        for (const auto& page : pages(*doc))
            for (int i = 0; i < page->bands.size(); ++i) {
                const PlacedBand& pb = page->bands[i];
                if (pb.kind == BandKind::GroupHeader) seen << QStringLiteral("[") + bandTexts(*page, i).value(1) + "]";
                if (pb.kind == BandKind::SubDetail) seen << bandTexts(*page, i).value(1);
            }
        QCOMPARE(seen, QStringList({"[Gamma]", "Cid", "Cai", "[Beta]", "[Alpha]", "Ann", "Abe"}));
        Q_UNUSED(b);
    }

    // Page header on every page from the first, footer on every page to the
    // last with its page number and the time of printing.
    void headerAndFooterOnEveryPage() {
        choose("Custom", {"Company"});
        choose("Contact", {"Name"});
        for (int i = 0; i < 40; ++i) {
            const int c = customer(QStringLiteral("客户%1").arg(i));
            for (int k = 0; k < 3; ++k) contact(c, QStringLiteral("张%1-%2").arg(i).arg(k));
        }
        openLists();
        TFrm_R_CustBasic w;
        const auto doc = w.document();
        QVERIFY(doc->pageCount() > 2);
        const QRectF content = w.Report.page.contentPx();
        QVERIFY(content.width() > content.height());   // landscape
        const QString stamp = doc->printed().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        for (const auto& page : pages(*doc)) {
            const PlacedBand header = page->bandsOf(BandKind::PageHeader).value(0);
            const PlacedBand footer = page->bandsOf(BandKind::PageFooter).value(0);
            QVERIFY(near(header.rect.top(), content.top()));
            QVERIFY(near(footer.rect.bottom(), content.bottom()));
            const Item* title = itemIn(*page, page->bands.indexOf(header), QStringLiteral("客户基本资料"));
            QVERIFY(title);
            QVERIFY(near(title->rect.left(), content.left() + 480));
            QVERIFY(near(title->rect.top(), content.top() + 16));
            QCOMPARE(title->font.pointSize, 16.0);
            QVERIFY(title->font.bold);
            const int f = page->bands.indexOf(footer);
            QCOMPARE(bandTexts(*page, f), QStringList({"第", QString::number(page->number), "页", "打印时间", stamp}));
            QVERIFY(near(itemIn(*page, f, QString::number(page->number))->rect.left(), content.left() + 70));
            QVERIFY(near(itemIn(*page, f, stamp)->rect.left(), content.left() + 928));
            for (const PlacedBand& b : page->bands)
                if (b.kind != BandKind::PageFooter) QVERIFY(b.rect.bottom() <= footer.rect.top() + kEps);
        }
    }

    // A value longer than its place ends before the next caption; line
    // breaks print as blanks.
    void longValuesKeepToTheirPlace() {
        choose("Custom", {"Company", "Address"}, 100);
        customer(QString(150, QChar(0x5BA2)), QStringLiteral("first line\nsecond line"));
        openLists();
        TFrm_R_CustBasic w;
        const auto doc = w.document();
        const auto page = doc->page(0);
        const PlacedBand band = page->bandsOf(BandKind::GroupHeader).first();
        const int b = page->bands.indexOf(band);
        const Item* next = itemIn(*page, b, QStringLiteral("Address: "));
        QVERIFY(next);
        const auto items = bandItems(*page, b, Item::Text);
        const Item& company = items[1];
        QVERIFY(company.text.endsWith(QChar(0x2026)));
        QVERIFY(company.rect.right() < next->rect.left());
        QVERIFY(itemIn(*page, b, QStringLiteral("first line second line")));
    }

    // The report reads the lists without moving them: same current rows, no
    // notice to their grids, whatever the preview and the printer walk.
    void sharedListsStayPut() {
        choose("Custom", {"Company"});
        choose("Contact", {"Name"});
        for (int i = 0; i < 30; ++i) {
            const int c = customer(QStringLiteral("C%1").arg(i));
            for (int k = 0; k < 1 + i % 3; ++k) contact(c, QStringLiteral("P%1-%2").arg(i).arg(k));
        }
        openLists();
        Frm_Data->Qry_Cust->setCurrentRow(7);
        Frm_Data->Qry_Contact->setCurrentRow(1);
        const QString contactBefore = Frm_Data->Qry_Contact->asString("Name");
        QSignalSpy custMoves(Frm_Data->Qry_Cust, &toolkit::RecordSource::currentRowChanged);
        QSignalSpy custResets(Frm_Data->Qry_Cust, &toolkit::RecordSource::resetDone);
        QSignalSpy contactMoves(Frm_Data->Qry_Contact, &toolkit::RecordSource::currentRowChanged);
        QSignalSpy contactResets(Frm_Data->Qry_Contact, &toolkit::RecordSource::resetDone);
        QTemporaryDir tmp;
        {
            toolkit::ScriptedModal script([](QDialog* d) {
                auto* p = qobject_cast<PreviewWindow*>(d);
                if (p) QTest::mouseClick(p->Btn_Last, Qt::LeftButton);
                return 0;
            });
            main->PreviewCustBasic->trigger();
            QCOMPARE(script.shown, QStringList{"report::PreviewWindow"});
        }
        dlg->printAnswers << tmp.filePath("basic.pdf");
        main->PrintCustBasic->trigger();
        QVERIFY(QFile::exists(tmp.filePath("basic.pdf")));
        QCOMPARE(Frm_Data->Qry_Cust->currentRow(), 7);
        QCOMPARE(Frm_Data->Qry_Contact->currentRow(), 1);
        QCOMPARE(Frm_Data->Qry_Contact->asString("Name"), contactBefore);
        QCOMPARE(custMoves.count() + custResets.count() + contactMoves.count() + contactResets.count(), 0);
        QVERIFY(dlg->errors().isEmpty());
    }

    // The commands: the preview window with the report, and the print dialog
    // that writes a landscape PDF with Chinese names as text.
    void previewAndPrintCommands() {
        choose("Custom", {"Company", "Address"});
        choose("Contact", {"Name", "Mobile"});
        for (int i = 0; i < 20; ++i) {
            const int c = customer(QStringLiteral("深圳华强电子有限公司%1").arg(i), QStringLiteral("华强北路%1号").arg(i));
            for (int k = 0; k < 2; ++k) contact(c, QStringLiteral("张伟%1%2").arg(i).arg(k), "13900000000");
        }
        openLists();
        QPointer<QWidget> window;
        int pagesInPreview = 0;
        {
            toolkit::ScriptedModal script([&](QDialog* d) {
                auto* p = qobject_cast<PreviewWindow*>(d);
                if (!p) return 0;
                pagesInPreview = p->document()->pageCount();
                QTest::mouseClick(p->Btn_Next, Qt::LeftButton);
                return p->currentPage() == 1 ? 1 : 0;
            });
            window = main->openReport("TFrm_R_CustBasic", false);
            QVERIFY(window);
            QCOMPARE(QString(window->metaObject()->className()), QStringLiteral("TFrm_R_CustBasic"));
            QVERIFY(!window->isVisible());
        }
        QVERIFY(pagesInPreview >= 2);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window);   // gone once its preview closed

        QTemporaryDir tmp;
        const QString path = tmp.filePath("basic.pdf");
        dlg->printAnswers << path;
        main->PrintCustBasic->trigger();
        QCOMPARE(dlg->last()->kind, toolkit::DialogRequest::Print);
        QCOMPARE(pdftext::pages(path), pagesInPreview);
        const QSizeF size = pdftext::pageSize(path);
        QVERIFY(size.width() > size.height());
        const auto words = pdftext::words(path);
        QVERIFY(pdftext::find(words, QStringLiteral("深圳华强电子有限公司0"), 1));
        QVERIFY(pdftext::find(words, QStringLiteral("张伟00"), 1));
        QVERIFY(pdftext::find(words, QStringLiteral("客户基本资料"), pagesInPreview));
        // A print cancelled in the dialog writes nothing and says nothing.
        dlg->clear();
        main->PrintCustBasic->trigger();
        QCOMPARE(dlg->requests.size(), 1);
        QVERIFY(dlg->messages().isEmpty());
    }
};

QTEST_MAIN(TestCustBasic)
#include "tst_r_custbasic.moc"
