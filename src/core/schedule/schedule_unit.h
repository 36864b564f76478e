#pragma once

// ScheduleUnit: the one pending alarm of a program (a date and a time text),
// its once-a-second check, and the hand-over between the two programs.
//
// Each program supplies its own ComputeNextRun (the main program reads its
// schedule page, the Scheduler the store) and its own action at a due alarm.
// The unit adds what both share:
//   - AlarmTime is "NOT_YET_RUN" until a computation sets an alarm; while it
//     is, every check computes again (scheduling may be switched on later).
//   - An alarm is due once its moment has come and it has not fired yet:
//     a check that comes late (a busy second, a suspended computer) still
//     fires it, and it fires once however many of its moments were missed.
//   - When the program acted on a due alarm, an alarm nobody replaced during
//     the action is followed by a new computation, so a dropped or failed run
//     does not end the schedule. A program that leaves the event to another
//     (the main program while a Scheduler runs) keeps its fired alarm until
//     the next computation.
//   - A computation that cannot name a moment sets no alarm; problem() says
//     why, and the check tries again a second later.
//
// The hand-over text from the main program to the Scheduler is the alarm's
// date "dd-MM-yyyy", "|", and its time text: "17-03-2000|18:00:00".

#include "core/schedule/schedule_arithmetic.h"

#include <QByteArray>
#include <QDate>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace clarivex {

class TAlarmThread;

inline constexpr char kNotYetRun[] = "NOT_YET_RUN";

class ScheduleUnit : public QObject
{
    Q_OBJECT
public:
    explicit ScheduleUnit(QObject *parent = nullptr);
    ~ScheduleUnit() override;

    QDate AlarmDate;
    QString AlarmTime = QString::fromLatin1(kNotYetRun);

    // The program's computation (it ends in applyNextRun or does nothing) and
    // its action at a due alarm: true when it acted on the alarm.
    std::function<void()> ComputeNextRun;
    std::function<bool()> AlarmDue;

    void SetAlarm(const QString &timeText, const QDate &date);
    // Sets the computed alarm, or records why there is none; true when set.
    bool applyNextRun(const NextRun &next);
    // The once-a-second check, on the thread that owns the unit.
    void CheckAlarm();

    [[nodiscard]] bool isDue(const QDateTime &now) const;
    bool hasAlarm() const;
    // The moment of the alarm; invalid while there is none.
    QDateTime alarmMoment() const;
    // Why the last computation set no alarm; empty when it set one.
    QString problem() const { return m_problem; }
    // Counts the alarms set: a caller tells whether one was replaced.
    quint64 alarmSerial() const { return m_serial; }

    // The alarm thread: started once the program's event loop may run checks.
    void start(int intervalMs = 1000);
    void stop();

signals:
    void alarmChanged();
    void problemChanged(const QString &problem);

private:
    void setProblem(const QString &problem);

    std::unique_ptr<TAlarmThread> m_thread;
    QString m_problem;
    quint64 m_serial = 0;
    bool m_fired = false;
    bool m_checking = false;
};

// True when a Scheduler receives the messages of its window class.
[[nodiscard]] bool SchedulerRunning();

[[nodiscard]] QByteArray alarmHandOverText(const QDate &date, const QString &timeText);
struct AlarmHandOver
{
    QDate date;
    QString timeText;
};
// A hand-over text read back; nothing when it has no "|", a date that does
// not convert, or a time text that is no time.
[[nodiscard]] std::optional<AlarmHandOver> parseAlarmHandOver(const QByteArray &text);

// Hands the unit's alarm to a running Scheduler and waits until it has taken
// it; false when no Scheduler runs (or none answered).
bool SendAlarmToScheduler(const ScheduleUnit &unit);

// One line on stderr when CLARIVEX_SCHEDULE_TRACE is set: what the schedule
// did, for people and tests watching the programs from outside.
void scheduleTrace(const QString &line);

} // namespace clarivex
