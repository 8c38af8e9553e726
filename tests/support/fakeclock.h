#pragma once

#include "common/clock.h"

/// The tests' clock: it stands still until the test moves it. Unless told otherwise it shows
/// 12 March 2004, 09:30:15, the run time the collector's step tests expect.
class FakeClock : public Clock
{
public:
    FakeClock() = default;
    explicit FakeClock(QDateTime start) : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime &when) { m_now = when; }
    void advanceSeconds(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now{QDate(2004, 3, 12), QTime(9, 30, 15)};
};
