#include "toolkit/GroupBar.h"

#include <QVBoxLayout>

namespace toolkit {

GroupBarGroup::GroupBarGroup(const QString& caption, QWidget* parent) : QWidget(parent) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    header_ = new QToolButton(this);
    header_->setText(caption);
    header_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    header_->setArrowType(Qt::DownArrow);
    header_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    header_->setMinimumHeight(26);
    QFont f = header_->font();
    f.setBold(true);
    header_->setFont(f);
    header_->setStyleSheet(QStringLiteral(
        "QToolButton { text-align: left; padding-left: 6px; border: 1px solid #8aa4c8;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #e8f0fb, stop:1 #c4d6ef); }"));
    v->addWidget(header_);
    body_ = new QWidget(this);
    body_->setObjectName(QStringLiteral("groupBody"));
    body_->setStyleSheet(QStringLiteral("#groupBody { background: #f4f7fc; }"));
    bodyLayout_ = new QVBoxLayout(body_);
    bodyLayout_->setContentsMargins(4, 6, 4, 6);
    bodyLayout_->setSpacing(6);
    v->addWidget(body_);
    connect(header_, &QToolButton::clicked, this, [this] { setOpened(!opened_); });
}

QString GroupBarGroup::caption() const { return header_->text(); }

QToolButton* GroupBarGroup::addItem(const QIcon& icon, const QString& text) {
    auto* b = new QToolButton(body_);
    b->setIcon(icon);
    b->setIconSize(QSize(32, 32));
    b->setText(text);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    b->setCursor(Qt::PointingHandCursor);
    bodyLayout_->addWidget(b);
    items_ << b;
    return b;
}

void GroupBarGroup::setOpened(bool on) {
    opened_ = on;
    body_->setVisible(on);
    header_->setArrowType(on ? Qt::DownArrow : Qt::RightArrow);
}

GroupBar::GroupBar(QWidget* parent) : QWidget(parent) {
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(2, 2, 2, 2);
    layout_->setSpacing(4);
    layout_->addStretch(1);
}

GroupBarGroup* GroupBar::addGroup(const QString& caption) {
    auto* g = new GroupBarGroup(caption, this);
    layout_->insertWidget(layout_->count() - 1, g);
    groups_ << g;
    return g;
}

}  // namespace toolkit
