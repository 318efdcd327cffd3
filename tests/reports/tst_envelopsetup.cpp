// "Envelop Format Setup", driven through its boxes and buttons.
#include <QPointer>

#include "app/IniFile.h"
#include "reports/U_EnvelopSetup.h"
#include "reports/U_R_CustBar.h"
#include "reports/Windows.h"
#include "tests/reports/ReportFixture.h"
#include "toolkit/Modal.h"

class TestEnvelopSetup : public QObject, reporttest::ReportFixture {
    Q_OBJECT

    // Opens the dialog through its menu item and runs script in it.
    QStringList viaMenu(const std::function<void(TFrm_EnvelopSetup*)>& script) {
        toolkit::ScriptedModal modal([&](QDialog* d) {
            auto* w = qobject_cast<TFrm_EnvelopSetup*>(d);
            if (w) script(w);
            return 0;
        });
        main->N26->trigger();
        return modal.shown;
    }

    static void type(QAbstractSpinBox* box, const QString& text) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Tab);
    }

    EnvelopSettings stored() { return ReadEnvelopSettings(IniFile(Frm_Data->ConfigIni->fileName())); }

private slots:
    void initTestCase() {
        TALLIX_SKIP_WITHOUT_TEST_SERVER();
        registerReportWindows();
    }
    void init() { QVERIFY(begin()); }
    void cleanup() { stop(); }

    // The System menu item opens the dialog; by default it shows the
    // envelope layout, whose geometry is not the user's to type.
    void opensFromTheSystemMenu() {
        QVERIFY(main->N26->isEnabled());
        QCOMPARE(main->N26->text(), QStringLiteral("Envelop Format Setup"));
        const QStringList shown = viaMenu([](TFrm_EnvelopSetup* w) {
            QCOMPARE(w->windowTitle(), QStringLiteral("Envelop Format Setup"));
            QCOMPARE(w->Combo_Sheet->currentIndex(), 0);
            QVERIFY(!w->Edit_Width->isEnabled());
            QCOMPARE(w->Edit_Columns->value(), 2);
            QCOMPARE(w->Edit_Start->value(), 1);
            // Fixed: no minimise or maximise.
            QVERIFY(!(w->windowFlags() & Qt::WindowMinimizeButtonHint));
            QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
        });
        QCOMPARE(shown, QStringList{"TFrm_EnvelopSetup"});
    }

    // Choosing a sheet with the keyboard and typing the start label: kept
    // in config.ini, shown again next time, used by the labels.
    void chooseSheetAndStart() {
        viaMenu([](TFrm_EnvelopSetup* w) {
            w->Combo_Sheet->setFocus();
            QTest::keyClick(w->Combo_Sheet, Qt::Key_Down);   // the first ready-cut sheet
            QCOMPARE(w->Combo_Sheet->currentData().toString(), QStringLiteral("2x7"));
            QCOMPARE(w->Edit_Rows->value(), 7);
            QCOMPARE(w->Edit_Width->value(), 99.1);
            type(w->Edit_Start, "5");
            QCOMPARE(w->Edit_Row->value(), 3);
            QCOMPARE(w->Edit_Col->value(), 1);
            QTest::mouseClick(w->Btn_ok, Qt::LeftButton);
            QVERIFY(!w->isVisible());
        });
        EnvelopSettings s = stored();
        QCOMPARE(s.sheet.id, QStringLiteral("2x7"));
        QCOMPARE(s.start, 5);
        viaMenu([](TFrm_EnvelopSetup* w) {
            QCOMPARE(w->Combo_Sheet->currentData().toString(), QStringLiteral("2x7"));
            QCOMPARE(w->Edit_Start->value(), 5);
            QTest::mouseClick(w->Btn_exit, Qt::LeftButton);
        });
        TFrm_R_CustBar labels;
        QCOMPARE(labels.Settings.sheet.id, QStringLiteral("2x7"));
        QCOMPARE(labels.QRSubDetail1.grid.skip, 4);
        QVERIFY(!labels.QRPageHeader.enabled);
    }

    // The drawing: a click on a label starts there; row and column agree.
    void clickTheSheet() {
        viaMenu([](TFrm_EnvelopSetup* w) {
            w->Combo_Sheet->setCurrentIndex(w->Combo_Sheet->findData("3x8"));
            w->Combo_SheetChange();
            const QPoint at = w->SheetView->labelRect(7).center().toPoint();
            QTest::mouseClick(w->SheetView, Qt::LeftButton, {}, at);
            QCOMPARE(w->Edit_Start->value(), 8);
            QCOMPARE(w->Edit_Row->value(), 3);
            QCOMPARE(w->Edit_Col->value(), 2);
            type(w->Edit_Row, "4");
            QCOMPARE(w->Edit_Start->value(), 11);
            QCOMPARE(w->settings().skipped(), 10);
            QTest::mouseClick(w->Btn_ok, Qt::LeftButton);
        });
        QCOMPARE(stored().sheet.id, QStringLiteral("3x8"));
        QCOMPARE(stored().start, 11);
    }

    // A custom sheet typed in: refused while it does not fit on A4, kept
    // once it does.
    void customSheet() {
        viaMenu([this](TFrm_EnvelopSetup* w) {
            w->Combo_Sheet->setFocus();
            QTest::keyClick(w->Combo_Sheet, Qt::Key_End);
            QCOMPARE(w->Combo_Sheet->currentData().toString(), QStringLiteral("custom"));
            QVERIFY(w->Edit_Width->isEnabled());
            type(w->Edit_Columns, "3");
            type(w->Edit_Rows, "10");
            type(w->Edit_Width, "80");
            type(w->Edit_HPitch, "80");
            QVERIFY(!w->Label_Problem->text().isEmpty());
            // The drawing shows that these labels cannot print, not the
            // plain paper they would not be printed on either.
            QCOMPARE(w->SheetView->problem(), w->Label_Problem->text());
            QVERIFY(w->SheetView->settings().sheet.isCustom());
            QTest::mouseClick(w->Btn_ok, Qt::LeftButton);
            QCOMPARE(dlg->messages().size(), 1);
            QCOMPARE(dlg->messages()[0], w->Label_Problem->text());
            QVERIFY(w->isVisible());   // stays open, nothing written
            QVERIFY(stored().sheet.isEnvelope());
            type(w->Edit_Width, "66.7");
            type(w->Edit_HPitch, "69.85");
            type(w->Edit_Height, "25.4");
            type(w->Edit_VPitch, "25.4");
            type(w->Edit_Top, "12.7");
            type(w->Edit_Left, "3.5");
            QVERIFY(w->Label_Problem->text().isEmpty());
            QTest::mouseClick(w->Btn_ok, Qt::LeftButton);
            QVERIFY(!w->isVisible());
        });
        const EnvelopSettings s = stored();
        QVERIFY(s.sheet.isCustom());
        QCOMPARE(s.sheet.columns, 3);
        QCOMPARE(s.sheet.rows, 10);
        QCOMPARE(s.sheet.width, 66.7);
        QCOMPARE(s.sheet.hpitch, 69.85);
        QCOMPARE(s.sheet.left, 3.5);
        // Shown again as typed, and a built-in sheet chosen in between does
        // not lose what was typed.
        viaMenu([](TFrm_EnvelopSetup* w) {
            QCOMPARE(w->Combo_Sheet->currentData().toString(), QStringLiteral("custom"));
            QCOMPARE(w->Edit_Width->value(), 66.7);
            w->Combo_Sheet->setCurrentIndex(1);
            w->Combo_SheetChange();
            QVERIFY(!w->Edit_Width->isEnabled());
            w->Combo_Sheet->setCurrentIndex(w->Combo_Sheet->count() - 1);
            w->Combo_SheetChange();
            QCOMPARE(w->Edit_Width->value(), 66.7);
        });
    }

    // A custom sheet spoilt by hand in config.ini: the labels go on plain
    // paper and say why; the setup shows the sheet with what is wrong.
    void spoiltSheetIsSaid() {
        IniFile ini(Frm_Data->ConfigIni->fileName());
        ini.writeString("Envelop", "Sheet", "custom");
        // Three labels of 150 mm across: wider than A4.
        for (const auto& [key, value] : {std::pair<const char*, const char*>{"Columns", "3"}, {"Rows", "10"},
                                         {"Width", "150"}, {"Height", "25"}, {"Top", "10"}, {"Left", "3"},
                                         {"HPitch", "150"}, {"VPitch", "25"}})
            ini.writeString("Envelop", key, value);
        toolkit::ScriptedModal previews([](QDialog*) { return 0; });
        main->PreviewCustBarExecute();
        QCOMPARE(dlg->messages().size(), 1);
        QVERIFY2(dlg->messages()[0].contains("cannot be used") && dlg->messages()[0].contains("plain paper"),
                 qPrintable(dlg->messages()[0]));
        viaMenu([](TFrm_EnvelopSetup* w) {
            QCOMPARE(w->Combo_Sheet->currentData().toString(), QStringLiteral("custom"));
            QCOMPARE(w->Edit_Width->value(), 150.0);
            QVERIFY(!w->Label_Problem->text().isEmpty());
            QCOMPARE(w->SheetView->problem(), w->Label_Problem->text());
        });
        // An unknown sheet is said as well.
        dlg->clear();
        ini.writeString("Envelop", "Sheet", "L9999");
        main->PreviewCustBarExecute();
        QCOMPARE(dlg->messages().size(), 1);
        QVERIFY(dlg->messages()[0].contains("L9999"));
    }

    void cancelWritesNothing() {
        viaMenu([](TFrm_EnvelopSetup* w) {
            w->Combo_Sheet->setCurrentIndex(3);
            w->Combo_SheetChange();
            type(w->Edit_Start, "6");
            QTest::mouseClick(w->Btn_exit, Qt::LeftButton);
        });
        QVERIFY(stored().sheet.isEnvelope());
        QCOMPARE(stored().start, 1);
        QVERIFY(!IniFile(Frm_Data->ConfigIni->fileName()).readString("Envelop", "Sheet", "").size());
    }
};

QTEST_MAIN(TestEnvelopSetup)
#include "tst_envelopsetup.moc"
