#pragma once
// The bar of command groups along the left edge of the main window: each
// group has a caption that opens and closes it, and a list of entries.
#include <QIcon>
#include <QList>
#include <QToolButton>
#include <QWidget>

class QVBoxLayout;

namespace toolkit {

class GroupBarGroup : public QWidget {
    Q_OBJECT
public:
    GroupBarGroup(const QString& caption, QWidget* parent = nullptr);

    // An entry; "&&" in the text shows as one ampersand.
    QToolButton* addItem(const QIcon& icon, const QString& text);
    const QList<QToolButton*>& items() const { return items_; }
    QString caption() const;
    bool opened() const { return opened_; }
    void setOpened(bool on);

private:
    QToolButton* header_;
    QWidget* body_;
    QVBoxLayout* bodyLayout_;
    QList<QToolButton*> items_;
    bool opened_ = true;
};

class GroupBar : public QWidget {
    Q_OBJECT
public:
    explicit GroupBar(QWidget* parent = nullptr);
    GroupBarGroup* addGroup(const QString& caption);
    const QList<GroupBarGroup*>& groups() const { return groups_; }

private:
    QVBoxLayout* layout_;
    QList<GroupBarGroup*> groups_;
};

}  // namespace toolkit
