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

/// Where the files of a signed update lie and how they are checked.
namespace UpdateSignature {

/// The signature of `file`: `file` + ".minisig".
QString signatureOf(const QString &file);
/// `setting` relative to `folder`, or as given when it is absolute.
QString keyFilePath(const QString &folder, const QString &setting);
/// `UpdateKeyFile` of section TarvoAgent, read whole; "" when updates are not verified.
QString keyFileSetting(const QString &iniPath);
/// Whether `keyFile` holds at least one public key and nothing else.
bool keysReadable(const QString &keyFile);
/// The files of the update of `program` by `newProgram` (names in `folder`): the new program's
/// signature beside it, the running program's record beside that, `file:` naming `program`.
SignedFileCheck::Files updateFiles(const QString &folder, const QString &keySetting,
                                   const QString &program, const QString &newProgram);
/// Checks the file at `path`, read in chunks.
std::optional<SignatureRefusal> checkFile(const QString &path, const SignedFileCheck::Files &files);

} // namespace UpdateSignature
