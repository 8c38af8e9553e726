#pragma once

#include "net/transport.h"

#include <QByteArray>
#include <QString>

#include <memory>

class TlsContext;
struct evp_md_st;
struct ssl_session_st;
struct ssl_st;

/// An encrypted session over a non-blocking socket: TLS 1.3 with a pre-shared key, as client
/// (the console, offering its key) or server (the agent, accepting any key it lists); or, with
/// a certificate context, a client checking that the server's certificate is for `peerName`
/// (a host name or a dotted address). Every
/// call returns at once with the readiness it needs next; OpenSSL bounds a record to 16 KiB,
/// and nothing is buffered here beyond one record. The socket stays the caller's.
class TlsTransport : public Transport
{
public:
    TlsTransport(int socket, std::shared_ptr<const TlsContext> context,
                 const QString &peerName = {});
    ~TlsTransport() override;
    TlsTransport(const TlsTransport &) = delete;
    TlsTransport &operator=(const TlsTransport &) = delete;

    Result handshake() override;
    Result read(char *data, qint64 max) override;
    /// After WantWrite, call again with the same bytes first (at any address).
    Result write(const char *data, qint64 size) override;
    qint64 pendingBytes() const override;
    /// Records gather in a 64 KiB buffer before they go to the socket: one send for four
    /// records instead of one each.
    Result flush() override;
    /// "TLS 1.3 " + the identity of the key in use (never the key); with a certificate, the
    /// protocol and suite.
    QString description() const override;
    void shutdown() override;

    /// The identity of the key the session runs under (empty before the handshake is done).
    const QByteArray &identity() const { return m_identity; }

    // For the socket glue and OpenSSL's callbacks.
    struct Wire
    {
        int socket = -1;
        int wsaError = 0;       // the last socket error
        int firstByte = -1;     // the first byte the peer sent, to tell a plain peer
    };

private:
    static int findSession(ssl_st *ssl, const unsigned char *identity, size_t length,
                           ssl_session_st **session);
    static int useSession(ssl_st *ssl, const evp_md_st *digest,
                          const unsigned char **identity, size_t *length,
                          ssl_session_st **session);
    bool checkPeerName(const QString &peerName);
    Result outcome(int returned, bool handshaking);
    Result failed(int wsaError, const QString &text);
    QString handshakeFailure(unsigned long error) const;

    std::shared_ptr<const TlsContext> m_context;
    ssl_st *m_ssl = nullptr;
    Wire m_wire;
    QByteArray m_offered;       // server: the identity the console presented
    QByteArray m_identity;
    bool m_established = false;
    bool m_failed = false;
};
