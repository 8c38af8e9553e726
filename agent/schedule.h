#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

class Clock;

/// The collector schedule of `TimeStart`: Mode "," StartTime "," DayList.
struct Schedule
{
    QString mode;        // "WEEK", "DAY", or anything else (every day)
    QString startTime;   // "hh:mm" as written
    QStringList dayList; // "SUN".."SAT" for WEEK, "1".."31" for DAY

    /// Splits the text at its first two commas; nullopt when it has fewer than two.
    static std::optional<Schedule> parse(const QString &timeStart);
    /// Whether `date` is one of the listed days (always false for modes other than WEEK/DAY).
    bool listsDay(const QDate &date) const;
    bool hasDayList() const;
};

/// Decides when the agent runs the collector by itself. Driven by a tick every 30 seconds.
class Scheduler
{
public:
    Scheduler(Schedule schedule, const Clock &clock);

    /// The start-up evaluation: an agent started after today's start time waits for the next
    /// listed day.
    void evaluateAtStart();
    /// One tick of the 30-second timer; true when the collector is to be run now.
    bool tick();

    bool runDone() const { return m_runDone; }

private:
    /// `StartTime` at or before `now`'s time of day (strictly before when `strict`).
    bool startTimeReached(const QDateTime &now, bool strict) const;

    Schedule m_schedule;
    const Clock &m_clock;
    std::optional<QTime> m_startTime;
    bool m_runDone = false;
    int m_previousHour = 0;
};
