#include "net/socketnotifier.h"

#include "net/baswsock.h"

#include <QSocketNotifier>

#include <cerrno>
#include <sys/socket.h>

using namespace basWSock;

SocketNotifier::SocketNotifier(int socket, int events, QObject *parent)
    : QObject(parent), m_socket(socket)
{
    setEvents(events);
}

SocketNotifier::~SocketNotifier()
{
    drop(m_read);
    drop(m_write);
}

void SocketNotifier::setEvents(int events)
{
    m_events = events;
    m_connectPending = (events & FdConnect) != 0;
    updateNotifiers();
}

void SocketNotifier::updateNotifiers()
{
    // Read notifications wait for the connect outcome: a failed connect makes the socket
    // readable too, and reading would consume the error that SO_ERROR must report.
    const bool wantRead = m_socket >= 0 && (m_events & (FdRead | FdAccept | FdClose)) != 0
                          && !m_connectPending;
    const bool wantWrite = m_socket >= 0 && ((m_events & FdWrite) != 0 || m_connectPending);
    if (wantRead) {
        if (!m_read) {
            m_read = new QSocketNotifier(m_socket, QSocketNotifier::Read, this);
            connect(m_read, &QSocketNotifier::activated, this, &SocketNotifier::onReadable);
        }
        m_read->setEnabled(true);
    } else {
        drop(m_read);
    }
    if (wantWrite) {
        if (!m_write) {
            m_write = new QSocketNotifier(m_socket, QSocketNotifier::Write, this);
            connect(m_write, &QSocketNotifier::activated, this, &SocketNotifier::onWritable);
        }
        m_write->setEnabled(true);
    } else {
        drop(m_write);
    }
}

void SocketNotifier::drop(QSocketNotifier *&notifier)
{
    // Disabled and deleted at once: a notifier left behind would report events of whatever
    // socket reuses the descriptor after close().
    if (!notifier)
        return;
    notifier->setEnabled(false);
    delete notifier;
    notifier = nullptr;
}

void SocketNotifier::onReadable()
{
    if (m_events & FdAccept) {
        Q_EMIT notified(m_socket, FdAccept, 0);
        return;
    }
    char byte;
    const ssize_t n = ::recv(m_socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return; // woken without data: nothing to report
    if (n > 0) {
        if (m_events & FdRead)
            Q_EMIT notified(m_socket, FdRead, 0);
        else if (m_read)
            m_read->setEnabled(false); // data nobody reads would wake us forever
        return;
    }
    // End of stream or a connection error: final, and a level-triggered notifier would
    // report it again and again.
    const int error = n < 0 ? WsaCodeFromErrno(errno) : 0;
    if (m_read)
        m_read->setEnabled(false);
    Q_EMIT notified(m_socket, (m_events & FdClose) ? FdClose : FdRead, error);
}

void SocketNotifier::onWritable()
{
    if (m_connectPending) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        m_connectPending = false;
        // Write notifications stop unless FdWrite is asked for; read ones may start now.
        updateNotifiers();
        Q_EMIT notified(m_socket, FdConnect, error ? WsaCodeFromErrno(error) : 0);
        return;
    }
    if (m_write)
        m_write->setEnabled(false);
    if (m_events & FdWrite)
        Q_EMIT notified(m_socket, FdWrite, 0);
}
