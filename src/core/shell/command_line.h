#pragma once

// The main program's command-line switches. Parameters are the arguments
// after the program's own name; every other parameter is ignored.
//   "/NOSPLASH"                     no splash window; only when it is the one
//                                   and only parameter, in any case
//   "/TIME_TO_RUN_SCHEDULED_EVENT"  perform a scheduled run once the window
//                                   runs; any position, exact case

#include <QString>
#include <QStringList>

namespace clarivex {

inline constexpr char kNoSplashSwitch[] = "/NOSPLASH";
inline constexpr char kScheduledEventSwitch[] = "/TIME_TO_RUN_SCHEDULED_EVENT";

// The parameters of a full argument list (QCoreApplication::arguments()).
[[nodiscard]] QStringList commandLineParameters(const QStringList &arguments);

[[nodiscard]] bool StartWithSplash(const QStringList &parameters);
// True when any parameter is the scheduled switch. Given twice, it still
// means one scheduled run.
[[nodiscard]] bool hasScheduledSwitch(const QStringList &parameters);

} // namespace clarivex
