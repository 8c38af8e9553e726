#pragma once

#include "net/pskkeylist.h"

#include <QString>

#include <memory>

struct ssl_ctx_st;

/// What every encrypted session of one side shares: TLS 1.3 only, an external pre-shared key
/// with (EC)DHE key exchange (forward secrecy), the suites TLS_AES_128_GCM_SHA256 and
/// TLS_CHACHA20_POLY1305_SHA256, no certificate and no session ticket (one request per
/// connection needs no resumption). It holds the keys: the agent accepts any key listed, the
/// console offers the first.
class TlsContext
{
public:
    enum class Role { Client, Server };

    /// nullptr (with the reason) when OpenSSL refuses the settings or `keys` is empty.
    static std::shared_ptr<const TlsContext> create(Role role, PskKeyList keys,
                                                    QString *error = nullptr);
    ~TlsContext();
    TlsContext(const TlsContext &) = delete;
    TlsContext &operator=(const TlsContext &) = delete;

    Role role() const { return m_role; }
    const PskKeyList &keys() const { return m_keys; }
    ssl_ctx_st *handle() const { return m_context; }

private:
    TlsContext(Role role, PskKeyList keys, ssl_ctx_st *context);

    Role m_role;
    PskKeyList m_keys;
    ssl_ctx_st *m_context;
};
