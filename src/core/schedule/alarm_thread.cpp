#include "core/schedule/alarm_thread.h"

namespace clarivex {

TAlarmThread::TAlarmThread(QObject *target, std::function<void()> check, int intervalMs)
    : m_target(target), m_intervalMs(intervalMs), m_state(std::make_shared<State>())
{
    m_state->check = std::move(check);
    setObjectName(QStringLiteral("TAlarmThread"));
}

TAlarmThread::~TAlarmThread()
{
    stop();
}

void TAlarmThread::stop()
{
    m_state->stop = true;
    if (!isRunning()) return;
    m_state->wake.release();
    m_state->checked.release(); // a check still queued or running is not waited for
    wait();
}

void TAlarmThread::run()
{
    const std::shared_ptr<State> state = m_state;
    while (!state->stop) {
        const bool queued = QMetaObject::invokeMethod(
            m_target,
            [state] {
                if (!state->stop) state->check();
                state->checked.release();
            },
            Qt::QueuedConnection);
        if (!queued) break;
        state->checked.acquire();
        if (state->wake.tryAcquire(1, m_intervalMs)) break;
    }
}

} // namespace clarivex
