#pragma once

// The process-wide date, time and number formats that every text of the
// program follows: short date "dd-MM-yyyy", long time "hh:mm:ss" (24-hour),
// date/time values as days counted from 1899-12-30 (local time) with the time
// of day as fraction, and "%.0n", the locale's grouped integer.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <optional>

namespace clarivex {

inline constexpr char kShortDateFormat[] = "dd-MM-yyyy";
inline constexpr char kLongTimeFormat[] = "hh:mm:ss";
inline constexpr char kDateTimeFormat[] = "dd-MM-yyyy hh:mm:ss";

// Days from 1899-12-30 00:00 local time. Before that day the whole part is
// negative and the fraction still counts forward from midnight (-1.25 is
// 1899-12-29 06:00).
[[nodiscard]] double dateTimeToValue(const QDateTime &local);
[[nodiscard]] QDateTime valueToDateTime(double value);
[[nodiscard]] double dateToValue(const QDate &date);

[[nodiscard]] QString formatShortDate(const QDate &date);
[[nodiscard]] QString formatLongTime(const QTime &time);
[[nodiscard]] QString formatDateTime(const QDateTime &dateTime); // date, blank, time
[[nodiscard]] std::optional<QDate> parseShortDate(const QString &text);
[[nodiscard]] std::optional<QTime> parseLongTime(const QString &text);
// "dd-MM-yyyy hh:mm:ss", or a date alone (midnight).
[[nodiscard]] std::optional<QDateTime> parseDateTime(const QString &text);

// "%.0n": the integer with the locale's group separators (1,234,567 in English).
[[nodiscard]] QString formatGrouped(qint64 value);

} // namespace clarivex
