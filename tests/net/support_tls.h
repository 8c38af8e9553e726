#pragma once

#include "net/pskkeylist.h"
#include "net/tlscontext.h"
#include "net/tlstransport.h"

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <memory>

/// A key list from `identity hexkey` lines (the test's own fixtures, known to be good).
PskKeyList testKeys(const QByteArray &lines);
/// A context of `role` over `lines`; fails the calling test when it cannot be made.
std::shared_ptr<const TlsContext> testContext(TlsContext::Role role, const QByteArray &lines);

/// One end of an encrypted session driven by the socket's notifications, as a connection
/// would: handshake, then what was queued goes out and what arrives is kept.
class TlsEnd : public QObject
{
public:
    TlsEnd(int socket, std::shared_ptr<const TlsContext> context);
    ~TlsEnd() override;

    /// Queues bytes to send once the session is up.
    void send(const QByteArray &data);
    /// The first step (a client sends its hello); the notifications drive the rest.
    void start();
    /// Sends close_notify and stops.
    void finish();
    TlsTransport &transport() { return m_transport; }
    /// Every byte queued has gone into the session.
    bool allSent() const { return established && m_sent == m_outgoing.size() && m_flushed; }

    bool established = false;
    bool failed = false;
    bool closed = false;
    QString error;
    QByteArray received;

private:
    void step();
    bool handle(const Transport::Result &result);
    void stop();

    TlsTransport m_transport;
    QSocketNotifier m_readable;
    QSocketNotifier m_writable;
    QByteArray m_outgoing;
    qsizetype m_sent = 0;
    bool m_flushed = false;
};
