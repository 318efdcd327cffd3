// Imports that update or skip the customers their rows match, through the
// mapping window and its preview, and undoing them.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTest>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "exchange/ImportLog.h"
#include "exchange/U_Import.h"
#include "exchange/U_ImportPreview.h"
#include "exchange/Windows.h"
#include "exchange/sheet/XlsxWriter.h"
#include "tests/support/AppFixture.h"
#include "toolkit/Modal.h"

class TestImportUpdate : public QObject, testsupport::AppFixture {
    Q_OBJECT

    QString workbook(const QList<QStringList>& rows) {
        const QString path = QDir(t->dir()).filePath("corrected.xlsx");
        QFile::remove(path);
        sheet::XlsxWriter w(path);
        w.setTitles(rows.first());
        for (int r = 1; r < rows.size(); ++r) w.writeRow(r + 1, rows[r]);
        if (!w.commit()) qWarning("%s", qPrintable(w.error()));
        return path;
    }
    void customer(const QString& company, const QString& tel, const QString& city, const QString& owner) {
        QVERIFY(t->exec(QString("insert into custom (Company, Tel, City, F_User) values ('%1', '%2', '%3', '%4')")
                            .arg(company, tel, city, owner)));
    }
    QString field(const QString& company, const QString& column) {
        return t->text(QString("select * from custom where Company='%1'").arg(company), column);
    }
    // The customer import of path: mapping picks the choice in the mapping
    // window; preview sees the preview and returns its result.
    struct Run {
        ImportOutcome outcome;
        QStringList shown;
        QString note;  // the mapping window's line about the run
    };
    Run importCustomers(const QString& path, const std::function<void(TFrm_Import*)>& mapping,
                        const std::function<int(TFrm_ImportPreview*)>& preview) {
        Run out;
        dlg->fileAnswers << path;
        toolkit::ScriptedModal modal([&](QDialog* d) {
            if (auto* p = qobject_cast<TFrm_ImportPreview*>(d)) return preview(p);
            if (auto* w = qobject_cast<TFrm_Import*>(d)) {
                mapping(w);
                QTest::mouseClick(w->Btn_Start, Qt::LeftButton);
                out.outcome = w->lastOutcome();
                out.note = w->Label2->text();
            }
            return 0;
        });
        main->sss1Click();
        out.shown = modal.shown;
        return out;
    }
    // Picks "update the stored one" (or, one further, "skip it") with the keyboard.
    static void chooseByKeys(TFrm_Import* w, int downs) {
        w->Choice->Cmb_OnMatch->setFocus();
        for (int i = 0; i < downs; ++i) QTest::keyClick(w->Choice->Cmb_OnMatch, Qt::Key_Down);
    }
    static QStringList texts(QTreeWidget* list, int column) {
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(column);
        return out;
    }

private slots:
    void initTestCase() { registerExchangeWindows(); }
    void init() {
        QVERIFY(start());
        setUser("Tom", 1);
        customer("Acme Inc", "0755-111111", "Shenzhen", "Tom");
        customer("Beta Ltd", "0755-222222", "Guangzhou", "Tom");
    }
    void cleanup() { stop(); }

