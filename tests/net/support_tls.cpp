#include "support_tls.h"

#include "net/pskkeyfile.h"

#include <QTest>

PskKeyList testKeys(const QByteArray &lines)
{
    QString error;
    auto keys = PskKeyFile::parse(lines, &error);
    if (!keys)
        qFatal("bad test keys: %s", qPrintable(error));
    return std::move(*keys);
}

std::shared_ptr<const TlsContext> testContext(TlsContext::Role role, const QByteArray &lines)
{
    QString error;
    auto context = TlsContext::create(role, testKeys(lines), &error);
    if (!context)
        qFatal("no TLS context: %s", qPrintable(error));
    return context;
}

TlsEnd::TlsEnd(int socket, std::shared_ptr<const TlsContext> context)
    : m_transport(socket, std::move(context)),
      m_readable(socket, QSocketNotifier::Read),
      m_writable(socket, QSocketNotifier::Write)
{
    m_writable.setEnabled(false);
    connect(&m_readable, &QSocketNotifier::activated, this, &TlsEnd::step);
    connect(&m_writable, &QSocketNotifier::activated, this, [this] {
        m_writable.setEnabled(false);
        step();
    });
}

TlsEnd::~TlsEnd()
{
    stop();
}

void TlsEnd::send(const QByteArray &data)
{
    m_outgoing += data;
    if (established)
        step();
}

void TlsEnd::start()
{
    step();
}

void TlsEnd::finish()
{
    m_transport.shutdown();
    stop();
}

void TlsEnd::stop()
{
    m_readable.setEnabled(false);
    m_writable.setEnabled(false);
}

bool TlsEnd::handle(const Transport::Result &result)
{
    switch (result.io) {
    case Transport::Io::Done:
        return true;
    case Transport::Io::WantRead:
        break;
    case Transport::Io::WantWrite:
        m_writable.setEnabled(true);
        break;
    case Transport::Io::Closed:
        closed = true;
        stop();
        break;
    case Transport::Io::Failed:
        failed = true;
        error = result.errorText;
        stop();
        break;
    }
    return false;
}

void TlsEnd::step()
{
    if (failed || closed)
        return;
    if (!established) {
        if (!handle(m_transport.handshake()))
            return;
        established = true;
    }
    while (m_sent < m_outgoing.size()) {
        const Transport::Result result =
            m_transport.write(m_outgoing.constData() + m_sent, m_outgoing.size() - m_sent);
        if (!handle(result))
            break;
        m_sent += result.bytes;
    }
    // What is taken may still sit in the session's buffer until flushed.
    m_flushed = m_sent == m_outgoing.size() && handle(m_transport.flush());
    char buffer[16384];
    while (!failed && !closed) {
        const Transport::Result result = m_transport.read(buffer, sizeof buffer);
        if (!handle(result))
            break;
        received.append(buffer, result.bytes);
    }
}
