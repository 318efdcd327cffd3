#include "activities/U_AddSale.h"

#include <QRegularExpressionValidator>
#include <QShowEvent>

#include "activities/ActivityCommon.h"
#include "activities/SaleData.h"
#include "app/EditLimits.h"
#include "app/SaveRow.h"
#include "app/U_data.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"

using namespace activities;

namespace {

constexpr int kFieldH = 22;

QLabel* fieldLabel(QWidget* parent, const QString& text, int y) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(8, y, 56, kFieldH);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

void buttons(QDialog* d, QPushButton*& ok, QPushButton*& exit, int w, int y) {
    ok = new QPushButton(QStringLiteral("新增(&A)"), d);
    ok->setObjectName(QStringLiteral("Btn_OK"));
    ok->setGeometry(w - 192, y, 88, 28);
    ok->setIcon(toolkit::drawnIcon(QStringLiteral("save")));
    ok->setDefault(true);
    exit = new QPushButton(QStringLiteral("退出(&Q)"), d);
    exit->setObjectName(QStringLiteral("Btn_Exit"));
    exit->setGeometry(w - 96, y, 88, 28);
    exit->setIcon(toolkit::drawnIcon(QStringLiteral("exit")));
    exit->setAutoDefault(false);
}

void refuse(const QString& text, QWidget* focus) {
    toolkit::dialogs().message(text, QString(), toolkit::Icon::Information);
    focus->setFocus();
}

}  // namespace

// ---- TFrm_AddSale ---------------------------------------------------------------

