#include "admin/U_adduser.h"

#include <QHeaderView>
#include <QSignalBlocker>

#include "app/U_data.h"
#include "app/EditLimits.h"
#include "app/db/Statement.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"

TFrm_AddUser* Frm_AddUser = nullptr;

namespace {
const QString kSelectAll = QStringLiteral("select * from admin");
const int kRawName = Qt::UserRole;  // the stored name behind a node's trimmed text
}  // namespace

TFrm_AddUser::TFrm_AddUser(QWidget* parent)
    : QDialog(parent) {
    Frm_AddUser = this;
    toolkit::makeFixedDialog(this, 391, 243);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolBar1->setGeometry(0, 0, 391, 30);
    ToolBar1->addSeparator();
    ToolButton1 = toolkit::addToolButton(ToolBar1, QStringLiteral("Add "), QStringLiteral("add"));
    ToolButton2 = toolkit::addToolButton(ToolBar1, QStringLiteral("Edit"), QStringLiteral("edit"));
    ToolButton4 = toolkit::addToolButton(ToolBar1, QStringLiteral("Delete"), QStringLiteral("delete"));
    ToolBar1->addSeparator();
    ToolButton6 = toolkit::addToolButton(ToolBar1, QStringLiteral("Refresh"), QStringLiteral("refresh"));
    ToolBar1->addSeparator();
    ToolButton7 = toolkit::addToolButton(ToolBar1, QStringLiteral("Exit"), QStringLiteral("exit"));

    TreeView1 = new QTreeWidget(this);
    TreeView1->setGeometry(0, 31, 150, 243 - 31);
    TreeView1->setHeaderHidden(true);
    TreeView1->setRootIsDecorated(false);
    TreeView1->setIndentation(4);
    TreeView1->setIconSize(QSize(16, 16));
    // The chosen user stays marked while the editor has the focus.
    QPalette pal = TreeView1->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    TreeView1->setPalette(pal);

    const int lx = 164, ex = 232, ew = 148;
    Label1 = new QLabel(QStringLiteral("Username"), this);
    Label1->setGeometry(lx, 52, 66, 22);
    Edit_username = new QLineEdit(this);
    Edit_username->setGeometry(ex, 51, ew, 24);
    Label2 = new QLabel(QStringLiteral("权  限"), this);
    Label2->setGeometry(lx, 88, 66, 22);
    ComboBox1 = new QComboBox(this);
    {
        // Typed text chooses no entry of the permission list, whatever it reads.
        // The combo box picks the entry that finished text matches; these two
        // handlers, around its own, take that back.
        auto* edit = new QLineEdit(ComboBox1);
        connect(edit, &QLineEdit::editingFinished, this, [this] { finishing_ = true; });
        ComboBox1->setLineEdit(edit);
        connect(edit, &QLineEdit::editingFinished, this, [this] { finishing_ = false; });
    }
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setCompleter(nullptr);
    ComboBox1->addItems({QStringLiteral("超级用户"), QStringLiteral("普通用户")});
    ComboBox1->setGeometry(ex, 87, ew, 24);
    Label3 = new QLabel(QStringLiteral("Password"), this);
    Label3->setGeometry(lx, 124, 66, 22);
    Edit_pass = new QLineEdit(this);
    Edit_pass->setGeometry(ex, 123, ew, 24);
    Label1->setBuddy(Edit_username);
    Label2->setBuddy(ComboBox1);
    Label3->setBuddy(Edit_pass);

    btn_save = new QPushButton(QStringLiteral("Save(&S)"), this);
    btn_save->setGeometry(200, 190, 84, 28);
    btn_save->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel(&C)"), this);
    Button2->setGeometry(296, 190, 84, 28);
    Button2->setAutoDefault(false);

    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        if (ComboBox1->currentIndex() < 0) return;
        const int cursor = ComboBox1->lineEdit()->cursorPosition();
        const QSignalBlocker block(ComboBox1);
        ComboBox1->setCurrentIndex(-1);
        ComboBox1->setEditText(text);
        ComboBox1->lineEdit()->setCursorPosition(cursor);
    });
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!finishing_ || index < 0) return;
        const QString text = ComboBox1->lineEdit()->text();
        const QSignalBlocker block(ComboBox1);
        ComboBox1->setCurrentIndex(-1);
        ComboBox1->setEditText(text);
    });

    toolkit::onClick(ToolButton1, this, &TFrm_AddUser::ToolButton1Click);
    toolkit::onClick(ToolButton2, this, &TFrm_AddUser::ToolButton2Click);
    toolkit::onClick(ToolButton4, this, &TFrm_AddUser::ToolButton4Click);
    toolkit::onClick(ToolButton6, this, &TFrm_AddUser::ToolButton6Click);
    toolkit::onClick(ToolButton7, this, &TFrm_AddUser::ToolButton7Click);
    toolkit::onClick(btn_save, this, &TFrm_AddUser::btn_saveClick);
    toolkit::onClick(Button2, this, &TFrm_AddUser::Button2Click);
    // The fields always show the highlighted user: clicks, keys, and the
    // highlight moving on when a user is deleted or the list refilled.
    // What is highlighted (selected) is what the fields show: the tree's
    // current item alone moves without a highlight when it gets the focus.
    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this,
            [this] { toolkit::guarded([this] { TreeView1Click(); }); });

    Qry_admin = new db::Query(Frm_Data->Connection, this);
    Qry_user = new db::Query(Frm_Data->Connection, this);
    Qry_add = new db::Query(Frm_Data->Connection, this);
    Qry_repeat = new db::Query(Frm_Data->Connection, this);

    toolkit::centreOnScreen(this);
    setEditing(false);
    btn_save->setEnabled(false);
    limitToColumns(Frm_Data->Connection, QStringLiteral("admin"),
                   {{Edit_username, QStringLiteral("username")}, {Edit_pass, QStringLiteral("password")}});
    FormCreate();
}

