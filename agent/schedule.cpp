#include "agent/schedule.h"

#include "common/clock.h"
#include "common/formats.h"

using namespace Qt::StringLiterals;

namespace {

QString dayAbbreviation(const QDate &date)
{
    static const QString names[] = {u"MON"_s, u"TUE"_s, u"WED"_s, u"THU"_s,
                                    u"FRI"_s, u"SAT"_s, u"SUN"_s};
    return names[date.dayOfWeek() - 1];
}

} // namespace

std::optional<Schedule> Schedule::parse(const QString &timeStart)
{
    const qsizetype first = timeStart.indexOf(u',');
    const qsizetype second = first < 0 ? -1 : timeStart.indexOf(u',', first + 1);
    if (second < 0)
        return std::nullopt;
    Schedule schedule;
    schedule.mode = timeStart.left(first);
    schedule.startTime = timeStart.mid(first + 1, second - first - 1);
    const QString days = timeStart.mid(second + 1);
    if (!days.isEmpty())
        schedule.dayList = days.split(u',');
    return schedule;
}

bool Schedule::hasDayList() const
{
    return mode == u"WEEK"_s || mode == u"DAY"_s;
}

bool Schedule::listsDay(const QDate &date) const
{
    if (mode == u"WEEK"_s)
        return dayList.contains(dayAbbreviation(date));
    if (mode == u"DAY"_s)
        return dayList.contains(QString::number(date.day()));
    return false;
}

Scheduler::Scheduler(Schedule schedule, const Clock &clock)
    : m_schedule(std::move(schedule)), m_clock(clock),
      m_startTime(Formats::parseTimeOfDay(m_schedule.startTime))
{
}

bool Scheduler::startTimeReached(const QDateTime &now, bool strict) const
{
    // A start time that is no time of day never comes round.
    if (!m_startTime)
        return false;
    return strict ? *m_startTime < now.time() : *m_startTime <= now.time();
}

void Scheduler::evaluateAtStart()
{
    const QDateTime now = m_clock.now();
    if (m_schedule.hasDayList()) {
        m_runDone = !m_schedule.listsDay(now.date()) || startTimeReached(now, true);
        // An unreadable start time is never due: nothing to wait for today.
        if (!m_startTime)
            m_runDone = true;
    } else {
        m_runDone = false;
    }
}

bool Scheduler::tick()
{
    const QDateTime now = m_clock.now();
    const int hour = now.time().hour();
    bool run = false;
    if (m_previousHour == 23 && hour == 0) {
        m_runDone = m_schedule.hasDayList() && !m_schedule.listsDay(now.date());
    } else if (!m_runDone && startTimeReached(now, false)) {
        m_runDone = true;
        run = true;
    }
    m_previousHour = hour;
    return run;
}
