#pragma once

// The schedule values of "Settings\Schedule", loaded and saved as part of
// the settings catalogue. The values from "Hourly" to "Monthly_Day" are one
// guarded group when loading: the first error among them (a time text that is
// no time, a value of the wrong kind) ends the group quietly, and the values
// not yet read keep their built-in states.

#include "core/shell/settings_catalogue.h"

#include <QString>
#include <QTime>

namespace clarivex {

class TRegIniFile;

// A stored time text ("18:00:00"; also "9:05:00" and "18:00"); null when it is
// none.
[[nodiscard]] QTime parseTimeText(const QString &text);
// 0 Sunday .. 6 Saturday.
[[nodiscard]] int weekdayIndex(const QDate &date);

void loadSchedule(TRegIniFile &ini, ScheduleSettings &s, const SettingsContext &context);
void saveSchedule(TRegIniFile &ini, const ScheduleSettings &s);

} // namespace clarivex
