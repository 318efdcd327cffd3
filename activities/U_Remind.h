#pragma once
// The reminder notice: a small window of its own, not modal, that lists the
// activities whose reminder has come. Opening one edits it.
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>

#include "activities/Reminders.h"

class TFrm_Remind : public QWidget {
    Q_OBJECT
public:
    explicit TFrm_Remind(QWidget* parent = nullptr);

    // Adds the activities to the list (each once).
    void addReminders(const QList<activities::DueReminder>& due);
    // Shows the window on top, without taking the focus from the user's work.
    void showNotice();
    // The activity numbers listed, top to bottom.
    QList<qlonglong> listed() const;

    // Edits the selected activity and takes it off the list; the window
    // closes with its last entry.
    void Btn_OpenClick();
    void Btn_CloseClick();

    QLabel* Label1;
    QTreeWidget* List;
    QPushButton* Btn_Open;
    QPushButton* Btn_Close;
};
