#include "common/formats.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

std::optional<QTime> timeFrom(const QRegularExpressionMatch &match, int first)
{
    const int hour = match.capturedView(first).toInt();
    const int minute = match.capturedView(first + 1).toInt();
    const int second = match.hasCaptured(first + 2) ? match.capturedView(first + 2).toInt() : 0;
    const QTime time(hour, minute, second);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

QString grouped(qint64 value)
{
    // Digits of the magnitude as unsigned: -2^63 has no positive counterpart.
    const quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    const QString digits = QString::number(magnitude);
    QString result;
    result.reserve(digits.size() + digits.size() / 3 + 1);
    if (value < 0)
        result += u'-';
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            result += u',';
        result += digits[i];
    }
    return result;
}

} // namespace

namespace Formats {

QString dateTime(const QDateTime &when)
{
    return when.toString(u"yyyy/MM/dd HH:mm:ss"_s);
}

std::optional<QDateTime> parseDateTime(QStringView text)
{
    static const QRegularExpression pattern(
        u"^\\s*([0-9]{4})[/-]([0-9]{1,2})[/-]([0-9]{1,2})(?:\\s+([0-9]{1,2}):([0-9]{1,2})(?::([0-9]{1,2}))?)?\\s*$"_s);
    const QRegularExpressionMatch match = pattern.match(text.toString());
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.capturedView(1).toInt(), match.capturedView(2).toInt(),
                     match.capturedView(3).toInt());
    if (!date.isValid())
        return std::nullopt;
    QTime time(0, 0);
    if (match.hasCaptured(4)) {
        const std::optional<QTime> parsed = timeFrom(match, 4);
        if (!parsed)
            return std::nullopt;
        time = *parsed;
    }
    return QDateTime(date, time);
}

std::optional<qint64> parseDuration(QStringView text, qint64 maxSeconds)
{
    // Nine digits at most: no count overflows once multiplied by the seconds of a day.
    if (text.size() < 2 || text.size() > 10)
        return std::nullopt;
    qint64 count = 0;
    for (const QChar c : text.chopped(1)) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        count = count * 10 + (c.unicode() - u'0');
    }
    qint64 unit = 0;
    switch (text.back().unicode()) {
    case u's': unit = 1; break;
    case u'm': unit = 60; break;
    case u'h': unit = 3600; break;
    case u'd': unit = 86400; break;
    default: return std::nullopt;
    }
    if (count < 1 || count * unit > maxSeconds)
        return std::nullopt;
    return count * unit;
}

std::optional<QTime> parseTimeOfDay(QStringView text)
{
    static const QRegularExpression pattern(
        u"^\\s*([0-9]{1,2}):([0-9]{1,2})(?::([0-9]{1,2}))?\\s*$"_s);
    const QRegularExpressionMatch match = pattern.match(text.toString());
    if (!match.hasMatch())
        return std::nullopt;
    return timeFrom(match, 1);
}

QString thousands(qint64 value)
{
    return value == 0 ? QString() : grouped(value);
}

QString thousandsOrZero(qint64 value)
{
    return grouped(value);
}

} // namespace Formats
