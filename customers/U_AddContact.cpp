#include "customers/U_AddContact.h"

#include <QEvent>
#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QUrl>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/EditLimits.h"
#include "app/SaveRow.h"
#include "app/db/Statement.h"
#include "app/db/Transaction.h"
#include "customers/EditorCommon.h"
#include "customers/U_Custom.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"

TFrm_AddContact* Frm_AddContact = nullptr;

// ---- CheckDatePicker ----------------------------------------------------------

CheckDatePicker::CheckDatePicker(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    Check = new QCheckBox(this);
    Edit = new QDateEdit(QDate::currentDate(), this);
    Edit->setCalendarPopup(true);
    Edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    Edit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    row->addWidget(Check);
    row->addWidget(Edit);
    setFocusProxy(Edit);
    connect(Check, &QCheckBox::toggled, this, [this] { showState(); });
    // A date the user gives counts as given.
    connect(Edit, &QDateEdit::dateChanged, this, [this] {
        if (!setting_) Check->setChecked(true);
    });
    showState();
}

void CheckDatePicker::setDate(const QDate& d) {
    setting_ = true;
    Edit->setDate(d);
    setting_ = false;
    Check->setChecked(true);
}

void CheckDatePicker::setChecked(bool on) { Check->setChecked(on); }

void CheckDatePicker::showState() {
    // Without the check the date is only a suggestion: shown in grey.
    QPalette p = Edit->palette();
    p.setColor(QPalette::Text, Check->isChecked() ? palette().color(QPalette::Text)
                                                  : palette().color(QPalette::Disabled, QPalette::Text));
    Edit->setPalette(p);
}

// ---- TFrm_AddContact ------------------------------------------------------------

namespace {

constexpr int kRow0 = 24, kRowStep = 30, kFieldH = 24;
// The left part is wide enough for two boxes on the position row; the right
// part holds telephone numbers and the date.
// The dialog is wider than the original 579 pixels: in the fonts of this
// platform the position and department boxes need the room to show their
// entries whole ("Purchasing Manager", "Engineering").
constexpr int kDialogW = 640;
constexpr int kLabelX1 = 6, kFieldX1 = 72, kFieldR1 = 410;
constexpr int kLabelX2 = 414, kFieldX2 = 478, kFieldR2 = 614;
constexpr int kLabelW = 60;

int rowY(int row) { return kRow0 + row * kRowStep; }

// The first customer of that company name: its number as text, or empty text.
// Inside a transaction the customer is held until it ends, so that another
// workstation cannot delete it under a contact being saved for it.
QString custIdOf(const QString& company) {
    db::Query* t = Frm_Data->Qry_Temp;
    t->setSql(db::Statement(QStringLiteral("Select CustID from custom where company=:company order by CustID for share"))
                  .bind(QStringLiteral("company"), company, QStringLiteral("Company")));
    t->open();
    return t->isEmpty() ? QString() : t->field(QStringLiteral("CustID")).asString();
}

}  // namespace

