#include "customers/U_addcust.h"

#include <QDate>
#include <QEvent>
#include <QShowEvent>
#include <QUrl>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/EditLimits.h"
#include "app/SaveRow.h"
#include "app/db/Statement.h"
#include "customers/EditorCommon.h"
#include "customers/U_Custom.h"
#include "customers/U_tree.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"
#include "toolkit/Modal.h"

TFrm_AddCust* Frm_AddCust = nullptr;

namespace {

const QString kLogin = QStringLiteral("login");

// Layout grid: two columns of label + field, rows 28 pixels apart.
constexpr int kRow0 = 24, kRowStep = 28, kFieldH = 24;
constexpr int kLabelX1 = 12, kFieldX1 = 82, kFieldW1 = 236;
constexpr int kLabelX2 = 340, kFieldX2 = 410, kFieldW2 = 240;
constexpr int kLabelW = 66;

int rowY(int row) { return kRow0 + row * kRowStep; }

// Selects the item at a remembered position; -1 or beyond the list leaves the box empty.
void selectRemembered(QComboBox* box, int at) {
    if (at >= 0 && at < box->count()) {
        box->setCurrentIndex(at);
    } else {
        box->setCurrentIndex(-1);
        box->setEditText(QString());
    }
}

}  // namespace

TFrm_AddCust::TFrm_AddCust(QWidget* parent)
    : toolkit::EditorDialog(parent) {
    Frm_AddCust = this;
    toolkit::makeFixedDialog(this, 680, 363);

    GroupBox1 = new QGroupBox(QStringLiteral("Customer Profile"), this);
    GroupBox1->setGeometry(8, 4, 664, 310);

    auto label = [this](const QString& text, int x, int row) {
        auto* l = new QLabel(text, GroupBox1);
        l->setGeometry(x, rowY(row), kLabelW, kFieldH);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return l;
    };
    auto edit = [this](int x, int row, int w) {
        auto* e = new QLineEdit(GroupBox1);
        e->setGeometry(x, rowY(row), w, kFieldH);
        return e;
    };
    auto combo = [this](int x, int row, int w) {
        auto* c = new QComboBox(GroupBox1);
        toolkit::makeTypedCombo(c);
        c->setGeometry(x, rowY(row), w, kFieldH);
        return c;
    };

    Label1 = label(QStringLiteral("Comapny"), kLabelX1, 0);
    Edit_Com = edit(kFieldX1, 0, kFieldW1);
    Label11 = label(QStringLiteral("Cust Type"), kLabelX2, 0);
    Combo_Type = combo(kFieldX2, 0, kFieldW2);

    Label14 = label(QStringLiteral("Category"), kLabelX1, 1);
    Edit_Category = edit(kFieldX1, 1, kFieldW1 - 28);
    Edit_Category->setReadOnly(true);
    Btn_Lookup = new QToolButton(GroupBox1);
    Btn_Lookup->setGeometry(kFieldX1 + kFieldW1 - 24, rowY(1), 24, kFieldH);
    Btn_Lookup->setIcon(toolkit::drawnIcon(QStringLiteral("lookup")));
    Btn_Lookup->setToolTip(QStringLiteral("Choose a category"));
    Btn_Lookup->setFocusPolicy(Qt::StrongFocus);
    Label2 = label(QStringLiteral("Country"), kLabelX2, 1);
    Combo_Country = combo(kFieldX2, 1, kFieldW2);

    Label3 = label(QStringLiteral("State"), kLabelX1, 2);
    Combo_Province = combo(kFieldX1, 2, kFieldW1);
    Label4 = label(QStringLiteral("City"), kLabelX2, 2);
    Edit_City = edit(kFieldX2, 2, kFieldW2);

    Label5 = label(QStringLiteral("Address"), kLabelX1, 3);
    Edit_Address = edit(kFieldX1, 3, kFieldW1);
    Label15 = label(QStringLiteral("Zip"), kLabelX2, 3);
    Edit_Zip = edit(kFieldX2, 3, 90);
    Edit_Zip->setMaxLength(6);

    Label6 = label(QStringLiteral("Tel"), kLabelX1, 4);
    Edit_tel = edit(kFieldX1, 4, kFieldW1);
    Label7 = label(QStringLiteral("Fax"), kLabelX2, 4);
    Edit_Fax = edit(kFieldX2, 4, kFieldW2);

    Label10 = label(QStringLiteral("Income"), kLabelX1, 5);
    Edit_Income = edit(kFieldX1, 5, kFieldW1);
    Label8 = label(QStringLiteral("Email"), kLabelX2, 5);
    Edit_Email = edit(kFieldX2, 5, kFieldW2);
    toolkit::styleAsLink(Edit_Email);

    Label9 = label(QStringLiteral("Url"), kLabelX1, 6);
    Edit_Url = edit(kFieldX1, 6, kFieldW1);
    toolkit::styleAsLink(Edit_Url);
    Label12 = label(QStringLiteral("ComeFrom"), kLabelX2, 6);
    Combo_From = combo(kFieldX2, 6, kFieldW2);

    Label13 = label(QStringLiteral("Introduce"), kLabelX1, 7);
    Label13->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label13->setContentsMargins(0, 4, 0, 0);
    Memo1 = new QPlainTextEdit(GroupBox1);
    Memo1->setGeometry(kFieldX1, rowY(7), kFieldX2 + kFieldW2 - kFieldX1, 300 - rowY(7));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);

    for (QLabel* l : {Label1, Label11, Label14, Label2, Label3, Label4, Label5, Label15, Label6, Label7,
                      Label10, Label8, Label9, Label12, Label13})
        l->setTextFormat(Qt::PlainText);
    Label1->setBuddy(Edit_Com);

    DBNavigator1 = new toolkit::Navigator(this);
    DBNavigator1->setGeometry(8, 324, 112, 28);
    Btn_Add = new QPushButton(QStringLiteral("Add Contactor"), this);
    Btn_Add->setGeometry(130, 324, 110, 28);
    Btn_Add->setAutoDefault(false);
    Btn_OK = new QPushButton(QStringLiteral("Add(&A)"), this);
    Btn_OK->setGeometry(488, 324, 88, 28);
    Btn_OK->setDefault(true);
    Bit_Exit = new QPushButton(QStringLiteral("Exit(&Q)"), this);
    Bit_Exit->setGeometry(584, 324, 88, 28);
    Bit_Exit->setAutoDefault(false);
    Bit_Exit->setIcon(toolkit::drawnIcon(QStringLiteral("exit")));
    Btn_OK->setIcon(toolkit::drawnIcon(QStringLiteral("save")));

    toolkit::setTabOrder({Edit_Com, Combo_Type, Edit_Category, Btn_Lookup, Combo_Country, Combo_Province,
                          Edit_City, Edit_Address, Edit_Zip, Edit_tel, Edit_Fax, Edit_Income, Edit_Email,
                          Edit_Url, Combo_From, Memo1, Btn_OK, Bit_Exit,
                          DBNavigator1->button(toolkit::Navigator::First),
                          DBNavigator1->button(toolkit::Navigator::Prior),
                          DBNavigator1->button(toolkit::Navigator::Next),
                          DBNavigator1->button(toolkit::Navigator::Last), Btn_Add});

    Qry_Repeat = new db::Query(Frm_Data ? Frm_Data->Connection : nullptr, this);
    setSaveButton(Btn_OK);
    guardNavigator(DBNavigator1);

    connect(Btn_OK, &QPushButton::clicked, this, [this] { toolkit::guarded([this] { Btn_OKClick(); }); });
    connect(Bit_Exit, &QPushButton::clicked, this, [this] { Bit_ExitClick(); });
    connect(Btn_Lookup, &QToolButton::clicked, this, [this] { toolkit::guarded([this] { Btn_LookupClick(); }); });
    connect(Btn_Add, &QPushButton::clicked, this, [this] { toolkit::guarded([this] { Btn_AddClick(); }); });
    connect(DBNavigator1, &toolkit::Navigator::clicked, this,
            [this] { toolkit::guarded([this] { DBNavigator1Click(); }); });

    // The remembered choices follow what the user does, not what the dialog
    // itself puts into the boxes.
    toolkit::onUserChange(Combo_Country, this, [this] { Combo_CountryChange(); });
    toolkit::onUserChange(Combo_Province, this, [this] { Combo_ProvinceChange(); });
    toolkit::onUserChange(Combo_Type, this, [this] { Combo_TypeChange(); });
    toolkit::onUserChange(Combo_From, this, [this] { Combo_FromChange(); });

    Edit_Email->installEventFilter(this);
    Edit_Url->installEventFilter(this);

    toolkit::centreOnScreen(this);
}

