// The spreadsheet import: loading a workbook, the mapping window, and runs
// that write everything or nothing.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "exchange/ImportLoad.h"
#include "exchange/Progress.h"
#include "exchange/U_Export.h"
#include "exchange/U_Import.h"
#include "exchange/Windows.h"
#include "exchange/sheet/XlsxWriter.h"
#include "tests/exchange/sheet/SheetFiles.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

class TestImport : public QObject, testsupport::AppFixture {
    Q_OBJECT

    // A workbook of text cells: the first row is the header row.
    QString workbook(const QString& name, const QList<QStringList>& rows) {
        const QString path = QDir(t->dir()).filePath(name);
        sheet::XlsxWriter w(path);
        if (!rows.isEmpty()) w.setTitles(rows.first());
        for (int r = 1; r < rows.size(); ++r) w.writeRow(r + 1, rows[r]);
        if (!w.commit()) qWarning("%s", qPrintable(w.error()));
        return path;
    }
    // Runs an import command on path; script sees the mapping window.
    QStringList runCommand(const QString& table, const QString& path, const std::function<void(TFrm_Import*)>& script) {
        if (!path.isEmpty()) dlg->fileAnswers << path;
        toolkit::ScriptedModal modal([&](QDialog* d) {
            if (auto* w = qobject_cast<TFrm_Import*>(d)) script(w);
            return 0;
        });
        if (table == "custom") main->sss1Click();
        else main->Excel2Click();
        return modal.shown;
    }
    // Loads path for table and presses Start with the given pairings
    // (column -> F_Field) set first; returns the outcome.
    ImportOutcome importWith(const QString& table, const QString& path, const QMap<QString, QString>& pairs) {
        ImportOutcome out;
        runCommand(table, path, [&](TFrm_Import* w) {
            for (auto it = pairs.begin(); it != pairs.end(); ++it)
                t->exec(QStringLiteral("update T_Import set F_Field='%1' where tablename='%2' and S_Field='%3'")
                            .arg(QString(it.value()).replace("'", "''"), table, it.key()));
            QTest::mouseClick(w->Btn_Start, Qt::LeftButton);
            out = w->lastOutcome();
        });
        return out;
    }
    void clearPairs(const QString& table) {
        QVERIFY(t->exec(QStringLiteral("update T_Import set F_Field='' where tablename='%1'").arg(table)));
    }
    QString pair(const QString& table, const QString& column) {
        return t->text(QStringLiteral("select * from T_Import where tablename='%1' and S_Field='%2'").arg(table, column), "F_Field");
    }
    qlonglong customer(const QString& company) {
        db::Query q(Frm_Data->Connection);
        q.setSql("select * from custom");
        q.open();
        q.append();
        q.setValue("Company", company);
        q.post();
        return q.field("CustID").asInteger();
    }
    // Like importWith, but only the given pairings: every other row unpaired.
    ImportOutcome importOnly(const QString& table, const QString& path, const QMap<QString, QString>& pairs) {
        ImportOutcome out;
        runCommand(table, path, [&](TFrm_Import* w) {
            clearPairs(table);
            for (auto it = pairs.begin(); it != pairs.end(); ++it)
                t->exec(QStringLiteral("update T_Import set F_Field='%1' where tablename='%2' and S_Field='%3'")
                            .arg(QString(it.value()).replace("'", "''"), table, it.key()));
            QTest::mouseClick(w->Btn_Start, Qt::LeftButton);
            out = w->lastOutcome();
        });
        return out;
    }
    static QString testFile(const QString& name) { return QStringLiteral(TALLIX_TEST_FILES "/") + name; }
    QString lastMessage() const {
        const QStringList m = dlg->messages();
        return m.isEmpty() ? QString() : m.last();
    }

    static int rowOf(TFrm_Import* w, const QString& displayName) {
        auto* m = w->DBGrid1->recordModel();
        for (int r = 0; r < m->rowCount(); ++r)
            if (m->index(r, 0).data().toString() == displayName) return r;
        return -1;
    }

