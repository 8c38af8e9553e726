#pragma once

#include "net/pskkeylist.h"

#include <QString>

#include <memory>

struct ssl_ctx_st;

/// What every encrypted session of one side shares. Between console and agent: TLS 1.3 only,
/// an external pre-shared key with (EC)DHE key exchange (forward secrecy), the suites
/// TLS_AES_128_GCM_SHA256 and TLS_CHACHA20_POLY1305_SHA256, no certificate and no session
/// ticket (one request per connection needs no resumption); it holds the keys: the agent
/// accepts any key listed, the console offers the first. Towards a public server (mail): a
/// client that checks the server's certificate chain and name, TLS 1.2 or later.
class TlsContext
{
public:
    enum class Role { Client, Server };
    enum class Trust { PreSharedKey, Certificate };

    /// nullptr (with the reason) when OpenSSL refuses the settings or `keys` is empty.
    static std::shared_ptr<const TlsContext> create(Role role, PskKeyList keys,
                                                    QString *error = nullptr);
    /// A client that trusts the certificates `caFile` (PEM) vouches for, or the system's store
    /// when it is empty; nullptr (with the reason) when the file cannot be used.
    static std::shared_ptr<const TlsContext> createCertificateClient(const QString &caFile,
                                                                     QString *error = nullptr);
    ~TlsContext();
    TlsContext(const TlsContext &) = delete;
    TlsContext &operator=(const TlsContext &) = delete;

    Role role() const { return m_role; }
    Trust trust() const { return m_trust; }
    const PskKeyList &keys() const { return m_keys; }
    ssl_ctx_st *handle() const { return m_context; }

private:
    TlsContext(Role role, PskKeyList keys, ssl_ctx_st *context);

    Role m_role;
    Trust m_trust = Trust::PreSharedKey;
    PskKeyList m_keys;
    ssl_ctx_st *m_context;
};
