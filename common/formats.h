#pragma once

#include <QDateTime>
#include <QString>
#include <QTime>

#include <optional>

/// The date, time and number texts used across the programs.
namespace Formats {

/// "yyyy/mm/dd hh:mm:ss" (24-hour clock, zero-padded): status log, step log, file times.
QString dateTime(const QDateTime &when);
/// The inverse of dateTime(); also accepts one-digit fields as the local conversion does.
std::optional<QDateTime> parseDateTime(QStringView text);
/// A time of day as the local date-time conversion understands it: "08:30", "8:30", "8:30:15".
std::optional<QTime> parseTimeOfDay(QStringView text);
/// A span of time as a count and a unit, "90s", "30m", "12h", "7d", in seconds; nullopt for
/// anything else (no unit, a sign, blanks, zero) and for more than `maxSeconds`.
std::optional<qint64> parseDuration(QStringView text, qint64 maxSeconds);
/// "#,###": thousands separators, no decimals; 0 gives the empty text.
QString thousands(qint64 value);
/// "#,##0": thousands separators, no decimals; 0 gives "0".
QString thousandsOrZero(qint64 value);

} // namespace Formats
