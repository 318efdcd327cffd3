#include "toolkit/Navigator.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include "toolkit/Guard.h"

namespace toolkit {

namespace {

// Arrow glyphs drawn here, so the buttons look alike on every platform style.
QIcon arrowIcon(Navigator::Button b) {
    QIcon icon;
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
        QPixmap pm(16, 16);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor ink = mode == QIcon::Normal ? QColor(30, 60, 120) : QColor(170, 170, 170);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        const bool left = b == Navigator::First || b == Navigator::Prior;
        const bool bar = b == Navigator::First || b == Navigator::Last;
        QPainterPath tri;
        if (left) {
            tri.moveTo(11.5, 3);
            tri.lineTo(11.5, 13);
            tri.lineTo(5, 8);
        } else {
            tri.moveTo(4.5, 3);
            tri.lineTo(4.5, 13);
            tri.lineTo(11, 8);
        }
        tri.closeSubpath();
        if (bar) tri.translate(left ? 1.5 : -1.5, 0);
        p.drawPath(tri);
        if (bar) p.drawRect(left ? QRectF(3, 3, 2, 10) : QRectF(11, 3, 2, 10));
        p.end();
        icon.addPixmap(pm, mode);
    }
    return icon;
}

}  // namespace

Navigator::Navigator(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const char* tips[] = {"First record", "Prior record", "Next record", "Last record"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QToolButton(this);
        b->setIcon(arrowIcon(Button(i)));
        b->setToolTip(QString::fromLatin1(tips[i]));
        b->setAutoRaise(false);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        b->setFocusPolicy(Qt::TabFocus);
        connect(b, &QToolButton::clicked, this, [this, i] { btnClick(Button(i)); });
        buttons_[i] = b;
        row->addWidget(b);
    }
    updateButtons();
}

void Navigator::setDataSource(DataSource* source) {
    if (source_) disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    if (source_) connect(source_, &DataSource::dataSetChanged, this, [this] { bindSet(); });
    bindSet();
}

void Navigator::bindSet() {
    if (set_) disconnect(set_, nullptr, this, nullptr);
    set_ = source_ ? source_->dataSet() : nullptr;
    if (set_) {
        for (auto sig : {&RecordSource::resetDone, &RecordSource::labelsChanged})
            connect(set_, sig, this, [this] { updateButtons(); });
        for (auto sig : {&RecordSource::rowInserted, &RecordSource::rowRemoved,
                         &RecordSource::currentRowChanged})
            connect(set_, sig, this, [this](int) { updateButtons(); });
    }
    updateButtons();
}

void Navigator::updateButtons() {
    const int n = set_ ? set_->recordCount() : 0;
    const int cur = set_ ? set_->currentRow() : -1;
    const bool some = n > 0 && cur >= 0;
    buttons_[First]->setEnabled(some && cur > 0);
    buttons_[Prior]->setEnabled(some && cur > 0);
    buttons_[Next]->setEnabled(some && cur < n - 1);
    buttons_[Last]->setEnabled(some && cur < n - 1);
}

void Navigator::btnClick(Button button) {
    if (!set_ || set_->recordCount() == 0) return;
    if (moveCheck_ && !moveCheck_()) return;
    if (!set_ || set_->recordCount() == 0) return;  // the check may have changed the list
    const bool moved = guarded([&] {
        const int n = set_->recordCount();
        const int cur = set_->currentRow();
        switch (button) {
        case First: set_->setCurrentRow(0); break;
        case Prior: set_->setCurrentRow(std::max(cur - 1, 0)); break;
        case Next: set_->setCurrentRow(std::min(cur + 1, n - 1)); break;
        case Last: set_->setCurrentRow(n - 1); break;
        }
    });
    updateButtons();
    if (moved) emit clicked(button);
}

}  // namespace toolkit