TFrm_AddContact::TFrm_AddContact(QWidget* parent)
    : toolkit::EditorDialog(parent) {
    Frm_AddContact = this;
    toolkit::makeFixedDialog(this, kDialogW, 335);

    GroupBox1 = new QGroupBox(QStringLiteral("Contact Profile"), this);
    GroupBox1->setGeometry(8, 4, kDialogW - 16, 276);

    auto label = [this](const QString& text, int x, int row, int w = kLabelW) {
        auto* l = new QLabel(text, GroupBox1);
        l->setTextFormat(Qt::PlainText);
        l->setGeometry(x, rowY(row), w, kFieldH);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return l;
    };
    auto edit = [this](int x, int row, int right) {
        auto* e = new QLineEdit(GroupBox1);
        e->setGeometry(x, rowY(row), right - x, kFieldH);
        return e;
    };
    auto combo = [this](int x, int row, int right) {
        auto* c = new QComboBox(GroupBox1);
        toolkit::makeTypedCombo(c);
        c->setGeometry(x, rowY(row), right - x, kFieldH);
        return c;
    };

    Label1 = label(QStringLiteral("Name:"), kLabelX1, 0);
    Edit_Name = edit(kFieldX1, 0, 336);
    CB_Main = new QCheckBox(QStringLiteral("Main"), GroupBox1);
    CB_Main->setGeometry(346, rowY(0), kFieldR1 - 346, kFieldH);
    Label2 = label(QStringLiteral("Company"), kLabelX1, 1);
    Combo_Cust = combo(kFieldX1, 1, kFieldR1);
    Label3 = label(QStringLiteral("Position"), kLabelX1, 2);
    Combo_Zw = combo(kFieldX1, 2, 222);
    Label4 = label(QStringLiteral("Department"), 222, 2, 78);
    Combo_Depart = combo(302, 2, kFieldR1);
    Label5 = label(QStringLiteral("E-mail"), kLabelX1, 3);
    Edit_Email = edit(kFieldX1, 3, kFieldR1);
    toolkit::styleAsLink(Edit_Email);
    Label6 = label(QStringLiteral("Address"), kLabelX1, 4);
    Edit_Address = edit(kFieldX1, 4, 336);
    Edit_PostCode = edit(342, 4, kFieldR1);
    Edit_PostCode->setMaxLength(6);
    Edit_PostCode->setToolTip(QStringLiteral("Post code"));
    Label7 = label(QStringLiteral("Introduce"), kLabelX1, 5);
    Label7->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label7->setContentsMargins(0, 4, 0, 0);
    Memo1 = new QPlainTextEdit(GroupBox1);
    Memo1->setGeometry(kFieldX1, rowY(5), kFieldR2 - kFieldX1, 266 - rowY(5));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);

    Label8 = label(QStringLiteral("Office Tel"), kLabelX2, 0);
    Edit_Tel = edit(kFieldX2, 0, kFieldR2);
    Label9 = label(QStringLiteral("Mobile"), kLabelX2, 1);
    Edit_Mobile = edit(kFieldX2, 1, kFieldR2);
    Label10 = label(QStringLiteral("Home Tel"), kLabelX2, 2);
    Edit_HomeTel = edit(kFieldX2, 2, kFieldR2);
    Label11 = label(QStringLiteral("Fax"), kLabelX2, 3);
    Edit_Fax = edit(kFieldX2, 3, kFieldR2);
    Label12 = label(QStringLiteral("Birthday"), kLabelX2, 4);
    DateTimePicker1 = new CheckDatePicker(GroupBox1);
    DateTimePicker1->setGeometry(kFieldX2, rowY(4), kFieldR2 - kFieldX2, kFieldH);
    Label1->setBuddy(Edit_Name);

    DBNavigator1 = new toolkit::Navigator(this);
    DBNavigator1->setGeometry(8, 292, 112, 28);
    Btn_OK = new QPushButton(QStringLiteral("Add(&A)"), this);
    Btn_OK->setGeometry(kDialogW - 192, 292, 88, 28);
    Btn_OK->setDefault(true);
    Btn_OK->setIcon(toolkit::drawnIcon(QStringLiteral("save")));
    Btn_Exit = new QPushButton(QStringLiteral("Exit(&Q)"), this);
    Btn_Exit->setGeometry(kDialogW - 96, 292, 88, 28);
    Btn_Exit->setAutoDefault(false);
    Btn_Exit->setIcon(toolkit::drawnIcon(QStringLiteral("exit")));

    toolkit::setTabOrder({Edit_Name, CB_Main, Combo_Cust, Combo_Zw, Combo_Depart, Edit_Email, Edit_Address,
                          Edit_PostCode, Edit_Tel, Edit_Mobile, Edit_HomeTel, Edit_Fax, DateTimePicker1->Check,
                          DateTimePicker1->Edit, Memo1, Btn_OK, Btn_Exit,
                          DBNavigator1->button(toolkit::Navigator::First),
                          DBNavigator1->button(toolkit::Navigator::Prior),
                          DBNavigator1->button(toolkit::Navigator::Next),
                          DBNavigator1->button(toolkit::Navigator::Last)});

    setSaveButton(Btn_OK);
    guardNavigator(DBNavigator1);
    connect(Btn_OK, &QPushButton::clicked, this, [this] { toolkit::guarded([this] { Btn_OKClick(); }); });
    connect(Btn_Exit, &QPushButton::clicked, this, [this] { Btn_ExitClick(); });
    connect(DBNavigator1, &toolkit::Navigator::clicked, this,
            [this] { toolkit::guarded([this] { DBNavigator1Click(); }); });
    // Only the user's own choice of company brings its address along.
    toolkit::onUserChange(Combo_Cust, this, [this] { Combo_CustChange(); });
    Edit_Email->installEventFilter(this);

    toolkit::centreOnScreen(this);
}

TFrm_AddContact::~TFrm_AddContact() {
    if (Frm_AddContact == this) Frm_AddContact = nullptr;
}

void TFrm_AddContact::showEvent(QShowEvent* e) {
    toolkit::EditorDialog::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

bool TFrm_AddContact::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit_Email && event->type() == QEvent::MouseButtonDblClick)
        toolkit::guarded([this] { Edit_EmailDblClick(); });
    return toolkit::EditorDialog::eventFilter(watched, event);
}

