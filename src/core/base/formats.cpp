#include "core/base/formats.h"

#include <QLocale>

#include <cmath>

namespace clarivex {

namespace {
const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;
} // namespace

double dateToValue(const QDate &date)
{
    return double(kEpoch.daysTo(date));
}

double dateTimeToValue(const QDateTime &local)
{
    const QDateTime dt = local.toLocalTime();
    const double days = dateToValue(dt.date());
    const double fraction = dt.time().msecsSinceStartOfDay() / kMsPerDay;
    // The whole part carries the sign; the time of day is added to its magnitude.
    return days < 0 ? days - fraction : days + fraction;
}

QDateTime valueToDateTime(double value)
{
    if (!std::isfinite(value)) return {};
    const double whole = std::trunc(value);
    const double fraction = std::fabs(value - whole);
    qint64 ms = qint64(std::llround(fraction * kMsPerDay));
    qint64 days = qint64(whole);
    if (ms >= qint64(kMsPerDay)) { // rounding reached the next midnight
        ms -= qint64(kMsPerDay);
        days += value < 0 ? -1 : 1;
    }
    const QDate date = kEpoch.addDays(days);
    if (!date.isValid()) return {};
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)));
}

QString formatShortDate(const QDate &date)
{
    return date.toString(QLatin1String(kShortDateFormat));
}

QString formatLongTime(const QTime &time)
{
    return time.toString(QLatin1String(kLongTimeFormat));
}

QString formatDateTime(const QDateTime &dateTime)
{
    return formatShortDate(dateTime.date()) + QLatin1Char(' ') + formatLongTime(dateTime.time());
}

std::optional<QDate> parseShortDate(const QString &text)
{
    const QDate date = QDate::fromString(text.trimmed(), QLatin1String(kShortDateFormat));
    if (!date.isValid()) return std::nullopt;
    return date;
}

std::optional<QTime> parseLongTime(const QString &text)
{
    const QTime time = QTime::fromString(text.trimmed(), QLatin1String(kLongTimeFormat));
    if (!time.isValid()) return std::nullopt;
    return time;
}

std::optional<QDateTime> parseDateTime(const QString &text)
{
    const QString trimmed = text.trimmed();
    const qsizetype blank = trimmed.indexOf(QLatin1Char(' '));
    const auto date = parseShortDate(blank < 0 ? trimmed : trimmed.left(blank));
    if (!date) return std::nullopt;
    QTime time(0, 0);
    if (blank >= 0) {
        const auto parsed = parseLongTime(trimmed.mid(blank + 1));
        if (!parsed) return std::nullopt;
        time = *parsed;
    }
    return QDateTime(*date, time);
}

QString formatGrouped(qint64 value)
{
    return QLocale().toString(value);
}

} // namespace clarivex
