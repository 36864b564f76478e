// The next-run arithmetic and the due check, on a clock the test sets.

#include "core/schedule/schedule_clock.h"
#include "core/schedule/schedule_unit.h"
#include "support/test_main.h"

using namespace clarivex;

namespace {

QDateTime at(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

ScheduleValues kind(ScheduleKind k)
{
    ScheduleValues v;
    v.Run = int(k);
    return v;
}

ScheduleValues every(int position)
{
    ScheduleValues v = kind(ScheduleKind::Every);
    v.TrackBarPosition = position;
    return v;
}

ScheduleValues hourly(const char *minute)
{
    ScheduleValues v = kind(ScheduleKind::Hourly);
    v.Hourly = QString::fromLatin1(minute);
    return v;
}

ScheduleValues daily(const char *time)
{
    ScheduleValues v = kind(ScheduleKind::Daily);
    v.Daily = QString::fromLatin1(time);
    return v;
}

ScheduleValues weekly(int index, const char *time)
{
    ScheduleValues v = kind(ScheduleKind::Weekly);
    v.cbWeekly_ItemIndex = index;
    v.Weekly = QString::fromLatin1(time);
    return v;
}

ScheduleValues monthly(const char *day, const char *time)
{
    ScheduleValues v = kind(ScheduleKind::Monthly);
    v.Monthly_Day = QString::fromLatin1(day);
    v.Monthly = QString::fromLatin1(time);
    return v;
}

} // namespace

class TestScheduleArithmetic : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { setScheduleClock({}); }
    void nextRunAndItsCheck_data();
    void nextRunAndItsCheck();
};

