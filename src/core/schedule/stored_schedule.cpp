#include "core/schedule/stored_schedule.h"

#include "core/base/settings_types.h"
#include "core/shell/custom_registry.h"
#include "core/shell/settings_schedule.h"

namespace clarivex {

namespace {

const QString kSchedule = QStringLiteral("Settings\\Schedule");

} // namespace

StoredSchedule readStoredSchedule(const QDate &today)
{
    StoredSchedule stored;
    ScheduleValues &v = stored.values;
    // The midnight default: "00", the time separator, "00".
    const QString midnight = QStringLiteral("00:00");
    try {
        TRegIniFile ini(QString::fromLatin1(kSettingsRoot));
        stored.ScheduleScans = ini.ReadFlag(kSchedule, QStringLiteral("ScheduleScans"), true);
        v.Run = ini.ReadNumber(kSchedule, QStringLiteral("Run"), 0);
        v.TrackBarPosition = ini.ReadNumber(kSchedule, QStringLiteral("TrackBarPosition"), 15);
        v.Hourly = ini.ReadText(kSchedule, QStringLiteral("Hourly"), QStringLiteral("0"));
        v.Daily = ini.ReadText(kSchedule, QStringLiteral("Daily"), midnight);
        v.Weekly = ini.ReadText(kSchedule, QStringLiteral("Weekly"), midnight);
        v.cbWeekly_ItemIndex =
            ini.ReadNumber(kSchedule, QStringLiteral("cbWeekly_ItemIndex"), weekdayIndex(today));
        v.Monthly = ini.ReadText(kSchedule, QStringLiteral("Monthly"), midnight);
        v.Monthly_Day = ini.ReadText(kSchedule, QStringLiteral("Monthly_Day"), QStringLiteral("1"));
    } catch (const std::exception &error) {
        stored.problem = QString::fromUtf8(error.what());
    }
    return stored;
}

QString readClarivexPath()
{
    try {
        TRegIniFile ini(QString::fromLatin1(kSettingsRoot));
        return ini.ReadText(QString(), QStringLiteral("ClarivexPath"), QString());
    } catch (const std::exception &) {
        return {};
    }
}

} // namespace clarivex
