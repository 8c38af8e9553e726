#include "net/tlstransport.h"

#include "net/baswsock.h"
#include "net/tlscontext.h"
#include "net/tlswire.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <climits>

using namespace Qt::StringLiterals;

namespace {

// A TLS record starts with its content type (cipher change, alert, handshake, data);
// our plain frames start with an ASCII digit.
bool isTlsRecordType(int firstByte)
{
    return firstByte >= 0x14 && firstByte <= 0x17;
}

TlsTransport *transportOf(SSL *ssl)
{
    return static_cast<TlsTransport *>(SSL_get_app_data(ssl));
}

// The session OpenSSL wants for an external key: TLS 1.3 and a SHA-256 suite, as stock peers
// (openssl s_client / s_server -psk) make it.
SSL_SESSION *newKeySession(SSL *ssl, const QByteArray &key)
{
    static const unsigned char Aes128GcmSha256[] = {0x13, 0x01};
    const SSL_CIPHER *cipher = SSL_CIPHER_find(ssl, Aes128GcmSha256);
    SSL_SESSION *session = cipher ? SSL_SESSION_new() : nullptr;
    if (session
        && SSL_SESSION_set1_master_key(session, reinterpret_cast<const unsigned char *>(
                                                    key.constData()), size_t(key.size()))
        && SSL_SESSION_set_cipher(session, cipher)
        && SSL_SESSION_set_protocol_version(session, TLS1_3_VERSION))
        return session;
    SSL_SESSION_free(session);
    return nullptr;
}

constexpr int WriteBufferBytes = 64 * 1024;

int clampedSize(qint64 size)
{
    return int(qMin<qint64>(size, INT_MAX));
}

Transport::Result moved(Transport::Io io, qint64 bytes = 0)
{
    Transport::Result result;
    result.io = io;
    result.bytes = bytes;
    return result;
}

QString openSslReason(unsigned long error)
{
    const char *reason = ERR_reason_error_string(error);
    return reason ? QString::fromLatin1(reason) : u"TLS"_s;
}

} // namespace

TlsTransport::TlsTransport(int socket, std::shared_ptr<const TlsContext> context,
                           const QString &peerName)
    : m_context(std::move(context))
{
    m_wire.socket = socket;
    // A handshake flight and each reply go out as several records: with Nagle's delay the
    // second would wait for the peer's delayed acknowledgement (40 ms) every time.
    basWSock::SetNoDelay(socket);
    m_ssl = SSL_new(m_context->handle());
    BIO *bio = m_ssl ? TlsWire::newBio(&m_wire) : nullptr;
    if (!bio) {
        SSL_free(m_ssl);
        m_ssl = nullptr;
        return;
    }
    // Reads straight from the socket; writes through a buffer (see flush()). The socket BIO is
    // held by both sides, so it takes a second reference.
    BIO *buffer = BIO_new(BIO_f_buffer());
    if (!buffer || BIO_set_write_buffer_size(buffer, WriteBufferBytes) != 1) {
        BIO_free(buffer);
        BIO_free(bio);
        SSL_free(m_ssl);
        m_ssl = nullptr;
        return;
    }
    BIO_up_ref(bio);
    SSL_set_bio(m_ssl, bio, BIO_push(buffer, bio));
    SSL_set_app_data(m_ssl, this);
    if (m_context->trust() == TlsContext::Trust::Certificate) {
        if (!checkPeerName(peerName)) {
            SSL_free(m_ssl);
            m_ssl = nullptr;
            return;
        }
        SSL_set_connect_state(m_ssl);
    } else if (m_context->role() == TlsContext::Role::Server) {
        SSL_set_psk_find_session_callback(m_ssl, &TlsTransport::findSession);
        SSL_set_accept_state(m_ssl);
    } else {
        SSL_set_psk_use_session_callback(m_ssl, &TlsTransport::useSession);
        SSL_set_connect_state(m_ssl);
    }
}

TlsTransport::~TlsTransport()
{
    // SSL_free wipes the session keys OpenSSL holds.
    SSL_free(m_ssl);
}

