#pragma once

// The Scheduler's start at log-on: the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/clarivex-scheduler.desktop (else
// ~/.config/autostart/). It exists exactly while the option "Automatically
// run Clarivex Scheduler on windows startup" is on.

#include <QString>

namespace clarivex::platform {

[[nodiscard]] QString schedulerAutostartPath();

// The entry's text for the program at schedulerPath (quoted for Exec=).
[[nodiscard]] QString schedulerAutostartEntry(const QString &schedulerPath);

// Writes the entry (replacing any older one as a whole); false with error set
// when the path cannot be expressed or the file cannot be written.
[[nodiscard]] bool writeSchedulerAutostart(const QString &schedulerPath, QString *error = nullptr);
// Removes the entry if there is one; true when none is left.
bool removeSchedulerAutostart();

} // namespace clarivex::platform
