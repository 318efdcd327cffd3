#include "customers/U_tree.h"

#include <QHeaderView>
#include <QShowEvent>

#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/EditLimits.h"
#include "app/db/Statement.h"
#include "customers/U_Custom.h"
#include "customers/U_S_Cust.h"
#include "customers/U_addcust.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"

TFrm_Tree* Frm_Tree = nullptr;

namespace {

const QString kSelectAll = QStringLiteral("select * from category order by code");

db::Statement categoryWhereCode(const QString& code) {
    return db::Statement(QStringLiteral("select * from category where code=:code"))
        .bind(QStringLiteral("code"), code, QStringLiteral("Code"));
}

int nodeDepth(const QTreeWidgetItem* node) {
    int depth = 0;
    for (const QTreeWidgetItem* p = node ? node->parent() : nullptr; p; p = p->parent()) ++depth;
    return depth;
}

bool onlyDigits(const QString& text) {
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

}  // namespace

// ---- code rules and the tree filler ---------------------------------------

int CodeLevel(const QString& pattern, const QString& code) {
    if (pattern.isEmpty() || code.isEmpty()) return -1;
    int sum = 0;
    for (int n = 0; n < pattern.size(); ++n) {
        sum += pattern[n].digitValue();
        if (sum == code.size()) return n + 1;
    }
    return -1;
}

bool IsNumber(const QString& text) {
    if (text.isEmpty()) return true;
    bool ok = false;
    text.toInt(&ok);
    return ok;
}

QString NodeCode(const QTreeWidgetItem* node) {
    if (!node) return QString();
    return node->text(0).left(2 * nodeDepth(node));
}

namespace {
// A node shows "code-name"; its tooltip shows both in full, as deep levels
// are wider than the tree.
void setNodeText(QTreeWidgetItem* node, const QString& code, const QString& name) {
    node->setText(0, code + QLatin1Char('-') + name);
    node->setToolTip(0, name + QStringLiteral(" (") + code + QLatin1Char(')'));
}
}  // namespace

void FillCategoryTree(QTreeWidget* tree) {
    if (!tree || !Frm_Data) return;
    // Deep categories run past the tree's right edge: the tree scrolls
    // sideways instead of cutting their names.
    tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tree->header()->setStretchLastSection(false);
    db::Query* q = Frm_Data->Qry_HY;
    q->close();
    q->setSql(kSelectAll);
    q->open();

    tree->clear();
    auto* root = new QTreeWidgetItem(tree, QStringList(Frm_Main ? Frm_Main->RootCategory : QString()));
    // The last node added at each level; rows come in code order, so a
    // row's parent, when it exists, is the last node one level up.
    QTreeWidgetItem* last[7] = {root, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    QString lastCode[7];
    for (q->first(); !q->eof(); q->next()) {
        const QString code = q->asString(QStringLiteral("code")).trimmed();
        const QString name = q->asString(QStringLiteral("name")).trimmed();
        const int level = CodeLevel(CategoryPattern, code);
        if (level < 1) continue;
        // A row whose parent is missing is left out (with everything below
        // it) rather than hung under an unrelated category.
        QTreeWidgetItem* parent = last[level - 1];
        if (!parent || (level > 1 && lastCode[level - 1] != code.left(code.size() - 2))) continue;
        auto* node = new QTreeWidgetItem(parent);
        setNodeText(node, code, name);
        last[level] = node;
        lastCode[level] = code;
    }
    root->setExpanded(true);
}

// ---- the window -----------------------------------------------------------

TFrm_Tree::TFrm_Tree(QWidget* parent)
    : QDialog(parent) {
    Frm_Tree = this;
    toolkit::makeFixedDialog(this, 464, 298);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setGeometry(0, 0, 464, 40);
    ToolBar1->setMovable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    auto button = [this](const QString& caption, const QString& icon) {
        auto* b = new QToolButton(ToolBar1);
        b->setText(caption);
        b->setIcon(toolkit::drawnIcon(icon));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        // 44 x 36, wider only where a caption would otherwise be cut.
        b->setFixedSize(qMax(44, b->sizeHint().width()), 36);
        ToolBar1->addWidget(b);
        return b;
    };
    tb_add = button(QStringLiteral("Add"), QStringLiteral("add"));
    tb_edit = button(QStringLiteral("Edit"), QStringLiteral("edit"));
    tb_del = button(QStringLiteral("Delete"), QStringLiteral("delete"));
    ToolBar1->addSeparator();
    tb_result = button(QStringLiteral("Refresh"), QStringLiteral("refresh"));
    ToolBar1->addSeparator();
    ToolButton1 = button(QStringLiteral("Select"), QStringLiteral("select"));
    tb_close = button(QStringLiteral("Exit"), QStringLiteral("exit"));

    TreeView1 = new QTreeWidget(this);
    TreeView1->setGeometry(0, 40, 217, 258);
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);

    Label1 = new QLabel(QStringLiteral("Code"), this);
    Label1->setGeometry(232, 72, 44, 22);
    Edit_code = new QLineEdit(this);
    Edit_code->setGeometry(280, 72, 168, 24);
    Edit_code->setMaxLength(11);
    Label2 = new QLabel(QStringLiteral("Name:"), this);
    Label2->setGeometry(232, 112, 44, 22);
    Edit_name = new QLineEdit(this);
    Edit_name->setGeometry(280, 112, 168, 24);
    Label1->setBuddy(Edit_code);
    Label2->setBuddy(Edit_name);
    Edit_code->setEnabled(false);
    Edit_name->setEnabled(false);

    btn_save = new QPushButton(QStringLiteral("Save(&S)"), this);
    btn_save->setIcon(toolkit::drawnIcon(QStringLiteral("save")));
    btn_save->setGeometry(280, 160, 80, 28);
    btn_save->setDefault(true);
    btn_save->setEnabled(false);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel(&C)"), this);
    BitBtn2->setIcon(toolkit::drawnIcon(QStringLiteral("cancel")));
    BitBtn2->setGeometry(368, 160, 80, 28);
    BitBtn2->setAutoDefault(false);

    toolkit::onClick(tb_add, this, &TFrm_Tree::tb_addClick);
    toolkit::onClick(tb_edit, this, &TFrm_Tree::tb_editClick);
    toolkit::onClick(tb_del, this, &TFrm_Tree::tb_delClick);
    toolkit::onClick(tb_result, this, &TFrm_Tree::tb_resultClick);
    toolkit::onClick(ToolButton1, this, &TFrm_Tree::ToolButton1Click);
    toolkit::onClick(tb_close, this, &TFrm_Tree::tb_closeClick);
    toolkit::onClick(btn_save, this, &TFrm_Tree::btn_saveClick);
    toolkit::onClick(BitBtn2, this, &TFrm_Tree::BitBtn2Click);
    connect(TreeView1, &QTreeWidget::itemClicked, this,
            [this] { toolkit::guarded([this] { TreeView1Click(); }); });
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this,
            [this] { toolkit::guarded([this] { TreeView1DblClick(); }); });

