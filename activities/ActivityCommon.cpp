#include "activities/ActivityCommon.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include "app/U_Main.h"
#include "app/db/Query.h"
#include "toolkit/DataGrid.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"

namespace activities {

QFont windowFont() {
    QFont f(QStringLiteral("宋体"));
    f.setPointSize(9);
    return f;
}

SearchBar makeSearchBar(QWidget* parent, const QString& caption, const QString& buttonName) {
    SearchBar s;
    auto* bar = new QFrame(parent);
    bar->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    bar->setObjectName(QStringLiteral("CoolBar1"));
    auto* band = new QHBoxLayout(bar);
    band->setContentsMargins(4, 2, 4, 2);
    s.bar = bar;
    s.panel = new QWidget(bar);
    s.panel->setObjectName(QStringLiteral("Panel1"));
    auto* panel = new QHBoxLayout(s.panel);
    panel->setContentsMargins(0, 0, 0, 0);
    panel->setSpacing(6);
    s.label = new QLabel(caption, s.panel);
    s.key = new QLineEdit(s.panel);
    s.key->setObjectName(QStringLiteral("Edit_Key"));
    s.key->setFixedWidth(329);
    s.label->setBuddy(s.key);
    s.button = new QPushButton(toolkit::drawnIcon(QStringLiteral("search")), QStringLiteral("搜索"), s.panel);
    s.button->setObjectName(buttonName);
    s.button->setAutoDefault(false);
    panel->addWidget(s.label);
    panel->addWidget(s.key);
    panel->addWidget(s.button);
    band->addWidget(s.panel);
    band->addStretch(1);
    return s;
}

QString userName() { return Frm_Main ? Frm_Main->UserName : QString(); }

void mainCommand(void (TFrm_Main::*cmd)()) {
    if (Frm_Main) (Frm_Main->*cmd)();
}

QAction* popupItem(QMenu* menu, const QString& name, const QString& caption, std::function<void()> handler) {
    auto* a = new QAction(caption, menu);
    a->setObjectName(name);
    QObject::connect(a, &QAction::triggered, menu, [handler] { toolkit::guarded(handler); });
    menu->addAction(a);
    return a;
}

void attachPopup(toolkit::DataGrid* grid, QMenu* menu) {
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(grid, &QWidget::customContextMenuRequested, menu, [grid, menu](const QPoint& p) {
        // A right click also picks the row under the mouse, as a left click would.
        const QModelIndex at = grid->indexAt(p);
        if (at.isValid()) grid->setCurrentIndex(at);
        menu->popup(grid->viewport()->mapToGlobal(p));
    });
}

void defaultColumns(toolkit::DataGrid* grid, db::Query* query) {
    grid->clearColumns();
    for (int i = 0; i < query->fieldCount(); ++i) {
        const db::FieldDef f = query->fieldDef(i);
        int width = 64;
        switch (f.kind) {
        case db::FieldKind::DateTime: width = 150; break;
        case db::FieldKind::Memo: width = 200; break;
        case db::FieldKind::Text: width = qBound(64, f.size * 7, 200); break;
        default: break;
        }
        grid->addColumn(f.name, width);
        // Never narrower than its title.
        const int title = grid->horizontalHeader()->sectionSizeHint(grid->columnCountShown() - 1);
        if (title > width) grid->setColumnWidth(grid->columnCountShown() - 1, title);
    }
}

}  // namespace activities
