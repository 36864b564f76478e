#pragma once

// Asking a running Scheduler how it stands, and telling it to end, over the
// socket of its window class (copy_data.h). Besides the alarm hand-over the
// Scheduler answers three texts; none holds a "|", so none is ever taken for
// a hand-over:
//   "/SCHEDULER_STATE"     1 ready, 2 paused
//   "/SCHEDULER_NEXT_RUN"  the alarm in minutes since 1970 UTC; 0 when none is set
//   "/SCHEDULER_QUIT"      1, and the Scheduler ends once it has answered
// Every wait here is bounded: a Scheduler that does not answer counts as not
// running.

#include <QDateTime>
#include <QString>

namespace clarivex {

inline constexpr char kSchedulerStateRequest[] = "/SCHEDULER_STATE";
inline constexpr char kSchedulerNextRunRequest[] = "/SCHEDULER_NEXT_RUN";
inline constexpr char kSchedulerQuitRequest[] = "/SCHEDULER_QUIT";

inline constexpr int kSchedulerReady = 1;
inline constexpr int kSchedulerPaused = 2;

struct SchedulerStatus
{
    bool running = false;
    bool paused = false;
    QDateTime nextRun; // invalid: no alarm set
};

// The answer to "/SCHEDULER_NEXT_RUN" for an alarm moment (invalid: 0), and back.
[[nodiscard]] qint32 nextRunReply(const QDateTime &alarm);
[[nodiscard]] QDateTime nextRunOfReply(qint32 reply);

[[nodiscard]] SchedulerStatus querySchedulerStatus(int timeoutMs = 3000);
// True when a Scheduler ran and took the request to end.
bool askSchedulerToQuit(int timeoutMs = 3000);

// One line for people: "running, next scan at 17-03-2000 18:00:00",
// "running, paused", "not running".
[[nodiscard]] QString schedulerStatusText(const SchedulerStatus &status);

} // namespace clarivex
