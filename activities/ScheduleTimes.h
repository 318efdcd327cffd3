#pragma once
// The choices of the schedule editor and the arithmetic behind them: times of
// day in half-hour steps, the kinds of activity, how long before the start a
// reminder comes, and the planned duration in hours.
#include <QDateTime>
#include <QStringList>

namespace activities {

// "00:00", "00:30" ... "23:30".
QStringList halfHourTimes();
// Phone call, visit, meeting, e-mail, other.
QStringList activityTypes();
// "5分钟" ... "1周": how long before the start the reminder comes.
QStringList reminderLeadTimes();
// The lead time offered first.
QString defaultLeadTime();

// Minutes of a lead time such as "15分钟", "1小时", "2天" or "1周"; -1 when the
// text is not one.
int leadMinutes(const QString& text);
// When the reminder of an activity starting at start comes; invalid when the
// lead time is not one.
QDateTime remindTime(const QDateTime& start, const QString& lead);

// The first half hour at or after t (the next day's 00:00 past 23:30).
QDateTime nextHalfHour(const QDateTime& t);
// The hours from start to end as the duration box shows them: "1", "1.5",
// "0.5"; empty when end is before start.
QString hoursBetween(const QDateTime& start, const QDateTime& end);

}  // namespace activities
