#include "activities/U_AddDaily.h"

#include <QShowEvent>

#include "activities/ActivityCommon.h"
#include "activities/U_Daily.h"
#include "app/EditLimits.h"
#include "app/U_Main.h"
#include "app/SaveRow.h"
#include "app/SchemaUpgrade.h"
#include "app/U_data.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"

TFrm_AddDaily* Frm_AddDaily = nullptr;

bool dailyEntryToEdit() {
    db::Query* q = Frm_Data->Qry_Daily;
    if (q->active() && q->currentRow() >= 0)
        return keyPresentOrSay(*Frm_Data->Connection, QStringLiteral("T_Daily"), QStringLiteral("DailyID"),
                               QStringLiteral("日记"));
    toolkit::dialogs().message(QStringLiteral("没有可以编辑的日记：请先打开日记列表，选中一篇日记。"), QString(),
                               toolkit::Icon::Information);
    return false;
}

TFrm_AddDaily::TFrm_AddDaily(QWidget* parent) : toolkit::EditorDialog(parent) {
    Frm_AddDaily = this;
    setObjectName(QStringLiteral("Frm_AddDaily"));
    toolkit::makeFixedDialog(this, 570, 333);
    setFont(activities::windowFont());

    GroupBox1 = new QGroupBox(QStringLiteral(" 日记 "), this);
    GroupBox1->setGeometry(8, 6, 554, 278);
    auto label = [this](const QString& text, int y) {
        auto* l = new QLabel(text, GroupBox1);
        l->setGeometry(12, y, 44, 22);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return l;
    };
    Label2 = label(QStringLiteral("主题"), 24);
    Edit_Subject = new QLineEdit(GroupBox1);
    Edit_Subject->setObjectName(QStringLiteral("Edit_Subject"));
    Edit_Subject->setGeometry(62, 24, 345, 22);
    Label2->setBuddy(Edit_Subject);
    Label3 = label(QStringLiteral("时间"), 52);
    DateTimePicker1 = new QDateEdit(QDate::currentDate(), GroupBox1);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    DateTimePicker1->setGeometry(62, 52, 130, 22);
    Label1 = label(QStringLiteral("内容"), 80);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label1->setContentsMargins(0, 3, 0, 0);
    Memo1 = new QPlainTextEdit(GroupBox1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(62, 80, 481, 193);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);

    DBNavigator1 = new toolkit::Navigator(this);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(8, 296, 112, 26);
    Btn_OK = new QPushButton(QStringLiteral("新增(&A)"), this);
    Btn_OK->setObjectName(QStringLiteral("Btn_OK"));
    Btn_OK->setGeometry(378, 294, 88, 28);
    Btn_OK->setIcon(toolkit::drawnIcon(QStringLiteral("save")));
    Btn_OK->setDefault(true);
    Btn_Exit = new QPushButton(QStringLiteral("退出(&Q)"), this);
    Btn_Exit->setObjectName(QStringLiteral("Btn_Exit"));
    Btn_Exit->setGeometry(474, 294, 88, 28);
    Btn_Exit->setIcon(toolkit::drawnIcon(QStringLiteral("exit")));
    Btn_Exit->setAutoDefault(false);

    toolkit::setTabOrder({Edit_Subject, DateTimePicker1, Memo1, Btn_OK, Btn_Exit});
    setSaveButton(Btn_OK);
    guardNavigator(DBNavigator1);
    toolkit::onClick(Btn_OK, this, &TFrm_AddDaily::Btn_OKClick);
    toolkit::onClick(Btn_Exit, this, &TFrm_AddDaily::Btn_ExitClick);
    connect(DBNavigator1, &toolkit::Navigator::clicked, this,
            [this] { toolkit::guarded([this] { DBNavigator1Click(); }); });
    toolkit::centreOnScreen(this);
}

TFrm_AddDaily::~TFrm_AddDaily() {
    if (Frm_AddDaily == this) Frm_AddDaily = nullptr;
}

void TFrm_AddDaily::showEvent(QShowEvent* e) {
    toolkit::EditorDialog::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

void TFrm_AddDaily::FormShow() {
    limitToColumns(Frm_Data->Connection, QStringLiteral("T_Daily"), {{Edit_Subject, QStringLiteral("Subject")}});
    if (AddMode) {
        setWindowTitle(QStringLiteral("新建日记"));
        DBNavigator1->setDataSource(nullptr);
        DBNavigator1->setEnabled(false);
        Btn_OK->setText(QStringLiteral("新增(&A)"));
        ClearEntry();
    } else {
        setWindowTitle(QStringLiteral("编辑日记"));
        DBNavigator1->setEnabled(true);
        DBNavigator1->setDataSource(Frm_Data->DS_Daily);
        Btn_OK->setText(QStringLiteral("保存(&A)"));
        ShowEntry();
    }
    Edit_Subject->setFocus();
    markClean();
}

void TFrm_AddDaily::ShowEntry() {
    db::Query* q = Frm_Data->Qry_Daily;
    if (!q->active() || q->currentRow() < 0) {
        ClearEntry();
        Btn_OK->setEnabled(false);  // nothing to save into
        markClean();
        return;
    }
    Btn_OK->setEnabled(true);
    Edit_Subject->setText(q->field(QStringLiteral("Subject")).asString());
    Edit_Subject->setCursorPosition(0);
    Memo1->setPlainText(q->field(QStringLiteral("Content")).asString());
    const QDateTime when = q->field(QStringLiteral("AddDate")).asDateTime();
    DateTimePicker1->setDate(when.isValid() ? when.date() : QDate::currentDate());
    markClean();
}

void TFrm_AddDaily::ClearEntry() {
    Edit_Subject->clear();
    Memo1->clear();
    DateTimePicker1->setDate(QDate::currentDate());
}

void TFrm_AddDaily::DBNavigator1Click() { ShowEntry(); }

bool TFrm_AddDaily::saveFields() {
    if (Edit_Subject->text().isEmpty()) {
        toolkit::dialogs().message(QStringLiteral("主题不能为空!"), QString(), toolkit::Icon::Information);
        // Stays open in both modes, so what was typed is not lost.
        Edit_Subject->setFocus();
        return false;
    }
    db::Query* q = Frm_Data->Qry_Daily;
    if (AddMode) {
        // Added before the list was ever shown: the list it would show.
        if (!q->active()) {
            q->setSql(ownDailyEntries());
            q->open();
        }
        q->append();
    } else {
        if (!q->active() || q->currentRow() < 0) return false;
        q->edit();
    }
    // Changed elsewhere meanwhile: the user may read it again and go on.
    const bool saved = saveOrOfferReload(q, [&] {
        q->setValue(QStringLiteral("Subject"), Edit_Subject->text());
        q->setValue(QStringLiteral("content"), Memo1->toPlainText());
        q->setValue(QStringLiteral("Adddate"), DateTimePicker1->date());
        // Whoever saves an entry becomes its author.
        q->setValue(QStringLiteral("author"), activities::userName());
    }, [this] { ShowEntry(); });
    // Added, the entry's values stay for another like it; they are saved now.
    if (saved && AddMode) markClean();
    return saved;
}

void TFrm_AddDaily::Btn_OKClick() {
    if (saveFields() && !AddMode) accept();
}

void TFrm_AddDaily::Btn_ExitClick() { reject(); }
