#include "customers/U_S_Cust.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QShowEvent>

#include "app/U_data.h"
#include "app/db/Statement.h"
#include "customers/U_Custom.h"
#include "customers/U_tree.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"
#include "toolkit/Modal.h"

TFrm_S_Cust* Frm_S_Cust = nullptr;

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

// "(<column> like :<name>)"; the value is bound, not written into the text.
QString contains(const QString& column, const QString& name) {
    return QStringLiteral("(") + column + QStringLiteral(" like :") + name + QStringLiteral(")");
}

}  // namespace

bool HasText(const QString& text) { return !text.isEmpty(); }

QStringList SearchSlots(const SearchCriteria& c) {
    QStringList s;
    for (int i = 0; i < 20; ++i) s << QString();
    if (HasText(c.category)) s[0] = QStringLiteral("(category like :category)");
    if (HasText(c.company)) s[1] = contains(QStringLiteral("company"), QStringLiteral("company"));
    if (HasText(c.address)) s[2] = contains(QStringLiteral("address"), QStringLiteral("address"));
    if (HasText(c.postcode)) s[3] = contains(QStringLiteral("postcode"), QStringLiteral("postcode"));
    if (HasText(c.custType)) s[5] = contains(QStringLiteral("custtype"), QStringLiteral("custtype"));
    if (HasText(c.country)) s[6] = contains(QStringLiteral("country"), QStringLiteral("country"));
    if (HasText(c.province)) s[7] = contains(QStringLiteral("province"), QStringLiteral("province"));
    // From is a keyword: unbracketed it is a syntax error.
    if (HasText(c.from)) s[8] = contains(QStringLiteral("[From]"), QStringLiteral("comefrom"));
    if (HasText(c.city)) s[9] = contains(QStringLiteral("city"), QStringLiteral("city"));
    if (HasText(c.introduce)) s[10] = contains(QStringLiteral("introduce"), QStringLiteral("introduce"));
    if (HasText(c.tel)) s[11] = contains(QStringLiteral("tel"), QStringLiteral("tel"));
    if (HasText(c.fax)) s[12] = contains(QStringLiteral("fax"), QStringLiteral("fax"));
    if (HasText(c.url)) s[14] = contains(QStringLiteral("url"), QStringLiteral("url"));
    if (HasText(c.email)) s[15] = contains(QStringLiteral("email"), QStringLiteral("email"));
    // The entry date is text in the same fixed-width form, so comparing the
    // texts compares the days.
    if (c.start) s[16] = QStringLiteral("([date]>=:start)");
    if (c.end) s[17] = QStringLiteral("([date]<=:end)");
    for (int i = 0; i < 19; ++i) s[19] += s[i];
    return s;
}

QString BuildSearchSql(const QStringList& conditions) {
    QString where;
    QString all;
    for (int i = 0; i < 19 && i < conditions.size(); ++i) {
        all += conditions[i];
        if (!conditions[i].isEmpty()) where += QStringLiteral("AND") + conditions[i];
    }
    if (all.isEmpty()) return QString();
    return QStringLiteral("select * from [custom] where ") + where.mid(3) + QStringLiteral("  ORDER BY CustID");
}

db::Statement SearchStatement(const SearchCriteria& c) {
    db::Statement st(BuildSearchSql(SearchSlots(c)));
    // The texts as typed: % and _ in them stay wildcards.
    const std::pair<const char*, const QString*> texts[] = {
        {"company", &c.company}, {"address", &c.address}, {"postcode", &c.postcode},
        {"custtype", &c.custType}, {"country", &c.country}, {"province", &c.province},
        {"comefrom", &c.from}, {"city", &c.city}, {"introduce", &c.introduce},
        {"tel", &c.tel}, {"fax", &c.fax}, {"url", &c.url}, {"email", &c.email}};
    for (const auto& [name, text] : texts)
        if (HasText(*text)) st.bind(QLatin1String(name), db::containsPattern(*text));
    // A category with everything below it.
    if (HasText(c.category)) st.bind(QStringLiteral("category"), c.category + QStringLiteral("%"));
    if (c.start) st.bind(QStringLiteral("start"), c.start->toString(kDateFormat));
    if (c.end) st.bind(QStringLiteral("end"), c.end->toString(kDateFormat));
    return st;
}

// ---- date picker ----------------------------------------------------------

TDatePicker::TDatePicker(QWidget* parent) : QWidget(parent) {
    auto* lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(4);
    CheckBox = new QCheckBox(this);
    DateEdit = new QDateEdit(QDate::currentDate(), this);
    DateEdit->setDisplayFormat(kDateFormat);
    DateEdit->setCalendarPopup(true);
    DateEdit->setEnabled(false);
    lay->addWidget(CheckBox);
    lay->addWidget(DateEdit, 1);
    setFocusProxy(DateEdit);
    // An unchecked bound is shown greyed, as it does not count.
    connect(CheckBox, &QCheckBox::toggled, DateEdit, &QWidget::setEnabled);
}

