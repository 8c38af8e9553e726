#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>

class Clock;

/// What the agent window's status bar shows besides the run state: the computer name, its IPv4
/// address, and the date and time, which it keeps current with one timer tick per minute.
class StatusPanels : public QObject
{
    Q_OBJECT
public:
    StatusPanels(const Clock &clock, QString computerName, QObject *parent = nullptr);

    const QString &computerName() const { return m_computerName; }
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

private:
    void tick();
    void scheduleNextTick();

    const Clock &m_clock;
    QString m_computerName;
    QString m_address;
    QTimer m_timer;
};

/// Where the agent window goes: centred across the screen, and vertically at
/// 0.85 × screen height / 2 − window height / 2.
QPoint agentWindowPosition(const QRect &screen, const QSize &window);
