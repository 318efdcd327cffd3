#include "activities/ScheduleTimes.h"

#include <QRegularExpression>

namespace activities {

QStringList halfHourTimes() {
    QStringList out;
    for (int m = 0; m < 24 * 60; m += 30) out << QTime(m / 60, m % 60).toString(QStringLiteral("hh:mm"));
    return out;
}

QStringList activityTypes() {
    return {QStringLiteral("电话"), QStringLiteral("拜访"), QStringLiteral("会议"), QStringLiteral("电子邮件"),
            QStringLiteral("其他")};
}

QStringList reminderLeadTimes() {
    return {QStringLiteral("5分钟"), QStringLiteral("10分钟"), QStringLiteral("15分钟"), QStringLiteral("30分钟"),
            QStringLiteral("1小时"), QStringLiteral("2小时"), QStringLiteral("1天"),    QStringLiteral("2天"),
            QStringLiteral("1周")};
}

QString defaultLeadTime() { return QStringLiteral("15分钟"); }

int leadMinutes(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,4})\\s*(分钟|小时|天|周)\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch()) return -1;
    const int n = m.captured(1).toInt();
    const QString unit = m.captured(2);
    if (unit == QStringLiteral("分钟")) return n;
    if (unit == QStringLiteral("小时")) return n * 60;
    if (unit == QStringLiteral("天")) return n * 24 * 60;
    return n * 7 * 24 * 60;
}

QDateTime remindTime(const QDateTime& start, const QString& lead) {
    const int minutes = leadMinutes(lead);
    if (minutes < 0 || !start.isValid()) return QDateTime();
    return start.addSecs(-qint64(minutes) * 60);
}

QDateTime nextHalfHour(const QDateTime& t) {
    const QTime time = t.time();
    const int minutes = time.hour() * 60 + time.minute();
    const bool onStep = minutes % 30 == 0 && time.second() == 0 && time.msec() == 0;
    const int up = onStep ? minutes : (minutes / 30 + 1) * 30;
    return QDateTime(t.date(), QTime(0, 0)).addSecs(qint64(up) * 60);
}

QString hoursBetween(const QDateTime& start, const QDateTime& end) {
    if (!start.isValid() || !end.isValid() || end < start) return QString();
    const double hours = double(start.secsTo(end)) / 3600.0;
    // Two decimals at most: a duration of 20 minutes reads "0.33".
    return QString::number(double(qRound64(hours * 100)) / 100.0, 'f', 2)
        .remove(QRegularExpression(QStringLiteral("\\.?0+$")));
}

}  // namespace activities
