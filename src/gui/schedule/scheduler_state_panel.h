#pragma once

// The Scheduler's line on the Schedule Options page: whether a Scheduler is
// running and when it starts the next scan, with buttons that start and stop
// it. Without a Scheduler the window's own alarm runs the schedule only while
// the window is open, and the line says so.
//
// The state is asked over the Scheduler's socket when the page is shown and
// every few seconds while it stays visible; a start or a stop is followed
// until the Scheduler answers (or has gone), for a few seconds at most.

#include "core/schedule/scheduler_control.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace clarivex {

class SchedulerStatePanel : public QWidget
{
    Q_OBJECT
public:
    explicit SchedulerStatePanel(QWidget *parent = nullptr);

    // The Scheduler program started by "Start Scheduler".
    QString schedulerProgram;
    // Whether scans are scheduled at all (the page's "Schedule Scans").
    std::function<bool()> scansScheduled;
    // Runs before a start: the Scheduler reads the schedule from the store.
    std::function<void()> beforeStart;
    // Runs once a started Scheduler answers: the window hands over its alarm.
    std::function<void()> started;

    // Asks the Scheduler now and shows the answer.
    void refresh();
    // Starts the Scheduler; false (after saying so) when it cannot be started.
    bool startScheduler();
    void stopScheduler();
    [[nodiscard]] const SchedulerStatus &status() const { return m_status; }

    QLabel *lblSchedulerState = nullptr;
    QPushButton *btnStartScheduler = nullptr;
    QPushButton *btnStopScheduler = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void showStatus(const SchedulerStatus &status);
    void follow(bool running); // until the Scheduler is running (or gone)

    SchedulerStatus m_status;
    QTimer m_poll;
    QElapsedTimer m_following;
    bool m_waitFor = false; // the state a start or stop waits for
    bool m_asking = false;  // an answer is awaited: timers run meanwhile
};

// The line the panel shows for a state.
[[nodiscard]] QString schedulerStateLine(const SchedulerStatus &status, bool scansScheduled);

} // namespace clarivex
