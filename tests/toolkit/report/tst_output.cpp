// The report engine's painting stage, read back from the PDF files it writes.
#include <QDir>
#include <sys/stat.h>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/FileSizeLimit.h"
#include "tests/toolkit/report/PdfText.h"
#include "toolkit/ScriptedDialogs.h"
#include "toolkit/report/Layout.h"
#include "toolkit/report/Output.h"
#include "toolkit/report/ReportData.h"

using namespace report;

namespace {

QList<QStringList> rows(int n) {
    QList<QStringList> out;
    for (int i = 0; i < n; ++i)
        out << QStringList{i % 2 ? QStringLiteral("客户%1").arg(i) : QStringLiteral("Customer%1").arg(i)};
    return out;
}

ReportDef listReport(ReportData* data, QPageLayout::Orientation o = QPageLayout::Portrait) {
    ReportDef d;
    d.title = QStringLiteral("List");
    d.page.orientation = o;
    d.pageHeader = Band(50);
    d.pageHeader.add(Element::label(100, 10, QStringLiteral("客户名单"), TypeFace{QStringLiteral("宋体"), 16, true}));
    d.pageHeader.add(Element::hRule(0, 40, 700));
    d.detail = Band(40);
    d.detail.add(Element::field(20, 5, QStringLiteral("Name")));
    d.detail.add(Element::vRule(-1, -1, 41));
    d.pageFooter = Band(30);
    d.pageFooter.add(Element::label(10, 5, QStringLiteral("Page")));
    d.pageFooter.add(Element::pageNumber(60, 5));
    d.master = data;
    return d;
}

// Distance in millimetres between a PDF box corner and a layout position.
double mmOff(double pt, double px) { return std::abs(pt * pdftext::kMmPerPt - pxToMm(px)); }

QStringList dirEntries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace

class TestOutput : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;

private slots:
    void initTestCase() {
        QVERIFY2(pdftext::available(), "pdftotext and pdfinfo (poppler-utils) are needed");
        QVERIFY(tmp.isValid());
    }

    // The PDF has the pages the layout has, each text where the layout put
    // it, Chinese as text (not boxes or blanks).
    void pdfMatchesLayout() {
        ListData data({QStringLiteral("Name")}, rows(60));
        Document doc(listReport(&data));
        const QString path = tmp.filePath(QStringLiteral("list.pdf"));
        const Outcome out = writePdf(doc, path);
        QCOMPARE(out.result, Outcome::Done);
        QCOMPARE(out.pages, doc.pageCount());
        QCOMPARE(pdftext::pages(path), doc.pageCount());
        const QSizeF size = pdftext::pageSize(path);
        QVERIFY(std::abs(size.width() - 595) < 1 && std::abs(size.height() - 842) < 1);

        const auto words = pdftext::words(path);
        for (int p = 1; p <= doc.pageCount(); ++p) {
            const auto page = doc.page(p - 1);
            const auto pageWords = pdftext::onPage(words, p);
            QVERIFY(pdftext::find(words, QStringLiteral("客户名单"), p));
            for (const Item& i : page->items) {
                if (i.kind != Item::Text) continue;
                const pdftext::Word* w = pdftext::find(pageWords, i.text);
                QVERIFY2(w, qPrintable(i.text));
                QVERIFY2(mmOff(w->box.left(), i.rect.left()) < 0.2,
                         qPrintable(QStringLiteral("%1 at %2 pt, laid out at %3 px").arg(i.text).arg(w->box.left()).arg(i.rect.left())));
                // Boxes of a line's words share the layout's line box, near enough.
                QVERIFY2(mmOff(w->box.top(), i.rect.top()) < 0.6, qPrintable(i.text));
            }
        }
        // The last page number, right on the last page.
        const QString last = QString::number(doc.pageCount());
        const auto lastWords = pdftext::onPage(words, doc.pageCount());
        bool numbered = false;
        for (int k = 0; k + 1 < lastWords.size(); ++k)
            if (lastWords[k].text == QLatin1String("Page") && lastWords[k + 1].text == last) numbered = true;
        QVERIFY(numbered);
    }

