#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

/// The files of the stock `minisign` tool, parsed without any cryptography: public key files
/// (one or more keys) and signature files (`<file>.minisig`) with their trusted comment.
namespace Minisign {

inline constexpr qsizetype KeyIdBytes = 8;
inline constexpr qsizetype PublicKeyBytes = 32;
inline constexpr qsizetype SignatureBytes = 64;
/// Larger key or signature files are refused unread: both are a few lines.
inline constexpr qsizetype MaxFileBytes = 64 * 1024;

struct PublicKey
{
    QByteArray keyId; // as stored in the files (not the reversed hex minisign prints)
    QByteArray key;   // Ed25519
};

enum class Algorithm {
    Prehashed, // "ED": the signature covers the BLAKE2b-512 digest of the file
    Legacy,    // "Ed": the signature covers the file itself
};

struct Signature
{
    Algorithm algorithm = Algorithm::Prehashed;
    QByteArray keyId;
    QByteArray signature;       // over the file (or its digest)
    QByteArray trustedComment;  // the text after "trusted comment: "
    QByteArray globalSignature; // over `signature` followed by `trustedComment`
};

/// The fields of a trusted comment ("timestamp:N<TAB>file:NAME<TAB>..."). A field that is
/// missing, malformed or given twice is absent here.
struct TrustedFields
{
    std::optional<qint64> timestamp;
    std::optional<QByteArray> file;
};

/// Every key of a public key file: comment lines ("untrusted comment:") and empty lines are
/// skipped, every other line must be a key. nullopt for a file without keys or with any line
/// that is no Ed25519 public key, so a damaged file is never half used.
std::optional<QList<PublicKey>> parsePublicKeys(QByteArrayView text);
/// A signature file: untrusted comment, signature line, trusted comment, global signature.
std::optional<Signature> parseSignature(QByteArrayView text);
TrustedFields parseTrustedComment(QByteArrayView comment);
/// The key of `keys` with `keyId`; nullptr when none has it.
const PublicKey *findKey(const QList<PublicKey> &keys, QByteArrayView keyId);

} // namespace Minisign