// ---- the window -----------------------------------------------------------

TFrm_S_Cust::TFrm_S_Cust(QWidget* parent)
    : QDialog(parent) {
    Frm_S_Cust = this;
    toolkit::makeFixedDialog(this, 583, 360);

    GroupBox1 = new QGroupBox(QStringLiteral("Search Condition "), this);
    GroupBox1->setGeometry(8, 6, 567, 306);

    constexpr int leftLabel = 12, leftField = 80, fieldWidth = 186;
    constexpr int rightLabel = 292, rightField = 362, rightWidth = 192;
    constexpr int top = 28, step = 34, height = 24;
    auto label = [this](const QString& text, int x, int row) {
        auto* l = new QLabel(text, GroupBox1);
        l->setGeometry(x, top + row * step, 66, height);
        return l;
    };
    auto edit = [this](int x, int w, int row) {
        auto* e = new QLineEdit(GroupBox1);
        e->setGeometry(x, top + row * step, w, height);
        return e;
    };
    auto combo = [this](int x, int w, int row) {
        auto* c = new QComboBox(GroupBox1);
        toolkit::makeTypedCombo(c);
        c->setGeometry(x, top + row * step, w, height);
        return c;
    };

    Label1 = label(QStringLiteral("Cateogry"), leftLabel, 0);
    Edit_cate = edit(leftField, fieldWidth - 28, 0);
    Edit_cate->setReadOnly(true);
    Btn_Lookup = new QToolButton(GroupBox1);
    Btn_Lookup->setIcon(toolkit::drawnIcon(QStringLiteral("lookup")));
    Btn_Lookup->setGeometry(leftField + fieldWidth - 24, top, 24, height);
    Label2 = label(QStringLiteral("Company"), rightLabel, 0);
    Edit_custname = edit(rightField, rightWidth, 0);

    Label3 = label(QStringLiteral("Address"), leftLabel, 1);
    Edit_address = edit(leftField, fieldWidth, 1);
    Label4 = label(QStringLiteral("Zip"), rightLabel, 1);
    Edit_postcode = edit(rightField, rightWidth, 1);
    Edit_postcode->setMaxLength(6);

    Label5 = label(QStringLiteral("Country"), leftLabel, 2);
    Combo_country = combo(leftField, fieldWidth, 2);
    Label6 = label(QStringLiteral("Cust Type"), rightLabel, 2);
    Combo_type = combo(rightField, rightWidth, 2);

    Label7 = label(QStringLiteral("Sate"), leftLabel, 3);
    Combo_province = combo(leftField, fieldWidth, 3);
    Label8 = label(QStringLiteral("City"), rightLabel, 3);
    Edit_city = edit(rightField, rightWidth, 3);

    Label9 = label(QStringLiteral("Introduce"), leftLabel, 4);
    Edit_intro = edit(leftField, fieldWidth, 4);
    Label10 = label(QStringLiteral("Comefrom"), rightLabel, 4);
    Combo_from = combo(rightField, rightWidth, 4);

    Label11 = label(QStringLiteral("Fax"), leftLabel, 5);
    Edit_fax = edit(leftField, fieldWidth, 5);
    Label12 = label(QStringLiteral("Tel"), rightLabel, 5);
    Edit_tel = edit(rightField, rightWidth, 5);

    Label13 = label(QStringLiteral("Email"), leftLabel, 6);
    Edit_email = edit(leftField, fieldWidth, 6);
    Label14 = label(QStringLiteral("Url"), rightLabel, 6);
    Edit_url = edit(rightField, rightWidth, 6);

    Label15 = label(QStringLiteral("Start Time"), leftLabel, 7);
    DateTimePicker1 = new TDatePicker(GroupBox1);
    DateTimePicker1->setGeometry(leftField, top + 7 * step, fieldWidth, height);
    Label16 = label(QStringLiteral("End Time"), rightLabel, 7);
    DateTimePicker2 = new TDatePicker(GroupBox1);
    DateTimePicker2->setGeometry(rightField, top + 7 * step, rightWidth, height);

    const QList<QPair<QLabel*, QWidget*>> buddies = {
        {Label1, Edit_cate},      {Label2, Edit_custname}, {Label3, Edit_address},   {Label4, Edit_postcode},
        {Label5, Combo_country},  {Label6, Combo_type},    {Label7, Combo_province}, {Label8, Edit_city},
        {Label9, Edit_intro},     {Label10, Combo_from},   {Label11, Edit_fax},      {Label12, Edit_tel},
        {Label13, Edit_email},    {Label14, Edit_url},     {Label15, DateTimePicker1},
        {Label16, DateTimePicker2}};
    for (const auto& [l, w] : buddies) l->setBuddy(w);

    btn_ok = new QPushButton(QStringLiteral("Search(&S)"), this);
    btn_ok->setIcon(toolkit::drawnIcon(QStringLiteral("search")));
    btn_ok->setGeometry(297, 322, 88, 28);
    btn_ok->setDefault(true);
    btn_reset = new QPushButton(QStringLiteral("Clear(&E)"), this);
    btn_reset->setIcon(toolkit::drawnIcon(QStringLiteral("refresh")));
    btn_reset->setGeometry(391, 322, 88, 28);
    btn_reset->setAutoDefault(false);
    btn_exit = new QPushButton(QStringLiteral("Exit(&Q)"), this);
    btn_exit->setIcon(toolkit::drawnIcon(QStringLiteral("exit")));
    btn_exit->setGeometry(485, 322, 88, 28);
    btn_exit->setAutoDefault(false);

    connect(btn_ok, &QPushButton::clicked, this, [this] { toolkit::guarded([this] { btn_okClick(); }); });
    connect(btn_reset, &QPushButton::clicked, this, [this] { toolkit::guarded([this] { btn_resetClick(); }); });
    connect(btn_exit, &QPushButton::clicked, this, [this] { btn_exitClick(); });
    connect(Btn_Lookup, &QToolButton::clicked, this, [this] { toolkit::guarded([this] { Btn_LookupClick(); }); });

    toolkit::centreOnScreen(this);
    toolkit::guarded([this] { FormCreate(); });
}