void TFrm_AddContact::FormShow() {
    // The post code box keeps its own limit of 6.
    limitToColumns(Frm_Data->Connection, QStringLiteral("contact"),
                   {{Edit_Name, QStringLiteral("Name")},        {Combo_Cust, QStringLiteral("Company")},
                    {Combo_Zw, QStringLiteral("Position")},     {Combo_Depart, QStringLiteral("Department")},
                    {Edit_Email, QStringLiteral("Email")},      {Edit_Address, QStringLiteral("Address")},
                    {Edit_Tel, QStringLiteral("Tel")},          {Edit_Mobile, QStringLiteral("Mobile")},
                    {Edit_HomeTel, QStringLiteral("HomeTel")},  {Edit_Fax, QStringLiteral("Fax")}});
    fillById(Frm_Data->Qry_zw, Combo_Zw, QStringLiteral("zw"));
    fillById(Frm_Data->Qry_Depart, Combo_Depart, QStringLiteral("department"));
    // The boxes are narrow; their lists open as wide as their longest entry.
    for (QComboBox* box : {Combo_Zw, Combo_Depart})
        box->view()->setMinimumWidth(box->view()->sizeHintForColumn(0) + 24);

    if (AddMode == 1) {
        // The new contact is meant for the current customer.
        db::Query* c = Frm_Data->Qry_Cust;
        const bool some = c->active() && c->currentRow() >= 0;
        toolkit::setBoxText(Combo_Cust, some ? c->field(QStringLiteral("Company")).asString() : QString());
        Edit_Address->setText(some ? c->field(QStringLiteral("Address")).asString() : QString());
        Edit_PostCode->setText(some ? c->field(QStringLiteral("PostCode")).asString() : QString());
        setWindowTitle(QStringLiteral("Add Contactor"));
        Btn_OK->setText(QStringLiteral("Add(&A)"));
        ClearEdits();
        Memo1->clear();
    } else {
        setWindowTitle(QStringLiteral("Edit Contactor"));
        Btn_OK->setText(QStringLiteral("Save(&S)"));
        LoadContact();
    }
    DBNavigator1->setDataSource(Frm_Data->DS_Contact);

    // Every customer's name, in the order stored; the text shown stays.
    const QString shown = Combo_Cust->currentText();
    db::Query* s = Frm_Data->Qry_Str;
    s->setSql(QStringLiteral("select * from custom"));
    s->open();
    QStringList names;
    for (s->first(); !s->eof(); s->next()) names << s->field(QStringLiteral("Company")).asString().trimmed();
    Combo_Cust->clear();
    Combo_Cust->addItems(names);
    toolkit::setBoxText(Combo_Cust, shown);
    Edit_Name->setFocus();
    markClean();
}

void TFrm_AddContact::ClearEdits() {
    for (QLineEdit* e : {Edit_Name, Edit_Email, Edit_Tel, Edit_Mobile, Edit_HomeTel, Edit_Fax}) e->clear();
    DateTimePicker1->setDate(QDate::currentDate());
    DateTimePicker1->setChecked(false);
}

void TFrm_AddContact::LoadContact() {
    db::Query* q = Frm_Data->Qry_Contact;
    if (!q->active() || q->currentRow() < 0) {
        // Nothing to show, so nothing to save in edit mode.
        ClearEdits();
        if (AddMode != 1) Btn_OK->setEnabled(false);
        markClean();
        return;
    }
    auto text = [q](const char* name) { return q->field(QString::fromLatin1(name)).asString(); };
    Edit_Name->setText(text("Name"));
    CB_Main->setChecked(q->field(QStringLiteral("Main")).asBoolean());
    toolkit::setBoxText(Combo_Zw, text("Position"));
    toolkit::setBoxText(Combo_Cust, text("Company"));
    toolkit::setBoxText(Combo_Depart, text("Department"));
    Edit_Email->setText(text("Email"));
    Edit_Address->setText(text("Address"));
    Edit_PostCode->setText(text("PostCode"));
    Edit_Tel->setText(text("Tel"));
    Edit_Mobile->setText(text("Mobile"));
    Edit_HomeTel->setText(text("HomeTel"));
    Edit_Fax->setText(text("Fax"));
    Memo1->setPlainText(text("introduce"));

    const QDateTime birthday = q->field(QStringLiteral("Birthday")).asDateTime();
    if (birthday.isValid()) DateTimePicker1->setDate(birthday.date());
    else DateTimePicker1->setChecked(false);

    if (ownedByAnother(text("F_User"))) Btn_OK->setEnabled(false);
    toolkit::showTextsFromStart(this);
    markClean();
}

