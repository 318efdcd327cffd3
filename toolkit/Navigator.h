#pragma once
// A record navigator: first, prior, next and last buttons that move the
// current row of the record set behind a data source. Without a data source
// (or with an empty one) every button is disabled.
#include <QPointer>
#include <QWidget>
#include <functional>

#include "toolkit/RecordSource.h"

class QToolButton;

namespace toolkit {

class Navigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last };

    explicit Navigator(QWidget* parent = nullptr);

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return source_; }

    // Does what a press of the button does: moves the record set, then
    // emits clicked. A move the record set refuses is shown in the error box.
    void btnClick(Button button);
    QToolButton* button(Button button) const { return buttons_[button]; }
    // Asked before every move; a move it answers false to does not happen
    // (an editor whose fields were changed asks the user first).
    void setMoveCheck(std::function<bool()> check) { moveCheck_ = std::move(check); }

signals:
    // After the record set has moved.
    void clicked(toolkit::Navigator::Button button);

private:
    void bindSet();
    void updateButtons();

    QToolButton* buttons_[4];
    QPointer<DataSource> source_;
    QPointer<RecordSource> set_;
    std::function<bool()> moveCheck_;
};

}  // namespace toolkit
