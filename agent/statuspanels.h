#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>

#include <memory>

class Clock;
class HostResolver;

/// What the agent window's status bar shows besides the run state: the computer name, its IPv4
/// address, and the date and time, which it keeps current with one timer tick per minute. The
/// address is looked up off the event thread, so the window paints while the name server thinks.
class StatusPanels : public QObject
{
    Q_OBJECT
public:
    StatusPanels(const Clock &clock, QString computerName, QObject *parent = nullptr);
    ~StatusPanels() override;

    const QString &computerName() const { return m_computerName; }
    /// "" until the lookup of the computer name has answered (and for an unknown name).
    const QString &address() const { return m_address; }
    /// "yyyy/mm/dd" and "h:mm" of the clock now.
    QString dateText() const;
    QString timeText() const;

    /// The computer name as Windows gives it: the host name without its domain, at most 15
    /// characters.
    static QString localComputerName();

Q_SIGNALS:
    /// The minute has changed: the date and time panels are to be shown again.
    void clockChanged();
    /// The computer's address is known.
    void addressChanged();

private:
    void tick();
    void scheduleNextTick();

    const Clock &m_clock;
    QString m_computerName;
    QString m_address;
    std::unique_ptr<HostResolver> m_resolver;
    QTimer m_timer;
};

/// Where the agent window goes: centred across the screen, and vertically at
/// 0.85 × screen height / 2 − window height / 2.
QPoint agentWindowPosition(const QRect &screen, const QSize &window);
