// The spreadsheet export window: layouts, ranges, where files go, and what
// happens when a file cannot or should not be written.
#include <QDir>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "exchange/U_Export.h"
#include "exchange/Windows.h"
#include "exchange/sheet/Workbook.h"
#include "tests/support/AppFixture.h"
#include "tests/support/FileSizeLimit.h"
#include "toolkit/Modal.h"

class TestExport : public QObject, testsupport::AppFixture {
    Q_OBJECT

    QString today() const { return QDate::currentDate().toString("yyyy-MM-dd"); }

    qlonglong customer(const QMap<QString, QVariant>& values) {
        db::Query q(Frm_Data->Connection);
        q.setSql("select * from custom");
        q.open();
        q.append();
        for (auto it = values.begin(); it != values.end(); ++it) q.setValue(it.key(), it.value());
        q.post();
        return q.field("CustID").asInteger();
    }
    void contact(const QMap<QString, QVariant>& values) {
        db::Query q(Frm_Data->Connection);
        q.setSql("select * from contact");
        q.open();
        q.append();
        for (auto it = values.begin(); it != values.end(); ++it) q.setValue(it.key(), it.value());
        q.post();
    }
    std::unique_ptr<TFrm_Export> window(bool customers) {
        auto w = std::make_unique<TFrm_Export>();
        w->ExportCustomers = customers;
        w->show();
        return w;
    }
    static std::unique_ptr<sheet::Workbook> read(const QString& path) {
        QString error;
        auto wb = sheet::Workbook::open(path, &error);
        if (!wb) qWarning("%s: %s", qPrintable(path), qPrintable(error));
        return wb;
    }
    static QStringList row(const sheet::Worksheet& s, int r) {
        QStringList out;
        for (int c = 1; c <= s.columnCount(); ++c) out << s.text(r, c);
        return out;
    }
    QString exportDir() const { return QDir(t->dir()).filePath("export"); }
    // The customer export over the customer list.
    std::unique_ptr<TFrm_Export> exportWindow() {
        Frm_Data->Qry_Cust->setSql("select * from custom");
        Frm_Data->Qry_Cust->open();
        return window(true);
    }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerExchangeWindows();
    }
    void init() {
        QVERIFY(start());
        setUser("Admin", 0);
    }
    void cleanup() { stop(); }

    void checkCustomerPage(TFrm_Export* w) {
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QString("导出为Excel文件"));
        QVERIFY(w->ExportCustomers);
        QVERIFY(!w->PageControl1->tabBar()->isVisible());
        QCOMPARE(w->PageControl1->currentWidget(), w->TabSheet1);
        QCOMPARE(w->RadioGroup1->title(), QString("Record  range "));
        QCOMPARE(w->RadioGroup1Item0->text(), QString("1.Current customer record"));
        QCOMPARE(w->RadioGroup1Item1->text(), QString("2.All customer record"));
        QVERIFY(w->RadioGroup1Item0->isChecked());
        QCOMPARE(w->Label1->text(), QString("Filename"));
        QCOMPARE(w->Edit_Name->text(), "Cust" + today());
        QCOMPARE(w->Btn_OK->text(), QString("Yes(&Y)"));
        QVERIFY(w->Btn_OK->isDefault());
        QCOMPARE(w->Btn_Exit->text(), QString("Exit(&E)"));
        QVERIFY(!(w->windowFlags() & Qt::WindowMinimizeButtonHint));
    }
    void checkContactPage(TFrm_Export* w) {
        QVERIFY(w);
        QCOMPARE(w->PageControl1->currentWidget(), w->TabSheet2);
        QCOMPARE(w->RadioGroup2->title(), QString("Reocrd range "));
        QCOMPARE(w->RadioGroup2Item0->text(), QString("1.Current contactor record"));
        QCOMPARE(w->RadioGroup2Item1->text(), QString("2.All contactor record"));
        QCOMPARE(w->Edit_Contact->text(), "Contact" + today());
        QCOMPARE(w->BitBtn1->text(), QString("Begin(&Y)"));
        QCOMPARE(w->Button2->text(), QString("Exit(&E)"));
        // Exit closes, through the real button.
        QTest::mouseClick(w->Button2, Qt::LeftButton);
        QVERIFY(!w->isVisible());
    }

    void windowAsOpened() {
        {
            toolkit::ScriptedModal modal([&](QDialog* d) {
                checkCustomerPage(qobject_cast<TFrm_Export*>(d));
                return 0;
            });
            main->sss2Click();
            QCOMPARE(modal.shown, QStringList({"TFrm_Export"}));
        }
        toolkit::ScriptedModal contacts([&](QDialog* d) {
            checkContactPage(qobject_cast<TFrm_Export*>(d));
            return 0;
        });
        main->Excel1Click();
        QCOMPARE(contacts.shown, QStringList({"TFrm_Export"}));
        // The submenus are there to be found.
        QVERIFY(main->N39->isVisible());
        QVERIFY(main->N40->isVisible());
    }

    void emptySourceWritesTitlesOnly() {
        Frm_Data->Qry_Cust->setSql("select * from custom");
        Frm_Data->Qry_Cust->open();
        auto w = window(true);
        QVERIFY(!QDir(exportDir()).exists());
        w->Btn_OKClick();
        const QString path = QDir(exportDir()).filePath("Cust" + today() + ".xlsx");
        QCOMPARE(w->lastFile(), path);
        auto wb = read(path);
        QVERIFY(wb);
        QCOMPARE(wb->activeSheet().rowCount(), 1);
        QCOMPARE(row(wb->activeSheet(), 1),
                 QStringList({"公司名称", "客户类型", "行业", "国家", "省份", "城市", "通讯地址", "邮政编码", "电话", "传真",
                              "年收入", "电子信箱", "网址", "客户来源", "企业简介", "添加时间"}));
        // The desktop is asked to open the file.
        QCOMPARE(dlg->last()->kind, toolkit::DialogRequest::OpenUrl);
        QCOMPARE(QUrl(dlg->last()->text).toLocalFile(), path);
    }

    void currentSearchOfThree() {
        for (const char* c : {"Alpha", "Beta", "Gamma", "Delta", "Epsilon"})
            customer({{"Company", QString(c)}, {"City", QString(c).startsWith('A') || QString(c).startsWith('G') || QString(c).startsWith('E') ? "X" : "Y"}});
        db::Query* cust = Frm_Data->Qry_Cust;
        cust->setSql("select * from custom where City='X' order by CustID");
        cust->open();
        QCOMPARE(cust->recordCount(), 3);
        int moves = 0;
        connect(cust, &toolkit::RecordSource::currentRowChanged, this, [&] { ++moves; });
        auto w = window(true);
        QList<int> positions;
        connect(w->ProgressBar1, &QProgressBar::valueChanged, this, [&](int v) { positions << v; });
        QTest::mouseClick(w->Btn_OK, Qt::LeftButton);
        QVERIFY(w->isVisible());  // open for another export
        auto wb = read(w->lastFile());
        QVERIFY(wb);
        const sheet::Worksheet& s = wb->activeSheet();
        QCOMPARE(s.rowCount(), 4);
        QCOMPARE(s.text(2, 1), QString("Alpha"));
        QCOMPARE(s.text(3, 1), QString("Gamma"));
        QCOMPARE(s.text(4, 1), QString("Epsilon"));
        // The list stays on the customer the user had; walking it moved nothing.
        QCOMPARE(cust->currentRow(), 0);
        QCOMPARE(cust->asString("Company"), QString("Alpha"));
        QCOMPARE(moves, 0);
        QCOMPARE(w->ProgressBar1->maximum(), 3);
        QVERIFY(positions.contains(1));
    }

    void everyCellAsText() {
        const qlonglong id = customer({{"Company", "深圳市腾飞贸易有限公司"},
                                        {"CustType", "O'Brien \"quoted\""},
                                        {"Category", "0102"},
                                        {"PostCode", "007"},
                                        {"Tel", "0755-12345678"},
                                        {"Fax", "12345678901234567890"},
                                        {"Introduce", "first line\nsecond line"},
                                        {"Url", "www.example.com"},
                                        {"From", "Web site"},
                                        {"Date", "2024-03-05"}});
        customer({{"Company", "Sparse"}});
        contact({{"CustID", QString::number(id)}, {"Name", "张三"}, {"Main", true},
                 {"Birthday", QDateTime(QDate(1980, 12, 25), QTime(0, 0))}, {"Mobile", "13912345678"}});
        contact({{"CustID", QString::number(id)}, {"Name", "Li"}, {"Main", false}});

        auto w = window(true);
        QTest::mouseClick(w->RadioGroup1Item1, Qt::LeftButton);
        QVERIFY(w->RadioGroup1Item1->isChecked());
        w->Edit_Name->clear();
        QTest::keyClicks(w->Edit_Name, "AllCustomers");
        QTest::mouseClick(w->Btn_OK, Qt::LeftButton);
        // The whole table goes beside the program.
        const QString path = QDir(t->dir()).filePath("AllCustomers.xlsx");
        QCOMPARE(w->lastFile(), path);
        auto wb = read(path);
        QVERIFY(wb);
        const sheet::Worksheet& s = wb->activeSheet();
        QCOMPARE(s.rowCount(), 3);
        QCOMPARE(row(s, 2), QStringList({"深圳市腾飞贸易有限公司", "O'Brien \"quoted\"", "0102", "", "", "", "", "007", "0755-12345678",
                                         "12345678901234567890", "", "", "www.example.com", "Web site", "first line\nsecond line",
                                         "2024-03-05"}));
        QCOMPARE(s.text(3, 1), QString("Sparse"));
        for (int c = 2; c <= 15; ++c) QVERIFY(s.text(3, c).isEmpty());
        for (int c = 1; c <= 16; ++c) QVERIFY(s.kind(2, c) == sheet::CellKind::Text || s.kind(2, c) == sheet::CellKind::Empty);

        auto cw = window(false);
        QTest::mouseClick(cw->RadioGroup2Item1, Qt::LeftButton);
        QTest::mouseClick(cw->BitBtn1, Qt::LeftButton);
        auto cb = read(QDir(t->dir()).filePath("Contact" + today() + ".xlsx"));
        QVERIFY(cb);
        const sheet::Worksheet& c = cb->activeSheet();
        QCOMPARE(row(c, 1), QStringList({"公司编码", "联系人", "主联系人", "公司名称", "职务", "部门", "电子信箱", "通讯地址", "邮政编码",
                                         "电话", "手机", "家庭电话", "传真", "生日", "个人简介"}));
        QCOMPARE(c.text(2, 1), QString::number(id));
        QCOMPARE(c.text(2, 2), QString("张三"));
        QCOMPARE(c.text(2, 3), QString("True"));
        QCOMPARE(c.text(2, 11), QString("13912345678"));
        QCOMPARE(c.text(2, 14), QString("1980-12-25"));
        QCOMPARE(c.text(3, 3), QString("False"));
        QVERIFY(c.text(3, 14).isEmpty());
    }

    void currentContactsOfTheCustomer() {
        const qlonglong a = customer({{"Company", "A"}});
        const qlonglong b = customer({{"Company", "B"}});
        contact({{"CustID", QString::number(a)}, {"Name", "of A"}});
        contact({{"CustID", QString::number(b)}, {"Name", "of B"}});
        Frm_Data->Qry_Cust->setSql("select * from custom");
        Frm_Data->Qry_Cust->open();
        Frm_Data->LinkContactDetail();
        Frm_Data->Qry_Cust->setCurrentRow(1);
        auto w = window(false);
        w->BitBtn1Click();
        auto wb = read(QDir(exportDir()).filePath("Contact" + today() + ".xlsx"));
        QVERIFY(wb);
        QCOMPARE(wb->activeSheet().rowCount(), 2);
        QCOMPARE(wb->activeSheet().text(2, 2), QString("of B"));

        // A customer export of the current list first changes nothing of it:
        // the current contacts are still those of the same customer.
        auto c = window(true);
        c->Edit_Name->setText("first");
        c->Btn_OKClick();
        QCOMPARE(Frm_Data->Qry_Cust->currentRow(), 1);
        w->Edit_Contact->setText("second");
        w->BitBtn1Click();
        auto again = read(QDir(exportDir()).filePath("second.xlsx"));
        QVERIFY(again);
        QCOMPARE(again->activeSheet().text(2, 2), QString("of B"));
    }

    void replaceOrKeep() {
        customer({{"Company", "New data"}});
        Frm_Data->Qry_Cust->setSql("select * from custom");
        Frm_Data->Qry_Cust->open();
        QVERIFY(QDir().mkpath(exportDir()));
        const QString path = QDir(exportDir()).filePath("Same.xlsx");
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("an old file");
        }
        auto w = window(true);
        w->Edit_Name->setText("Same");
        dlg->answers << QMessageBox::No;
        w->Btn_OKClick();
        const toolkit::DialogRequest* asked = nullptr;
        for (const auto& r : dlg->requests)
            if (r.kind == toolkit::DialogRequest::Message && r.text.contains("Replace")) asked = &r;
        QVERIFY(asked);
        QVERIFY(asked->text.contains(QDir::toNativeSeparators(path)));
        QCOMPARE(asked->buttons, QMessageBox::Yes | QMessageBox::No);
        QFile kept(path);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("an old file"));
        kept.close();
        QVERIFY(w->lastFile().isEmpty());

        dlg->answers << QMessageBox::Yes;
        w->Btn_OKClick();
        auto wb = read(path);
        QVERIFY(wb);
        QCOMPARE(wb->activeSheet().text(2, 1), QString("New data"));
    }

    // The disk fills up while a workbook replaces an older one: the old one
    // stays whole, the failure is told, nothing is opened.
    void fullDiskKeepsTheOldWorkbook() {
        for (int i = 0; i < 400; ++i)
            customer({{"Company", QString("Company %1").arg(i)}, {"Introduce", QString(200, QChar(u'a' + i % 26))}});
        Frm_Data->Qry_Cust->setSql("select * from custom");
        Frm_Data->Qry_Cust->open();
        QVERIFY(QDir().mkpath(exportDir()));
        const QString path = QDir(exportDir()).filePath("Full.xlsx");
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("an old file");
        }
        auto w = window(true);
        w->Edit_Name->setText("Full");
        dlg->answers << QMessageBox::Yes;
        {
            testsupport::FileSizeLimit disk(8192);
            QTest::mouseClick(w->Btn_OK, Qt::LeftButton);
        }
        QFile kept(path);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("an old file"));
        QVERIFY(w->lastFile().isEmpty());
        QCOMPARE(dlg->last()->kind, toolkit::DialogRequest::Message);
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Warning);
        QVERIFY2(dlg->last()->text.startsWith("Cannot write"), qPrintable(dlg->last()->text));
        for (const auto& r : dlg->requests) QVERIFY(r.kind != toolkit::DialogRequest::OpenUrl);
        QCOMPARE(QDir(exportDir()).entryList(QDir::Files | QDir::Hidden), QStringList({"Full.xlsx"}));
    }

    // "export" is a file here, so the folder cannot be made.
    void exportFolderThatIsAFile() {
        auto w = exportWindow();
        {
            QFile blocker(exportDir());
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        w->Btn_OKClick();
        QVERIFY(w->lastFile().isEmpty());
        QCOMPARE(dlg->last()->kind, toolkit::DialogRequest::Message);
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Warning);
        QVERIFY2(dlg->last()->text.contains(QDir::toNativeSeparators(exportDir())), qPrintable(dlg->last()->text));
        QVERIFY(dlg->last()->text.contains("not a folder"));
    }

    // A name the file system cannot take, typed by the user.
    void nameWithAFolderSeparator() {
        auto w = exportWindow();
        w->Edit_Name->clear();
        QTest::keyClicks(w->Edit_Name, "a/b");
        QTest::mouseClick(w->RadioGroup1Item1, Qt::LeftButton);
        QTest::mouseClick(w->Btn_OK, Qt::LeftButton);
        QVERIFY(dlg->last()->text.contains("folder separator"));
        QVERIFY(!QFile::exists(QDir(t->dir()).filePath("a")));
    }

    // A name too long for the file system: the path and the system's reason.
    void nameTooLongForTheFileSystem() {
        auto w = exportWindow();
        QTest::mouseClick(w->RadioGroup1Item1, Qt::LeftButton);
        w->Edit_Name->setText(QString(300, 'n'));
        w->Btn_OKClick();
        QVERIFY(dlg->last()->text.startsWith("Cannot write"));
        QVERIFY(dlg->last()->text.contains(QString(300, 'n')));
        QCOMPARE(QDir(t->dir()).entryList({"*nnnn*"}, QDir::Files | QDir::Hidden), QStringList());
    }

    // A folder where the file would go: said at once, no offer to replace it.
    void folderWhereTheFileWouldGo() {
        auto w = exportWindow();
        QTest::mouseClick(w->RadioGroup1Item1, Qt::LeftButton);
        QVERIFY(QDir(t->dir()).mkdir("isdir.xlsx"));
        dlg->clear();
        w->Edit_Name->setText("isdir");
        w->Btn_OKClick();
        QCOMPARE(dlg->requests.size(), 1);
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Warning);
        QVERIFY2(dlg->last()->text.contains("folder of that name"), qPrintable(dlg->last()->text));
        QVERIFY(QFileInfo(QDir(t->dir()).filePath("isdir.xlsx")).isDir());
        QCOMPARE(w->ProgressBar1->value(), 0);
    }

    // An empty name is refused before anything is made.
    void emptyNameRefused() {
        auto w = exportWindow();
        w->Edit_Name->setText("   ");
        w->Btn_OKClick();
        QCOMPARE(dlg->last()->text, QString("Filename not null!"));
        QCOMPARE(QDir(exportDir()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // A text longer than a cell holds is cut, and the user is told so.
    void longTextsCutAndSaid() {
        customer({{"Company", "Long"}, {"Introduce", QString(40000, QChar(u'长'))}});
        customer({{"Company", "Short"}, {"Introduce", "short"}});
        // Escaped in the file, this one would be too long after the cut if it
        // were cut first: it must not end the export.
        customer({{"Company", "Escaped"}, {"Introduce", QStringLiteral("_x0041_") + QString(40000, 'x')}});
        auto w = window(true);
        w->RadioGroup1Item1->setChecked(true);
        w->Edit_Name->setText("long");
        dlg->clear();
        w->Btn_OKClick();
        const QString path = QDir(t->dir()).filePath("long.xlsx");
        QCOMPARE(w->lastFile(), path);
        const toolkit::DialogRequest* said = nullptr;
        for (const auto& r : dlg->requests)
            if (r.kind == toolkit::DialogRequest::Message && r.icon == toolkit::Icon::Warning) said = &r;
        QVERIFY(said);
        QVERIFY2(said->text == "2 texts were longer than a spreadsheet cell can hold and were cut to 32,767 characters in " +
                                   QDir::toNativeSeparators(path) + ".",
                 qPrintable(said->text));
        auto wb = read(path);
        QVERIFY(wb);
        QCOMPARE(wb->activeSheet().text(2, 15), QString(32767, QChar(u'长')));
        QCOMPARE(wb->activeSheet().text(3, 15), QString("short"));
        QCOMPARE(wb->activeSheet().text(4, 15), QStringLiteral("_x0041_") + QString(32767 - 13, 'x'));

        // Nothing cut, nothing said.
        customer({{"Company", "Other"}});
        dlg->clear();
        w->Edit_Name->setText("short");
        Frm_Data->Qry_Cust->setSql("select * from custom where Company not in ('Long', 'Escaped')");
        Frm_Data->Qry_Cust->open();
        w->RadioGroup1Item0->setChecked(true);
        w->Btn_OKClick();
        for (const auto& r : dlg->requests) QVERIFY(r.icon != toolkit::Icon::Warning);
    }

    void closedListWritesNothing() {
        Frm_Data->Qry_Cust->close();
        auto w = window(true);
        dlg->clear();
        w->Btn_OKClick();
        QVERIFY(dlg->requests.isEmpty());
        QVERIFY(!QDir(exportDir()).exists() || QDir(exportDir()).isEmpty());
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
