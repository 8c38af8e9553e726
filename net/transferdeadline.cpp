#include "net/transferdeadline.h"

#include <algorithm>
#include <climits>

TransferDeadline::TransferDeadline(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TransferDeadline::expired);
}

void TransferDeadline::start(int timeoutMs)
{
    m_start = std::chrono::steady_clock::now();
    m_timeoutMs = timeoutMs;
    m_bytes = 0;
    if (timeoutMs <= 0) {
        m_timer.stop();
        return;
    }
    m_timer.start(timeoutMs);
}

void TransferDeadline::addBytes(qint64 bytes)
{
    if (!m_timer.isActive() || bytes <= 0)
        return;
    const qint64 before = m_bytes / BytesPerExtraSecond;
    m_bytes += bytes;
    // The timer moves only when a whole second has been earned: a trickle never touches it.
    if (m_bytes / BytesPerExtraSecond != before)
        arm();
}

void TransferDeadline::stop()
{
    m_timer.stop();
}

void TransferDeadline::arm()
{
    using namespace std::chrono;
    const auto allowed = milliseconds(m_timeoutMs) + seconds(m_bytes / BytesPerExtraSecond);
    const auto left = duration_cast<milliseconds>(m_start + allowed - steady_clock::now());
    m_timer.start(int(std::clamp<qint64>(left.count(), 0, INT_MAX)));
}