TFrm_AddCust::~TFrm_AddCust() {
    if (Frm_AddCust == this) Frm_AddCust = nullptr;
}

void TFrm_AddCust::showEvent(QShowEvent* e) {
    toolkit::EditorDialog::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

bool TFrm_AddCust::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == Edit_Email) toolkit::guarded([this] { Edit_EmailDblClick(); });
        else if (watched == Edit_Url) toolkit::guarded([this] { Edit_UrlDblClick(); });
    }
    return toolkit::EditorDialog::eventFilter(watched, event);
}

void TFrm_AddCust::FormShow() {
    limitToColumns(Frm_Data->Connection, QStringLiteral("custom"),
                   {{Edit_Com, QStringLiteral("Company")},   {Combo_Type, QStringLiteral("CustType")},
                    {Combo_Country, QStringLiteral("Country")}, {Combo_Province, QStringLiteral("Province")},
                    {Edit_City, QStringLiteral("City")},     {Edit_Address, QStringLiteral("Address")},
                    {Edit_Zip, QStringLiteral("PostCode")},  {Edit_tel, QStringLiteral("Tel")},
                    {Edit_Fax, QStringLiteral("Fax")},       {Edit_Income, QStringLiteral("Income")},
                    {Edit_Email, QStringLiteral("Email")},   {Edit_Url, QStringLiteral("Url")},
                    {Combo_From, QStringLiteral("From")}});
    fillById(Frm_Data->Qry_Type, Combo_Type, QStringLiteral("Type"));
    fillById(Frm_Data->Qry_Country, Combo_Country, QStringLiteral("Country"));
    fillById(Frm_Data->Qry_From, Combo_From, QStringLiteral("CustFrom"));

    IniFile& ini = *Frm_Data->ConfigIni;
    if (AddMode == 1) {
        setWindowTitle(QStringLiteral("Add Customer"));
        ClearEdits();
        Btn_OK->setText(QStringLiteral("Add(&A)"));
        selectRemembered(Combo_Country, ini.readInteger(kLogin, QStringLiteral("Country"), -1));
        Edit_Category->setText(ini.readString(kLogin, QStringLiteral("Category"), QString()));
        CategoryCode = ini.readString(kLogin, QStringLiteral("CateCode"), QString());
        selectRemembered(Combo_Province, ini.readInteger(kLogin, QStringLiteral("Province"), -1));
        selectRemembered(Combo_Type, ini.readInteger(kLogin, QStringLiteral("Type"), -1));
        selectRemembered(Combo_From, ini.readInteger(kLogin, QStringLiteral("from"), -1));
    } else {
        setWindowTitle(QStringLiteral("Edit Customer"));
        Btn_OK->setText(QStringLiteral("Save(&S)"));
        DBNavigator1->setDataSource(Frm_Data->DS_Cust);
        LoadCustomer();
    }
    Edit_Com->setFocus();
    markClean();
}