TFrm_AddSale::TFrm_AddSale(db::Query* sales, QWidget* parent) : toolkit::EditorDialog(parent), sales_(sales) {
    setObjectName(QStringLiteral("Frm_AddSale"));
    constexpr int w = 440, h = 292;
    toolkit::makeFixedDialog(this, w, h);
    setFont(windowFont());
    GroupBox1 = new QGroupBox(QStringLiteral(" 销售 "), this);
    GroupBox1->setGeometry(8, 4, w - 16, 240);
    Label1 = fieldLabel(GroupBox1, QStringLiteral("客户"), 24);
    Combo_Cust = new QComboBox(GroupBox1);
    Combo_Cust->setObjectName(QStringLiteral("Combo_Cust"));
    Combo_Cust->setGeometry(70, 24, 340, kFieldH);
    Customers = new CustomerBox(Combo_Cust, Frm_Data->Connection);
    Label2 = fieldLabel(GroupBox1, QStringLiteral("日期"), 56);
    DateTimePicker1 = new QDateEdit(QDate::currentDate(), GroupBox1);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    DateTimePicker1->setGeometry(70, 56, 130, kFieldH);
    Label3 = fieldLabel(GroupBox1, QStringLiteral("单号"), 88);
    Edit_No = new QLineEdit(GroupBox1);
    Edit_No->setObjectName(QStringLiteral("Edit_No"));
    Edit_No->setGeometry(70, 88, 200, kFieldH);
    Label4 = fieldLabel(GroupBox1, QStringLiteral("备注"), 120);
    Label4->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label4->setContentsMargins(0, 3, 0, 0);
    Memo1 = new QPlainTextEdit(GroupBox1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(70, 120, 340, 106);
    Memo1->setTabChangesFocus(true);
    Label1->setBuddy(Combo_Cust);
    Label2->setBuddy(DateTimePicker1);
    Label3->setBuddy(Edit_No);
    Label4->setBuddy(Memo1);
    buttons(this, Btn_OK, Btn_Exit, w, 254);
    toolkit::setTabOrder({Combo_Cust, DateTimePicker1, Edit_No, Memo1, Btn_OK, Btn_Exit});
    setSaveButton(Btn_OK);
    toolkit::onClick(Btn_OK, this, &TFrm_AddSale::Btn_OKClick);
    toolkit::onClick(Btn_Exit, this, &TFrm_AddSale::Btn_ExitClick);
    toolkit::centreOnScreen(this);
}

void TFrm_AddSale::showEvent(QShowEvent* e) {
    toolkit::EditorDialog::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

void TFrm_AddSale::FormShow() {
    limitToColumns(Frm_Data->Connection, QStringLiteral("T_Sale"),
                   {{Combo_Cust, QStringLiteral("Company")}, {Edit_No, QStringLiteral("SaleNo")}});
    const bool some = sales_->active() && sales_->currentRow() >= 0;
    if (AddMode || !some) {
        setWindowTitle(AddMode ? QStringLiteral("新建销售") : QStringLiteral("编辑销售"));
        Btn_OK->setText(AddMode ? QStringLiteral("新增(&A)") : QStringLiteral("保存(&A)"));
        Btn_OK->setEnabled(AddMode);
        Customers->setCustomer(-1, QString());
        DateTimePicker1->setDate(QDate::currentDate());
    } else {
        setWindowTitle(QStringLiteral("编辑销售"));
        Btn_OK->setText(QStringLiteral("保存(&A)"));
        loadSale();
    }
    Combo_Cust->setFocus();
    markClean();
}

void TFrm_AddSale::loadSale() {
    if (!sales_->active() || sales_->currentRow() < 0) return;
    const db::Field cust = sales_->field(QStringLiteral("CustID"));
    Customers->setCustomer(cust.isNull() ? -1 : cust.asInteger(), sales_->field(QStringLiteral("Company")).asString());
    const QDateTime when = sales_->field(QStringLiteral("SaleDate")).asDateTime();
    DateTimePicker1->setDate(when.isValid() ? when.date() : QDate::currentDate());
    Edit_No->setText(sales_->field(QStringLiteral("SaleNo")).asString());
    Memo1->setPlainText(sales_->field(QStringLiteral("Note")).asString());
    markClean();
}

bool TFrm_AddSale::saveFields() {
    qlonglong custId = Customers->custId();
    if (custId < 0) custId = customerIdOf(Frm_Data->Connection, Combo_Cust->currentText());
    if (custId < 0) {
        refuse(Combo_Cust->currentText().isEmpty()
                   ? QStringLiteral("请选择客户!")
                   : QStringLiteral("没有名为“%1”的客户：请从列表中选择客户!").arg(Combo_Cust->currentText()),
               Combo_Cust);
        return false;
    }
    if (AddMode) {
        if (!sales_->active()) sales_->open();
        sales_->append();
    } else {
        if (!sales_->active() || sales_->currentRow() < 0) return false;
        sales_->edit();
    }
    // Changed elsewhere meanwhile: the user may read it again and go on.
    return saveOrOfferReload(sales_, [&] {
        sales_->setValue(QStringLiteral("CustID"), custId);
        sales_->setValue(QStringLiteral("Company"), Combo_Cust->currentText());
        sales_->setValue(QStringLiteral("SaleDate"), DateTimePicker1->date());
        sales_->setValue(QStringLiteral("SaleNo"), Edit_No->text());
        sales_->setValue(QStringLiteral("Note"), Memo1->toPlainText());
        if (AddMode) {
            sales_->setValue(QStringLiteral("Total"), 0.0);
            sales_->setValue(QStringLiteral("F_User"), userName());
        }
    }, [this] { loadSale(); });
}

void TFrm_AddSale::Btn_OKClick() {
    if (saveFields()) accept();
}

void TFrm_AddSale::Btn_ExitClick() { reject(); }

// ---- TFrm_AddSaleLine ---------------------------------------------------------------

TFrm_AddSaleLine::TFrm_AddSaleLine(db::Query* sales, db::Query* lines, QWidget* parent)
    : toolkit::EditorDialog(parent), sales_(sales), lines_(lines) {
    setObjectName(QStringLiteral("Frm_AddSaleLine"));
    constexpr int w = 400, h = 210;
    toolkit::makeFixedDialog(this, w, h);
    setFont(windowFont());
    GroupBox1 = new QGroupBox(QStringLiteral(" 销售明细 "), this);
    GroupBox1->setGeometry(8, 4, w - 16, 158);
    Label1 = fieldLabel(GroupBox1, QStringLiteral("产品"), 24);
    Edit_Product = new QLineEdit(GroupBox1);
    Edit_Product->setObjectName(QStringLiteral("Edit_Product"));
    Edit_Product->setGeometry(70, 24, 300, kFieldH);
    Label2 = fieldLabel(GroupBox1, QStringLiteral("数量"), 56);
    Edit_Quantity = new QLineEdit(GroupBox1);
    Edit_Quantity->setObjectName(QStringLiteral("Edit_Quantity"));
    Edit_Quantity->setGeometry(70, 56, 120, kFieldH);
    Edit_Quantity->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("-?\\d{0,6}(\\.\\d{0,4})?")), Edit_Quantity));
    Label3 = fieldLabel(GroupBox1, QStringLiteral("单价"), 88);
    Edit_Price = new QLineEdit(GroupBox1);
    Edit_Price->setObjectName(QStringLiteral("Edit_Price"));
    Edit_Price->setGeometry(70, 88, 120, kFieldH);
    Edit_Price->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\d{0,8}(\\.\\d{0,4})?")), Edit_Price));
    Label4 = fieldLabel(GroupBox1, QStringLiteral("金额"), 120);
    Edit_Amount = new QLineEdit(GroupBox1);
    Edit_Amount->setObjectName(QStringLiteral("Edit_Amount"));
    Edit_Amount->setGeometry(70, 120, 120, kFieldH);
    Edit_Amount->setReadOnly(true);
    Edit_Amount->setFocusPolicy(Qt::NoFocus);
    Label1->setBuddy(Edit_Product);
    Label2->setBuddy(Edit_Quantity);
    Label3->setBuddy(Edit_Price);
    buttons(this, Btn_OK, Btn_Exit, w, 172);
    toolkit::setTabOrder({Edit_Product, Edit_Quantity, Edit_Price, Btn_OK, Btn_Exit});
    setSaveButton(Btn_OK);
    toolkit::onClick(Btn_OK, this, &TFrm_AddSaleLine::Btn_OKClick);
    toolkit::onClick(Btn_Exit, this, &TFrm_AddSaleLine::Btn_ExitClick);
    connect(Edit_Quantity, &QLineEdit::textChanged, this, &TFrm_AddSaleLine::ShowAmount);
    connect(Edit_Price, &QLineEdit::textChanged, this, &TFrm_AddSaleLine::ShowAmount);
    toolkit::centreOnScreen(this);
}

