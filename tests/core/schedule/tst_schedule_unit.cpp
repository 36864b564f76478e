// The alarm's life: computed when unset, fired once, followed by the next
// computation, handed over between the programs, checked by its thread on the
// thread that owns it.

#include "core/schedule/schedule_clock.h"
#include "core/schedule/schedule_unit.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QThread>

using namespace clarivex;
using namespace clarivex::test;

class TestScheduleUnit : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { setScheduleClock({}); }
    void unsetAlarmComputesAtEveryCheckUntilOneIsSet();
    void aDueAlarmNobodyReplacedIsFollowedByTheNextOne();
    void handOverText_data();
    void handOverText();
    void theThreadChecksOnTheOwnersThreadOneAtATime();
};

void TestScheduleUnit::unsetAlarmComputesAtEveryCheckUntilOneIsSet()
{
    QDateTime now(QDate(2000, 3, 17), QTime(17, 0));
    setScheduleClock([&now] { return now; });
    ScheduleUnit unit;
    QCOMPARE(unit.AlarmTime, QStringLiteral("NOT_YET_RUN"));
    ScheduleValues values;
    values.Run = int(ScheduleKind::Monthly);
    values.Monthly_Day = QStringLiteral("x");
    int computations = 0;
    unit.ComputeNextRun = [&] {
        ++computations;
        unit.applyNextRun(computeNextRun(values, now));
    };
    unit.CheckAlarm();
    unit.CheckAlarm();
    QCOMPARE(computations, 2); // a value that names no moment sets nothing
    QVERIFY(unit.problem().contains(QStringLiteral("\"x\"")));
    QVERIFY(!unit.hasAlarm());

    values.Monthly_Day = QStringLiteral("20");
    unit.CheckAlarm();
    QCOMPARE(computations, 3);
    QVERIFY(unit.problem().isEmpty());
    QCOMPARE(unit.AlarmDate, QDate(2000, 3, 20));
    QCOMPARE(unit.AlarmTime, QStringLiteral("00:00"));
    unit.CheckAlarm();
    QCOMPARE(computations, 3); // set: the check only compares
}

void TestScheduleUnit::aDueAlarmNobodyReplacedIsFollowedByTheNextOne()
{
    QDateTime now(QDate(2000, 3, 17), QTime(18, 0, 0));
    setScheduleClock([&now] { return now; });
    ScheduleUnit unit;
    ScheduleValues values;
    values.Run = int(ScheduleKind::Daily);
    values.Daily = QStringLiteral("18:00:00");
    unit.ComputeNextRun = [&] { unit.applyNextRun(computeNextRun(values, now)); };
    bool handBack = false;
    int runs = 0;
    unit.AlarmDue = [&] {
        ++runs;
        // The main program hands back the next alarm at the end of its run.
        if (handBack) unit.SetAlarm(QStringLiteral("06:00:00"), QDate(2000, 3, 19));
        return true;
    };
    unit.SetAlarm(QStringLiteral("18:00:00"), QDate(2000, 3, 17));

    unit.CheckAlarm(); // the run was dropped: the unit plans the next one itself
    QCOMPARE(runs, 1);
    QCOMPARE(unit.AlarmDate, QDate(2000, 3, 18));
    QCOMPARE(unit.AlarmTime, QStringLiteral("18:00:00"));

    now = QDateTime(QDate(2000, 3, 18), QTime(18, 0, 1));
    handBack = true;
    unit.CheckAlarm(); // a hand-over during the run is kept as it came
    QCOMPARE(runs, 2);
    QCOMPARE(unit.AlarmDate, QDate(2000, 3, 19));
    QCOMPARE(unit.AlarmTime, QStringLiteral("06:00:00"));
}

void TestScheduleUnit::handOverText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QDate>("date"); // invalid: refused
    QTest::addColumn<QString>("time");
    QTest::newRow("as the main program sends it")
        << QByteArray("17-03-2000|18:00:00") << QDate(2000, 3, 17) << "18:00:00";
    QTest::newRow("hourly text without padding")
        << QByteArray("01-01-2001|0:10:00") << QDate(2001, 1, 1) << "0:10:00";
    QTest::newRow("no bar") << QByteArray("17-03-2000 18:00:00") << QDate() << QString();
    QTest::newRow("no date") << QByteArray("2000-03-17|18:00:00") << QDate() << QString();
    QTest::newRow("31 February") << QByteArray("31-02-2000|18:00:00") << QDate() << QString();
    QTest::newRow("no time") << QByteArray("17-03-2000|soon") << QDate() << QString();
}

void TestScheduleUnit::handOverText()
{
    QFETCH(QByteArray, text);
    QFETCH(QDate, date);
    QFETCH(QString, time);
    const std::optional<AlarmHandOver> alarm = parseAlarmHandOver(text);
    QCOMPARE(alarm.has_value(), date.isValid());
    if (!alarm) return;
    QCOMPARE(alarm->date, date);
    QCOMPARE(alarm->timeText, time);
    QCOMPARE(alarmHandOverText(alarm->date, alarm->timeText), text);
}

void TestScheduleUnit::theThreadChecksOnTheOwnersThreadOneAtATime()
{
    ScheduleUnit unit;
    int checks = 0;
    bool inside = false;
    bool overlapped = false;
    bool elsewhere = false;
    unit.ComputeNextRun = [&] {
        elsewhere = elsewhere || QThread::currentThread() != unit.thread();
        overlapped = overlapped || inside;
        inside = true;
        ++checks;
        // A long check keeps the event loop running; no second check comes in.
        QTest::qWait(30);
        inside = false;
        if (checks == 3) unit.stop(); // stopping from inside a check returns
    };
    unit.start(5);
    QTRY_VERIFY_WITH_TIMEOUT(checks >= 3, waitLimitMs());
    QTest::qWait(50);
    QCOMPARE(checks, 3);
    QVERIFY(!elsewhere);
    QVERIFY(!overlapped);
}

CLARIVEX_TEST_MAIN_CORE(TestScheduleUnit)
#include "tst_schedule_unit.moc"
