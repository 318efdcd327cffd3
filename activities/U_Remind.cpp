#include "activities/U_Remind.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "activities/ActivityCommon.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"

TFrm_Remind::TFrm_Remind(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Frm_Remind"));
    // A tool window stays above the main window without blocking it.
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFont(activities::windowFont());
    setWindowTitle(QStringLiteral("日程提醒"));
    resize(460, 220);

    auto* root = new QVBoxLayout(this);
    Label1 = new QLabel(QStringLiteral("以下联系活动的提醒时间已到："), this);
    root->addWidget(Label1);
    List = new QTreeWidget(this);
    List->setObjectName(QStringLiteral("List"));
    List->setRootIsDecorated(false);
    List->setHeaderLabels({QStringLiteral("开始时间"), QStringLiteral("活动主题"), QStringLiteral("相关客户")});
    List->header()->resizeSection(0, 120);
    List->header()->resizeSection(1, 170);
    root->addWidget(List, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Btn_Open = new QPushButton(QStringLiteral("打开(&O)"), this);
    Btn_Close = new QPushButton(QStringLiteral("关闭(&C)"), this);
    buttons->addWidget(Btn_Open);
    buttons->addWidget(Btn_Close);
    root->addLayout(buttons);

    toolkit::onClick(Btn_Open, this, &TFrm_Remind::Btn_OpenClick);
    toolkit::onClick(Btn_Close, this, &TFrm_Remind::Btn_CloseClick);
    connect(List, &QTreeWidget::itemDoubleClicked, this,
            [this] { toolkit::guarded([this] { Btn_OpenClick(); }); });
    connect(List, &QTreeWidget::currentItemChanged, this,
            [this] { Btn_Open->setEnabled(List->currentItem() != nullptr); });
    Btn_Open->setEnabled(false);
}

void TFrm_Remind::addReminders(const QList<activities::DueReminder>& due) {
    const QList<qlonglong> have = listed();
    for (const activities::DueReminder& r : due) {
        if (have.contains(r.id)) continue;
        auto* item = new QTreeWidgetItem(List);
        item->setText(0, r.start.isValid() ? r.start.toString(QStringLiteral("yyyy-MM-dd hh:mm")) : QString());
        item->setText(1, r.subject);
        item->setText(2, r.customer);
        item->setToolTip(1, r.subject);
        item->setData(0, Qt::UserRole, r.id);
    }
    if (!List->currentItem() && List->topLevelItemCount() > 0) List->setCurrentItem(List->topLevelItem(0));
}

QList<qlonglong> TFrm_Remind::listed() const {
    QList<qlonglong> out;
    for (int i = 0; i < List->topLevelItemCount(); ++i)
        out << List->topLevelItem(i)->data(0, Qt::UserRole).toLongLong();
    return out;
}

void TFrm_Remind::showNotice() {
    if (!isVisible()) {
        // The lower right corner of the main window, where a notice is expected.
        if (QWidget* owner = parentWidget()) {
            const QRect r = owner->geometry();
            move(r.right() - width() - 24, r.bottom() - height() - 80);
        } else {
            toolkit::centreOnScreen(this);
        }
    }
    show();
    raise();
}

void TFrm_Remind::Btn_OpenClick() {
    QTreeWidgetItem* item = List->currentItem();
    if (!item) return;
    const qlonglong id = item->data(0, Qt::UserRole).toLongLong();
    // Off the list before the editor opens: it has been seen.
    delete item;
    if (List->topLevelItemCount() == 0) hide();
    activities::editActivity(id);
}

void TFrm_Remind::Btn_CloseClick() {
    List->clear();
    hide();
}