void TFrm_AddCust::ClearEdits() {
    for (QLineEdit* e : {Edit_Com, Edit_City, Edit_Address, Edit_Zip, Edit_tel, Edit_Fax, Edit_Income, Edit_Url,
                         Edit_Email})
        e->clear();
    Memo1->clear();
}

void TFrm_AddCust::LoadCustomer() {
    db::Query* q = Frm_Data->Qry_Cust;
    // Opened for editing with no customer to show: nothing to save either.
    if (!q->active() || q->currentRow() < 0) {
        ClearEdits();
        Btn_OK->setEnabled(false);
        markClean();
        return;
    }
    auto text = [q](const char* name) { return q->field(QString::fromLatin1(name)).asString(); };
    Edit_Com->setText(text("Company"));
    toolkit::setBoxText(Combo_Type, text("CustType"));
    CategoryCode = text("Category");
    toolkit::setBoxText(Combo_Country, text("Country"));
    toolkit::setBoxText(Combo_From, text("From"));
    toolkit::setBoxText(Combo_Province, text("Province"));
    Edit_City->setText(text("City"));
    Edit_Address->setText(text("Address"));
    Edit_Zip->setText(text("PostCode"));
    Edit_tel->setText(text("Tel"));
    Edit_Fax->setText(text("Fax"));
    Edit_Url->setText(text("Url"));
    Edit_Income->setText(text("Income"));
    Edit_Email->setText(text("Email"));
    Memo1->setPlainText(text("Introduce"));

    if (ownedByAnother(text("F_User"))) Btn_OK->setEnabled(false);

    db::Query* t = Frm_Data->Qry_Temp;
    t->setSql(db::Statement(QStringLiteral("Select * from category where Code=:code"))
                  .bind(QStringLiteral("code"), CategoryCode));
    t->open();
    Edit_Category->setText(t->isEmpty() ? QString() : t->field(QStringLiteral("Name")).asString());
    toolkit::showTextsFromStart(this);
    markClean();
}

