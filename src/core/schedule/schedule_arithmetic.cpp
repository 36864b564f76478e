#include "core/schedule/schedule_arithmetic.h"

#include "core/base/formats.h"
#include "core/shell/settings_schedule.h"

#include <QLocale>

#include <algorithm>
#include <optional>

namespace clarivex {

namespace {

std::optional<int> wholeNumber(const QString &text, int minimum, int maximum)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < minimum || value > maximum) return std::nullopt;
    return value;
}

NextRun refused(const QString &problem)
{
    NextRun next;
    next.problem = problem;
    return next;
}

NextRun at(const QDateTime &due, const QString &timeText)
{
    NextRun next;
    next.date = due.date();
    next.timeText = timeText;
    next.due = due;
    return next;
}

QDateTime startOfMinute(const QDateTime &now)
{
    const QTime t = now.time();
    return QDateTime(now.date(), QTime(t.hour(), t.minute()));
}

// A day of the month, the last day when the month is shorter.
QDate dayOfMonth(int year, int month, int day)
{
    const QDate first(year, month, 1);
    return QDate(year, month, std::min(day, DaysInMonth(first)));
}

NextRun every(const ScheduleValues &v, const QDateTime &now)
{
    if (v.TrackBarPosition < 0 || v.TrackBarPosition > 30)
        return refused(QStringLiteral("the interval (position %1) is outside 0 to 60 minutes")
                           .arg(v.TrackBarPosition));
    // An interval of 0 repeats nothing: no run follows until the schedule
    // changes (a run every minute, cleaning automatically, is no one's wish).
    if (v.TrackBarPosition == 0) return refused(QString::fromLatin1(kNoRepeat));
    const QDateTime due = startOfMinute(now).addSecs(qint64(2) * v.TrackBarPosition * 60);
    return at(due, formatLongTime(due.time()));
}

NextRun hourly(const ScheduleValues &v, const QDateTime &now)
{
    const std::optional<int> minute = wholeNumber(v.Hourly, 0, 59);
    if (!minute)
        return refused(
            QStringLiteral("the minute after the hour (\"%1\") is no whole number from 0 to 59")
                .arg(v.Hourly));
    QDateTime due = QDateTime(now.date(), QTime(now.time().hour(), *minute));
    if (due <= now) due = due.addSecs(3600); // hour 23 moves to 0 of the next day
    return at(due, HourlyTimeText(due.time().hour(), *minute));
}

// The stored time, or why it is none.
std::optional<QTime> timeOf(const QString &text)
{
    const QTime time = parseTimeText(text);
    if (!time.isValid()) return std::nullopt;
    return QTime(time.hour(), time.minute(), time.second());
}

QString noTime(const char *which, const QString &text)
{
    return QStringLiteral("the time of the %1 scan (\"%2\") is no time of day")
        .arg(QLatin1String(which), text);
}

NextRun daily(const ScheduleValues &v, const QDateTime &now)
{
    const std::optional<QTime> time = timeOf(v.Daily);
    if (!time) return refused(noTime("daily", v.Daily));
    QDateTime due(now.date(), *time);
    if (due <= now) due = QDateTime(now.date().addDays(1), *time);
    return at(due, v.Daily);
}

NextRun weekly(const ScheduleValues &v, const QDateTime &now)
{
    if (v.cbWeekly_ItemIndex < 0 || v.cbWeekly_ItemIndex > 6)
        return refused(QStringLiteral("the weekday (index %1) is none of Sunday to Saturday")
                           .arg(v.cbWeekly_ItemIndex));
    const std::optional<QTime> time = timeOf(v.Weekly);
    if (!time) return refused(noTime("weekly", v.Weekly));
    const QDate today = now.date();
    QDateTime due(AddDaysToDate(WeeklyDaysAhead(v.cbWeekly_ItemIndex, today), today), *time);
    if (due <= now) due = QDateTime(due.date().addDays(7), *time);
    return at(due, v.Weekly);
}

NextRun monthly(const ScheduleValues &v, const QDateTime &now)
{
    const std::optional<int> day = wholeNumber(v.Monthly_Day, 1, 31);
    if (!day)
        return refused(
            QStringLiteral("the day of the month (\"%1\") is no whole number from 1 to 31")
                .arg(v.Monthly_Day));
    const std::optional<QTime> time = timeOf(v.Monthly);
    if (!time) return refused(noTime("monthly", v.Monthly));
    const QDate today = now.date();
    QDateTime due(dayOfMonth(today.year(), today.month(), *day), *time);
    if (due <= now) {
        const QDate next = QDate(today.year(), today.month(), 1).addMonths(1);
        due = QDateTime(dayOfMonth(next.year(), next.month(), *day), *time);
    }
    return at(due, v.Monthly);
}

} // namespace

NextRun computeNextRun(const ScheduleValues &values, const QDateTime &now)
{
    switch (values.Run) {
    case int(ScheduleKind::Every):
        return every(values, now);
    case int(ScheduleKind::Hourly):
        return hourly(values, now);
    case int(ScheduleKind::Daily):
        return daily(values, now);
    case int(ScheduleKind::Weekly):
        return weekly(values, now);
    case int(ScheduleKind::Monthly):
        return monthly(values, now);
    default:
        return refused(
            QStringLiteral("the kind of schedule (\"Run\" = %1) is none of 0 Every to 4 Monthly")
                .arg(values.Run));
    }
}

QDateTime alarmMoment(const QDate &date, const QString &timeText)
{
    const QTime time = parseTimeText(timeText);
    if (!date.isValid() || !time.isValid()) return {};
    return QDateTime(date, QTime(0, 0).addSecs(SecondsOfDay(time)));
}

QString describeNextRun(const QDateTime &due, const QDateTime &now)
{
    const QString time = formatLongTime(due.time());
    const qint64 days = now.date().daysTo(due.date());
    if (days == 0) return time + QStringLiteral(" today");
    if (days == 1) return time + QStringLiteral(" tomorrow");
    const QLocale locale;
    const QString format = due.date().year() == now.date().year()
                               ? QStringLiteral("dddd, d MMMM")
                               : QStringLiteral("dddd, d MMMM yyyy");
    return time + QStringLiteral(" on ") + locale.toString(due.date(), format);
}

QTime AddMinutesToTime(int minutes, const QTime &time)
{
    const int start = time.hour() * 60 + time.minute();
    const int total = ((start + minutes) % (24 * 60) + 24 * 60) % (24 * 60);
    return QTime(total / 60, total % 60);
}

QString HourlyTimeText(int hour, int minute)
{
    return QStringLiteral("%1:%2:00").arg(hour).arg(minute, 2, 10, QLatin1Char('0'));
}

QDate AddDaysToDate(int days, const QDate &date)
{
    return date.addDays(days);
}

int DaysInMonth(const QDate &date)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (date.month() == 2 && IsLeapYear(date)) return 29;
    return days[date.month() - 1];
}

bool IsLeapYear(const QDate &date)
{
    const int year = date.year();
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int SecondsOfDay(const QTime &time)
{
    return time.msecsSinceStartOfDay() / 1000;
}

int WeeklyDaysAhead(int index, const QDate &today)
{
    const int target = index + 1;                  // 1 Sunday .. 7 Saturday
    const int current = today.dayOfWeek() % 7 + 1; // Qt: 1 Monday .. 7 Sunday
    return (target - current + 7) % 7;
}

} // namespace clarivex