    toolkit::centreOnScreen(this);
    limitToColumns(Frm_Data->Connection, QStringLiteral("category"), {{Edit_name, QStringLiteral("name")}});
    toolkit::guarded([this] { FormCreate(); });
}

TFrm_Tree::~TFrm_Tree() {
    if (Frm_Tree == this) Frm_Tree = nullptr;
}

void TFrm_Tree::FormCreate() {
    Edit_code->clear();
    Edit_name->clear();
    setWindowTitle(QStringLiteral("Customer Category"));
    if (!Frm_Data) return;
    // The window's own queries work on the one shared connection.
    Qry_repeat = new db::Query(Frm_Data->Connection, this);
    Qry = new db::Query(Frm_Data->Connection, this);
    Qry_del = new db::Query(Frm_Data->Connection, this);
    FillCategoryTree(TreeView1);
}

void TFrm_Tree::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) closing_ = false;
}

void TFrm_Tree::done(int r) {
    if (!closing_) {
        closing_ = true;
        toolkit::guarded([this] { FormClose(); });
    }
    QDialog::done(r);
}

void TFrm_Tree::FormClose() {
    if (!Changed || !Frm_Custom) return;
    Frm_Custom->TreeView1->setFocus();
    FillCategoryTree(Frm_Custom->TreeView1);
}

