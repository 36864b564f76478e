#pragma once

// The Scheduler's hidden window: what the original kept in a window
// procedure. It receives the copy-data messages of the class "Clarivex 2000
// Scheduler", keeps the alarm with the Scheduler's computation (the schedule
// read from the store), and at a due alarm tells a running main program to
// perform its scheduled run, or starts it with the switch.
//
// States: ready (SchedulerEnabled, alarms computed and raised) and paused
// (nothing computed, due alarms ignored, hand-overs still taken).

#include "core/schedule/schedule_unit.h"

#include <QObject>

namespace clarivex::platform {
class CopyDataServer;
}

namespace clarivex::scheduler {

enum Command { cmAbout = 65, cmOpen = 79, cmToggle = 80, cmShutdown = 83 };

class TSchedulerWindow : public QObject
{
    Q_OBJECT
public:
    explicit TSchedulerWindow(QObject *parent = nullptr);
    ~TSchedulerWindow() override;

    // Starts receiving the messages of the window class; false when another
    // Scheduler already does, or the socket cannot be made (errorString()).
    [[nodiscard]] bool create();
    QString errorString() const { return m_error; }
    // Starts the alarm checks (once the event loop is about to run).
    void startAlarm() { m_schedule.start(); }

    bool SchedulerEnabled = true;
    ScheduleUnit &schedule() { return m_schedule; }

    void Command(int id);
    // The copy-data message: the alarm hand-over "dd-MM-yyyy|time"; answer 0.
    qint32 WMCopyData(const QByteArray &text);
    bool NotifyMainProgram();
    void LaunchMainProgram(bool withEvent);
    void ComputeNextRun();
    bool CheckAlarmDue();

    // The tip of the icon: its state, and why no scan is planned when none is.
    QString tip() const;

signals:
    void stateChanged(); // ready or paused, or the tip's text changed
    void quitRequested();

private:
    ScheduleUnit m_schedule;
    platform::CopyDataServer *m_server = nullptr;
    QString m_stateTip;
    QString m_error;
};

} // namespace clarivex::scheduler
