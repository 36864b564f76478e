#include "core/shell/settings_schedule.h"

#include "core/base/formats.h"
#include "core/shell/custom_registry.h"

#include <algorithm>
#include <stdexcept>

namespace clarivex {

namespace {

const QString kSchedule = QStringLiteral("Settings\\Schedule");

QString str(const char *text)
{
    return QString::fromLatin1(text);
}

QTime readTime(TRegIniFile &ini, const char *name, const QTime &fallback)
{
    const QString text = ini.ReadText(kSchedule, str(name), formatLongTime(fallback));
    const QTime time = parseTimeText(text);
    if (!time.isValid()) throw std::invalid_argument("not a time of day");
    return time;
}

void writeTime(TRegIniFile &ini, const char *name, const QTime &time)
{
    if (time.isValid()) ini.WriteText(kSchedule, str(name), formatLongTime(time));
}

} // namespace

QTime parseTimeText(const QString &text)
{
    const QString trimmed = text.trimmed();
    for (const char *format : {"h:mm:ss", "h:mm"}) {
        const QTime time = QTime::fromString(trimmed, QLatin1String(format));
        if (time.isValid()) return time;
    }
    return {};
}

int weekdayIndex(const QDate &date)
{
    return date.dayOfWeek() % 7;
}

void loadSchedule(TRegIniFile &ini, ScheduleSettings &s, const SettingsContext &context)
{
    s.ScheduleScans = ini.ReadFlag(kSchedule, str("ScheduleScans"), true);
    s.ScheduleTemporaryFiles = ini.ReadFlag(kSchedule, str("ScheduleTemporaryFiles"), true);
    s.ScheduleDirectories = ini.ReadFlag(kSchedule, str("ScheduleDirectories"), true);
    const int run = ini.ReadNumber(kSchedule, str("Run"), 0);
    if (run >= 0 && run <= 4) // another number leaves the choice as it is
        s.Run = run;
    s.TrackBarPosition = std::clamp(ini.ReadNumber(kSchedule, str("TrackBarPosition"), 15), 0, 30);

    const QTime now = QTime::fromMSecsSinceStartOfDay(context.now.time().msecsSinceStartOfDay() /
                                                      1000 * 1000); // whole seconds, as stored
    try {
        s.Hourly = ini.ReadText(kSchedule, str("Hourly"), str("0"));
        s.Daily = readTime(ini, "Daily", now);
        s.Weekly = readTime(ini, "Weekly", now);
        s.cbWeekly_ItemIndex =
            ini.ReadNumber(kSchedule, str("cbWeekly_ItemIndex"), weekdayIndex(context.now.date()));
        s.Monthly = readTime(ini, "Monthly", now);
        s.Monthly_Day = ini.ReadText(kSchedule, str("Monthly_Day"), str("1"));
    } catch (const std::exception &) {
        // the rest of the group keeps its built-in values
    }

    s.ScanAtStartUp = ini.ReadFlag(kSchedule, str("ScanAtStartUp"), false);
    s.CleanOnClose = ini.ReadFlag(kSchedule, str("CleanOnClose"), false);
}

void saveSchedule(TRegIniFile &ini, const ScheduleSettings &s)
{
    ini.WriteFlag(kSchedule, str("ScheduleScans"), s.ScheduleScans);
    ini.WriteFlag(kSchedule, str("ScheduleTemporaryFiles"), s.ScheduleTemporaryFiles);
    ini.WriteFlag(kSchedule, str("ScheduleDirectories"), s.ScheduleDirectories);
    if (s.Run >= 0 && s.Run <= 4) ini.WriteNumber(kSchedule, str("Run"), s.Run);
    ini.WriteNumber(kSchedule, str("TrackBarPosition"), s.TrackBarPosition);
    ini.WriteText(kSchedule, str("Hourly"), s.Hourly);
    writeTime(ini, "Daily", s.Daily);
    writeTime(ini, "Weekly", s.Weekly);
    ini.WriteNumber(kSchedule, str("cbWeekly_ItemIndex"), s.cbWeekly_ItemIndex);
    writeTime(ini, "Monthly", s.Monthly);
    ini.WriteText(kSchedule, str("Monthly_Day"), s.Monthly_Day);
    ini.WriteFlag(kSchedule, str("ScanAtStartUp"), s.ScanAtStartUp);
    ini.WriteFlag(kSchedule, str("CleanOnClose"), s.CleanOnClose);
}

} // namespace clarivex