void TFrm_AddCust::setColumns(db::Query* q, bool adding) {
    auto set = [q](const char* name, const QVariant& v) { q->setValue(QString::fromLatin1(name), v); };
    // Typed text is stored trimmed; but a stored text with blanks around it
    // (an imported one) is kept as it is unless its box says otherwise: a
    // save without a change changes nothing (and so does not block the
    // undo of the import).
    auto setText = [q](const char* name, const QString& shown) {
        const QString column = QString::fromLatin1(name);
        const QString stored = q->field(column).asString();
        q->setValue(column, !stored.isEmpty() && shown.trimmed() == stored.trimmed() ? stored : shown.trimmed());
    };
    setText("Company", Edit_Com->text());
    setText("CustType", Combo_Type->currentText());
    if (adding) {
        setText("Country", Combo_Country->currentText());
        set("Category", CategoryCode);
    } else {
        set("Category", CategoryCode);
        setText("Country", Combo_Country->currentText());
    }
    setText("Province", Combo_Province->currentText());
    setText("City", Edit_City->text());
    setText("Address", Edit_Address->text());
    setText("PostCode", Edit_Zip->text());
    setText("Tel", Edit_tel->text());
    setText("Fax", Edit_Fax->text());
    setText("Income", Edit_Income->text());
    setText("Email", Edit_Email->text());
    setText("Url", Edit_Url->text());
    setText("From", Combo_From->currentText());
    set("Introduce", Memo1->toPlainText());
    if (adding) {
        set("F_User", Frm_Main ? Frm_Main->UserName : QString());
        set("Date", QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    }
}

bool TFrm_AddCust::saveFields() {
    db::Query* q = Frm_Data->Qry_Cust;
    if (AddMode == 1) {
        const QString company = Edit_Com->text().trimmed();
        // "ACME" and "Acme" are one company: the test ignores letter case.
        Qry_Repeat->setSql(db::Statement(QStringLiteral("select * from custom where lower(company)=lower(:company)"))
                               .bind(QStringLiteral("company"), company, QStringLiteral("Company")));
        Qry_Repeat->open();
        if (company.isEmpty()) {
            toolkit::dialogs().message(QStringLiteral("Company not null"), QStringLiteral("warning"),
                                       toolkit::Icon::Information);
            return false;
        }
        if (!Qry_Repeat->isEmpty()) {
            toolkit::dialogs().message(QStringLiteral("Company repeat"), QStringLiteral("Warning"),
                                       toolkit::Icon::Information);
            return false;
        }
        if (!q->active()) q->open();
        q->append();
        db::postOrCancel(q, [&] { setColumns(q, true); });
        ClearEdits();
        Edit_Com->setFocus();
        // The browser's record count would otherwise lag behind the list.
        if (Frm_Custom) Frm_Custom->LoadGridColumns();
        markClean();
        return true;
    }

    // Editing needs a current customer; without one the button is disabled.
    if (!q->active() || q->currentRow() < 0) return false;
    q->edit();
    // Changed elsewhere meanwhile: the user may read it again and go on.
    return saveOrOfferReload(q, [&] { setColumns(q, false); }, [this] { LoadCustomer(); });
}

void TFrm_AddCust::Btn_OKClick() {
    // Adding keeps the dialog open for the next customer; a saved edit closes it.
    if (saveFields() && AddMode != 1) accept();
}

void TFrm_AddCust::Bit_ExitClick() { reject(); }

void TFrm_AddCust::remember(const QString& key, QComboBox* box) {
    if (AddMode != 1) return;
    // The position of the chosen item; typed text that is no item gives -1.
    int at = box->currentIndex();
    if (at < 0 || box->itemText(at) != box->currentText())
        at = box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    Frm_Data->ConfigIni->writeInteger(kLogin, key, at);
}

void TFrm_AddCust::Combo_CountryChange() { remember(QStringLiteral("Country"), Combo_Country); }
void TFrm_AddCust::Combo_ProvinceChange() { remember(QStringLiteral("Province"), Combo_Province); }
void TFrm_AddCust::Combo_TypeChange() { remember(QStringLiteral("Type"), Combo_Type); }
void TFrm_AddCust::Combo_FromChange() { remember(QStringLiteral("from"), Combo_From); }

void TFrm_AddCust::Btn_LookupClick() {
    // The category window hands its choice back through CategoryCode and Edit_Category.
    TFrm_Tree t(this);
    t.SelectFor = 1;
    toolkit::execModal(&t);
}

void TFrm_AddCust::DBNavigator1Click() { LoadCustomer(); }

void TFrm_AddCust::Btn_AddClick() {
    // The contact goes to the current customer: with a new one typed but not
    // saved yet, that would be whichever customer was current before.
    if (AddMode == 1 && fieldsChanged()) {
        toolkit::dialogs().message(QStringLiteral("Save this customer first; its contacts can be added then."),
                                   QStringLiteral("Information"), toolkit::Icon::Information);
        return;
    }
    if (Frm_Main) Frm_Main->AddContactExecute();
}

void TFrm_AddCust::Edit_UrlDblClick() {
    const QString url = Edit_Url->text().trimmed();
    if (url.isEmpty()) return;
    // An address typed without a scheme ("www.example.com") opens as a web page.
    toolkit::dialogs().openUrl(QUrl::fromUserInput(url));
}

void TFrm_AddCust::Edit_EmailDblClick() {
    toolkit::dialogs().openUrl(QUrl(QStringLiteral("mailto:") + Edit_Email->text().trimmed()));
}
