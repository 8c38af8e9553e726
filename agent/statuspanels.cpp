#include "agent/statuspanels.h"

#include "common/clock.h"
#include "net/hostresolver.h"
#include "platform/probes/os.h"

#include <QSysInfo>

using namespace Qt::StringLiterals;

namespace {

constexpr int MaxComputerNameChars = 15;
// A tick lands just after the minute has turned, never just before it.
constexpr int TickMarginMs = 20;

} // namespace

StatusPanels::StatusPanels(const Clock &clock, QString computerName, QObject *parent)
    : QObject(parent), m_clock(clock), m_computerName(std::move(computerName))
{
    if (!m_computerName.isEmpty()) {
        m_resolver = std::make_unique<SystemHostResolver>();
        connect(m_resolver.get(), &HostResolver::lookedUp, this,
                [this](const QString &, const QString &address, int) {
                    m_address = address;
                    Q_EMIT addressChanged();
                });
        m_resolver->lookUp(m_computerName);
    }
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &StatusPanels::tick);
    scheduleNextTick();
}

StatusPanels::~StatusPanels() = default;

QString StatusPanels::dateText() const
{
    return m_clock.now().toString(u"yyyy/MM/dd"_s);
}

QString StatusPanels::timeText() const
{
    return m_clock.now().toString(u"H:mm"_s);
}

QString StatusPanels::localComputerName()
{
    return SysProbe::computerNameOf(QSysInfo::machineHostName()).left(MaxComputerNameChars);
}

void StatusPanels::tick()
{
    Q_EMIT clockChanged();
    scheduleNextTick();
}

void StatusPanels::scheduleNextTick()
{
    const QTime now = m_clock.now().time();
    const int intoMinute = now.second() * 1000 + now.msec();
    m_timer.start(60000 - intoMinute + TickMarginMs);
}

QPoint agentWindowPosition(const QRect &screen, const QSize &window)
{
    const int x = screen.x() + (screen.width() - window.width()) / 2;
    const int y = screen.y() + int(0.85 * screen.height() / 2) - window.height() / 2;
    return {x, qMax(screen.y(), y)};
}