QTreeWidgetItem* TFrm_Tree::selectedNode() const {
    const QList<QTreeWidgetItem*> sel = TreeView1->selectedItems();
    return sel.isEmpty() ? nullptr : sel.first();
}

void TFrm_Tree::loadNode(QTreeWidgetItem* node) {
    const int k = nodeDepth(node);
    if (!node || k < 1 || k > 5) return;
    const QString text = node->text(0);
    Edit_code->setText(text.left(2 * k));
    Edit_name->setText(text.mid(2 * k + 1));
}

void TFrm_Tree::TreeView1Click() { loadNode(selectedNode()); }

void TFrm_Tree::TreeView1DblClick() { ToolButton1Click(); }

void TFrm_Tree::tb_addClick() {
    AddMode = true;
    tb_edit->setEnabled(true);
    tb_add->setEnabled(false);
    btn_save->setEnabled(true);
    Edit_code->setEnabled(true);
    Edit_name->setEnabled(true);
    Edit_code->setFocus();
}

void TFrm_Tree::tb_editClick() {
    AddMode = false;
    tb_edit->setEnabled(false);
    tb_add->setEnabled(true);
    btn_save->setEnabled(true);
    Edit_name->setEnabled(true);
    // A code never changes, even when "Add" had opened the field before.
    Edit_code->setEnabled(false);
    Edit_name->setFocus();
}

void TFrm_Tree::BitBtn2Click() {
    btn_save->setEnabled(false);
    AddMode = false;
    tb_add->setEnabled(true);
    tb_edit->setEnabled(true);
}

void TFrm_Tree::toIdle() {
    tb_add->setEnabled(true);
    tb_edit->setEnabled(true);
    btn_save->setEnabled(false);
    Edit_code->setEnabled(false);
    Edit_name->setEnabled(false);
}

void TFrm_Tree::tb_resultClick() { FillCategoryTree(TreeView1); }

void TFrm_Tree::tb_closeClick() { close(); }

void TFrm_Tree::btn_saveClick() {
    Changed = true;
    if (AddMode)
        addCategory();
    else
        renameCategory();
}

void TFrm_Tree::addCategory() {
    // Whatever the outcome, "Add" must be pressed again for another try.
    toIdle();
    const QString typed = Edit_code->text();
    // Codes are plain digits: a sign or blanks would pass the integer test
    // but give a code that no level or prefix match can use.
    if (!IsNumber(typed) || !onlyDigits(typed)) {
        toolkit::showMessage(QStringLiteral("The Code must be number"));
        return;
    }
    if (CodeLevel(CategoryPattern, typed) < 1) {
        toolkit::showMessage(QStringLiteral("Code  error!"));
        return;
    }
    const QString code = typed.trimmed();
    Qry_repeat->close();
    Qry_repeat->setSql(categoryWhereCode(code));
    Qry_repeat->open();
    Qry->close();
    Qry->setSql(categoryWhereCode(code.left(code.size() - 2)));
    Qry->open();
    if (!Qry_repeat->isEmpty()) {
        toolkit::showMessage(QStringLiteral("Code Repeat!"));
        return;
    }
    if (code.size() != 2 && Qry->isEmpty()) {
        toolkit::showMessage(QStringLiteral("Code error,Parent not exist!"));
        return;
    }
    db::Query* hy = Frm_Data->Qry_HY;
    // Qry_HY is shared; make sure it is on the category table before appending.
    hy->close();
    hy->setSql(kSelectAll);
    hy->open();
    hy->append();
    hy->setValue(QStringLiteral("code"), code);
    hy->setValue(QStringLiteral("name"), Edit_name->text().trimmed());
    hy->post();
    FillCategoryTree(TreeView1);
}

