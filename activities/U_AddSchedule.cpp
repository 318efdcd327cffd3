#include "activities/U_AddSchedule.h"

#include <QAbstractItemView>
#include <QRegularExpressionValidator>
#include <QShowEvent>

#include "activities/ActivityCommon.h"
#include "activities/ScheduleTimes.h"
#include "app/EditLimits.h"
#include "app/U_Main.h"
#include "app/SaveRow.h"
#include "app/U_data.h"
#include "app/db/Query.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"

TFrm_AddSchedule* Frm_AddSchedule = nullptr;

using namespace activities;

namespace {

constexpr int kFieldH = 22;

// Shows a time of day in a box of half-hour steps; a time between the steps
// (stored by hand or by another program) gets an entry of its own.
void setTimeBox(QComboBox* box, const QTime& t) {
    const QString text = t.toString(QStringLiteral("hh:mm"));
    int at = box->findText(text);
    if (at < 0) {
        at = 0;
        while (at < box->count() && box->itemText(at) < text) ++at;
        box->insertItem(at, text);
    }
    box->setCurrentIndex(at);
}

QTime timeOf(const QComboBox* box) { return QTime::fromString(box->currentText(), QStringLiteral("hh:mm")); }

// The user's subjects, latest first: the subject box offers them again.
QStringList recentSubjects() {
    db::Query q(Frm_Data->Connection);
    q.setSql(QStringLiteral("select Subject from T_Schedule where author = :user and Subject <> '' "
                            "group by Subject order by max(ScheduleID) desc limit 20"));
    q.setParam(QStringLiteral("user"), userName());
    q.open();
    QStringList out;
    for (q.first(); !q.eof(); q.next()) out << q.field(0).asString();
    return out;
}

}  // namespace

bool scheduleEntryToEdit() {
    db::Query* q = Frm_Data->Qry_Schedule;
    if (q->active() && q->currentRow() >= 0) return true;
    toolkit::dialogs().message(QStringLiteral("没有可以编辑的联系活动：请先打开日程管理，选中一项联系活动。"),
                               QString(), toolkit::Icon::Information);
    return false;
}