TFrm_AddUser::~TFrm_AddUser() {
    if (Frm_AddUser == this) Frm_AddUser = nullptr;
}

QString TFrm_AddUser::noUserText() { return QStringLiteral("Please choose a user in the list first"); }

void TFrm_AddUser::FormCreate() {
    setWindowTitle(QStringLiteral("Manage User"));
    Qry_admin->setSql(kSelectAll);
    Qry_admin->open();
    Qry_user->setSql(kSelectAll);
    Qry_user->open();
    LoadUsers();
    ClearFields();
}

void TFrm_AddUser::LoadUsers(const QString& select) {
    // Emptying the tree moves the highlight; the fields follow at the end.
    const QSignalBlocker quiet(TreeView1);
    Qry_admin->close();
    Qry_admin->setSql(kSelectAll);
    Qry_admin->open();
    TreeView1->clear();
    const QIcon icon = toolkit::drawnIcon(QStringLiteral("users"));
    for (Qry_admin->first(); !Qry_admin->eof(); Qry_admin->next()) {
        const QString name = Qry_admin->asString(QStringLiteral("username"));
        auto* node = new QTreeWidgetItem(TreeView1, {name.trimmed()});
        node->setData(0, kRawName, name);
        node->setIcon(0, icon);
        if (!select.isNull() && name == select) TreeView1->setCurrentItem(node);
    }
    // The user saved in edit mode stays highlighted with the fields as typed;
    // with nothing highlighted the fields are emptied.
    if (!highlighted()) {
        TreeView1->clearSelection();
        TreeView1Click();
    }
}

void TFrm_AddUser::ClearFields() {
    Edit_username->clear();
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QString());
    Edit_pass->clear();
}

void TFrm_AddUser::setEditing(bool on) {
    for (QWidget* w : {static_cast<QWidget*>(Edit_username), static_cast<QWidget*>(ComboBox1),
                       static_cast<QWidget*>(Edit_pass), static_cast<QWidget*>(Label1),
                       static_cast<QWidget*>(Label2), static_cast<QWidget*>(Label3)})
        w->setEnabled(on);
}

