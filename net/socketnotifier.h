#pragma once

#include <QObject>

class QSocketNotifier;

/// Delivers the notifications of one socket on the event loop as (socket, event, error), the
/// three values the handlers of the programs expect. Events are the basWSock Fd* bits; the
/// error is a Windows Sockets code, 0 when none. Read notifications are level-triggered: a
/// handler that does not read the data is notified again.
class SocketNotifier : public QObject
{
    Q_OBJECT
public:
    SocketNotifier(int socket, int events, QObject *parent = nullptr);
    ~SocketNotifier() override;

    int socket() const { return m_socket; }
    /// Changes the events asked for (0 stops all notifications). Call setEvents(0) or delete
    /// the notifier before the socket is closed.
    void setEvents(int events);

Q_SIGNALS:
    void notified(int socket, int event, int error);

private:
    void onReadable();
    void onWritable();

    int m_socket;
    int m_events = 0;
    QSocketNotifier *m_read = nullptr;
    QSocketNotifier *m_write = nullptr;
};