TFrm_AddSchedule::TFrm_AddSchedule(QWidget* parent) : toolkit::EditorDialog(parent) {
    Frm_AddSchedule = this;
    setObjectName(QStringLiteral("Frm_AddSchedule"));
    toolkit::makeFixedDialog(this, 575, 348);
    setFont(windowFont());

    GroupBox1 = new QGroupBox(QStringLiteral(" 联系活动 "), this);
    GroupBox1->setGeometry(8, 4, 559, 296);
    auto label = [this](const QString& text, int x, int y, int w) {
        auto* l = new QLabel(text, GroupBox1);
        l->setGeometry(x, y, w, kFieldH);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return l;
    };
    auto combo = [this](const QString& name, int x, int y, int w, bool typed) {
        auto* c = new QComboBox(GroupBox1);
        c->setObjectName(name);
        if (typed) toolkit::makeTypedCombo(c);
        c->setGeometry(x, y, w, kFieldH);
        return c;
    };
    auto picker = [this](const QString& name, int y) {
        auto* d = new QDateEdit(QDate::currentDate(), GroupBox1);
        d->setObjectName(name);
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setGeometry(72, y, 129, kFieldH);
        return d;
    };

    Label2 = label(QStringLiteral("活动主题"), 4, 32, 64);
    ComboBox1 = combo(QStringLiteral("ComboBox1"), 72, 32, 241, true);
    Label4 = label(QStringLiteral("活动类型"), 320, 32, 108);
    ComboBox2 = combo(QStringLiteral("ComboBox2"), 432, 32, 105, true);
    Label3 = label(QStringLiteral("相关客户"), 4, 64, 64);
    ComboBox3 = combo(QStringLiteral("ComboBox3"), 72, 64, 241, false);
    Customers = new CustomerBox(ComboBox3, Frm_Data->Connection);
    Label5 = label(QStringLiteral("相关联系人"), 320, 64, 108);
    Combo_Contact = combo(QStringLiteral("Combo_Contact"), 432, 64, 105, true);
    Label6 = label(QStringLiteral("开始时间"), 4, 96, 64);
    DateTimePicker1 = picker(QStringLiteral("DateTimePicker1"), 96);
    ComboBox4 = combo(QStringLiteral("ComboBox4"), 216, 96, 97, false);
    Label7 = label(QStringLiteral("结束时间"), 4, 128, 64);
    DateTimePicker2 = picker(QStringLiteral("DateTimePicker2"), 128);
    ComboBox6 = combo(QStringLiteral("ComboBox6"), 216, 128, 97, false);
    Label8 = label(QStringLiteral("计划持续时间"), 320, 96, 108);
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(432, 96, 65, kFieldH);
    Edit1->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\d{0,5}(\\.\\d{0,2})?")), Edit1));
    Label9 = label(QStringLiteral("小时"), 500, 96, 30);
    Label9->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    CheckBox1 = new QCheckBox(QStringLiteral("设定提醒前时间"), GroupBox1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(320, 128, 110, kFieldH);
    ComboBox5 = combo(QStringLiteral("ComboBox5"), 432, 128, 105, false);
    Label1 = label(QStringLiteral("活动描述"), 4, 160, 64);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label1->setContentsMargins(0, 3, 0, 0);
    Memo1 = new QPlainTextEdit(GroupBox1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(72, 160, 465, 97);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);
    for (auto [l, w] : {std::pair<QLabel*, QWidget*>{Label2, ComboBox1}, {Label4, ComboBox2}, {Label3, ComboBox3},
                        {Label5, Combo_Contact}, {Label6, DateTimePicker1}, {Label7, DateTimePicker2},
                        {Label8, Edit1}, {Label1, Memo1}})
        l->setBuddy(w);

    Btn_OK = new QPushButton(QStringLiteral("新增(&A)"), this);
    Btn_OK->setObjectName(QStringLiteral("Btn_OK"));
    Btn_OK->setGeometry(384, 312, 88, 28);
    Btn_OK->setIcon(toolkit::drawnIcon(QStringLiteral("save")));
    Btn_OK->setDefault(true);
    Btn_Exit = new QPushButton(QStringLiteral("退出(&Q)"), this);
    Btn_Exit->setObjectName(QStringLiteral("Btn_Exit"));
    Btn_Exit->setGeometry(480, 312, 88, 28);
    Btn_Exit->setIcon(toolkit::drawnIcon(QStringLiteral("exit")));
    Btn_Exit->setAutoDefault(false);

    ComboBox2->addItems(activityTypes());
    ComboBox4->addItems(halfHourTimes());
    ComboBox6->addItems(halfHourTimes());
    ComboBox5->addItems(reminderLeadTimes());
    ComboBox4->setMaxVisibleItems(16);
    ComboBox6->setMaxVisibleItems(16);

    toolkit::setTabOrder({ComboBox1, ComboBox2, ComboBox3, Combo_Contact, DateTimePicker1, ComboBox4, Edit1,
                          DateTimePicker2, ComboBox6, CheckBox1, ComboBox5, Memo1, Btn_OK, Btn_Exit});
    setSaveButton(Btn_OK);
    toolkit::onClick(Btn_OK, this, &TFrm_AddSchedule::Btn_OKClick);
    toolkit::onClick(Btn_Exit, this, &TFrm_AddSchedule::Btn_ExitClick);
    toolkit::onClick(CheckBox1, this, &TFrm_AddSchedule::CheckBox1Click);
    connect(Customers, &CustomerBox::customerChanged, this,
            [this](qlonglong id) { toolkit::guarded([&] { fillContacts(id); }); });
    connect(DateTimePicker1, &QDateEdit::dateChanged, this, [this] { startMoved(); });
    connect(ComboBox4, &QComboBox::currentIndexChanged, this, [this] { startMoved(); });
    connect(DateTimePicker2, &QDateEdit::dateChanged, this, [this] { endMoved(); });
    connect(ComboBox6, &QComboBox::currentIndexChanged, this, [this] { endMoved(); });
    toolkit::centreOnScreen(this);
}

TFrm_AddSchedule::~TFrm_AddSchedule() {
    if (Frm_AddSchedule == this) Frm_AddSchedule = nullptr;
}

void TFrm_AddSchedule::showEvent(QShowEvent* e) {
    toolkit::EditorDialog::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

QDateTime TFrm_AddSchedule::startTime() const { return QDateTime(DateTimePicker1->date(), timeOf(ComboBox4)); }
QDateTime TFrm_AddSchedule::endTime() const { return QDateTime(DateTimePicker2->date(), timeOf(ComboBox6)); }

void TFrm_AddSchedule::setStartTime(const QDateTime& t) {
    DateTimePicker1->setDate(t.date());
    setTimeBox(ComboBox4, t.time());
}

void TFrm_AddSchedule::setEndTime(const QDateTime& t) {
    DateTimePicker2->setDate(t.date());
    setTimeBox(ComboBox6, t.time());
}

void TFrm_AddSchedule::startMoved() {
    if (loading_) return;
    // The end moves with the start, so the activity keeps its length.
    loading_ = true;
    setEndTime(startTime().addSecs(span_));
    loading_ = false;
    Edit1->setText(hoursBetween(startTime(), endTime()));
}

void TFrm_AddSchedule::endMoved() {
    if (loading_) return;
    if (endTime() >= startTime()) span_ = startTime().secsTo(endTime());
    Edit1->setText(hoursBetween(startTime(), endTime()));
}

void TFrm_AddSchedule::CheckBox1Click() { ComboBox5->setEnabled(CheckBox1->isChecked()); }

void TFrm_AddSchedule::fillContacts(qlonglong custId) {
    const QString typed = Combo_Contact->currentText();
    Combo_Contact->clear();
    Combo_Contact->addItems(contactsOf(Frm_Data->Connection, custId));
    toolkit::setBoxText(Combo_Contact, typed);
}

void TFrm_AddSchedule::FormShow() {
    limitToColumns(Frm_Data->Connection, QStringLiteral("T_Schedule"),
                   {{ComboBox1, QStringLiteral("Subject")},
                    {ComboBox2, QStringLiteral("ActType")},
                    {ComboBox3, QStringLiteral("Customer")},
                    {Combo_Contact, QStringLiteral("Contactor")},
                    {Edit1, QStringLiteral("Hours")}});
    ComboBox1->addItems(recentSubjects());
    ComboBox1->setCurrentIndex(-1);
    if (AddMode) {
        setWindowTitle(QStringLiteral("新建联系活动"));
        Btn_OK->setText(QStringLiteral("新增(&A)"));
        ClearEntry();
    } else {
        setWindowTitle(QStringLiteral("编辑联系活动"));
        Btn_OK->setText(QStringLiteral("保存(&A)"));
        ShowEntry();
    }
    ComboBox1->setFocus();
    markClean();
}

void TFrm_AddSchedule::ClearEntry() {
    loading_ = true;
    ComboBox1->setEditText(QString());
    ComboBox2->setCurrentIndex(0);
    Customers->setCustomer(-1, QString());
    Combo_Contact->setEditText(QString());
    const QDateTime start = nextHalfHour(QDateTime::currentDateTime());
    span_ = 3600;
    setStartTime(start);
    setEndTime(start.addSecs(span_));
    Edit1->setText(hoursBetween(start, start.addSecs(span_)));
    CheckBox1->setChecked(false);
    ComboBox5->setCurrentText(defaultLeadTime());
    ComboBox5->setEnabled(false);
    Memo1->clear();
    loading_ = false;
}

void TFrm_AddSchedule::ShowEntry() {
    db::Query* q = Frm_Data->Qry_Schedule;
    if (!q->active() || q->currentRow() < 0) {
        ClearEntry();
        Btn_OK->setEnabled(false);  // nothing to save into
        return;
    }
    auto text = [q](const char* name) { return q->field(QString::fromLatin1(name)).asString(); };
    loading_ = true;
    toolkit::setBoxText(ComboBox1, text("Subject"));
    toolkit::setBoxText(ComboBox2, text("ActType"));
    const db::Field cust = q->field(QStringLiteral("CustID"));
    Customers->setCustomer(cust.isNull() ? -1 : cust.asInteger(), text("Customer"));
    toolkit::setBoxText(Combo_Contact, text("Contactor"));
    QDateTime start = q->field(QStringLiteral("StartTime")).asDateTime();
    QDateTime end = q->field(QStringLiteral("EndTime")).asDateTime();
    if (!start.isValid()) start = nextHalfHour(QDateTime::currentDateTime());
    if (!end.isValid() || end < start) end = start;
    span_ = start.secsTo(end);
    setStartTime(start);
    setEndTime(end);
    Edit1->setText(text("Hours"));
    const QString lead = text("Remind");
    const bool remind = leadMinutes(lead) >= 0;
    if (remind && ComboBox5->findText(lead) < 0) ComboBox5->addItem(lead);
    CheckBox1->setChecked(remind);
    ComboBox5->setCurrentText(remind ? lead : defaultLeadTime());
    ComboBox5->setEnabled(remind);
    Memo1->setPlainText(text("Content"));
    loading_ = false;
    Btn_OK->setEnabled(true);
    markClean();
}

bool TFrm_AddSchedule::saveFields() {
    if (ComboBox1->currentText().isEmpty()) {
        toolkit::dialogs().message(QStringLiteral("活动主题不能为空!"), QString(), toolkit::Icon::Information);
        ComboBox1->setFocus();
        return false;
    }
    const QDateTime start = startTime(), end = endTime();
    if (end < start) {
        toolkit::dialogs().message(QStringLiteral("结束时间不能早于开始时间!"), QString(), toolkit::Icon::Information);
        DateTimePicker2->setFocus();
        return false;
    }
    bool hoursOk = true;
    if (!Edit1->text().isEmpty()) Edit1->text().toDouble(&hoursOk);
    if (!hoursOk) {
        toolkit::dialogs().message(QStringLiteral("计划持续时间请填写小时数，例如 1.5"), QString(),
                                   toolkit::Icon::Information);
        Edit1->setFocus();
        return false;
    }
    const QDateTime remindAt = CheckBox1->isChecked() ? remindTime(start, ComboBox5->currentText()) : QDateTime();
    qlonglong custId = Customers->custId();
    if (custId < 0) custId = customerIdOf(Frm_Data->Connection, ComboBox3->currentText());

    db::Query* q = Frm_Data->Qry_Schedule;
    bool remindChanged = true;
    if (AddMode) {
        if (!q->active()) {
            q->setSql(QStringLiteral("select * from T_Schedule"));
            q->open();
        }
        q->append();
    } else {
        if (!q->active() || q->currentRow() < 0) return false;
        remindChanged = q->field(QStringLiteral("RemindAt")).asDateTime() != remindAt;
        q->edit();
    }
    // Changed elsewhere meanwhile: the user may read it again and go on.
    const bool saved = saveOrOfferReload(q, [&] {
        auto set = [q](const char* name, const QVariant& v) { q->setValue(QString::fromLatin1(name), v); };
        set("Subject", ComboBox1->currentText());
        set("ActType", ComboBox2->currentText());
        set("Customer", ComboBox3->currentText());
        set("CustID", custId >= 0 ? QVariant(custId) : QVariant());
        set("Contactor", Combo_Contact->currentText());
        set("StartTime", start);
        set("EndTime", end);
        set("Hours", Edit1->text());
        set("Remind", remindAt.isValid() ? ComboBox5->currentText() : QString());
        set("RemindAt", remindAt.isValid() ? QVariant(remindAt) : QVariant());
        // A new or moved reminder is due again, unless the activity has begun
        // already: nobody needs reminding of that.
        if (remindChanged) set("Reminded", remindAt.isValid() && start <= QDateTime::currentDateTime());
        set("Content", Memo1->toPlainText());
        // The activity belongs to the user who made it.
        if (AddMode) set("author", userName());
    }, [this] { ShowEntry(); });
    return saved;
}

void TFrm_AddSchedule::Btn_OKClick() {
    if (saveFields()) accept();
}

void TFrm_AddSchedule::Btn_ExitClick() { reject(); }