bool TlsTransport::checkPeerName(const QString &peerName)
{
    // Without a name to check, any certificate the CAs signed would pass: refuse instead.
    const QByteArray name = peerName.trimmed().toUtf8();
    if (name.isEmpty())
        return false;
    X509_VERIFY_PARAM *param = SSL_get0_param(m_ssl);
    if (X509_VERIFY_PARAM_set1_ip_asc(param, name.constData()) == 1)
        return true;
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    return SSL_set_tlsext_host_name(m_ssl, name.constData()) == 1
        && SSL_set1_host(m_ssl, name.constData()) == 1;
}

int TlsTransport::findSession(SSL *ssl, const unsigned char *identity, size_t length,
                              SSL_SESSION **session)
{
    TlsTransport *self = transportOf(ssl);
    const QByteArrayView offered(reinterpret_cast<const char *>(identity), qsizetype(length));
    self->m_offered = offered.first(qMin<qsizetype>(offered.size(), 128)).toByteArray();
    const PskKeyList::Entry *entry = self->m_context->keys().find(offered);
    // An unknown identity is no error here: the handshake then fails for want of a key.
    *session = entry ? newKeySession(ssl, entry->key) : nullptr;
    if (*session)
        self->m_identity = entry->identity;
    return 1;
}

int TlsTransport::useSession(SSL *ssl, const EVP_MD *digest, const unsigned char **identity,
                             size_t *length, SSL_SESSION **session)
{
    TlsTransport *self = transportOf(ssl);
    const PskKeyList::Entry &entry = self->m_context->keys().at(0);
    SSL_SESSION *made = newKeySession(ssl, entry.key);
    // After a retry request the server has chosen a suite: offer the key only if it fits.
    if (made && digest && SSL_CIPHER_get_handshake_digest(SSL_SESSION_get0_cipher(made)) != digest) {
        SSL_SESSION_free(made);
        made = nullptr;
    }
    *session = made;
    *identity = reinterpret_cast<const unsigned char *>(entry.identity.constData());
    *length = size_t(entry.identity.size());
    if (made)
        self->m_identity = entry.identity;
    return made ? 1 : 0;
}

Transport::Result TlsTransport::handshake()
{
    if (!m_ssl)
        return failed(0, u"暗号化通信を準備できません。"_s);
    if (m_established)
        return {};
    ERR_clear_error();
    const int returned = SSL_do_handshake(m_ssl);
    if (returned == 1) {
        m_established = true;
        return {};
    }
    return outcome(returned, true);
}

Transport::Result TlsTransport::read(char *data, qint64 max)
{
    if (!m_established)
        return failed(0, u"暗号化が確立していません。"_s);
    // One record per SSL_read: gather what is already here, so that a large transfer reaches
    // the caller in chunks as large as a plain read's. An error after some bytes is kept by the
    // session and returned by the next call.
    // OpenSSL's error queue is the thread's, shared by every session: none may see another's.
    ERR_clear_error();
    qint64 got = 0;
    while (got < max) {
        const int returned = SSL_read(m_ssl, data + got, clampedSize(max - got));
        if (returned > 0) {
            got += returned;
            continue;
        }
        if (got == 0)
            return outcome(returned, false);
        ERR_clear_error(); // the next call meets the same end of the session again
        break;
    }
    return moved(Io::Done, got);
}

Transport::Result TlsTransport::write(const char *data, qint64 size)
{
    if (!m_established)
        return failed(0, u"暗号化が確立していません。"_s);
    if (size <= 0)
        return {};
    ERR_clear_error();
    const int returned = SSL_write(m_ssl, data, clampedSize(size));
    if (returned > 0)
        return moved(Io::Done, returned);
    return outcome(returned, false);
}

qint64 TlsTransport::pendingBytes() const
{
    if (!m_ssl)
        return 0;
    // With read-ahead the session may hold whole records not yet decrypted: they count too.
    return SSL_has_pending(m_ssl) ? qMax(1, SSL_pending(m_ssl)) : 0;
}

QString TlsTransport::description() const
{
    if (m_context->trust() == TlsContext::Trust::Certificate) {
        if (!m_established)
            return {};
        return QString::fromLatin1(SSL_get_version(m_ssl)) + u' '
            + QString::fromLatin1(SSL_CIPHER_get_name(SSL_get_current_cipher(m_ssl)));
    }
    return u"TLS 1.3 "_s + QString::fromLatin1(m_identity);
}

