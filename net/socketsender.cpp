#include "net/socketsender.h"

#include "net/baswsock.h"
#include "net/plaintransport.h"

#include <QMetaObject>

SocketSender::SocketSender(int socket, QObject *parent)
    : QObject(parent), m_socket(socket), m_ownTransport(std::make_unique<PlainTransport>(socket)),
      m_transport(m_ownTransport.get())
{
}

SocketSender::SocketSender(int socket, Transport &transport, QObject *parent)
    : QObject(parent), m_socket(socket), m_transport(&transport)
{
}

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
    using Io = Transport::Io;
    while (m_offset < m_pending.size()) {
        const Transport::Result result = m_transport->write(m_pending.constData() + m_offset,
                                                            m_pending.size() - m_offset);
        if (result.io == Io::Done && result.bytes > 0) {
            m_offset += result.bytes;
            continue;
        }
        switch (result.io) {
        case Io::Done:
        case Io::WantWrite:
            return waitFor(QSocketNotifier::Write);
        case Io::WantRead: // an encrypted session may have to read before it can write
            return waitFor(QSocketNotifier::Read);
        case Io::Closed:
            return fail(basWSock::WsaEConnReset, basWSock::WsaErrorText(basWSock::WsaEConnReset));
        case Io::Failed:
            return fail(result.wsaError, result.errorText);
        }
    }
    // Everything is taken; a transport that gathers its output sends the rest now.
    const Transport::Result flushed = m_transport->flush();
    switch (flushed.io) {
    case Io::Done:
        return finish();
    case Io::WantWrite:
        return waitFor(QSocketNotifier::Write);
    case Io::WantRead:
        return waitFor(QSocketNotifier::Read);
    case Io::Closed:
        return fail(basWSock::WsaEConnReset, basWSock::WsaErrorText(basWSock::WsaEConnReset));
    case Io::Failed:
        return fail(flushed.wsaError, flushed.errorText);
    }
}

void SocketSender::waitFor(QSocketNotifier::Type type)
{
    // Enabled only while bytes wait: a ready socket would wake a level-triggered notifier on
    // every pass of the event loop.
    if (m_ready && m_ready->type() != type) {
        // Maybe inside this notifier's own signal: silenced now, deleted later.
        m_ready->setEnabled(false);
        m_ready->deleteLater();
        m_ready = nullptr;
    }
    if (!m_ready) {
        m_ready = new QSocketNotifier(m_socket, type, this);
        connect(m_ready, &QSocketNotifier::activated, this, [this] {
            m_ready->setEnabled(false);
            pump();
        });
    }
    m_ready->setEnabled(true);
}

void SocketSender::dropNotifier()
{
    if (!m_ready)
        return;
    m_ready->setEnabled(false);
    delete m_ready;
    m_ready = nullptr;
}

void SocketSender::finish()
{
    const qint64 total = m_total;
    const quint64 generation = m_generation;
    m_pending.clear();
    m_offset = 0;
    m_total = 0;
    if (m_ready)
        m_ready->setEnabled(false);
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
    if (m_ready)
        m_ready->setEnabled(false);
    QMetaObject::invokeMethod(this, [this, wsaError, errorText, generation] {
        if (generation == m_generation)
            Q_EMIT failed(wsaError, errorText);
    }, Qt::QueuedConnection);
}
