// The editors' shared guard against dropping typed changes.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "toolkit/EditorDialog.h"
#include "toolkit/ScriptedDialogs.h"

namespace {

class Editor : public toolkit::EditorDialog {
public:
    Editor() {
        setWindowTitle("Edit Thing");
        edit = new QLineEdit("a", this);
        box = new QComboBox(this);
        box->setEditable(true);
        box->addItems({"x", "y"});
        memo = new QPlainTextEdit("m", this);
        check = new QCheckBox(this);
        date = new QDateEdit(QDate(2026, 1, 1), this);
        spin = new QSpinBox(this);
        save = new QPushButton("Save", this);
        setSaveButton(save);
        markClean();
    }
    QLineEdit* edit;
    QComboBox* box;
    QPlainTextEdit* memo;
    QCheckBox* check;
    QDateEdit* date;
    QSpinBox* spin;
    QPushButton* save;
    bool saveWorks = true;
    int saves = 0;

protected:
    bool saveFields() override {
        ++saves;
        if (saveWorks) markClean();
        return saveWorks;
    }
};

}  // namespace

class TestEditorDialog : public QObject {
    Q_OBJECT

private slots:
    void everyKindOfFieldCounts() {
        Editor e;
        QVERIFY(!e.fieldsChanged());
        const std::function<void()> changes[] = {
            [&] { e.edit->setText("b"); },          [&] { e.box->setCurrentIndex(1); },
            [&] { e.box->setEditText("typed"); },  [&] { e.memo->setPlainText("m2"); },
            [&] { e.check->setChecked(true); },    [&] { e.date->setDate(QDate(2026, 1, 2)); },
            [&] { e.spin->setValue(3); }};
        for (const auto& change : changes) {
            change();
            QVERIFY(e.fieldsChanged());
            e.markClean();
            QVERIFY(!e.fieldsChanged());
        }
        // Changed and changed back: no change.
        e.edit->setText("other");
        e.edit->setText("b");
        QVERIFY(!e.fieldsChanged());
    }

    void leavingAsksOnlyWhenChanged() {
        toolkit::ScriptedDialogs dlg;
        Editor e;
        const QStringList before = toolkit::fieldValues(&e);
        e.show();
        QCOMPARE(toolkit::fieldValues(&e), before);
        QVERIFY(e.mayLeave());
        QVERIFY(dlg.requests.isEmpty());

        QTest::keyClicks(e.edit, "bc");
        dlg.answers = {QMessageBox::Cancel};
        QTest::keyClick(&e, Qt::Key_Escape);
        QVERIFY(e.isVisible());
        QCOMPARE(dlg.messages(), QStringList({"Save changes?"}));
        QCOMPARE(dlg.last()->title, QString("Edit Thing"));
        QCOMPARE(dlg.last()->icon, toolkit::Icon::Question);
        QCOMPARE(e.edit->text(), QString("abc"));

        // A save that fails keeps the editor and the text.
        e.saveWorks = false;
        dlg.answers = {QMessageBox::Save};
        e.close();
        QVERIFY(e.isVisible());
        QCOMPARE(e.saves, 1);
        QCOMPARE(e.edit->text(), QString("abc"));

        // Nothing that could be saved: nothing to ask.
        e.save->setEnabled(false);
        dlg.clear();
        QVERIFY(e.mayLeave());
        QVERIFY(dlg.requests.isEmpty());
        e.save->setEnabled(true);

        e.saveWorks = true;
        dlg.answers = {QMessageBox::Save};
        QTest::keyClick(&e, Qt::Key_Escape);
        QVERIFY(!e.isVisible());
        QCOMPARE(e.saves, 2);
    }
};

QTEST_MAIN(TestEditorDialog)
#include "tst_editordialog.moc"
