#include "signing/signaturecrypto.h"

#include <openssl/evp.h>

namespace SignatureCrypto {

struct Blake2b512::State
{
    EVP_MD *md = nullptr;
    EVP_MD_CTX *context = nullptr;
    bool ok = false;
};

Blake2b512::Blake2b512() : m_state(std::make_unique<State>())
{
    m_state->md = EVP_MD_fetch(nullptr, "BLAKE2B-512", nullptr);
    m_state->context = EVP_MD_CTX_new();
    m_state->ok = m_state->md && m_state->context
                  && EVP_DigestInit_ex2(m_state->context, m_state->md, nullptr) == 1;
}

Blake2b512::~Blake2b512()
{
    EVP_MD_CTX_free(m_state->context);
    EVP_MD_free(m_state->md);
}

void Blake2b512::update(QByteArrayView bytes)
{
    if (m_state->ok && !bytes.isEmpty())
        m_state->ok = EVP_DigestUpdate(m_state->context, bytes.data(), size_t(bytes.size())) == 1;
}

QByteArray Blake2b512::digest()
{
    QByteArray result(EVP_MAX_MD_SIZE, Qt::Uninitialized);
    unsigned int size = 0;
    if (!m_state->ok
        || EVP_DigestFinal_ex(m_state->context, reinterpret_cast<unsigned char *>(result.data()),
                              &size) != 1
        || size != 64) {
        m_state->ok = false;
        return {};
    }
    m_state->ok = false; // a context is finished once
    result.resize(size);
    return result;
}

bool verifyEd25519(QByteArrayView publicKey, QByteArrayView message, QByteArrayView signature)
{
    if (publicKey.size() != 32 || signature.size() != 64)
        return false;
    EVP_PKEY *key = EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char *>(publicKey.data()),
        size_t(publicKey.size()));
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    const bool valid =
        key && context && EVP_DigestVerifyInit(context, nullptr, nullptr, nullptr, key) == 1
        && EVP_DigestVerify(context, reinterpret_cast<const unsigned char *>(signature.data()),
                            size_t(signature.size()),
                            reinterpret_cast<const unsigned char *>(message.data()),
                            size_t(message.size()))
               == 1;
    EVP_MD_CTX_free(context);
    EVP_PKEY_free(key);
    return valid;
}

} // namespace SignatureCrypto