void TFrm_Tree::renameCategory() {
    if (TreeView1->topLevelItemCount() == 0) return;
    QTreeWidgetItem* node = selectedNode();
    toIdle();
    // Only a category node whose code is the one in the form is renamed: with
    // nothing or the root selected, or the form showing another code than the
    // selection (a failed add, a keyboard move), nothing is written.
    if (!node || !node->parent()) return;
    const QString code = Edit_code->text().trimmed();
    if (code != NodeCode(node)) return;
    db::Query* hy = Frm_Data->Qry_HY;
    hy->close();
    hy->setSql(categoryWhereCode(code));
    hy->open();
    if (hy->isEmpty()) return;
    const QString name = Edit_name->text().trimmed();
    hy->edit();
    hy->setValue(QStringLiteral("name"), name);
    hy->post();
    setNodeText(node, code, name);
}

QString TFrm_Tree::categoryInUseText(qlonglong customers) {
    return QStringLiteral("%1 customer(s) are filed under this category. File them under another category "
                          "first; deleted, it would leave them under a category that no longer exists.")
        .arg(customers);
}

void TFrm_Tree::tb_delClick() {
    Changed = true;
    QTreeWidgetItem* node = selectedNode();
    if (!node) return;
    if (node->childCount() > 0) {
        toolkit::showMessage(
            QStringLiteral("Dont delete has child directory，Please delete child directory first!"));
        return;
    }
    // The root stands for all categories; it is no row of its own.
    if (!node->parent()) return;
    // Customers filed under it would keep a code that names nothing.
    Qry_del->setSql(db::Statement(QStringLiteral("select count(*) from custom where Category=:code"))
                        .bind(QStringLiteral("code"), NodeCode(node)));
    Qry_del->open();
    const qlonglong filed = Qry_del->field(0).asInteger();
    Qry_del->close();
    if (filed > 0) {
        toolkit::dialogs().message(categoryInUseText(filed), QStringLiteral("Confirm"), toolkit::Icon::Information);
        return;
    }
    if (toolkit::dialogs().message(QStringLiteral("Are you sure delete this directory?"), QStringLiteral("Confirm"),
                                   toolkit::Icon::Question, QMessageBox::Ok | QMessageBox::Cancel)
        != QMessageBox::Ok)
        return;
    // The row deleted is the one of the node taken out of the tree, whatever
    // the code field shows; the row goes first so a refused delete leaves the
    // tree as it was.
    Qry_del->setSql(db::Statement(QStringLiteral("delete from category where code=:code"))
                        .bind(QStringLiteral("code"), NodeCode(node)));
    Qry_del->execSql();
    delete node;
    if (TreeView1->topLevelItemCount() == 0) return;
    if (QTreeWidgetItem* now = TreeView1->currentItem()) {
        now->setSelected(true);
        loadNode(now);
    }
}

void TFrm_Tree::ToolButton1Click() {
    switch (SelectFor) {
    case 1:
        if (Frm_AddCust) {
            Frm_AddCust->CategoryCode = Edit_code->text().trimmed();
            Frm_AddCust->Edit_Category->setText(Edit_name->text());
        }
        if (Frm_Data) {
            Frm_Data->ConfigIni->writeString(QStringLiteral("login"), QStringLiteral("Category"), Edit_name->text());
            Frm_Data->ConfigIni->writeString(QStringLiteral("login"), QStringLiteral("CateCode"), Edit_code->text());
        }
        break;
    case 2:
        if (Frm_S_Cust) Frm_S_Cust->Edit_cate->setText(Edit_code->text());
        break;
    default:
        break;
    }
    close();
}
