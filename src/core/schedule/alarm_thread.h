#pragma once

// TAlarmThread: the schedule's heartbeat. It only sleeps and hands the check
// to the thread of its target (the user-interface thread): once a second it
// queues the check there and waits until the check has returned, so checks
// never overlap and a long check (a whole scheduled run) delays the next one.
// Nothing is shared but the stop flag and two semaphores.

#include <QObject>
#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

namespace clarivex {

class TAlarmThread : public QThread
{
public:
    TAlarmThread(QObject *target, std::function<void()> check, int intervalMs = 1000);
    ~TAlarmThread() override;

    // Ends the loop and waits for the thread; safe from inside a check.
    void stop();

protected:
    void run() override;

private:
    // Shared with the queued calls, which may outlive this object.
    struct State
    {
        std::function<void()> check;
        std::atomic_bool stop{false};
        QSemaphore checked; // released on the target's thread when a check returns
        QSemaphore wake;    // released by stop() to cut the sleep short
    };
    QObject *m_target; // outlives the thread: its owner stops the thread first
    int m_intervalMs;
    std::shared_ptr<State> m_state;
};

} // namespace clarivex
