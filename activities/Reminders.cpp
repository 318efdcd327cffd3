#include "activities/Reminders.h"

#include <QCoreApplication>

#include "activities/ActivityCommon.h"
#include "activities/ActivitySchema.h"
#include "activities/U_Remind.h"
#include "app/U_Main.h"
#include "app/U_data.h"
#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "toolkit/DialogService.h"

namespace activities {

namespace {
constexpr int kFirstLookMs = 1000;

QString stamp(const QDateTime& t) { return t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")); }
}  // namespace

QList<DueReminder> dueReminders(db::Connection* c, const QString& user, const QDateTime& now) {
    if (!c || !c->connected() || user.isEmpty()) return {};
    db::Query q(c);
    // The embedded engine keeps times as text of one fixed form, so text
    // order is time order there too; no reminder time (NULL) is never due.
    q.setSql(QStringLiteral("select ScheduleID, Subject, Customer, StartTime, RemindAt from T_Schedule "
                            "where author = :user and Reminded = 0 and RemindAt <= :now "
                            "order by RemindAt, ScheduleID"));
    q.setParam(QStringLiteral("user"), user);
    q.setParam(QStringLiteral("now"), stamp(now));
    q.open();
    QList<DueReminder> out;
    for (q.first(); !q.eof(); q.next()) {
        DueReminder r;
        r.id = q.field(0).asInteger();
        r.subject = q.field(1).asString();
        r.customer = q.field(2).asString();
        r.start = q.field(3).asDateTime();
        r.remindAt = q.field(4).asDateTime();
        out << r;
    }
    return out;
}

void markReminded(db::Connection* c, const QList<qlonglong>& ids) {
    if (ids.isEmpty()) return;
    QVariantList list;
    for (qlonglong id : ids) list << id;
    db::Query q(c);
    q.setSql(db::Statement(QStringLiteral("update T_Schedule set Reminded = 1 where ScheduleID in (:ids)"))
                 .bind(QStringLiteral("ids"), list));
    q.execSql();
}

namespace {
int rowOf(db::Query* q, qlonglong id) {
    if (!q->active()) return -1;
    const int f = q->fieldIndex(QStringLiteral("ScheduleID"));
    if (f < 0) return -1;
    for (int r = 0; r < q->recordCount(); ++r)
        if (q->valueAt(r, f).toLongLong() == id && !q->valueAt(r, f).isNull()) return r;
    return -1;
}
}  // namespace

bool editActivity(qlonglong id) {
    if (!Frm_Data) return false;
    db::Query* q = Frm_Data->Qry_Schedule;
    int row = rowOf(q, id);
    if (row < 0) {
        // The list holds a search's result, or nothing: read every activity.
        q->close();
        q->setSql(QStringLiteral("select * from T_Schedule"));
        q->open();
        row = rowOf(q, id);
    }
    if (row < 0) {
        toolkit::dialogs().message(QStringLiteral("这项联系活动已经被删除了。"), QStringLiteral("日程提醒"),
                                   toolkit::Icon::Information);
        return false;
    }
    q->setCurrentRow(row);
    mainCommand(&TFrm_Main::EditScheduleExecute);
    return true;
}

// ---- ReminderWatch ----------------------------------------------------------------

ReminderWatch::ReminderWatch(QObject* parent) : QObject(parent) {
    // Quick looks until someone has logged in, then every few seconds.
    timer_.setInterval(kFirstLookMs);
    connect(&timer_, &QTimer::timeout, this, &ReminderWatch::tick);
    timer_.start();
}

ReminderWatch::~ReminderWatch() { delete notice_.data(); }

TFrm_Remind* ReminderWatch::notice() const { return notice_; }

void ReminderWatch::tick() {
    if (userName().isEmpty()) return;
    timer_.setInterval(kIntervalMs);
    try {
        check(QDateTime::currentDateTime());
    } catch (const db::DbError&) {
        // A look that fails (another workstation holds a lock) is tried
        // again at the next tick; nobody asked for it, so nothing is shown.
    }
}

void ReminderWatch::check(const QDateTime& now) {
    if (!Frm_Data || !Frm_Data->DBConnected) return;
    const QString user = userName();
    if (user.isEmpty()) return;
    db::Connection* c = Frm_Data->Connection;
    // An older database has no reminders; its users were told when they
    // opened the schedule editor.
    if (!missingForSchedules(c).isEmpty()) return;
    QList<DueReminder> due;
    QList<qlonglong> ids;
    for (const DueReminder& r : dueReminders(c, user, now)) {
        const QString key = QString::number(r.id) + QLatin1Char('@') + stamp(r.remindAt);
        if (shown_.contains(key)) continue;
        shown_.insert(key);
        due << r;
        ids << r.id;
    }
    if (due.isEmpty()) return;
    try {
        markReminded(c, ids);
        // The list holds these rows as they were before: read them again,
        // or a save of one would look like a change made elsewhere.
        if (Frm_Data->Qry_Schedule->active()) Frm_Data->Qry_Schedule->refreshCache();
    } catch (const db::DbError&) {
        // Read-only or locked: shown once in this session all the same.
    }
    if (!notice_) notice_ = new TFrm_Remind(Frm_Main);
    notice_->addReminders(due);
    notice_->showNotice();
}

void watchReminders() {
    qAddPreRoutine([] {
        // Made once the event loop runs (the login's), with the application
        // as its owner; it looks only after a login.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { new ReminderWatch(QCoreApplication::instance()); },
            Qt::QueuedConnection);
    });
}

}  // namespace activities
