#include "net/socketsender.h"

#include "net/baswsock.h"

#include <QMetaObject>
#include <QSocketNotifier>

SocketSender::SocketSender(int socket, QObject *parent) : QObject(parent), m_socket(socket) {}

SocketSender::~SocketSender()
{
    dropNotifier();
}

void SocketSender::send(QByteArray data)
{
    if (m_pending.isEmpty()) {
        m_pending = std::move(data);
        m_offset = 0;
        m_total = m_pending.size();
        if (m_pending.isEmpty()) { // nothing to send is sent at once
            finish();
            return;
        }
    } else {
        // Drop what has gone before growing the buffer, so it holds only unsent bytes.
        m_pending.remove(0, m_offset);
        m_offset = 0;
        m_total += data.size();
        m_pending.append(data);
    }
    pump();
}

void SocketSender::cancel()
{
    ++m_generation;
    dropNotifier();
    m_pending.clear();
    m_offset = 0;
    m_total = 0;
}

void SocketSender::pump()
{
    while (m_offset < m_pending.size()) {
        QString errorText;
        const qint64 n = basWSock::Send(m_socket, m_pending.constData() + m_offset,
                                        m_pending.size() - m_offset, errorText);
        if (n < 0) {
            const int code = basWSock::LastError();
            if (code == basWSock::WsaEWouldBlock)
                waitWritable();
            else
                fail(code, errorText);
            return;
        }
        m_offset += n;
    }
    finish();
}

void SocketSender::waitWritable()
{
    // Enabled only while bytes wait: a writable socket would wake a level-triggered
    // notifier on every pass of the event loop.
    if (!m_writable) {
        m_writable = new QSocketNotifier(m_socket, QSocketNotifier::Write, this);
        connect(m_writable, &QSocketNotifier::activated, this, [this] {
            m_writable->setEnabled(false);
            pump();
        });
    }
    m_writable->setEnabled(true);
}

void SocketSender::dropNotifier()
{
    if (!m_writable)
        return;
    m_writable->setEnabled(false);
    delete m_writable;
    m_writable = nullptr;
}

void SocketSender::finish()
{
    const qint64 total = m_total;
    const quint64 generation = m_generation;
    m_pending.clear();
    m_offset = 0;
    m_total = 0;
    if (m_writable)
        m_writable->setEnabled(false);
    QMetaObject::invokeMethod(this, [this, total, generation] {
        if (generation == m_generation)
            Q_EMIT sent(total);
    }, Qt::QueuedConnection);
}

void SocketSender::fail(int wsaError, const QString &errorText)
{
    const quint64 generation = m_generation;
    m_pending.clear();
    m_offset = 0;
    m_total = 0;
    if (m_writable)
        m_writable->setEnabled(false);
    QMetaObject::invokeMethod(this, [this, wsaError, errorText, generation] {
        if (generation == m_generation)
            Q_EMIT failed(wsaError, errorText);
    }, Qt::QueuedConnection);
}
