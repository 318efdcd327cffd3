#include "app/FieldFlagDialog.h"

#include <QShowEvent>
#include <algorithm>
#include <functional>

#include "app/U_data.h"
#include "app/db/Statement.h"
#include "app/db/Transaction.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"

namespace {
constexpr int kListW = 149, kListH = 183, kListTop = 34;
}

FieldFlagDialog::FieldFlagDialog(const Texts& texts, QWidget* parent) : QDialog(parent), texts_(texts) {
    toolkit::makeFixedDialog(this, 419, 291);

    auto heading = [this](const QString& text, int x) {
        auto* l = new QLabel(text, this);
        l->setGeometry(x, 8, kListW, 24);
        l->setAlignment(Qt::AlignCenter);
        l->setFrameStyle(QFrame::Panel | QFrame::Raised);
        return l;
    };
    auto list = [this](int x) {
        auto* l = new QListWidget(this);
        l->setGeometry(x, kListTop, kListW, kListH);
        l->setSelectionMode(QAbstractItemView::SingleSelection);
        return l;
    };
    constexpr int left = 12, right = 419 - 12 - kListW;
    Panel1 = heading(texts.unflagged, left);
    SrcList = list(left);
    Panel2 = heading(texts.flagged, right);
    DstList = list(right);
    Panel1->setBuddy(SrcList);

    // The move buttons stand in a column between the lists.
    const int bx = (left + kListW + right) / 2 - 16;
    int by = kListTop + 30;
    auto mover = [&](const QString& text) {
        auto* b = new QToolButton(this);
        b->setText(text);
        b->setGeometry(bx, by, 32, 26);
        by += 34;
        return b;
    };
    SP_right = mover(QStringLiteral(">"));
    if (texts.moveAllButtons) SP_allright = mover(QStringLiteral(">>"));
    SP_left = mover(QStringLiteral("<"));
    if (texts.moveAllButtons) SP_allleft = mover(QStringLiteral("<<"));

    Btn_ok = new QPushButton(QStringLiteral("Ok(&Y)"), this);
    Btn_ok->setGeometry(419 - 12 - 88 - 8 - 88, 291 - 40, 88, 28);
    Btn_ok->setDefault(true);
    Btn_exit = new QPushButton(QStringLiteral("Cancel(&C)"), this);
    Btn_exit->setGeometry(419 - 12 - 88, 291 - 40, 88, 28);
    Btn_exit->setAutoDefault(false);

    toolkit::onClick(SP_right, this, &FieldFlagDialog::SP_rightClick);
    toolkit::onClick(SP_left, this, &FieldFlagDialog::SP_leftClick);
    if (SP_allright) toolkit::onClick(SP_allright, this, &FieldFlagDialog::SP_allrightClick);
    if (SP_allleft) toolkit::onClick(SP_allleft, this, &FieldFlagDialog::SP_allleftClick);
    toolkit::onClick(Btn_ok, this, &FieldFlagDialog::Btn_okClick);
    toolkit::onClick(Btn_exit, this, &FieldFlagDialog::Btn_exitClick);
    connect(SrcList, &QListWidget::itemDoubleClicked, this,
            [this] { toolkit::guarded([this] { SrcListDblClick(); }); });
    connect(DstList, &QListWidget::itemDoubleClicked, this,
            [this] { toolkit::guarded([this] { DstListDblClick(); }); });

    Qry_src = new db::Query(Frm_Data->Connection, this);
    Qry_Dst = new db::Query(Frm_Data->Connection, this);
    Qry_temp = new db::Query(Frm_Data->Connection, this);

    setWindowTitle(texts.caption);
    toolkit::centreOnScreen(this);
    UpdateButtons();
}

FieldFlagDialog::~FieldFlagDialog() = default;

void FieldFlagDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) closing_ = false;
    toolkit::formShowOnce(e, shown_, [this] { FormShow(); });
}