    void landscapeStaysLandscape() {
        ListData data({QStringLiteral("Name")}, rows(3));
        Document doc(listReport(&data, QPageLayout::Landscape));
        const QString path = tmp.filePath(QStringLiteral("wide.pdf"));
        QCOMPARE(writePdf(doc, path).result, Outcome::Done);
        const QSizeF size = pdftext::pageSize(path);
        QVERIFY(std::abs(size.width() - 842) < 1 && std::abs(size.height() - 595) < 1);
    }

    void unwritablePathFailsCleanly() {
        ListData data({QStringLiteral("Name")}, rows(3));
        Document doc(listReport(&data));
        const QString path = tmp.filePath(QStringLiteral("no/such/folder/x.pdf"));
        const Outcome out = writePdf(doc, path);
        QCOMPARE(out.result, Outcome::Failed);
        QVERIFY(!out.error.isEmpty());
        QVERIFY(!QFile::exists(path));
    }

    // Cancelled half-way: the file that was there is still there, whole, and
    // no part-written file is left beside it.
    void cancelledRunKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.pdf"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old content");
        }
        ListData data({QStringLiteral("Name")}, rows(200));
        Document doc(listReport(&data));
        const Outcome out = writePdf(doc, path, [](int done, int, bool) { return done < 2; });
        QCOMPARE(out.result, Outcome::Cancelled);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old content"));
        QCOMPARE(dirEntries(dir.path()), QStringList{"old.pdf"});
    }

    // The print dialog, scripted to print to a PDF file.
    void printThroughTheDialog() {
        toolkit::ScriptedDialogs dlg;
        ListData data({QStringLiteral("Name")}, rows(45));
        Document doc(listReport(&data, QPageLayout::Landscape));
        const QString path = tmp.filePath(QStringLiteral("printed.pdf"));
        dlg.printAnswers << path;
        QVERIFY(printWithDialog(doc, QStringLiteral("List")));
        QCOMPARE(dlg.requests.size(), 1);
        QCOMPARE(dlg.requests[0].kind, toolkit::DialogRequest::Print);
        QCOMPARE(dlg.requests[0].title, QStringLiteral("List"));
        QCOMPARE(pdftext::pages(path), doc.pageCount());
        const QSizeF size = pdftext::pageSize(path);
        QVERIFY(std::abs(size.width() - 842) < 1 && std::abs(size.height() - 595) < 1);
        const auto words = pdftext::words(path);
        const auto first = doc.page(0);
        const Item* title = first->find(QStringLiteral("客户名单"));
        const pdftext::Word* w = pdftext::find(words, QStringLiteral("客户名单"), 1);
        QVERIFY(title && w);
        // Printed from the paper's corner, as the PDF writer does.
        QVERIFY(mmOff(w->box.left(), title->rect.left()) < 0.2);
        QCOMPARE(dirEntries(tmp.path()).filter(QStringLiteral(".part")), QStringList());
    }

    // Printed to a file through the dialog: the dialog offers every page,
    // and the file gets the permissions any new file of the user gets.
    void printedFileAsSavedOne() {
        toolkit::ScriptedDialogs dlg;
        ListData data({QStringLiteral("Name")}, rows(120));
        Document doc(listReport(&data));
        const QString path = tmp.filePath(QStringLiteral("perm.pdf"));
        dlg.printAnswers << path;
        QString file;
        QVERIFY(printWithDialog(doc, QStringLiteral("List"), nullptr, &file));
        QCOMPARE(file, path);
        QVERIFY(doc.complete());
        QCOMPARE(dlg.requests[0].pages, doc.pageCount());
        const mode_t mask = ::umask(0);
        ::umask(mask);
        QFile::Permissions usual;
        if (!(mask & 0400)) usual |= QFile::ReadOwner;
        if (!(mask & 0200)) usual |= QFile::WriteOwner;
        if (!(mask & 0040)) usual |= QFile::ReadGroup;
        if (!(mask & 0020)) usual |= QFile::WriteGroup;
        if (!(mask & 0004)) usual |= QFile::ReadOther;
        if (!(mask & 0002)) usual |= QFile::WriteOther;
        const QFile::Permissions all = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                                        QFile::ExeOther;
        QCOMPARE(QFile::permissions(path) & all, usual);
        QCOMPARE(pdftext::pages(path), doc.pageCount());
    }

    // The disk fills up: an older PDF of the same name stays whole, and
    // both ways of writing one say so.
    void fullDiskKeepsTheOldPdf() {
        toolkit::ScriptedDialogs dlg;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("full.pdf"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old content");
        }
        ListData data({QStringLiteral("Name")}, rows(600));
        Document doc(listReport(&data));
        Outcome out;
        {
            testsupport::FileSizeLimit disk(16384);
            out = writePdf(doc, path);
        }
        QCOMPARE(out.result, Outcome::Failed);
        QVERIFY2(out.error.contains(QStringLiteral("too large")), qPrintable(out.error));
        dlg.printAnswers << path;
        {
            testsupport::FileSizeLimit disk(16384);
            QVERIFY(!printWithDialog(doc, QStringLiteral("List")));
        }
        QCOMPARE(dlg.messages().size(), 1);
        QVERIFY(!dlg.last()->detail.isEmpty());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old content"));
        QCOMPARE(dirEntries(dir.path()), QStringList{QStringLiteral("full.pdf")});
    }

    void printCancelledOrRefused() {
        toolkit::ScriptedDialogs dlg;
        ListData data({QStringLiteral("Name")}, rows(5));
        Document doc(listReport(&data));
        // Cancelled in the dialog: nothing printed, nothing said.
        QVERIFY(!printWithDialog(doc, QStringLiteral("List")));
        QCOMPARE(dlg.requests.size(), 1);
        QVERIFY(dlg.messages().isEmpty());
        // A file that cannot be written: said so, with the reason.
        const QString bad = tmp.filePath(QStringLiteral("missing/folder/p.pdf"));
        dlg.printAnswers << bad;
        QVERIFY(!printWithDialog(doc, QStringLiteral("List")));
        QCOMPARE(dlg.messages().size(), 1);
        QVERIFY(dlg.messages()[0].contains(QDir::toNativeSeparators(bad)));
        QCOMPARE(dlg.last()->icon, toolkit::Icon::Warning);
        QVERIFY(!dlg.last()->detail.isEmpty());
        QVERIFY(!QFile::exists(bad));
    }

    // A page range chosen in the dialog prints those pages only.
    void pageRange() {
        ListData data({QStringLiteral("Name")}, rows(120));
        Document doc(listReport(&data));
        QVERIFY(doc.pageCount() >= 4);
        QPrinter printer(QPrinter::HighResolution);
        setUpPrinter(printer, doc, QStringLiteral("List"));
        const QString path = tmp.filePath(QStringLiteral("range.pdf"));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 3);
        const Outcome out = printOn(doc, printer);
        QCOMPARE(out.result, Outcome::Done);
        QCOMPARE(out.pages, 2);
        QCOMPARE(pdftext::pages(path), 2);
        const auto words = pdftext::words(path);
        const QString firstOnPage2 = doc.page(1)->bandsOf(BandKind::Detail).isEmpty()
                                         ? QString()
                                         : data.text(doc.page(1)->bandsOf(BandKind::Detail).first().masterRow, 0);
        QVERIFY(pdftext::find(words, firstOnPage2, 1));
    }
};

QTEST_MAIN(TestOutput)
#include "tst_output.moc"
