#pragma once

#include <QDateTime>

/// The local wall clock, injectable so that tests can run through days in a second.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
};
