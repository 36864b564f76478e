#pragma once

// The schedule as the Scheduler and the command line read it: straight from
// the settings store ("Settings\Schedule" below the product key), with the
// Scheduler's defaults (times at midnight "00:00", today's weekday, day 1).
// Read anew at each computation: the main program may have saved since.

#include "core/schedule/schedule_arithmetic.h"

#include <QString>

namespace clarivex {

struct StoredSchedule
{
    bool ScheduleScans = true;
    ScheduleValues values;
    QString problem; // a value of the wrong kind in the store; empty otherwise
};

[[nodiscard]] StoredSchedule readStoredSchedule(const QDate &today);

// "ClarivexPath" of the product key: the main program's full path; empty when unset.
[[nodiscard]] QString readClarivexPath();

} // namespace clarivex
