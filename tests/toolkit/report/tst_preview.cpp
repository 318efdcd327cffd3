// The preview window, driven through its buttons and boxes as a user would.
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "tests/toolkit/report/PdfText.h"
#include "toolkit/ScriptedDialogs.h"
#include "toolkit/report/Layout.h"
#include "toolkit/report/Preview.h"
#include "toolkit/report/ReportData.h"

using namespace report;

namespace {

class Rows : public ReportData {
public:
    explicit Rows(int n) : n_(n) {}
    int rowCount() override { return n_; }
    int fieldIndex(const QString&) override { return 0; }
    QString text(int row, int) override { return QStringLiteral("Row %1").arg(row); }

private:
    int n_;
};

ReportDef listReport(ReportData* data) {
    ReportDef d;
    d.title = QStringLiteral("Rows");
    d.pageHeader = Band(40);
    d.pageHeader.add(Element::label(10, 10, QStringLiteral("Header")));
    d.detail = Band(30);
    d.detail.add(Element::field(10, 5, QStringLiteral("Name")));
    d.pageFooter = Band(30);
    d.pageFooter.add(Element::pageNumber(10, 5));
    d.master = data;
    return d;
}

// The first detail row shown on the preview's page.
int firstRowShown(PreviewWindow& w) {
    return w.document()->page(w.currentPage())->bandsOf(BandKind::Detail).first().masterRow;
}

}  // namespace

