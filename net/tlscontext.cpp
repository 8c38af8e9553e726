#include "net/tlscontext.h"

#include <QFile>

#include <openssl/err.h>
#include <openssl/ssl.h>

using namespace Qt::StringLiterals;

namespace {

// Four records at a time; the session's memory stays far below the frame bound.
constexpr size_t ReadBufferBytes = 64 * 1024;
constexpr char Suites[] = "TLS_AES_128_GCM_SHA256:TLS_CHACHA20_POLY1305_SHA256";

void setStreamModes(SSL_CTX *context)
{
    // Partial writes let a write take what one record holds, as send() takes what fits, and
    // the caller may hand the rest of its buffer at another address next time.
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // A recv takes as many records as have arrived, not a header and a body apiece.
    SSL_CTX_set_read_ahead(context, 1);
    SSL_CTX_set_default_read_buffer_len(context, ReadBufferBytes);
    SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_OFF);
}

bool configure(SSL_CTX *context)
{
    SSL_CTX_set_options(context, SSL_OP_NO_TICKET);
    setStreamModes(context);
    return SSL_CTX_set_min_proto_version(context, TLS1_3_VERSION) == 1
        && SSL_CTX_set_max_proto_version(context, TLS1_3_VERSION) == 1
        && SSL_CTX_set_ciphersuites(context, Suites) == 1
        && SSL_CTX_set_num_tickets(context, 0) == 1;
}

QString reasonText()
{
    const char *reason = ERR_reason_error_string(ERR_get_error());
    ERR_clear_error();
    return reason ? QString::fromLatin1(reason) : u"OpenSSL"_s;
}

} // namespace

TlsContext::TlsContext(Role role, PskKeyList keys, SSL_CTX *context)
    : m_role(role), m_keys(std::move(keys)), m_context(context)
{
}

TlsContext::~TlsContext()
{
    SSL_CTX_free(m_context);
}

std::shared_ptr<const TlsContext> TlsContext::create(Role role, PskKeyList keys, QString *error)
{
    if (keys.isEmpty()) {
        if (error)
            *error = u"no pre-shared key"_s;
        return nullptr;
    }
    SSL_CTX *context =
        SSL_CTX_new(role == Role::Server ? TLS_server_method() : TLS_client_method());
    if (!context || !configure(context)) {
        if (error)
            *error = u"OpenSSL refused the TLS 1.3 settings: "_s
                + QString::fromLatin1(ERR_reason_error_string(ERR_get_error()));
        ERR_clear_error();
        SSL_CTX_free(context);
        return nullptr;
    }
    if (role == Role::Client)
        keys.keepFirst();
    return std::shared_ptr<const TlsContext>(new TlsContext(role, std::move(keys), context));
}

std::shared_ptr<const TlsContext> TlsContext::createCertificateClient(const QString &caFile,
                                                                     QString *error)
{
    SSL_CTX *context = SSL_CTX_new(TLS_client_method());
    if (!context || SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) != 1) {
        if (error)
            *error = u"OpenSSL refused the TLS settings: "_s + reasonText();
        SSL_CTX_free(context);
        return nullptr;
    }
    setStreamModes(context);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    const QByteArray path = QFile::encodeName(caFile);
    const bool trusted = caFile.isEmpty()
        ? SSL_CTX_set_default_verify_paths(context) == 1
        : SSL_CTX_load_verify_locations(context, path.constData(), nullptr) == 1;
    if (!trusted) {
        if (error)
            *error = u"CA証明書ファイルを読み込めません（"_s
                + (caFile.isEmpty() ? u"システムの証明書"_s : caFile) + u"："_s + reasonText()
                + u"）。"_s;
        SSL_CTX_free(context);
        return nullptr;
    }
    auto made = std::shared_ptr<TlsContext>(new TlsContext(Role::Client, {}, context));
    made->m_trust = Trust::Certificate;
    return made;
}
