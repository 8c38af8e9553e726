#pragma once

#include <QObject>

class QSocketNotifier;

/// Delivers the notifications of one socket on the event loop as (socket, event, error), the
/// three values the handlers of the programs expect. Events are the basWSock Fd* bits; the
/// error is a Windows Sockets code, 0 when none. Read notifications are level-triggered: a
/// handler that does not read the data is notified again.
///
/// - FdRead: while data wait. At end of stream (or a connection error) one last FdRead is
///   delivered, so the handler's recv() sees 0 (or the error in the notification), and read
///   notifications stop; an owner that keeps the socket open after reading 0 should also call
///   setEvents(0).
/// - FdClose: end of stream or a connection error, once, with the error code.
/// - FdAccept: a connection waits on a listening socket.
/// - FdConnect: the outcome of a non-blocking connect, once (0 or the error code). Read
///   notifications asked for together with it start after it.
/// - FdWrite: once each time it is asked for (setEvents re-arms it) and the socket can take
///   data, as Windows' FD_WRITE; a writable socket is not reported over and over.
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
    void updateNotifiers();
    void drop(QSocketNotifier *&notifier);

    int m_socket;
    int m_events = 0;
    bool m_connectPending = false;
    QSocketNotifier *m_read = nullptr;
    QSocketNotifier *m_write = nullptr;
};