class TestPreview : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(pdftext::available()); }

    void navigateAndZoom() {
        toolkit::ScriptedDialogs dlg;
        Rows data(20000);
        Document doc(listReport(&data));
        PreviewWindow w(&doc, QStringLiteral("Rows"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Only the first page is drawn; the rest is not laid out up front.
        QCOMPARE(w.currentPage(), 0);
        QCOMPARE(w.renders(), 1);
        QVERIFY(!w.View->image().isNull());
        QVERIFY(!w.Btn_First->isEnabled() && !w.Btn_Prior->isEnabled());
        const int perPage = int(doc.page(0)->bandsOf(BandKind::Detail).size());

        QTest::mouseClick(w.Btn_Next, Qt::LeftButton);
        QCOMPARE(w.currentPage(), 1);
        QCOMPARE(w.Edit_Page->value(), 2);
        QCOMPARE(firstRowShown(w), perPage);
        QVERIFY(w.Btn_Prior->isEnabled());

        // Typing a page number goes there.
        w.Edit_Page->setFocus();
        w.Edit_Page->selectAll();
        QTest::keyClicks(w.Edit_Page, QStringLiteral("25"));
        QTest::keyClick(w.Edit_Page, Qt::Key_Return);
        QCOMPARE(w.currentPage(), 24);
        QCOMPARE(firstRowShown(w), 24 * perPage);

        QTest::keyClick(&w, Qt::Key_PageUp);
        QCOMPARE(w.currentPage(), 23);
        QTest::mouseClick(w.Btn_First, Qt::LeftButton);
        QCOMPARE(w.currentPage(), 0);

        // Last walks the whole report and shows its last page.
        QTest::mouseClick(w.Btn_Last, Qt::LeftButton);
        QVERIFY(doc.complete());
        QCOMPARE(w.currentPage(), doc.pageCount() - 1);
        QCOMPARE(w.Label_Pages->text(), QStringLiteral("of %1").arg(doc.pageCount()));
        QVERIFY(!w.Btn_Next->isEnabled() && !w.Btn_Last->isEnabled());
        QCOMPARE(doc.page(w.currentPage())->bandsOf(BandKind::Detail).last().masterRow, 19999);

        // Zoom: 200 % draws the page twice as wide as 100 %.
        w.Combo_Zoom->setFocus();
        w.Combo_Zoom->setCurrentIndex(w.Combo_Zoom->findText(QStringLiteral("100%")));
        const double w100 = w.View->image().deviceIndependentSize().width();
        QTest::keyClick(w.Combo_Zoom, Qt::Key_Down);   // 150 %
        QTest::keyClick(w.Combo_Zoom, Qt::Key_Down);   // 200 %
        QCOMPARE(w.Combo_Zoom->currentText(), QStringLiteral("200%"));
        QCOMPARE(w.zoom(), 2.0);
        QVERIFY(std::abs(w.View->image().deviceIndependentSize().width() - 2 * w100) <= 1);
        QVERIFY(std::abs(w100 - doc.pageSize().width()) <= 1);
        // Whole page fits the window.
        w.Combo_Zoom->setCurrentIndex(w.Combo_Zoom->findText(QStringLiteral("Whole page")));
        QVERIFY(w.View->image().deviceIndependentSize().height() <= w.Scroll->viewport()->height());

        QTest::mouseClick(w.Btn_Close, Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QVERIFY(dlg.requests.isEmpty());
    }

    // While the count is not known, any page number can be typed; one past
    // the end shows the last page.
    void pastTheEnd() {
        Rows data(500);
        Document doc(listReport(&data));
        PreviewWindow w(&doc, QStringLiteral("Rows"));
        w.show();
        w.Edit_Page->setFocus();
        w.Edit_Page->selectAll();
        QTest::keyClicks(w.Edit_Page, QStringLiteral("99999"));
        QTest::keyClick(w.Edit_Page, Qt::Key_Return);
        QVERIFY(doc.complete());
        QCOMPARE(w.currentPage(), doc.pageCount() - 1);
        QCOMPARE(w.Edit_Page->value(), doc.pageCount());
        QCOMPARE(w.Edit_Page->maximum(), doc.pageCount());
    }

    // While the user looks, the pages are counted in idle moments.
    void countsPagesWhileIdle() {
        Rows data(3000);
        Document doc(listReport(&data));
        PreviewWindow w(&doc, QStringLiteral("Rows"));
        w.show();
        QVERIFY(w.Label_Pages->text().endsWith(QLatin1Char('+')));
        QTRY_VERIFY_WITH_TIMEOUT(doc.complete(), 20000);
        QTRY_COMPARE(w.Label_Pages->text(), QStringLiteral("of %1").arg(doc.pageCount()));
        QCOMPARE(w.renders(), 1);   // counted, not drawn
        QCOMPARE(w.currentPage(), 0);
    }

    void saveAsPdfAndPrint() {
        toolkit::ScriptedDialogs dlg;
        QTemporaryDir tmp;
        Rows data(100);
        Document doc(listReport(&data));
        PreviewWindow w(&doc, QStringLiteral("Rows"));
        w.show();
        // Cancelled: nothing written.
        QTest::mouseClick(w.Btn_Pdf, Qt::LeftButton);
        QCOMPARE(dlg.last()->kind, toolkit::DialogRequest::SaveFile);
        QVERIFY(dlg.last()->text.contains(QStringLiteral("*.pdf")));
        // A name without an extension gets ".pdf".
        dlg.fileAnswers << tmp.filePath(QStringLiteral("rows"));
        QTest::mouseClick(w.Btn_Pdf, Qt::LeftButton);
        const QString saved = tmp.filePath(QStringLiteral("rows.pdf"));
        QVERIFY(QFile::exists(saved));
        QCOMPARE(pdftext::pages(saved), doc.pageCount());
        QVERIFY(w.Label_Status->text().contains(QStringLiteral("rows.pdf")));
        // A folder that does not exist: told, no crash.
        dlg.fileAnswers << tmp.filePath(QStringLiteral("none/x.pdf"));
        QTest::mouseClick(w.Btn_Pdf, Qt::LeftButton);
        QCOMPARE(dlg.messages().size(), 1);

        dlg.printAnswers << tmp.filePath(QStringLiteral("printed.pdf"));
        QTest::mouseClick(w.Btn_Print, Qt::LeftButton);
        QCOMPARE(dlg.last()->kind, toolkit::DialogRequest::Print);
        QCOMPARE(pdftext::pages(tmp.filePath(QStringLiteral("printed.pdf"))), doc.pageCount());
        const auto words = pdftext::words(tmp.filePath(QStringLiteral("printed.pdf")));
        QVERIFY(pdftext::find(words, QStringLiteral("99"), doc.pageCount()));
        // The status names the file it was printed to, not a printer.
        QCOMPARE(w.Label_Status->text(),
                 QStringLiteral("Printed to ") + QDir::toNativeSeparators(tmp.filePath(QStringLiteral("printed.pdf"))));
        // The dialog's page range was told where the report ends.
        QCOMPARE(dlg.last()->pages, doc.pageCount());
    }

    // A page number typed while the pages are still counted stays as typed.
    void typedPageSurvivesTheCount() {
        Rows data(3000000);
        Document doc(listReport(&data));
        PreviewWindow w(&doc, QStringLiteral("Rows"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.Edit_Page->setFocus();
        w.Edit_Page->selectAll();
        const QString counted = w.Label_Pages->text();
        QTest::keyClicks(w.Edit_Page, QStringLiteral("3"));
        QTest::qWait(200);  // several turns of the count
        QTest::keyClicks(w.Edit_Page, QStringLiteral("7"));
        QTest::qWait(100);
        QVERIFY(w.Label_Pages->text() != counted);  // the count went on meanwhile
        QCOMPARE(w.Edit_Page->text(), QStringLiteral("37"));
        QTest::keyClick(w.Edit_Page, Qt::Key_Return);
        QCOMPARE(w.currentPage(), 36);
    }

    // Page Down is the next page, Page Up the one before, one at a time,
    // wherever the focus is.
    void pageKeysTurnOnePage() {
        Rows data(2000);
        Document doc(listReport(&data));
        PreviewWindow w(&doc, QStringLiteral("Rows"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (QWidget* focus : {static_cast<QWidget*>(w.Edit_Page), static_cast<QWidget*>(w.Scroll),
                               static_cast<QWidget*>(w.Combo_Zoom)}) {
            w.showPage(5);
            focus->setFocus();
            QTest::keyClick(focus, Qt::Key_PageDown);
            QCOMPARE(w.currentPage(), 6);
            QTest::keyClick(focus, Qt::Key_PageUp);
            QTest::keyClick(focus, Qt::Key_PageUp);
            QCOMPARE(w.currentPage(), 4);
            QCOMPARE(w.Edit_Page->value(), 5);
        }
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
