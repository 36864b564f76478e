#pragma once

// The due-time arithmetic of the schedule, shared by both programs and the
// command line. A schedule names moments: every N minutes, a minute of every
// hour, a time of every day, of one weekday, or of one day of every month.
// The next run is the first of those moments after now:
//
//   Every    the start of the current minute + 2 x position minutes; with
//            position 0 no run at all (kNoRepeat)
//   Hourly   minute M of this hour, else of the next one (23 h -> 0 h tomorrow)
//   Daily    the time today, else tomorrow
//   Weekly   the time on the chosen weekday of this week, else next week
//   Monthly  the time on day D of this month, else of the next month; a day
//            past a month's end means that month's last day
//
// The alarm itself is a date and a time text. Times taken from the settings
// keep their text as stored ("18:00", "6:30:00"); computed ones are written
// "hh:mm:ss" (Every) or "h:mm:00" (Hourly).

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

namespace clarivex {

// Why kind Every at position 0 plans no run.
inline constexpr char kNoRepeat[] = "0 minutes means no repeat";

enum class ScheduleKind { Every = 0, Hourly = 1, Daily = 2, Weekly = 3, Monthly = 4 };

// What a computation reads, from the schedule page or from the store.
struct ScheduleValues
{
    int Run = 0;                             // a ScheduleKind
    int TrackBarPosition = 15;               // interval of Every: 2 x position minutes
    QString Hourly = QStringLiteral("0");    // minute of the hour
    QString Daily = QStringLiteral("00:00"); // time texts
    QString Weekly = QStringLiteral("00:00");
    int cbWeekly_ItemIndex = 0; // 0 Sunday .. 6 Saturday
    QString Monthly = QStringLiteral("00:00");
    QString Monthly_Day = QStringLiteral("1"); // day of the month
};

// The result of a computation: the alarm, or why there is none.
struct NextRun
{
    QDate date;
    QString timeText;
    QDateTime due;   // the moment the alarm names
    QString problem; // empty when the alarm is set
    bool valid() const { return problem.isEmpty(); }
};

// The next run after now. A value that cannot name a moment (a kind outside
// 0 to 4, a number that is none or out of range, a time text that is no time)
// gives no alarm and says which value is wrong.
[[nodiscard]] NextRun computeNextRun(const ScheduleValues &values, const QDateTime &now);

// The moment an alarm names: its date at the whole seconds of its time text.
// Invalid when the text is no time of day.
[[nodiscard]] QDateTime alarmMoment(const QDate &date, const QString &timeText);

// The due moment in words for the schedule page: "18:00:00 today",
// "09:05:00 tomorrow", "18:00:00 on Friday, 24 March" (the year added when it
// is another one).
[[nodiscard]] QString describeNextRun(const QDateTime &due, const QDateTime &now);

// Helpers, each on its own.
// time + N minutes as h:m:00 (seconds dropped), wrapping past midnight.
[[nodiscard]] QTime AddMinutesToTime(int minutes, const QTime &time);
// "h:MM:00": the hour without padding, the minute with two digits.
[[nodiscard]] QString HourlyTimeText(int hour, int minute);
[[nodiscard]] QDate AddDaysToDate(int days, const QDate &date);
[[nodiscard]] int DaysInMonth(const QDate &date);
[[nodiscard]] bool IsLeapYear(const QDate &date);
// Whole seconds since midnight; milliseconds do not count.
[[nodiscard]] int SecondsOfDay(const QTime &time);
// Days from today to the weekday of index (0 Sunday .. 6 Saturday): 0 to 6.
[[nodiscard]] int WeeklyDaysAhead(int index, const QDate &today);

} // namespace clarivex
