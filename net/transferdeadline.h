#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

/// The time-out of one step of an exchange (a request awaited, a reply read, a file sent) that a
/// trickle cannot stretch: the step has its time-out from its start, plus one second for every
/// full 64 KiB moved since. A transfer faster than 64 KiB/s is never cut, however large; a peer
/// that sends a byte now and then gains nothing from it.
class TransferDeadline : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 BytesPerExtraSecond = 64 * 1024;

    explicit TransferDeadline(QObject *parent = nullptr);

    /// A new step: `timeoutMs` from now (0 or less: no time-out).
    void start(int timeoutMs);
    /// Bytes moved within the step, which earn it more time.
    void addBytes(qint64 bytes);
    void stop();
    bool isActive() const { return m_timer.isActive(); }

Q_SIGNALS:
    void expired();

private:
    void arm();

    QTimer m_timer;
    std::chrono::steady_clock::time_point m_start;
    int m_timeoutMs = 0;
    qint64 m_bytes = 0;
};