void TFrm_AddSaleLine::showEvent(QShowEvent* e) {
    toolkit::EditorDialog::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

void TFrm_AddSaleLine::FormShow() {
    limitToColumns(Frm_Data->Connection, QStringLiteral("T_SaleLine"), {{Edit_Product, QStringLiteral("Product")}});
    const bool some = lines_->active() && lines_->currentRow() >= 0;
    setWindowTitle(AddMode ? QStringLiteral("新建销售明细") : QStringLiteral("编辑销售明细"));
    Btn_OK->setText(AddMode ? QStringLiteral("新增(&A)") : QStringLiteral("保存(&A)"));
    if (AddMode || !some) {
        Btn_OK->setEnabled(AddMode);
        clearEntry();
    } else {
        loadLine();
    }
    Edit_Product->setFocus();
    markClean();
}

void TFrm_AddSaleLine::loadLine() {
    if (!lines_->active() || lines_->currentRow() < 0) return;
    Edit_Product->setText(lines_->field(QStringLiteral("Product")).asString());
    Edit_Product->setCursorPosition(0);
    Edit_Quantity->setText(
        decimalText(unitsOf(lines_->field(QStringLiteral("Quantity")).asFloat(), kQuantityPlaces), kQuantityPlaces));
    Edit_Price->setText(
        decimalText(unitsOf(lines_->field(QStringLiteral("Price")).asFloat(), kPricePlaces), kPricePlaces));
    markClean();
}

void TFrm_AddSaleLine::clearEntry() {
    Edit_Product->clear();
    Edit_Quantity->setText(QStringLiteral("1"));
    Edit_Price->clear();
    ShowAmount();
}

void TFrm_AddSaleLine::ShowAmount() {
    qint64 q = 0, p = 0;
    const bool ok = parseDecimal(Edit_Quantity->text(), kQuantityPlaces, &q) &&
                    parseDecimal(Edit_Price->text(), kPricePlaces, &p);
    Edit_Amount->setText(ok ? decimalText(lineAmountCents(q, p), 2, true) : QString());
}

bool TFrm_AddSaleLine::saveFields() {
    qint64 quantity = 0, price = 0;
    if (Edit_Product->text().trimmed().isEmpty()) {
        refuse(QStringLiteral("产品不能为空!"), Edit_Product);
        return false;
    }
    if (!parseDecimal(Edit_Quantity->text(), kQuantityPlaces, &quantity) || quantity > kMaxQuantity ||
        quantity < -kMaxQuantity) {
        refuse(QStringLiteral("数量必须是数字，最多 %1，小数最多 %2 位!")
                   .arg(decimalText(kMaxQuantity, kQuantityPlaces))
                   .arg(kQuantityPlaces),
               Edit_Quantity);
        return false;
    }
    if (!parseDecimal(Edit_Price->text(), kPricePlaces, &price) || price < 0 || price > kMaxPrice) {
        refuse(QStringLiteral("单价必须是不小于 0 的数字，最多 %1，小数最多 %2 位!")
                   .arg(decimalText(kMaxPrice, kPricePlaces))
                   .arg(kPricePlaces),
               Edit_Price);
        return false;
    }
    const qint64 amount = lineAmountCents(quantity, price);
    if (amount > kMaxLineAmount || amount < -kMaxLineAmount) {
        refuse(QStringLiteral("金额 %1 超出范围：一条明细的金额最多为 %2。请减少数量或单价。")
                   .arg(decimalText(amount, 2, true), decimalText(kMaxLineAmount, 2, true)),
               Edit_Quantity);
        return false;
    }
    if (!sales_->active() || sales_->currentRow() < 0) {
        refuse(QStringLiteral("请先选择一笔销售!"), Edit_Product);
        return false;
    }
    if (!AddMode && (!lines_->active() || lines_->currentRow() < 0)) return false;
    const qlonglong saleId = sales_->field(QStringLiteral("SaleID")).asInteger();
    try {
        changeLines(Frm_Data->Connection, sales_, lines_, [&] {
            if (AddMode) lines_->append();
            else lines_->edit();
            db::postOrCancel(lines_, [&] {
                lines_->setValue(QStringLiteral("SaleID"), saleId);
                lines_->setValue(QStringLiteral("Product"), Edit_Product->text());
                lines_->setValue(QStringLiteral("Quantity"), storedValue(quantity, kQuantityPlaces));
                lines_->setValue(QStringLiteral("Price"), storedValue(price, kPricePlaces));
                lines_->setValue(QStringLiteral("Amount"), storedValue(amount, 2));
            });
        });
    } catch (const db::ConflictError& e) {
        // Changed elsewhere meanwhile: the lists were read again; the user
        // may take the line as it is stored now and go on.
        if (offerReload(e, lines_)) loadLine();
        return false;
    }
    if (AddMode) {
        // Ready for the next line of the same sale.
        clearEntry();
        Edit_Product->setFocus();
        markClean();
    }
    return true;
}

void TFrm_AddSaleLine::Btn_OKClick() {
    if (saveFields() && !AddMode) accept();
}

void TFrm_AddSaleLine::Btn_ExitClick() { reject(); }