Transport::Result TlsTransport::flush()
{
    if (!m_ssl)
        return {};
    BIO *wbio = SSL_get_wbio(m_ssl);
    if (BIO_wpending(wbio) <= 0)
        return {};
    ERR_clear_error();
    if (BIO_flush(wbio) > 0)
        return {};
    if (BIO_should_retry(wbio))
        return moved(Io::WantWrite);
    return failed(m_wire.wsaError, basWSock::WsaErrorText(m_wire.wsaError));
}

void TlsTransport::shutdown()
{
    // One close_notify, no waiting for the peer's: the connection closes right after.
    if (m_ssl && m_established && !m_failed)
        SSL_shutdown(m_ssl);
}

Transport::Result TlsTransport::outcome(int returned, bool handshaking)
{
    const int error = SSL_get_error(m_ssl, returned);
    switch (error) {
    case SSL_ERROR_WANT_READ:
        return moved(Io::WantRead);
    case SSL_ERROR_WANT_WRITE:
        return moved(Io::WantWrite);
    case SSL_ERROR_ZERO_RETURN:
        return moved(Io::Closed);
    default:
        break;
    }
    const unsigned long detail = ERR_peek_last_error();
    ERR_clear_error();
    const bool endOfStream = m_wire.wsaError == 0
        && (error == SSL_ERROR_SYSCALL
            || ERR_GET_REASON(detail) == SSL_R_UNEXPECTED_EOF_WHILE_READING);
    if (endOfStream && !handshaking)
        return moved(Io::Closed); // our frames carry their length: a cut is seen by the reader
    // A plain agent drops a hello it cannot parse, often with a reset.
    const bool reset = m_wire.wsaError == basWSock::WsaEConnReset;
    if (handshaking && (endOfStream || reset))
        return failed(m_wire.wsaError, handshakeFailure(0));
    if (m_wire.wsaError != 0)
        return failed(m_wire.wsaError, basWSock::WsaErrorText(m_wire.wsaError));
    if (handshaking)
        return failed(0, handshakeFailure(detail));
    return failed(0, u"暗号化通信のエラーです（"_s + openSslReason(detail) + u"）。"_s);
}

QString TlsTransport::handshakeFailure(unsigned long error) const
{
    if (m_wire.firstByte >= 0 && !isTlsRecordType(m_wire.firstByte))
        return u"相手が暗号化通信（TLS）に対応していません。"_s;
    if (m_context->trust() == TlsContext::Trust::Certificate) {
        const long verified = SSL_get_verify_result(m_ssl);
        if (verified != X509_V_OK)
            return u"サーバ証明書を検証できません（"_s
                + QString::fromLatin1(X509_verify_cert_error_string(verified)) + u"）。"_s;
    }
    if (error == 0)
        return u"暗号化の確立中に相手が接続を閉じました（鍵が合わないか、暗号化に対応していません）。"_s;
    const bool server = m_context->role() == TlsContext::Role::Server;
    const int reason = ERR_GET_REASON(error);
    if (server && !m_offered.isEmpty() && m_identity.isEmpty())
        return u"鍵の識別名「"_s + QString::fromLatin1(m_offered) + u"」は登録されていません。"_s;
    if (server && reason == SSL_R_BINDER_DOES_NOT_VERIFY)
        return u"鍵「"_s + QString::fromLatin1(m_identity) + u"」が一致しません。"_s;
    if (server && m_offered.isEmpty())
        return u"相手が事前共有鍵を示しませんでした。"_s;
    if (!server && (reason == SSL_R_TLSV1_ALERT_DECRYPT_ERROR
                    || reason == SSL_R_SSLV3_ALERT_ILLEGAL_PARAMETER
                    || reason == SSL_R_SSLV3_ALERT_HANDSHAKE_FAILURE))
        return u"相手に鍵が受け入れられませんでした（鍵または識別名が違います）。"_s;
    return u"暗号化を確立できません（"_s + openSslReason(error) + u"）。"_s;
}

Transport::Result TlsTransport::failed(int wsaError, const QString &text)
{
    m_failed = true;
    return {Io::Failed, 0, wsaError, text};
}