bool TFrm_AddContact::saveFields() {
    const bool adding = AddMode == 1;
    if (Edit_Name->text().isEmpty()) {
        toolkit::dialogs().message(QStringLiteral("Name not null"), QStringLiteral("Warning"),
                                   toolkit::Icon::Information);
        Edit_Name->setFocus();
        return false;
    }
    if (Combo_Cust->currentText().isEmpty()) {
        toolkit::dialogs().message(adding ? QStringLiteral("Pealse select a company")
                                          : QStringLiteral("Please select a company"),
                                   QStringLiteral("Warning"), toolkit::Icon::Information);
        Combo_Cust->setFocus();
        return false;
    }
    // The customer looked up is held until the contact is stored: a contact
    // never lands on a customer another workstation deleted meanwhile.
    db::TransactionGuard guard(*Frm_Data->Connection);
    const QString custId = custIdOf(Combo_Cust->currentText());
    // A customer the list offered is gone: deleted on another workstation
    // since. (A company typed that never was a customer's is stored without
    // a link, as it always was.)
    if (custId.isEmpty() && Combo_Cust->findText(Combo_Cust->currentText()) >= 0) {
        toolkit::dialogs().message(customerDeletedText(), QStringLiteral("Warning"), toolkit::Icon::Information);
        Combo_Cust->setFocus();
        return false;
    }

    db::Query* q = Frm_Data->Qry_Contact;
    if (adding) {
        if (!q->active()) q->open();
        q->append();
    } else {
        // Editing needs a current contact; without one the button is disabled.
        if (!q->active() || q->currentRow() < 0) return false;
        q->edit();
    }
    const bool saved = saveOrOfferReload(q, [&] {
        auto set = [q](const char* name, const QVariant& v) { q->setValue(QString::fromLatin1(name), v); };
        set("Name", Edit_Name->text());
        if (!adding) set("Main", CB_Main->isChecked());
        else if (CB_Main->isChecked()) set("Main", true);
        set("CustID", custId);
        set("Company", Combo_Cust->currentText());
        set("Position", Combo_Zw->currentText());
        set("Department", Combo_Depart->currentText());
        set("Email", Edit_Email->text());
        set("Address", Edit_Address->text());
        set("PostCode", Edit_PostCode->text());
        set("Tel", Edit_Tel->text());
        set("Mobile", Edit_Mobile->text());
        set("HomeTel", Edit_HomeTel->text());
        set("Fax", Edit_Fax->text());
        set("introduce", Memo1->toPlainText());
        if (DateTimePicker1->checked()) set("Birthday", DateTimePicker1->date());
        // The owner, so that its user may later edit and delete it.
        if (adding && Frm_Main) set("F_User", Frm_Main->UserName);
    }, [this] { LoadContact(); });
    // Changed elsewhere meanwhile: the user may read it again and go on.
    if (!saved) return false;
    guard.commit();

    if (adding) {
        ClearEdits();
        Edit_Name->setFocus();
    }
    RefreshContacts();
    if (Frm_Custom) Frm_Custom->LoadGridColumns();
    if (adding) markClean();
    return true;
}

void TFrm_AddContact::Btn_OKClick() {
    // Adding keeps the dialog open for the next contact; a saved edit closes it.
    if (saveFields() && AddMode != 1) accept();
}

QString TFrm_AddContact::customerDeletedText() {
    return QStringLiteral("This contact was not saved: the customer was deleted on another workstation. "
                          "Choose another company; what you typed is kept.");
}

void TFrm_AddContact::Btn_ExitClick() { reject(); }

void TFrm_AddContact::DBNavigator1Click() { LoadContact(); }

void TFrm_AddContact::Combo_CustChange() {
    db::Query* t = Frm_Data->Qry_Temp;
    t->setSql(db::Statement(QStringLiteral("Select * from custom where company=:company"))
                  .bind(QStringLiteral("company"), Combo_Cust->currentText(), QStringLiteral("Company")));
    t->open();
    const bool found = !t->isEmpty();
    Edit_Address->setText(found ? t->field(QStringLiteral("Address")).asString() : QString());
    Edit_PostCode->setText(found ? t->field(QStringLiteral("PostCode")).asString() : QString());
}

void TFrm_AddContact::Edit_EmailDblClick() {
    toolkit::dialogs().openUrl(QUrl(QStringLiteral("mailto:") + Edit_Email->text().trimmed()));
}