void TestScheduleArithmetic::nextRunAndItsCheck_data()
{
    QTest::addColumn<ScheduleValues>("values");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QDateTime>("due");     // invalid: no alarm
    QTest::addColumn<QString>("timeText");  // the alarm's text, or a word of the problem
    QTest::addColumn<QDateTime>("checkAt"); // when the check comes
    QTest::addColumn<bool>("fires");

    const auto row = [](const char *name, const ScheduleValues &v, const char *now, const char *due,
                        const char *text, const char *check, bool fires) {
        QTest::newRow(name) << v << at(now) << (due ? at(due) : QDateTime())
                            << QString::fromLatin1(text) << (check ? at(check) : QDateTime())
                            << fires;
    };
    // Every: whole minutes from the start of the current one.
    row("every 30 min", every(15), "2000-03-17 10:00:30", "2000-03-17 10:30:00", "10:30:00",
        "2000-03-17 10:30:00", true);
    row("every 2 min at 10:59:40", every(1), "2000-03-17 10:59:40", "2000-03-17 11:01:00",
        "11:01:00", "2000-03-17 11:00:59", false);
    row("every across midnight moves the date", every(15), "2000-03-17 23:50:10",
        "2000-03-18 00:20:00", "00:20:00", "2000-03-18 00:20:05", true);
    row("every 0 min repeats nothing", every(0), "2000-03-17 10:00:30", nullptr, "no repeat",
        "2000-03-17 10:01:00", false);
    row("every position out of range", every(31), "2000-03-17 10:00:00", nullptr, "interval",
        nullptr, false);
    // Hourly.
    row("hourly later this hour", hourly("5"), "2000-03-17 09:00:00", "2000-03-17 09:05:00",
        "9:05:00", "2000-03-17 09:05:00", true);
    row("hourly at its own second is the next hour", hourly("5"), "2000-03-17 09:05:00",
        "2000-03-17 10:05:00", "10:05:00", "2000-03-17 09:05:30", false);
    row("hourly at 23 with an earlier minute", hourly("10"), "2000-12-31 23:40:00",
        "2001-01-01 00:10:00", "0:10:00", "2001-01-01 00:10:00", true);
    row("hourly no number", hourly("x5"), "2000-03-17 09:00:00", nullptr, "minute", nullptr, false);
    row("hourly 60", hourly("60"), "2000-03-17 09:00:00", nullptr, "minute", nullptr, false);
    // Daily: the stored text is kept as it is.
    row("daily later today", daily("18:00"), "2000-03-17 17:00:00", "2000-03-17 18:00:00", "18:00",
        "2000-03-17 18:00:00", true);
    row("daily passed: tomorrow, month end", daily("18:00:00"), "2001-01-31 19:00:00",
        "2001-02-01 18:00:00", "18:00:00", "2001-01-31 23:59:59", false);
    row("daily passed: tomorrow, year end", daily("18:00:00"), "2000-12-31 18:00:00",
        "2001-01-01 18:00:00", "18:00:00", "2001-01-01 18:00:00", true);
    row("daily time that is none", daily("25:00:00"), "2000-03-17 17:00:00", nullptr, "daily",
        nullptr, false);
    // Weekly (0 Sunday .. 6 Saturday).
    row("weekly today, time passed: next week", weekly(5, "08:00:00"), "2000-03-17 09:00:00",
        "2000-03-24 08:00:00", "08:00:00", "2000-03-24 08:00:00", true);
    row("weekly Saturday to Sunday", weekly(0, "08:00:00"), "2000-03-18 09:00:00",
        "2000-03-19 08:00:00", "08:00:00", "2000-03-19 07:59:59", false);
    row("weekly Friday 29-12-2000 to Monday", weekly(1, "08:00:00"), "2000-12-29 09:00:00",
        "2001-01-01 08:00:00", "08:00:00", "2001-01-01 08:00:00", true);
    row("weekly index 7", weekly(7, "08:00:00"), "2000-03-17 09:00:00", nullptr, "weekday", nullptr,
        false);
    // Monthly: a day past the month's end is its last day.
    row("monthly 31 in a leap February", monthly("31", "12:00:00"), "2000-02-10 09:00:00",
        "2000-02-29 12:00:00", "12:00:00", "2000-02-29 12:00:00", true);
    row("monthly 31 in a common February", monthly("31", "12:00:00"), "2001-02-10 09:00:00",
        "2001-02-28 12:00:00", "12:00:00", "2001-02-28 12:00:00", true);
    row("monthly 29 in 1900, no leap year", monthly("29", "12:00:00"), "1900-02-01 09:00:00",
        "1900-02-28 12:00:00", "12:00:00", "1900-02-28 12:00:00", true);
    row("monthly day passed: next month", monthly("15", "12:00:00"), "2000-03-20 09:00:00",
        "2000-04-15 12:00:00", "12:00:00", "2000-03-20 09:00:01", false);
    row("monthly passed at the year's end", monthly("31", "22:00:00"), "2000-12-31 23:00:00",
        "2001-01-31 22:00:00", "22:00:00", "2001-01-31 22:00:00", true);
    row("monthly day 0", monthly("0", "12:00:00"), "2000-03-20 09:00:00", nullptr, "day", nullptr,
        false);
    row("monthly day 32", monthly("32", "12:00:00"), "2000-03-20 09:00:00", nullptr, "day", nullptr,
        false);
    row("monthly day no number", monthly("1st", "12:00:00"), "2000-03-20 09:00:00", nullptr, "day",
        nullptr, false);
    row("kind outside 0 to 4", kind(ScheduleKind(5)), "2000-03-20 09:00:00", nullptr, "kind",
        nullptr, false);
    // A check that comes late still fires, once.
    row("a busy main thread missed the second", daily("18:00:00"), "2000-03-17 17:00:00",
        "2000-03-17 18:00:00", "18:00:00", "2000-03-17 18:00:03", true);
    row("a suspend over midnight", daily("23:59:00"), "2000-03-17 23:00:00", "2000-03-17 23:59:00",
        "23:59:00", "2000-03-18 00:30:00", true);
    row("asleep through many due times", every(1), "2000-03-17 10:00:30", "2000-03-17 10:02:00",
        "10:02:00", "2000-03-17 13:00:00", true);
}

void TestScheduleArithmetic::nextRunAndItsCheck()
{
    QFETCH(ScheduleValues, values);
    QFETCH(QDateTime, now);
    QFETCH(QDateTime, due);
    QFETCH(QString, timeText);
    QFETCH(QDateTime, checkAt);
    QFETCH(bool, fires);

    const NextRun next = computeNextRun(values, now);
    if (!due.isValid()) {
        QVERIFY2(!next.valid(), qPrintable(next.due.toString()));
        QVERIFY2(next.problem.contains(timeText), qPrintable(next.problem));
        return;
    }
    QVERIFY2(next.valid(), qPrintable(next.problem));
    QCOMPARE(next.due, due);
    QCOMPARE(next.date, due.date());
    QCOMPARE(next.timeText, timeText);
    QVERIFY(next.due > now);

    QDateTime clock = checkAt;
    setScheduleClock([&clock] { return clock; });
    ScheduleUnit unit;
    int runs = 0;
    unit.AlarmDue = [&runs] { return ++runs > 0; };
    unit.ComputeNextRun = [] {}; // nothing replaces the alarm
    QVERIFY(unit.applyNextRun(next));
    unit.CheckAlarm();
    QCOMPARE(runs, fires ? 1 : 0);
    clock = checkAt.addSecs(1);
    unit.CheckAlarm();
    QCOMPARE(runs, fires ? 1 : int(clock >= due)); // a fired alarm never fires again
}

CLARIVEX_TEST_MAIN_CORE(TestScheduleArithmetic)
#include "tst_schedule_arithmetic.moc"