QTreeWidgetItem* TFrm_AddUser::highlighted() const {
    const QList<QTreeWidgetItem*> selected = TreeView1->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

bool TFrm_AddUser::lastSuperUser() {
    // Nobody could manage users any more, and with no user left nobody
    // could log in at all.
    Qry_repeat->close();
    Qry_repeat->setSql(QStringLiteral("select * from admin where permit=0"));
    Qry_repeat->open();
    return Qry_repeat->recordCount() <= 1 && Qry_add->field(QStringLiteral("permit")).asInteger() == 0;
}

QString TFrm_AddUser::lastSuperUserText() {
    return QStringLiteral("This is the last super user. Someone must be able to manage the users, so it "
                          "cannot be deleted or made a common user; make another user a super user first.");
}

void TFrm_AddUser::TreeView1Click() {
    QTreeWidgetItem* node = highlighted();
    if (!node) {
        // Nothing highlighted: nothing shown, and nothing to save or delete.
        Qry_add->close();
        ClearFields();
        return;
    }
    // The stored name finds the row even when it was saved with blanks around it.
    const QString name = node->data(0, kRawName).toString();
    Qry_add->close();
    Qry_add->setSql(db::Statement(QStringLiteral("select * from admin where username=:name"))
                        .bind(QStringLiteral("name"), name));
    Qry_add->open();
    Edit_username->setText(Qry_add->asString(QStringLiteral("username")));
    Edit_pass->setText(Qry_add->asString(QStringLiteral("password")));
    ComboBox1->setCurrentIndex(Qry_add->field(QStringLiteral("permit")).asInteger() == 0 ? 0 : 1);
}

void TFrm_AddUser::ToolButton1Click() {
    // A new user: no user of the list is highlighted while it is typed in.
    TreeView1->setCurrentItem(nullptr);
    TreeView1->clearSelection();
    ClearFields();
    AddMode = true;
    btn_save->setEnabled(true);
    setEditing(true);
}

void TFrm_AddUser::ToolButton2Click() {
    AddMode = false;
    btn_save->setEnabled(true);
    setEditing(true);
}

bool TFrm_AddUser::haveSelectedUser() {
    // Without a loaded row an edit would insert a new user and a delete would
    // fail in the engine; neither is what the user asked for.
    if (Qry_add->active() && !Qry_add->isEmpty()) return true;
    toolkit::dialogs().message(noUserText(), QStringLiteral("info"), toolkit::Icon::Information);
    return false;
}

void TFrm_AddUser::btn_saveClick() {
    const QString name = Edit_username->text().trimmed();
    const QString pass = Edit_pass->text().trimmed();
    const int permit = ComboBox1->currentIndex();
    if (AddMode) {
        // Stored names are compared trimmed as well, as the login trims them.
        Qry_repeat->close();
        Qry_repeat->setSql(db::Statement(QStringLiteral("select * from admin where trim(username)=:name"))
                               .bind(QStringLiteral("name"), name, QStringLiteral("username")));
        Qry_repeat->open();
        if (!Qry_repeat->isEmpty()) {
            toolkit::showMessage(QStringLiteral("The username is exist ,Please change a username!"));
            return;
        }
        Qry_user->append();
        Qry_user->setValue(QStringLiteral("username"), name);
        Qry_user->setValue(QStringLiteral("permit"), permit);
        Qry_user->setValue(QStringLiteral("password"), pass);
        db::postOrCancel(Qry_user);
        if (!toolkit::dialogs().confirm(QStringLiteral("Add succeed ,Are you continue"), QStringLiteral("success"),
                                        toolkit::Icon::Information))
            btn_save->setEnabled(false);
        LoadUsers();
        TreeView1->setFocus();
        ClearFields();
        return;
    }
    if (!haveSelectedUser()) return;
    if (permit != 0 && lastSuperUser()) {
        toolkit::dialogs().message(lastSuperUserText(), QStringLiteral("info"), toolkit::Icon::Information);
        return;
    }
    Qry_add->edit();
    Qry_add->setValue(QStringLiteral("username"), name);
    Qry_add->setValue(QStringLiteral("permit"), permit);
    Qry_add->setValue(QStringLiteral("password"), pass);
    db::postOrCancel(Qry_add);
    LoadUsers(Qry_add->asString(QStringLiteral("username")));
    TreeView1->setFocus();
}

void TFrm_AddUser::ToolButton4Click() {
    if (Edit_username->text().isEmpty()) {
        toolkit::dialogs().message(QStringLiteral("Select a user"), QStringLiteral("info"),
                                   toolkit::Icon::Information);
        return;
    }
    if (!haveSelectedUser()) return;
    if (lastSuperUser()) {
        toolkit::dialogs().message(lastSuperUserText(), QStringLiteral("info"), toolkit::Icon::Information);
        return;
    }
    if (!toolkit::dialogs().confirm(QStringLiteral("Are sure delete the record?"), QStringLiteral("info"),
                                    toolkit::Icon::Information))
        return;
    Qry_add->remove();
    // The node of the deleted user goes; the highlight moves to a neighbour
    // and the fields follow it.
    delete highlighted();
    TreeView1Click();
}

void TFrm_AddUser::ToolButton6Click() {
    LoadUsers();
    TreeView1->setFocus();
}

void TFrm_AddUser::Button2Click() {
    btn_save->setEnabled(false);
    AddMode = false;
    setEditing(false);
}

void TFrm_AddUser::ToolButton7Click() { close(); }
