#pragma once

#include "common/minisign.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <variant>

namespace SignatureCrypto {
class Blake2b512;
}

/// Why a signed file is refused. Each has one line of text for the status log or a terminal.
enum class SignatureRefusal {
    KeyFileUnreadable,
    SignatureMissing,
    SignatureMalformed,
    UnknownKey,
    TrustedCommentForged,
    NoTimestamp,
    OtherFile,
    NotNewer,
    RecordUnreadable,
    FileUnreadable,
    ContentMismatch,
};

QString refusalText(SignatureRefusal refusal);
/// A key or signature file read whole; nullopt when it cannot be read or is larger than any.
std::optional<QByteArray> readMinisignFile(const QString &path);

/// The check of one signed file against a key file: the signature, its trusted comment (which
/// must name the file and carry a timestamp later than that of the record, when there is one)
/// and the content, which is fed in chunks so that it can be checked while it is copied.
class SignedFileCheck
{
public:
    struct Files
    {
        QString keyFile;       // one or more minisign public keys
        QString signatureFile; // the .minisig of the file
        QString recordFile;    // the accepted signature of the file it replaces; "" for none
        QString fileName;      // the name `file:` must give (compared without regard to case)
    };

    /// Reads the keys, the signature and the record and checks all but the content.
    static std::variant<SignedFileCheck, SignatureRefusal> begin(const Files &files);

    SignedFileCheck(SignedFileCheck &&) noexcept;
    SignedFileCheck &operator=(SignedFileCheck &&) noexcept;
    ~SignedFileCheck();

    /// The next bytes of the file.
    void add(QByteArrayView chunk);
    /// The verdict on the bytes added; nullopt when the file is the one that was signed.
    std::optional<SignatureRefusal> finish();
    /// The signature file as read: kept as the record once the file is installed.
    const QByteArray &signatureText() const { return m_signatureText; }

private:
    SignedFileCheck() = default;

    Minisign::Signature m_signature;
    Minisign::PublicKey m_key;
    QByteArray m_signatureText;
    std::unique_ptr<SignatureCrypto::Blake2b512> m_hash; // prehashed signatures
    QByteArray m_content;                                // legacy ones sign the file itself
};
