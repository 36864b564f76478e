#pragma once

// Local time worked out once and kept, as long as the time zone stays: the C
// library's and Qt's conversions look at the zone file on every call, which
// a list of a million dates (or hundreds of finders) feels.

#include <QtGlobal>

namespace clarivex {

// A number that changes (on this thread) whenever the TZ variable has changed
// since the last call; the C library has then been told (tzset), so
// localtime_r follows. Anything kept in local time is good while it stays.
[[nodiscard]] quint64 localZoneGeneration();

} // namespace clarivex
