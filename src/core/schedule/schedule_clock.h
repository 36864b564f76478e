#pragma once

// The clock the schedule reads: the computer's local time, or a clock a test
// installs. Both programs read it for every computation and every check.
//
// For tests of the real programs the clock can also be moved from outside:
// when the environment variable CLARIVEX_SCHEDULE_CLOCK names a file, the
// whole number of milliseconds in that file is added to the computer's time.
// The file is read anew at each reading of the clock, so a test moves the time
// of every running program at once. Without the variable nothing is read.

#include <QDateTime>

#include <functional>

namespace clarivex {

using ScheduleClock = std::function<QDateTime()>;

// Now, in local time, by the clock in use.
[[nodiscard]] QDateTime scheduleNow();

// Installs a clock for this process; an empty one restores the default.
void setScheduleClock(ScheduleClock clock);

} // namespace clarivex
