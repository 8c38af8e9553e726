#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

/// The two primitives of a minisign signature, from OpenSSL 3.
namespace SignatureCrypto {

/// BLAKE2b-512 over a stream of chunks, so that a large file is never held whole.
class Blake2b512
{
public:
    Blake2b512();
    ~Blake2b512();
    Blake2b512(const Blake2b512 &) = delete;
    Blake2b512 &operator=(const Blake2b512 &) = delete;

    void update(QByteArrayView bytes);
    /// The 64-byte digest; empty when OpenSSL failed at any step.
    QByteArray digest();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

/// Whether `signature` (64 bytes) is the Ed25519 signature of `message` by `publicKey`
/// (32 bytes). One-shot, as Ed25519 requires.
bool verifyEd25519(QByteArrayView publicKey, QByteArrayView message, QByteArrayView signature);

} // namespace SignatureCrypto
