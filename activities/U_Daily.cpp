#include "activities/U_Daily.h"

#include <QShowEvent>
#include <QVBoxLayout>

#include "activities/ActivityCommon.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/db/Statement.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"

TFrm_Daily* Frm_Daily = nullptr;

using activities::mainCommand;

db::Statement ownDailyEntries() {
    return db::Statement(QStringLiteral("Select * from T_Daily where author=:author Order by AddDate"))
        .bind(QStringLiteral("author"), activities::userName());
}

TFrm_Daily::TFrm_Daily(QWidget* parent) : QWidget(parent) {
    Frm_Daily = this;
    setObjectName(QStringLiteral("Frm_Daily"));
    setAttribute(Qt::WA_DeleteOnClose);  // closing releases it
    setFont(activities::windowFont());
    setWindowIcon(toolkit::drawnIcon(QStringLiteral("edit")));
    resize(607, 411);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    // A one-band bar: the key, its box and the search button on a panel.
    const activities::SearchBar search =
        activities::makeSearchBar(this, QStringLiteral("请输入关键字"), QStringLiteral("Btn_Search"));
    CoolBar1 = search.bar;
    Panel1 = search.panel;
    Label1 = search.label;
    Edit_Key = search.key;
    Btn_Search = search.button;
    root->addWidget(CoolBar1);

    DBGrid1 = new toolkit::DataGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataSource(Frm_Data->DS_Daily);
    root->addWidget(DBGrid1, 1);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = activities::popupItem(PopupMenu1, QStringLiteral("N1"), QStringLiteral("新建日记"), [this] { N1Click(); });
    N2 = activities::popupItem(PopupMenu1, QStringLiteral("N2"), QStringLiteral("编辑日记"), [this] { N2Click(); });
    N3 = activities::popupItem(PopupMenu1, QStringLiteral("N3"), QStringLiteral("删除日记"), [this] { N3Click(); });
    activities::attachPopup(DBGrid1, PopupMenu1);

    toolkit::onClick(Btn_Search, this, &TFrm_Daily::Btn_SearchClick);
    connect(Edit_Key, &QLineEdit::returnPressed, this,
            [this] { toolkit::guarded([this] { Edit_KeyKeyDown(Qt::Key_Return); }); });
    connect(DBGrid1, &toolkit::DataGrid::doubleClickedRow, this,
            [this] { toolkit::guarded([this] { DBGrid1DblClick(); }); });
}

TFrm_Daily::~TFrm_Daily() {
    if (Frm_Daily == this) Frm_Daily = nullptr;
}

void TFrm_Daily::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

void TFrm_Daily::FormShow() {
    setWindowTitle(QStringLiteral("日记"));
    Edit_Key->clear();
    db::Query* q = Frm_Data->Qry_Daily;
    q->close();
    q->setSql(ownDailyEntries());
    q->open();
    LoadColumns();
}

void TFrm_Daily::LoadColumns() {
    if (Frm_Main) Frm_Main->ApplyFieldShow(DBGrid1, Frm_Data->Qry_Daily, QStringLiteral("daily"));
}

void TFrm_Daily::Btn_SearchClick() {
    {
        const activities::SearchBusy busy(Btn_Search);
        // The key as typed, not trimmed; every author's entries.
        db::Query* q = Frm_Data->Qry_Daily;
        q->close();
        q->setSql(db::Statement(QStringLiteral("Select * from T_Daily where subject like :pat or content like :pat"))
                      .bind(QStringLiteral("pat"), db::containsPattern(Edit_Key->text())));
        q->open();
    }
    LoadColumns();
}

void TFrm_Daily::Edit_KeyKeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) Btn_SearchClick();
}

void TFrm_Daily::N1Click() { mainCommand(&TFrm_Main::AddDailyExecute); }
void TFrm_Daily::N2Click() { mainCommand(&TFrm_Main::EditDailyExecute); }
void TFrm_Daily::N3Click() { mainCommand(&TFrm_Main::DelDailyExecute); }
void TFrm_Daily::DBGrid1DblClick() { mainCommand(&TFrm_Main::EditDailyExecute); }