TFrm_S_Cust::~TFrm_S_Cust() {
    if (Frm_S_Cust == this) Frm_S_Cust = nullptr;
}

void TFrm_S_Cust::FormCreate() {
    setWindowTitle(QStringLiteral("Customer Search"));
    DateTimePicker2->setDate(QDate::currentDate());
    DateTimePicker2->setChecked(false);
    if (!Frm_Data) return;
    Frm_Data->FillComboByName(Frm_Data->Qry_Type, Combo_type, QStringLiteral("type"));
    Frm_Data->FillComboByName(Frm_Data->Qry_From, Combo_from, QStringLiteral("custfrom"));
    Frm_Data->FillComboByName(Frm_Data->Qry_Country, Combo_country, QStringLiteral("country"));
    Frm_Data->FillComboByName(Frm_Data->Qry_Province, Combo_province, QStringLiteral("province"));
}

void TFrm_S_Cust::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    toolkit::formShowEachTime(e, [this] { FormShow(); });
}

void TFrm_S_Cust::FormShow() { ClearConditions(); }

void TFrm_S_Cust::btn_resetClick() { ClearConditions(); }

void TFrm_S_Cust::ClearConditions() {
    for (QLineEdit* e : {Edit_cate, Edit_custname, Edit_address, Edit_postcode, Edit_city, Edit_intro, Edit_tel,
                         Edit_fax, Edit_email, Edit_url})
        e->clear();
    for (QComboBox* c : {Combo_province, Combo_type, Combo_country, Combo_from}) {
        c->setCurrentIndex(-1);
        c->clearEditText();
    }
    // The date bounds keep their dates and check marks.
}

SearchCriteria TFrm_S_Cust::criteria() const {
    SearchCriteria c;
    c.category = Edit_cate->text();
    c.company = Edit_custname->text();
    c.address = Edit_address->text();
    c.postcode = Edit_postcode->text();
    c.custType = Combo_type->currentText();
    c.country = Combo_country->currentText();
    c.province = Combo_province->currentText();
    c.from = Combo_from->currentText();
    c.city = Edit_city->text();
    c.introduce = Edit_intro->text();
    c.tel = Edit_tel->text();
    c.fax = Edit_fax->text();
    c.url = Edit_url->text();
    c.email = Edit_email->text();
    if (DateTimePicker1->checked()) c.start = DateTimePicker1->date();
    if (DateTimePicker2->checked()) c.end = DateTimePicker2->date();
    return c;
}

void TFrm_S_Cust::btn_okClick() {
    const db::Statement sql = SearchStatement(criteria());
    if (sql.text().isEmpty()) {
        toolkit::showMessage(QStringLiteral("No condition !"));
        return;
    }
    db::Query* cust = Frm_Data->Qry_Cust;
    // A refused statement throws out of open(): the list stays closed and
    // the dialog open, and the caller's guard shows the engine's text.
    cust->close();
    cust->setSql(sql);
    cust->prepare();
    cust->open();
    if (Frm_Custom) Frm_Custom->LoadGridColumns();
    accept();
}

void TFrm_S_Cust::btn_exitClick() { close(); }

void TFrm_S_Cust::Btn_LookupClick() {
    if (Frm_Tree) return;
    QPointer<TFrm_Tree> tree = new TFrm_Tree(this);
    tree->SelectFor = 2;
    struct Release {
        QPointer<TFrm_Tree>& t;
        ~Release() { delete t.data(); }
    } release{tree};
    toolkit::execModal(tree);
}