    // A corrected copy of the list updates what changed, leaves empty cells
    // alone, adds what is new, shows all that first, and can be undone.
    void correctedListUpdatesAndUndoes() {
        const QString path = workbook({{"Company", "Tel", "City"},
                                       {"ACME  inc.", "0755-999999", ""},
                                       {"Beta Ltd", "0755-222222", "Guangzhou"},
                                       {"Acme GmbH", "030-123456", "Berlin"}});
        QStringList updates, adds;
        QString summary;
        const Run r = importCustomers(
            path,
            [](TFrm_Import* w) {
                QCOMPARE(w->Choice->Cmb_OnMatch->currentText(), QString("add as new"));
                QVERIFY(!w->Choice->Cmb_MatchBy->isEnabled());
                chooseByKeys(w, 1);
                QCOMPARE(w->Choice->Cmb_OnMatch->currentText(), QString("update the stored one"));
                QVERIFY(w->Choice->Cmb_MatchBy->isEnabled());
                QCOMPARE(w->Choice->Cmb_MatchBy->currentText(), QString("company name"));
                QStringList rules;
                for (int i = 0; i < w->Choice->Cmb_MatchBy->count(); ++i) rules << w->Choice->Cmb_MatchBy->itemText(i);
                QCOMPARE(rules, QStringList({"company name", "telephone"}));  // what the pairing allows
            },
            [&](TFrm_ImportPreview* p) {
                summary = p->Label_Summary->text();
                updates = texts(p->List_Update, 3);
                adds = texts(p->List_Add, 1);
                QTest::mouseClick(p->Btn_Start, Qt::LeftButton);
                return p->result();
            });
        QCOMPARE(r.shown, QStringList({"TFrm_Import", "TFrm_ImportPreview"}));
        QCOMPARE(summary, QString("Of 3 rows: 1 to add, 1 to update, 1 already up to date, 0 to skip, 0 with problems."));
        // The company's spelling in the file is written too, as the preview says.
        QCOMPARE(updates, QStringList({"Company: Acme Inc → ACME  inc.; Tel: 0755-111111 → 0755-999999"}));
        QCOMPARE(adds, QStringList({"Acme GmbH"}));  // a legal form is part of the name
        QVERIFY(r.outcome.written());
        QCOMPARE(r.outcome.updated, 1);
        QCOMPARE(r.outcome.unchanged, 1);
        QCOMPARE(r.outcome.customers, 1);
        QVERIFY2(r.note.contains("Updated 1"), qPrintable(r.note));
        QCOMPARE(field("ACME  inc.", "Tel"), QString("0755-999999"));
        QCOMPARE(field("ACME  inc.", "City"), QString("Shenzhen"));  // an empty cell leaves it
        QCOMPARE(field("ACME  inc.", "F_User"), QString("Tom"));
        QCOMPARE(t->scalar("select count(*) from custom"), 3);
        // The choice stays with the customer pairing, not the contacts'.
        QCOMPARE(importmatch::readOptions(Frm_Data->Connection, "custom").onMatch, importmatch::OnMatch::Update);
        QCOMPARE(importmatch::readOptions(Frm_Data->Connection, "contact").onMatch, importmatch::OnMatch::Add);

        const auto e = importlog::last(Frm_Data->Connection);
        QVERIFY(e);
        QCOMPARE(e->file, path);
        QCOMPARE(e->user, QString("Tom"));
        QCOMPARE(e->updated, 1);
        QCOMPARE(e->added, 1);
        dlg->answers << QMessageBox::Yes;
        main->N61->trigger();
        QCOMPARE(field("Acme Inc", "Tel"), QString("0755-111111"));
        QCOMPARE(t->scalar("select count(*) from custom"), 2);
    }

    // A workbook that carries the customers' numbers (as an export does):
    // matched by number, a renamed company is updated, not added again; an
    // unknown number is a problem; added as new, the numbers are ignored.
    void customerNumbersMatchByNumber() {
        const int acme = t->scalar("select CustID from custom where Company='Acme Inc'");
        const QString path = workbook({{"Customer No.", "Company", "Tel"},
                                       {QString::number(acme), "Acme Holdings", "0755-333333"}});
        QString summary;
        Run r = importCustomers(
            path,
            [](TFrm_Import* w) {
                chooseByKeys(w, 1);
                QStringList rules;
                for (int i = 0; i < w->Choice->Cmb_MatchBy->count(); ++i) rules << w->Choice->Cmb_MatchBy->itemText(i);
                QVERIFY2(rules.contains("Customer No."), qPrintable(rules.join('|')));
                w->Choice->Cmb_MatchBy->setFocus();
                w->Choice->Cmb_MatchBy->setCurrentIndex(w->Choice->Cmb_MatchBy->findText("Customer No."));
            },
            [&](TFrm_ImportPreview* p) {
                summary = p->Label_Summary->text();
                QTest::mouseClick(p->Btn_Start, Qt::LeftButton);
                return p->result();
            });
        QVERIFY2(r.outcome.written(), qPrintable(summary + r.note));
        QCOMPARE(r.outcome.updated, 1);
        QCOMPARE(t->text(QString("select * from custom where CustID=%1").arg(acme), "Company"), QString("Acme Holdings"));
        QCOMPARE(t->scalar("select count(*) from custom"), 2);

        // Added as new: new customers with numbers of their own.
        r = importCustomers(
            path, [](TFrm_Import* w) { w->Choice->Cmb_OnMatch->setCurrentIndex(0); },
            [&](TFrm_ImportPreview* p) {
                QTest::mouseClick(p->Btn_Start, Qt::LeftButton);
                return p->result();
            });
        QVERIFY2(r.outcome.written(), qPrintable(r.note));
        QCOMPARE(t->scalar("select count(*) from custom"), 3);
        QCOMPARE(t->scalar("select count(*) from custom where Company='Acme Holdings'"), 2);
    }

