#pragma once
// Reminders of planned activities. While the program runs, a watch looks
// every few seconds for activities of the logged-in user whose reminder time
// has come and whose notice has not been shown; each is shown once in the
// notice window and marked in the database, so that it does not come back
// after a restart. Reminders that came due while the program was closed are
// found at the first look after the login.
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

class TFrm_Remind;
namespace db {
class Connection;
}

namespace activities {

struct DueReminder {
    qlonglong id = -1;
    QString subject;
    QString customer;
    QDateTime start;
    QDateTime remindAt;
};

// The user's activities whose reminder is due at now and not yet shown,
// earliest first.
QList<DueReminder> dueReminders(db::Connection* c, const QString& user, const QDateTime& now);
// Records that the notices of these activities have been shown.
void markReminded(db::Connection* c, const QList<qlonglong>& ids);

// Puts the activity with that number under the cursor of the shared schedule
// list (reading the list again when it does not hold it) and edits it with
// the main window's command. False, after saying so, when it no longer exists.
bool editActivity(qlonglong id);

class ReminderWatch : public QObject {
    Q_OBJECT
public:
    explicit ReminderWatch(QObject* parent = nullptr);
    ~ReminderWatch() override;

    // Looks once, as the timer does: shows the notices due at now. While a
    // modal dialog or progress window is up, or a transaction is open, it
    // does nothing (the next look catches up).
    void check(const QDateTime& now);
    // The notice window, while it is open.
    TFrm_Remind* notice() const;
    QTimer* timer() { return &timer_; }

    // How often the watch looks once a user has logged in.
    static constexpr int kIntervalMs = 15000;

private:
    void tick();

    QTimer timer_;
    QPointer<TFrm_Remind> notice_;
    // Shown in this session, by activity and reminder time: a database that
    // cannot be written keeps no record, and the notice must still come only
    // once; a reminder moved to another time comes again.
    QSet<QString> shown_;
};

// Makes the program start a reminder watch with its application (call before
// the application object is made).
void watchReminders();

}  // namespace activities
