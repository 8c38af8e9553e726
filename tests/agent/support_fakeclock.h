#pragma once

#include "common/clock.h"

/// A clock the test moves by hand.
class FakeClock : public Clock
{
public:
    explicit FakeClock(QDateTime start) : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime &when) { m_now = when; }
    void advanceSeconds(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
};
