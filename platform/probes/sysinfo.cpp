#include "platform/probes/sysinfo.h"

#include "common/formats.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace SysInfo {

namespace {

// Shortest decimal text that reads back as the same number: no exponent, no grouping.
QString shortestDecimal(double value)
{
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

} // namespace

QString FormatSize(quint64 bytes)
{
    // The leading space stands where the sign of a negative number would be printed.
    if (bytes <= 1024)
        return u' ' + QString::number(bytes) + u"Bytes"_s;
    const double kilobytes = double(bytes) / 1024.0;
    if (kilobytes <= 1024.0)
        return shortestDecimal(kilobytes) + u"KB"_s;
    // Two decimals, halves rounded away from zero; there is no unit above MB.
    const double megabytes = std::round(kilobytes / 1024.0 * 100.0) / 100.0;
    return shortestDecimal(megabytes) + u"MB"_s;
}

QString UptimeText(qint64 milliseconds)
{
    // A negative count (a wrapped tick counter) has no meaning as an uptime.
    const qint64 t = std::max<qint64>(milliseconds, 0);
    constexpr qint64 day = 86'400'000;
    constexpr qint64 hour = 3'600'000;
    constexpr qint64 minute = 60'000;
    const qint64 withinDay = t % day;
    return Formats::thousandsOrZero(t / day) + u"日"_s
        + Formats::thousandsOrZero(withinDay / hour) + u"時"_s
        + Formats::thousandsOrZero(withinDay % hour / minute) + u"分"_s
        + Formats::thousandsOrZero(withinDay % hour % minute / 1000) + u"秒"_s;
}

} // namespace SysInfo
