#include "activities/U_Schedule.h"

#include <QShowEvent>
#include <QVBoxLayout>

#include "activities/ActivityCommon.h"
#include "activities/ActivitySchema.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"

TFrm_Schedule* Frm_Schedule = nullptr;

using activities::mainCommand;

TFrm_Schedule::TFrm_Schedule(QWidget* parent) : QWidget(parent) {
    Frm_Schedule = this;
    setObjectName(QStringLiteral("Frm_Schedule"));
    setAttribute(Qt::WA_DeleteOnClose);  // closing releases it
    setFont(activities::windowFont());
    setWindowIcon(toolkit::drawnIcon(QStringLiteral("category")));
    resize(606, 407);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    const activities::SearchBar search =
        activities::makeSearchBar(this, QStringLiteral("请输入关键字:"), QStringLiteral("Btn_S_Cust"));
    CoolBar1 = search.bar;
    Panel1 = search.panel;
    Label1 = search.label;
    Edit_Key = search.key;
    Btn_S_Cust = search.button;
    Edit_Key->setToolTip(QStringLiteral("按活动主题、活动描述或相关客户查找"));
    root->addWidget(CoolBar1);

    DBGrid1 = new toolkit::DataGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataSource(Frm_Data->DS_Schedule);
    root->addWidget(DBGrid1, 1);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = activities::popupItem(PopupMenu1, QStringLiteral("N1"), QStringLiteral("新建联系活动"), [this] { N1Click(); });
    N2 = activities::popupItem(PopupMenu1, QStringLiteral("N2"), QStringLiteral("编辑联系活动"), [this] { N2Click(); });
    N3 = activities::popupItem(PopupMenu1, QStringLiteral("N3"), QStringLiteral("删除联系活动"), [this] { N3Click(); });
    activities::attachPopup(DBGrid1, PopupMenu1);

    toolkit::onClick(Btn_S_Cust, this, &TFrm_Schedule::Btn_S_CustClick);
    connect(Edit_Key, &QLineEdit::returnPressed, this,
            [this] { toolkit::guarded([this] { Edit_KeyKeyDown(Qt::Key_Return); }); });
    connect(DBGrid1, &toolkit::DataGrid::doubleClickedRow, this,
            [this] { toolkit::guarded([this] { DBGrid1DblClick(); }); });
}

TFrm_Schedule::~TFrm_Schedule() {
    if (Frm_Schedule == this) Frm_Schedule = nullptr;
}

void TFrm_Schedule::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

void TFrm_Schedule::FormShow() {
    setWindowTitle(QStringLiteral("日程管理"));
    Edit_Key->clear();
    openList(QStringLiteral("select * from T_Schedule"));
}

void TFrm_Schedule::openList(const db::Statement& sql) {
    db::Query* q = Frm_Data->Qry_Schedule;
    q->close();
    DBGrid1->clearColumns();
    // A database without the table at all cannot list anything: say so
    // instead of passing on the engine's words.
    const QStringList missing = activities::missingFromTable(Frm_Data->Connection, QStringLiteral("T_Schedule"), {});
    if (!missing.isEmpty()) {
        toolkit::dialogs().message(activities::missingMessage(QStringLiteral("日程管理"), missing,
                                                              QStringLiteral("日程列表不能打开。")),
                                   QStringLiteral("日程管理"), toolkit::Icon::Warning);
        return;
    }
    q->setSql(sql);
    q->open();
    // Every column of the table, titled with its name.
    activities::defaultColumns(DBGrid1, q);
}

void TFrm_Schedule::Btn_S_CustClick() {
    const activities::SearchBusy busy(Btn_S_Cust);
    openList(db::Statement(QStringLiteral("select * from T_Schedule where Subject like :pat or Content like :pat "
                                          "or Customer like :pat"))
                 .bind(QStringLiteral("pat"), db::containsPattern(Edit_Key->text())));
}

void TFrm_Schedule::Edit_KeyKeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) Btn_S_CustClick();
}

void TFrm_Schedule::N1Click() { mainCommand(&TFrm_Main::AddScheduleExecute); }
void TFrm_Schedule::N2Click() { mainCommand(&TFrm_Main::EditScheduleExecute); }
void TFrm_Schedule::N3Click() { mainCommand(&TFrm_Main::DelScheduleExecute); }
void TFrm_Schedule::DBGrid1DblClick() { mainCommand(&TFrm_Main::EditScheduleExecute); }