void FieldFlagDialog::done(int r) {
    if (!closing_) {
        closing_ = true;
        toolkit::guarded([this] { FormClose(); });
    }
    QDialog::done(r);
}

void FieldFlagDialog::fill(QListWidget* list, db::Query* q, int flag) {
    q->close();
    // The flag's column is one of two names this program knows; the values are bound.
    q->setSql(db::Statement(QStringLiteral("select * from T_FieldShow where %1=:flag and TableName=:table")
                                .arg(texts_.flagColumn))
                  .bind(QStringLiteral("flag"), flag)
                  .bind(QStringLiteral("table"), TableName));
    q->open();
    list->clear();
    for (q->first(); !q->eof(); q->next()) list->addItem(q->asString(QStringLiteral("name")));
}

void FieldFlagDialog::FormShow() {
    fill(SrcList, Qry_src, 0);
    fill(DstList, Qry_Dst, 1);
    UpdateButtons();
}

void FieldFlagDialog::UpdateButtons() {
    const bool left = SrcList->count() > 0, right = DstList->count() > 0;
    SP_right->setEnabled(left);
    if (SP_allright) SP_allright->setEnabled(left);
    SP_left->setEnabled(right);
    if (SP_allleft) SP_allleft->setEnabled(right);
}

void FieldFlagDialog::MoveSelected(QListWidget* from, QListWidget* to) {
    // The rows the list's selection holds, not the items' own flags: an item
    // carries its selected state along into the other list.
    QList<int> rows;
    for (const QModelIndex& i : from->selectionModel()->selectedIndexes()) rows << i.row();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows) {
        QListWidgetItem* item = from->takeItem(row);
        item->setSelected(false);
        to->addItem(item);
    }
}

void FieldFlagDialog::SP_rightClick() {
    MoveSelected(SrcList, DstList);
    if (SrcList->count() > 0) SrcList->setCurrentRow(0);
    UpdateButtons();
}

void FieldFlagDialog::SrcListDblClick() { SP_rightClick(); }

void FieldFlagDialog::SP_leftClick() {
    MoveSelected(DstList, SrcList);
    UpdateButtons();
    if (DstList->count() > 0) DstList->setCurrentRow(0);
}

void FieldFlagDialog::DstListDblClick() { SP_leftClick(); }

void FieldFlagDialog::SP_allrightClick() {
    while (SrcList->count() > 0) DstList->addItem(SrcList->takeItem(0));
    UpdateButtons();
}

void FieldFlagDialog::SP_allleftClick() {
    while (DstList->count() > 0) SrcList->addItem(DstList->takeItem(0));
    UpdateButtons();
}

db::Statement FieldFlagDialog::update(int flag, const QString& title) const {
    return db::Statement(QStringLiteral("update T_FieldShow set %1=:flag where name=:name and TableName=:table")
                             .arg(texts_.flagColumn))
        .bind(QStringLiteral("flag"), flag)
        .bind(QStringLiteral("name"), title.trimmed())
        .bind(QStringLiteral("table"), TableName);
}

void FieldFlagDialog::Btn_okClick() {
    if (texts_.limit >= 0 && DstList->count() > texts_.limit) {
        toolkit::showMessage(texts_.tooMany);
        return;
    }
    {
        // All the flags of one choice or none of them: a refused statement
        // leaves the table as it was (and its error is shown on the way up).
        db::TransactionGuard guard(*Frm_Data->Connection);
        const QPair<QListWidget*, int> lists[] = {{SrcList, 0}, {DstList, 1}};
        for (const auto& [list, flag] : lists) {
            for (int i = 0; i < list->count(); ++i) {
                Qry_temp->setSql(update(flag, list->item(i)->text()));
                Qry_temp->execSql();
            }
        }
        guard.commit();
    }
    toolkit::showMessage(texts_.finished);
    accept();
}

void FieldFlagDialog::Btn_exitClick() { reject(); }