    // Skipping leaves matched customers alone; "empty cells clear the field" clears.
    void skipAndClear() {
        const QString path = workbook({{"Company", "Tel", "City"}, {"ACME INC", "", ""}, {"New Co", "0755-333333", ""}});
        int skips = 0;
        Run r = importCustomers(
            path, [](TFrm_Import* w) { chooseByKeys(w, 2); },
            [&](TFrm_ImportPreview* p) {
                skips = p->List_Skip->topLevelItemCount();
                QTest::mouseClick(p->Btn_Start, Qt::LeftButton);
                return p->result();
            });
        QCOMPARE(skips, 1);
        QCOMPARE(r.outcome.skipped, 1);
        QCOMPARE(field("Acme Inc", "City"), QString("Shenzhen"));
        QCOMPARE(t->scalar("select count(*) from custom"), 3);

        QStringList updates;
        r = importCustomers(
            workbook({{"Company", "Tel", "City"}, {"Acme Inc", "0755-111111", ""}}),
            [](TFrm_Import* w) {
                // Kept from the run before: skip; one up is update.
                QCOMPARE(w->Choice->Cmb_OnMatch->currentText(), QString("skip it"));
                w->Choice->Cmb_OnMatch->setFocus();
                QTest::keyClick(w->Choice->Cmb_OnMatch, Qt::Key_Up);
                QVERIFY(w->Choice->Chk_ClearEmpty->isEnabled());
                w->Choice->Chk_ClearEmpty->setFocus();
                QTest::keyClick(w->Choice->Chk_ClearEmpty, Qt::Key_Space);
            },
            [&](TFrm_ImportPreview* p) {
                updates = texts(p->List_Update, 3);
                QTest::mouseClick(p->Btn_Start, Qt::LeftButton);
                return p->result();
            });
        QCOMPARE(updates, QStringList({"City: Shenzhen → (empty)"}));
        QVERIFY(r.outcome.written());
        QCOMPARE(field("Acme Inc", "City"), QString());
        QVERIFY(importmatch::readOptions(Frm_Data->Connection, "custom").clearEmpty);
    }

    // A common user may not update another user's customer: a problem in
    // the preview, which offers no Start, and nothing is written.
    void commonUserRefused() {
        customer("Gamma GmbH", "0755-444444", "Beijing", "Admin");
        const QString path = workbook({{"Company", "Tel", "City"}, {"Gamma GmbH", "0755-555555", ""}, {"Delta", "1", ""}});
        QStringList problems;
        bool startable = true, stillOpen = false;
        const Run r = importCustomers(
            path, [](TFrm_Import* w) { chooseByKeys(w, 1); },
            [&](TFrm_ImportPreview* p) {
                problems = texts(p->List_Problems, 3);
                startable = p->Btn_Start->isEnabled();
                QTest::mouseClick(p->Btn_Start, Qt::LeftButton);  // does nothing
                stillOpen = p->isVisible();
                QTest::mouseClick(p->Btn_Exit, Qt::LeftButton);
                return p->result();
            });
        QVERIFY(!startable);
        QVERIFY(stillOpen);
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems[0].contains("belongs to Admin"), qPrintable(problems.join("|")));
        QVERIFY(!r.outcome.written());
        QCOMPARE(r.note, QString("Nothing was imported."));
        QCOMPARE(field("Gamma GmbH", "Tel"), QString("0755-444444"));
        QCOMPARE(t->scalar("select count(*) from custom"), 3);
        QVERIFY(!importlog::last(Frm_Data->Connection));
    }

    // A customer changed on another workstation between the preview and
    // Start is a problem, not an overwrite; Cancel in the preview writes nothing.
    void changedAfterPreview() {
        const QString path = workbook({{"Company", "Tel", "City"}, {"Acme Inc", "0755-999999", ""}, {"New", "", ""}});
        Run r = importCustomers(
            path, [](TFrm_Import* w) { chooseByKeys(w, 1); },
            [&](TFrm_ImportPreview* p) {
                t->exec("update custom set City='Dongguan' where Company='Acme Inc'");
                QTest::mouseClick(p->Btn_Start, Qt::LeftButton);
                return p->result();
            });
        QVERIFY(!r.outcome.written());
        QCOMPARE(r.outcome.problemCount, 1);
        QVERIFY(r.outcome.problems[0].reason.contains("changed on another workstation after the preview"));
        QVERIFY(dlg->messages().last().startsWith("Nothing was imported"));
        QCOMPARE(field("Acme Inc", "Tel"), QString("0755-111111"));
        QCOMPARE(field("Acme Inc", "City"), QString("Dongguan"));
        QCOMPARE(t->scalar("select count(*) from custom"), 2);

        r = importCustomers(
            path, [](TFrm_Import*) {},
            [](TFrm_ImportPreview* p) {
                QTest::mouseClick(p->Btn_Exit, Qt::LeftButton);
                return p->result();
            });
        QVERIFY(!r.outcome.written());
        QCOMPARE(field("Acme Inc", "Tel"), QString("0755-111111"));
        QCOMPARE(t->scalar("select count(*) from custom"), 2);
    }
};

QTEST_MAIN(TestImportUpdate)
#include "tst_importupdate.moc"
