#pragma once

// The Scheduler's own texts.

namespace clarivex::scheduler {

inline constexpr char kTitle[] = "Clarivex 2000 Scheduler";
inline constexpr char kTipReady[] = "Clarivex 2000 Scheduler is ready.";
inline constexpr char kTipPaused[] = "Clarivex 2000 Scheduler is paused.";
inline constexpr char kAlreadyRunning[] = "Clarivex 2000 Scheduler is already running.";
inline constexpr char kFailedToOpen[] = "Failed to open Clarivex 2000. Please contact the author.";
inline constexpr char kAboutText[] = "Clarivex 2000 Scheduler. A Component of Clarivex 2000.";
inline constexpr char kUpdatesText[] = "For product updates please visit ";
inline constexpr char kWebAddress[] = "http://www.marlowtek.com/";
inline constexpr char kNoScanPlanned[] = "No scan is planned: ";
inline constexpr char kNoNotificationArea[] =
    "This desktop has no notification area, so Clarivex 2000 Scheduler runs without an icon.\n"
    "The Schedule Options page of Clarivex 2000 shows whether it runs and can stop it; so does "
    "the command clarivex-scheduler --quit.";

inline constexpr char kMenuOpen[] = "&Open Clarivex 2000...";
inline constexpr char kMenuDisable[] = "&Disable";
inline constexpr char kMenuEnable[] = "&Enable";
inline constexpr char kMenuAbout[] = "&About";
inline constexpr char kMenuShutdown[] = "&Shutdown Clarivex 2000 Scheduler";

} // namespace clarivex::scheduler