    void checkWindow(TFrm_Import* w, const QStringList& headers) {
        QCOMPARE(w->windowTitle(), QString("字段映射"));
        QCOMPARE(w->Label1->text(), QString("Excel中共有 10 条记录"));
        QCOMPARE(w->Btn_Start->text(), QString("开始(&S)"));
        QVERIFY(w->Btn_Start->isDefault());
        QCOMPARE(w->Btn_Exit->text(), QString("取消(&Q)"));
        auto* m = w->DBGrid1->recordModel();
        QCOMPARE(m->columnCount(), 2);
        QCOMPARE(m->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Database Field"));
        QCOMPARE(m->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Sheet Column"));
        QCOMPARE(m->rowCount(), 19);  // the customer rows only
        QCOMPARE(m->index(0, 0).data().toString(), QString("Company"));
        QCOMPARE(w->HeaderPick->headers, headers);
        QCOMPARE(w->Label3->text(), QString("Sheet columns paired with nothing (not imported): Extra"));
        // The first column cannot be edited, even with a double click.
        const QRect cell = w->DBGrid1->visualRect(m->index(0, 0));
        QTest::mouseDClick(w->DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
        QVERIFY(!w->DBGrid1->indexWidget(m->index(0, 0)));
        QVERIFY(!(m->flags(m->index(0, 0)) & Qt::ItemIsEditable) || !w->HeaderPick->openEditor());
        QVERIFY(!qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        QTest::mouseClick(w->Btn_Exit, Qt::LeftButton);
        QVERIFY(!w->isVisible());
    }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerExchangeWindows();
    }
    void init() {
        QVERIFY(start());
        setUser("Tom", 1);
    }
    void cleanup() { stop(); }

    void loadingAndPrePairing() {
        QVERIFY(t->exec("update T_Import set F_Field='untouched' where tablename='contact'"));
        QList<QStringList> rows = {{"公司名称", "电话", "Extra", "", "城市"}};
        for (int i = 1; i <= 10; ++i) rows << QStringList{QStringLiteral("Co %1").arg(i), "123", "x", "y", "Town"};
        const QString path = workbook("load.xlsx", rows);
        const QStringList headers = {"公司名称", "电话", "Extra", "", "城市"};
        const QStringList shown = runCommand("custom", path, [&](TFrm_Import* w) { checkWindow(w, headers); });
        QCOMPARE(shown, QStringList({"TFrm_Import"}));
        const toolkit::DialogRequest& open = dlg->requests.first();
        QCOMPARE(open.kind, toolkit::DialogRequest::OpenFile);
        QCOMPARE(open.title, QString("Excel file import to database"));
        for (const char* pattern : {"*.xls", "*.xlsx", "*.xlsm", "*.ods", "*.csv", "*.txt", "All Files (*)"})
            QVERIFY2(open.text.contains(pattern), pattern);

        // The header row, column by column.
        auto temp = t->select("select * from T_Temp");
        QCOMPARE(temp->recordCount(), 5);
        for (int i = 0; i < 5; ++i, temp->next()) {
            QCOMPARE(temp->asString("S_Field"), headers[i]);
            QCOMPARE(temp->field("CellID").asInteger(), i + 1);
        }
        // Named headers pair wherever they stand; a header naming nothing
        // is left alone (not put into the third row by its position).
        QCOMPARE(pair("custom", "Company"), QString("公司名称"));
        QCOMPARE(pair("custom", "Tel"), QString("电话"));
        QCOMPARE(pair("custom", "City"), QString("城市"));
        QCOMPARE(pair("custom", "Category"), QString());
        QCOMPARE(pair("custom", "CustType"), QString());
        QCOMPARE(pair("custom", "Province"), QString());
        QCOMPARE(pair("custom", "Fax"), QString());
        // The contact rows are not the customer import's business.
        QCOMPARE(t->scalar("select count(*) from T_Import where tablename='contact' and F_Field='untouched'"),
                 t->scalar("select count(*) from T_Import where tablename='contact'"));

        dlg->clear();
        runCommand("contact", path, [](TFrm_Import*) {});
        QCOMPARE(dlg->requests.first().title, QString("From Excel file import to database"));
        QCOMPARE(pair("contact", "Company"), QString("公司名称"));
        QCOMPARE(pair("contact", "Tel"), QString("电话"));
        QCOMPARE(pair("custom", "Company"), QString("公司名称"));

        // Cancelling the file dialog opens nothing and changes nothing.
        QVERIFY(t->exec("delete from T_Temp"));
        QCOMPARE(runCommand("custom", QString(), [](TFrm_Import*) {}), QStringList());
        QCOMPARE(t->scalar("select count(*) from T_Temp"), 0);
    }

    void headerRowOnly() {
        const QString path = workbook("header.xlsx", {{"公司名称", "电话"}});
        runCommand("custom", path, [&](TFrm_Import* w) {
            QCOMPARE(w->Label1->text(), QString("Excel中共有 0 条记录"));
            QTest::mouseClick(w->Btn_Start, Qt::LeftButton);
            QVERIFY(w->Btn_Start->isEnabled());
        });
        QCOMPARE(lastMessage(), QString("导入数据成功!"));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::None);
        QCOMPARE(t->scalar("select count(*) from custom"), 0);
    }

    void runsByTheMapping() {
        const QString path = workbook("run.xlsx", {{"Company", "Tel", "Tel", "Street", "Fax", "City", "A", "B", "C", "D", "E"},
                                                   {"Alpha", "111", "999", "1 Main St", "f1", "Springfield", "a", "b", "c", "d", "e"},
                                                   {},
                                                   {"Beta", "222", "998", "2 Side Rd", "f2", "Shelbyville", "a", "b", "c", "d", "e"},
                                                   {"Gamma", "333", "997", "", "f3", "Ogdenville", "a", "b", "c", "d", "e"}});
        ImportOutcome o;
        runCommand("custom", path, [&](TFrm_Import* w) {
            QCOMPARE(w->RowCount, 5);
            clearPairs("custom");
            QVERIFY(t->exec("update T_Import set F_Field='Company' where tablename='custom' and S_Field='Company'"));
            QVERIFY(t->exec("update T_Import set F_Field='Tel' where tablename='custom' and S_Field='Tel'"));
            QVERIFY(t->exec("update T_Import set F_Field='Street+City' where tablename='custom' and S_Field='Address'"));
            QVERIFY(t->exec("update T_Import set F_Field='A+B+C+D+E' where tablename='custom' and S_Field='Introduce'"));
            QVERIFY(t->exec("update T_Import set F_Field=' ' where tablename='custom' and S_Field='Fax'"));
            QVERIFY(t->exec("update T_Import set F_Field='A+B+C+D' where tablename='custom' and S_Field='Income'"));
            QTest::mouseClick(w->Btn_Start, Qt::LeftButton);
            o = w->lastOutcome();
            QCOMPARE(w->Label2->text(), QString("Added 3 customer(s) and 0 contact(s); 1 empty row(s) skipped."));
        });
        QCOMPARE(lastMessage(), QString("导入数据成功!"));
        QCOMPARE(o.customers, 3);
        QCOMPARE(o.emptyRows, 1);
        auto c = t->select("select * from custom order by CustID");
        QCOMPARE(c->recordCount(), 3);
        QCOMPARE(c->asString("Company"), QString("Alpha"));
        QCOMPARE(c->asString("Tel"), QString("111"));                      // the first of two equal headers
        QCOMPARE(c->asString("Address"), QString("1 Main StSpringfield"));  // joined without a separator
        QVERIFY(c->field("Introduce").asString().isEmpty());               // five pieces: empty text
        QVERIFY(!c->field("Introduce").isNull());
        QCOMPARE(c->asString("Income"), QString("abcd"));
        QVERIFY(c->field("Fax").isNull());                                  // a blank pairing imports nothing
        // Owner and entry date of the importing user, so "My Customer" finds them.
        QCOMPARE(c->asString("F_User"), QString("Tom"));
        QCOMPARE(c->asString("Date"), QDate::currentDate().toString("yyyy-MM-dd"));
        c->next();
        QCOMPARE(c->asString("Company"), QString("Beta"));
        c->next();
        QCOMPARE(c->asString("Address"), QString("Ogdenville"));
    }

    void nameRuleLinksToItsCustomer() {
        customer("Existing");
        const QString path = workbook("names.xlsx", {{"公司名称", "联系人", "电话"},
                                                     {"Alpha", "Anna", "1"},
                                                     {"Beta", "", "2"},
                                                     {"Gamma", "Greg", "3"}});
        const ImportOutcome o = importWith("custom", path, {});
        QCOMPARE(pair("custom", "Name"), QString("联系人"));
        QCOMPARE(o.customers, 3);
        QCOMPARE(o.contacts, 2);
        for (const auto& [company, person] : {std::pair{"Alpha", "Anna"}, std::pair{"Gamma", "Greg"}}) {
            const QString id = t->text(QStringLiteral("select * from custom where Company='%1'").arg(company), "CustID");
            auto p = t->select(QStringLiteral("select * from contact where CustID='%1'").arg(id));
            QCOMPARE(p->recordCount(), 1);
            QCOMPARE(p->asString("Name"), QString(person));
            QCOMPARE(p->asString("Company"), QString(company));
            QCOMPARE(p->asString("F_User"), QString("Tom"));
        }
        // No contact of an empty name, none for a customer already there.
        QCOMPARE(t->scalar("select count(*) from contact"), 2);
    }

    void allOrNothing() {
        QList<QStringList> rows = {{"公司名称", "邮政编码", "城市"}};
        for (int i = 1; i <= 40; ++i) rows << QStringList{QStringLiteral("Co %1").arg(i), "518000", "Shenzhen"};
        rows[17][1] = "5180001";  // sheet row 18: seven characters for six
        rows[23][0] = "   ";      // sheet row 24: no company
        const QString path = workbook("bad.xlsx", rows);
        const ImportOutcome o = importWith("custom", path, {});
        QVERIFY(!o.written());
        QCOMPARE(o.problemCount, 2);
        QCOMPARE(t->scalar("select count(*) from custom"), 0);
        QCOMPARE(t->scalar("select count(*) from contact"), 0);
        const QString m = lastMessage();
        QVERIFY2(m.contains("Nothing was imported"), qPrintable(m));
        QVERIFY(m.contains("2 problems"));
        QVERIFY2(m.contains("Row 18, column \"邮政编码\", value \"5180001\": longer than the 6 characters its column holds."),
                 qPrintable(m));
        QVERIFY2(m.contains("Row 24, column \"公司名称\": a customer without a company name."), qPrintable(m));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Warning);

        // Many problems: the first twenty and how many in all.
        for (int i = 1; i <= 40; ++i) rows[i][1] = "1234567";
        const ImportOutcome many = importWith("custom", workbook("many.xlsx", rows), {});
        QCOMPARE(many.problemCount, 41);
        QCOMPARE(many.problems.size(), 20);
        QVERIFY(lastMessage().contains("... and 21 more."));
        QCOMPARE(lastMessage().count("\nRow "), 20);

        // Corrected, the same file goes in whole.
        for (int i = 1; i <= 40; ++i) rows[i][1] = "518000";
        rows[23][0] = "Co 23b";
        QVERIFY(importWith("custom", workbook("good.xlsx", rows), {}).written());
        QCOMPARE(t->scalar("select count(*) from custom"), 40);
    }

    void problemsAcrossManyRows() {
        // Rows are checked in batches ahead of the writing: problems and empty
        // rows far apart are all counted, in sheet order.
        QList<QStringList> rows = {{"公司名称", "邮政编码"}};
        for (int i = 1; i <= 3000; ++i) rows << QStringList{QStringLiteral("Co %1").arg(i), "518000"};
        for (int r : {10, 700, 2999}) rows[r - 1][1] = "5180001";
        rows[600 - 1] = QStringList{"", ""};
        rows[1700 - 1] = QStringList{"", ""};
        ImportOutcome o = importWith("custom", workbook("spread.xlsx", rows), {});
        QCOMPARE(o.problemCount, 3);
        QCOMPARE(o.problems.size(), 3);
        QCOMPARE(o.problems[0].row, 10);
        QCOMPARE(o.problems[1].row, 700);
        QCOMPARE(o.problems[2].row, 2999);
        QCOMPARE(t->scalar("select count(*) from custom"), 0);
        // More problems than are shown, across many batches: the first twenty
        // in sheet order, every one counted.
        for (int r : {10, 700, 2999}) rows[r - 1][1] = "518000";
        for (int r = 25; r <= 3000; r += 50) rows[r - 1][1] = "5180001";
        o = importWith("custom", workbook("spread-many.xlsx", rows), {});
        QCOMPARE(o.problemCount, 60);
        QCOMPARE(o.problems.size(), 20);
        for (int i = 0; i < 20; ++i) QCOMPARE(o.problems[i].row, 25 + 50 * i);
        QCOMPARE(t->scalar("select count(*) from custom"), 0);
        for (int r = 25; r <= 3000; r += 50) rows[r - 1][1] = "518000";
        o = importWith("custom", workbook("spread-good.xlsx", rows), {});
        QVERIFY2(o.written(), qPrintable(lastMessage()));
        QCOMPARE(o.customers, 2998);
        QCOMPARE(o.emptyRows, 2);
        QCOMPARE(t->scalar("select count(*) from custom"), 2998);
    }

    // Start pressed a second time in the same window asks before adding the
    // rows again; No adds nothing.
    void secondStartAsksFirst() {
        const QString path = workbook("twice.xlsx", {{"公司名称"}, {"Once Co"}, {"Twice Co"}});
        runCommand("custom", path, [&](TFrm_Import* w) {
            QTest::mouseClick(w->Btn_Start, Qt::LeftButton);
            QCOMPARE(t->scalar("select count(*) from custom"), 2);
            dlg->answers << QMessageBox::No;
            QTest::mouseClick(w->Btn_Start, Qt::LeftButton);
            QCOMPARE(dlg->last()->text, QString("The rows of this file have been added once already. "
                                                "Add them all again as new records?"));
            QCOMPARE(dlg->last()->icon, toolkit::Icon::Question);
            QCOMPARE(t->scalar("select count(*) from custom"), 2);
            dlg->answers << QMessageBox::Yes;
            QTest::mouseClick(w->Btn_Start, Qt::LeftButton);
        });
        QCOMPARE(t->scalar("select count(*) from custom"), 4);
    }

    void mappingProblems() {
        const QString path = workbook("map.xlsx", {{"Company", "Tel"}, {"A", "1"}});
        ImportOutcome o = importWith("custom", path, {{"Company", "Company"}, {"Tel", "Phone"}, {"Address", "Tel+Nowhere"}});
        QVERIFY(!o.written());
        QVERIFY(lastMessage().contains("column \"Phone\": no sheet column has this header"));
        QVERIFY(lastMessage().contains("no sheet column has the header \"Nowhere\""));
        o = importWith("custom", path, {{"Company", ""}, {"Tel", "Tel"}, {"Address", ""}});
        QVERIFY(lastMessage().contains("every customer needs a company name"));
        QCOMPARE(t->scalar("select count(*) from custom"), 0);
    }

    void contactsAndTheirTypes() {
        const qlonglong a = customer("Alpha");
        const qlonglong b = customer("Beta");
        testfiles::Xlsx x;
        x.styles = testfiles::stylesXml({}, {14});
        auto s = [](const QString& ref, const QString& v) {
            return QStringLiteral("<c r=\"%1\" t=\"inlineStr\"><is><t>%2</t></is></c>").arg(ref, v);
        };
        QString rows = "<row r=\"1\">" + s("A1", "公司编码") + s("B1", "联系人") + s("C1", "主联系人") + s("D1", "生日") + "</row>";
        const QList<QStringList> data = {{QString::number(a), "Ann", "是", "1980-12-25"},
                                         {QString::number(b), "Bob", "FALSE", "25/12/1980"},
                                         {QString::number(a), "Cid", "yes", "5 March 1990"},
                                         {QString::number(b), "Dee", "0", ""},
                                         {QString::number(a), "Eve", "", "1975/1/2"}};
        for (int i = 0; i < data.size(); ++i) {
            const int r = i + 2;
            rows += QStringLiteral("<row r=\"%1\">").arg(r);
            rows += QStringLiteral("<c r=\"A%1\"><v>%2</v></c>").arg(r).arg(data[i][0]);  // a number cell
            rows += s(QStringLiteral("B%1").arg(r), data[i][1]) + s(QStringLiteral("C%1").arg(r), data[i][2]);
            if (!data[i][3].isEmpty()) rows += s(QStringLiteral("D%1").arg(r), data[i][3]);
            rows += "</row>";
        }
        rows += "<row r=\"7\"><c r=\"A7\"><v>" + QString::number(b) + "</v></c>" + s("B7", "Fay") + "<c r=\"D7\" s=\"1\"><v>29221</v></c></row>";
        x.sheets << testfiles::sheetXml(rows);
        const QString path = QDir(t->dir()).filePath("contacts.xlsx");
        QVERIFY(testfiles::write(path, x.bytes()));
        QVERIFY(t->exec("update T_Import set F_Field='untouched' where tablename='custom'"));
        const ImportOutcome o = importWith("contact", path, {});
        QVERIFY2(o.written(), qPrintable(lastMessage()));
        QCOMPARE(t->scalar("select count(*) from T_Import where tablename='custom' and F_Field='untouched'"), 19);
        QCOMPARE(o.contacts, 6);
        auto check = [&](const QString& name, qlonglong cust, bool mainContact, const QString& birthday) {
            auto p = t->select(QStringLiteral("select * from contact where Name='%1'").arg(name));
            QCOMPARE(p->recordCount(), 1);
            QCOMPARE(p->asString("CustID"), QString::number(cust));
            QCOMPARE(p->field("Main").asBoolean(), mainContact);
            QCOMPARE(p->asString("Birthday"), birthday);
            QCOMPARE(p->asString("F_User"), QString("Tom"));
        };
        check("Ann", a, true, "1980-12-25");
        check("Bob", b, false, "1980-12-25");
        check("Cid", a, true, "1990-03-05");
        check("Dee", b, false, "");
        check("Eve", a, false, "1975-01-02");
        check("Fay", b, false, "1980-01-01");  // a date cell

        // What cannot be read as the column's type stops the whole run.
        testfiles::Xlsx bad;
        bad.sheets << testfiles::sheetXml("<row r=\"1\">" + s("A1", "公司编码") + s("B1", "联系人") + s("C1", "主联系人") + s("D1", "生日") + "</row>"
                                          "<row r=\"2\">" + s("A2", "999") + s("B2", "Nobody") + s("C2", "maybe") + s("D2", "05/03/1980") + "</row>"
                                          "<row r=\"3\">" + s("A3", "") + s("B3", "Nobody either") + "</row>");
        const QString badPath = QDir(t->dir()).filePath("badcontacts.xlsx");
        QVERIFY(testfiles::write(badPath, bad.bytes()));
        const ImportOutcome failed = importWith("contact", badPath, {});
        QVERIFY(!failed.written());
        const QString m = lastMessage();
        QVERIFY2(m.contains("Row 2, column \"公司编码\", value \"999\": no customer has this number."), qPrintable(m));
        QVERIFY(m.contains("value \"maybe\": not yes or no"));
        QVERIFY(m.contains("value \"05/03/1980\": a date that reads two ways"));
        QVERIFY(m.contains("Row 3, column \"公司编码\": no customer number."));
        QCOMPARE(t->scalar("select count(*) from contact"), 6);
    }

    void exportedWorkbooksComeBackPaired() {
        const qlonglong id = customer("Round Trip Co");
        QVERIFY(t->exec(QStringLiteral("update custom set Tel='007', City='深圳', [Date]='2024-03-05', Introduce='line1\nline2' where CustID=%1").arg(id)));
        QVERIFY(t->exec(QStringLiteral("insert into contact (CustID, Name, Main, Company, Birthday) values ('%1', 'Pat', '1', 'Round Trip Co', '1980-12-25 00:00:00')").arg(id)));
        TFrm_Export e;
        e.show();
        e.RadioGroup1Item1->setChecked(true);
        e.Edit_Name->setText("backc");
        e.Btn_OKClick();
        e.ExportCustomers = false;
        e.RadioGroup2Item1->setChecked(true);
        e.Edit_Contact->setText("backp");
        e.BitBtn1Click();

        QVERIFY(importWith("custom", QDir(t->dir()).filePath("backc.xlsx"), {}).written());
        for (const ExportColumn& c : customerLayout()) QCOMPARE(pair("custom", c.field), c.title);
        auto again = t->select("select * from custom where CustID<>" + QString::number(id));
        QCOMPARE(again->recordCount(), 1);
        for (const char* f : {"Company", "Tel", "City", "Date", "Introduce"})
            QCOMPARE(again->asString(f), t->text("select * from custom where CustID=" + QString::number(id), f));

        QVERIFY(importWith("contact", QDir(t->dir()).filePath("backp.xlsx"), {}).written());
        for (const ExportColumn& c : contactLayout()) QCOMPARE(pair("contact", c.field), c.title);
        auto pats = t->select("select * from contact where Name='Pat' order by ContactId");
        QCOMPARE(pats->recordCount(), 2);
        pats->next();
        QCOMPARE(pats->asString("CustID"), QString::number(id));
        QVERIFY(pats->field("Main").asBoolean());
        QCOMPARE(pats->asString("Birthday"), QString("1980-12-25"));
    }

    void unreadableFileChangesNothing() {
        QVERIFY(t->exec("insert into T_Temp (S_Field, CellID) values ('earlier', 1)"));
        QVERIFY(t->exec("update T_Import set F_Field='earlier'"));
        const QString path = QDir(t->dir()).filePath("notes.xlsx");
        QVERIFY(testfiles::write(path, QByteArray("%PDF-1.4 this is no workbook")));
        QCOMPARE(runCommand("custom", path, [](TFrm_Import*) {}), QStringList());
        const QString m = lastMessage();
        QVERIFY2(m.contains(QDir::toNativeSeparators(path)), qPrintable(m));
        QVERIFY(m.contains("not a workbook"));
        QCOMPARE(dlg->last()->icon, toolkit::Icon::Warning);
        QCOMPARE(t->text("select * from T_Temp", "S_Field"), QString("earlier"));
        QCOMPARE(t->scalar("select count(*) from T_Import where F_Field<>'earlier'"), 0);
    }

    void typedIntoTheGrid() {
        const QString path = workbook("typed.xlsx", {{"Company", "Street", "City"}, {"Alpha", "1 Main St", "Springfield"}});
        runCommand("custom", path, [&](TFrm_Import* w) {
            const int row = rowOf(w, "Address");
            QVERIFY(row >= 0);
            auto* m = w->DBGrid1->recordModel();
            const QRect cell = w->DBGrid1->visualRect(m->index(row, 1));
            QTest::mouseClick(w->DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(w->DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
            auto* box = qobject_cast<QComboBox*>(w->HeaderPick->openEditor());
            QVERIFY(box);
            QCOMPARE(box->count(), 3);
            QCOMPARE(box->itemText(1), QString("Street"));
            box->lineEdit()->selectAll();
            QTest::keyClicks(box->lineEdit(), "Street+City");
            // Start while the edit is still open: it counts.
            QTest::mouseClick(w->Btn_Start, Qt::LeftButton);
            QVERIFY(w->lastOutcome().written());
        });
        QCOMPARE(pair("custom", "Address"), QString("Street+City"));
        QCOMPARE(t->text("select * from custom", "Address"), QString("1 Main StSpringfield"));

        // Picking from the list works the same way.
        runCommand("custom", path, [&](TFrm_Import* w) {
            const int row = rowOf(w, "City");
            const QRect cell = w->DBGrid1->visualRect(w->DBGrid1->recordModel()->index(row, 1));
            QTest::mouseClick(w->DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(w->DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
            auto* box = qobject_cast<QComboBox*>(w->HeaderPick->openEditor());
            QVERIFY(box);
            box->setCurrentIndex(1);
            QTest::keyClick(box, Qt::Key_Return);
            QTest::mouseClick(w->Btn_Start, Qt::LeftButton);
        });
        QCOMPARE(pair("custom", "City"), QString("Street"));
        QCOMPARE(t->text("select * from custom order by CustID desc", "City"), QString("1 Main St"));
    }

    void cancelRollsBack() {
        QList<QStringList> rows = {{"公司名称", "城市"}};
        // Enough rows for the progress to let events through while rows are written.
        for (int i = 1; i <= 40000; ++i) rows << QStringList{QStringLiteral("Co %1").arg(i), "Shenzhen"};
        const QString path = workbook("long.xlsx", rows);
        Frm_Data->Qry_Cust->setSql("select * from custom");
        Frm_Data->Qry_Cust->open();
        // Cancel once the writing half of the run is under way.
        QTimer poll;
        int sawWriting = 0;
        connect(&poll, &QTimer::timeout, this, [&] {
            // The run's own progress, not the opening of the workbook's
            // (which a slow build shows long enough to be cancelled too).
            QProgressDialog* p = Progress::current();
            if (p && p->labelText().startsWith("Importing") && p->maximum() > 0 && p->value() > p->maximum() / 2 + 100) {
                ++sawWriting;
                p->cancel();
            }
        });
        poll.start(0);
        const ImportOutcome o = importWith("custom", path, {});
        poll.stop();
        QVERIFY(sawWriting > 0);
        QVERIFY(o.cancelled);
        QCOMPARE(t->scalar("select count(*) from custom"), 0);
        QVERIFY(lastMessage().contains("cancelled"));

        // Undisturbed, the run goes through and the shared list shows the rows.
        const ImportOutcome done = importWith("custom", path, {});
        QVERIFY(done.written());
        QCOMPARE(done.customers, 40000);
        QCOMPARE(Frm_Data->Qry_Cust->recordCount(), 40000);
    }

    // Cancel clicked after the bar's last step, while the import's log is
    // written, still leaves nothing behind.
    void cancelAtTheEndRollsBack() {
        QList<QStringList> rows = {{"公司名称", "城市"}};
        for (int i = 1; i <= 3000; ++i) rows << QStringList{QStringLiteral("Co %1").arg(i), "Shenzhen"};
        const QString path = workbook("end.xlsx", rows);
        const int logs = t->scalar("select count(*) from T_ImportLog");
        QTimer poll;
        bool cancelled = false;
        connect(&poll, &QTimer::timeout, this, [&] {
            QProgressDialog* p = Progress::current();
            // The run lets events through only where its connection is free to read.
            if (!cancelled && p && p->labelText().startsWith("Importing") &&
                t->scalar("select count(*) from T_ImportLog") > logs) {
                cancelled = true;
                p->cancel();
            }
        });
        poll.start(0);
        const ImportOutcome o = importWith("custom", path, {});
        poll.stop();
        QVERIFY(cancelled);
        QVERIFY(o.cancelled);
        QCOMPARE(t->scalar("select count(*) from custom"), 0);
        QCOMPARE(t->scalar("select count(*) from T_ImportLog"), logs);
        QVERIFY(lastMessage().contains("cancelled"));
    }

    void pairingRules() {
        const QList<MappingRow> rows = {{"Company", "Company"}, {"CustType", "Type"}, {"Tel", "Tel"}, {"Email", "E-mail"}};
        // Names (display, column, export title) in any case and with blanks around.
        QCOMPARE(pairHeaders("custom", rows, {" e-MAIL ", "公司名称", "type", "x"}), QStringList({"公司名称", "type", "", " e-MAIL "}));
        // Positions only when no header names anything.
        QCOMPARE(pairHeaders("custom", rows, {"a", "b", "c", "d"}), QStringList({"a", "b", "c", "d"}));
        QCOMPARE(pairHeaders("custom", rows, {"a", "b"}), QStringList({"a", "b", "", ""}));
        QCOMPARE(pairHeaders("custom", rows, {"Tel", "b"}), QStringList({"", "", "Tel", ""}));
        // A header names one row only.
        QCOMPARE(pairHeaders("custom", rows, {"Tel", "Tel"}), QStringList({"", "", "Tel", ""}));
        // What no pairing names, pieces of joins counted.
        QCOMPARE(unpairedHeaders({"A", "B", "C", "", "A", "D+E", "D", "E"}, {"A", "", " ", "D+E", "B+Z"}),
                 QStringList({"C", "D", "E"}));
    }

    void sameWorkbookFromEachFormat() {
        // One workbook saved by LibreOffice as .xls, .xlsx and .ods: the same
        // customers from each, with what the cells show (number formats,
        // formula results) and dates whatever their format shows.
        const QMap<QString, QString> pairs = {{"Company", "Text"}, {"PostCode", "Zip"}, {"Income", "Income"},
                                              {"Date", "Long date"}, {"Category", "Joined"}, {"Tel", "Sum"},
                                              {"Fax", "Fraction"}, {"City", "Yes"}, {"Country", "No"},
                                              {"Email", "Broken"}, {"Address", "US date+DE date"},
                                              {"Introduce", "Introduce"}};
        const QString columns = "Company, PostCode, Income, [Date], Category, Tel, Fax, City, Country, Email, Address, Introduce";
        QList<QStringList> first;
        for (const char* name : {"lo-kinds.xls", "lo-kinds.xlsx", "lo-kinds.ods"}) {
            QVERIFY(t->exec("delete from custom"));
            const ImportOutcome o = importOnly("custom", testFile(name), pairs);
            QVERIFY2(o.written(), qPrintable(name + QString(": ") + lastMessage()));
            QCOMPARE(o.customers, 2);
            auto q = t->select("select " + columns + " from custom order by CustID");
            QList<QStringList> got;
            for (; !q->eof(); q->next()) {
                QStringList row;
                for (int f = 0; f < q->fieldCount(); ++f) row << q->field(f).asString();
                got << row;
            }
            if (first.isEmpty()) first = got;
            else QCOMPARE(got, first);
        }
        QCOMPARE(first.size(), 2);
        QCOMPARE(first[0].mid(0, 11), QStringList({"Müller & Co", "010020", "1,234,568", "2024-03-05", "abcd", "3.00", "3 1/4",
                                                   "TRUE", "FALSE", "#DIV/0!", "3/5/202405.03.2024"}));
        QCOMPARE(first[0][11].size(), 3000 + 5500 + 4);  // the profile whole
        QCOMPARE(first[1].mid(0, 8), QStringList({"深圳市腾飞贸易有限公司", "000007", "-4,322", "2024-12-31",
                                                  "深圳市腾飞贸易有限公司!", "14.00", " 1/2", "TRUE"}));

        // A date cell is a date whatever it shows.
        for (const char* header : {"US date", "DE date", "Short date", "Long date", "Stamp"}) {
            QVERIFY(t->exec("delete from custom"));
            const ImportOutcome o = importOnly("custom", testFile("lo-kinds.xls"), {{"Company", "Text"}, {"Date", header}});
            QVERIFY2(o.written(), qPrintable(lastMessage()));
            QCOMPARE(t->text("select * from custom order by CustID", "Date"), QString("2024-03-05"));
        }
    }

    void contactsFromAScriptsXls() {
        // xlwt wrote the file: booleans, day-first date cells, zip codes with
        // leading zeros shown by their format.
        QCOMPARE(customer("Alpha"), 1);
        QCOMPARE(customer("Beta"), 2);
        const QString path = testFile("xlwt-contacts.xls");
        ImportOutcome o;
        runCommand("contact", path, [&](TFrm_Import* w) {
            // Pre-paired by name; the column that names nothing stays unpaired and is said to.
            QCOMPARE(pair("contact", "Birthday"), QString("生日"));
            QCOMPARE(pair("contact", "Mobile"), QString());
            QCOMPARE(w->Label3->text(), QString("Sheet columns paired with nothing (not imported): 入职日期"));
            QTest::mouseClick(w->Btn_Start, Qt::LeftButton);
            o = w->lastOutcome();
        });
        QVERIFY2(o.written(), qPrintable(lastMessage()));
        QCOMPARE(o.contacts, 3);
        auto p = t->select("select * from contact order by ContactId");
        QCOMPARE(p->asString("Name"), QString("Ann"));
        QVERIFY(p->field("Main").asBoolean());
        QCOMPARE(p->asString("Birthday"), QString("1980-03-05"));  // shown 5/3/1980, day first
        QCOMPARE(p->asString("PostCode"), QString("10020"));       // a contact takes the value
        QCOMPARE(p->asString("CustID"), QString("1"));
        p->next();
        QVERIFY(!p->field("Main").asBoolean());
        QCOMPARE(p->asString("Birthday"), QString("1975-12-31"));
        p->next();
        QCOMPARE(p->asString("Birthday"), QString("2001-02-03"));

        // Dates typed as text: read when they read one way only.
        const ImportOutcome texts = importWith("contact", path, {{"Birthday", "入职日期"}});
        QVERIFY(!texts.written());
        QCOMPARE(texts.problemCount, 1);
        const QString m = lastMessage();
        QVERIFY2(m.contains("Row 4, column \"入职日期\", value \"3/5/2024\": a date that reads two ways, day first or "
                            "month first (write it as yyyy-MM-dd)."),
                 qPrintable(m));
        QCOMPARE(t->scalar("select count(*) from contact"), 3);
    }

    void formulasWithoutResults() {
        const ImportOutcome o = importWith("custom", testFile("openpyxl-uncalculated.xlsx"), {});
        QCOMPARE(pair("custom", "Company"), QString("公司名称"));
        QVERIFY(!o.written());
        // Each formula once, and the row is not taken for an empty one.
        QCOMPARE(o.problemCount, 3);
        const QString m = lastMessage();
        QVERIFY2(m.contains("Row 3, column \"公司名称\", value \"=\"Be\"&\"ta\"\": a formula whose result was never "
                            "calculated"),
                 qPrintable(m));
        QVERIFY(m.contains("Row 3, column \"电话\", value \"=1+2\""));
        QVERIFY(m.contains("Row 3, column \"城市\""));
        QVERIFY(!m.contains("without a company name"));
        QCOMPARE(t->scalar("select count(*) from custom"), 0);
    }

    void memoTextsComeWhole() {
        const QString path = testFile("openpyxl-long.xlsx");
        ImportOutcome o = importWith("custom", path, {});
        QVERIFY(!o.written());
        QCOMPARE(o.problemCount, 1);
        QVERIFY2(lastMessage().contains("Row 3, column \"邮政编码\", value \"5180001\": longer than the 6 characters its "
                                        "column holds."),
                 qPrintable(lastMessage()));
        o = importWith("custom", path, {{"PostCode", ""}});
        QVERIFY2(o.written(), qPrintable(lastMessage()));
        const QString story = t->text("select * from custom where Company='Long Story Co'", "Introduce");
        QCOMPARE(story.size(), 40000);
        QCOMPARE(story.right(2), QString(QChar(0x4E00 + 39998 % 500)) + QChar(0x4E00 + 39999 % 500));
    }

    void refusedFilesSayWhy() {
        for (const auto& [name, words] : {std::pair{"lo-locked.ods", "protected by a password"},
                                          std::pair{"python-unclosed-quote.csv", "row 3, column 2 is never closed"}}) {
            QCOMPARE(runCommand("custom", testFile(name), [](TFrm_Import*) {}), QStringList());
            QVERIFY2(lastMessage().contains(words), qPrintable(lastMessage()));
            QCOMPARE(dlg->last()->icon, toolkit::Icon::Warning);
        }
    }

    void unmatchedHeadersStayUnpaired() {
        // 备注 names no column: it pairs with nothing rather than with the
        // customer type that stands second, and the window says so.
        runCommand("custom", testFile("openpyxl-pairing.xlsx"), [&](TFrm_Import* w) {
            QCOMPARE(pair("custom", "Company"), QString("公司名称"));
            QCOMPARE(pair("custom", "Tel"), QString("电话"));
            QCOMPARE(pair("custom", "CustType"), QString());
            QCOMPARE(w->Label3->text(), QString("Sheet columns paired with nothing (not imported): 备注"));
            // Picked for the profile through the grid, it is paired, and the line goes.
            const int row = rowOf(w, "Profile");
            QVERIFY(row >= 0);
            const QModelIndex at = w->DBGrid1->recordModel()->index(row, 1);
            w->DBGrid1->scrollTo(at);
            const QRect cell = w->DBGrid1->visualRect(at);
            QTest::mouseClick(w->DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(w->DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
            auto* box = qobject_cast<QComboBox*>(w->HeaderPick->openEditor());
            QVERIFY(box);
            box->lineEdit()->selectAll();
            // keyClicks takes Latin-1 only: each character goes as a key event with its text.
            for (QChar ch : QString("备注"))
                QTest::sendKeyEvent(QTest::Click, box->lineEdit(), Qt::Key_unknown, QString(ch), Qt::NoModifier);
            QTest::keyClick(box->lineEdit(), Qt::Key_Return);
            QVERIFY2(w->Label3->text().isEmpty(), qPrintable(w->Label3->text()));
            QTest::mouseClick(w->Btn_Start, Qt::LeftButton);
            QVERIFY(w->lastOutcome().written());
        });
        QCOMPARE(t->text("select * from custom", "Introduce"), QString("call back"));
        QCOMPARE(t->text("select * from custom", "CustType"), QString());
    }

    void datesPeopleWrite() {
        QCOMPARE(parseDateText("2024-03-05"), QDate(2024, 3, 5));
        QCOMPARE(parseDateText("2024/3/5"), QDate(2024, 3, 5));
        QCOMPARE(parseDateText(" 2024.03/05 "), QDate(2024, 3, 5));
        QVERIFY(!parseDateText("2024-02-30").isValid());
        QVERIFY(!parseDateText("2024-13-05").isValid());
        QCOMPARE(parseDateText("2024.03.05 13:30:00"), QDate(2024, 3, 5));
        QCOMPARE(parseDateText("2024年3月5日"), QDate(2024, 3, 5));
        QCOMPARE(parseDateText("5 March 2024"), QDate(2024, 3, 5));
        QCOMPARE(parseDateText("March 5, 2024"), QDate(2024, 3, 5));
        QCOMPARE(parseDateText("05-Mar-2024"), QDate(2024, 3, 5));
        QCOMPARE(parseDateText("25/12/1980"), QDate(1980, 12, 25));
        QCOMPARE(parseDateText("12/25/1980"), QDate(1980, 12, 25));
        QCOMPARE(parseDateText("07.07.2007"), QDate(2007, 7, 7));
        QVERIFY(!parseDateText("05/03/1980").isValid());  // March or May?
        QVERIFY(isAmbiguousDateText("05/03/1980"));
        QVERIFY(isAmbiguousDateText("3.5.24"));
        QVERIFY(!isAmbiguousDateText("25/12/1980"));
        QVERIFY(!isAmbiguousDateText("07.07.2007"));
        QVERIFY(!isAmbiguousDateText("2024-03-05"));
        QVERIFY(!parseDateText("2024-02-30").isValid());
        QVERIFY(!parseDateText("soon").isValid());
        bool b = false;
        for (const char* yes : {"True", "1", "yes", "Y", "是", " TRUE "}) QVERIFY(parseYesNo(yes, &b) && b);
        for (const char* no : {"False", "0", "no", "N", "否"}) QVERIFY(parseYesNo(no, &b) && !b);
        QVERIFY(!parseYesNo("maybe", &b));
        QVERIFY(!parseYesNo("", &b));
    }
};

QTEST_MAIN(TestImport)
#include "tst_import.moc"
