#include "signing/signedfilecheck.h"

#include "signing/signaturecrypto.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace {

QByteArray signedComment(const Minisign::Signature &signature)
{
    return signature.signature + signature.trustedComment;
}

/// The timestamp of the accepted signature of the running program; nullopt (refused) when a
/// record is there but unreadable, 0 when there is none.
std::optional<qint64> recordTimestamp(const QString &recordFile)
{
    if (recordFile.isEmpty() || !QFile::exists(recordFile))
        return 0;
    const auto text = readMinisignFile(recordFile);
    const auto record = text ? Minisign::parseSignature(*text) : std::nullopt;
    if (!record)
        return std::nullopt;
    return Minisign::parseTrustedComment(record->trustedComment).timestamp;
}

} // namespace

std::optional<QByteArray> readMinisignFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > Minisign::MaxFileBytes)
        return std::nullopt;
    QByteArray bytes = file.read(Minisign::MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

QString refusalText(SignatureRefusal refusal)
{
    switch (refusal) {
    case SignatureRefusal::KeyFileUnreadable: return u"公開鍵ファイルを読み込めません。"_s;
    case SignatureRefusal::SignatureMissing: return u"署名ファイルがありません。"_s;
    case SignatureRefusal::SignatureMalformed: return u"署名ファイルの形式が不正です。"_s;
    case SignatureRefusal::UnknownKey: return u"署名の鍵が公開鍵ファイルにありません。"_s;
    case SignatureRefusal::TrustedCommentForged:
        return u"署名の信頼済みコメントが改ざんされています。"_s;
    case SignatureRefusal::NoTimestamp:
        return u"署名の信頼済みコメントにtimestampがありません。"_s;
    case SignatureRefusal::OtherFile: return u"署名は別のファイルのものです。"_s;
    case SignatureRefusal::NotNewer:
        return u"署名が実行中のプログラムの署名より新しくありません。"_s;
    case SignatureRefusal::RecordUnreadable:
        return u"実行中のプログラムの署名記録を読み込めません。"_s;
    case SignatureRefusal::FileUnreadable: return u"プログラムファイルを読み込めません。"_s;
    case SignatureRefusal::ContentMismatch: return u"プログラムが署名と一致しません。"_s;
    }
    return {};
}

std::variant<SignedFileCheck, SignatureRefusal> SignedFileCheck::begin(const Files &files)
{
    const auto keyText = readMinisignFile(files.keyFile);
    const auto keys = keyText ? Minisign::parsePublicKeys(*keyText) : std::nullopt;
    if (!keys)
        return SignatureRefusal::KeyFileUnreadable;
    if (!QFile::exists(files.signatureFile))
        return SignatureRefusal::SignatureMissing;
    SignedFileCheck check;
    const auto text = readMinisignFile(files.signatureFile);
    const auto signature = text ? Minisign::parseSignature(*text) : std::nullopt;
    if (!signature)
        return SignatureRefusal::SignatureMalformed;
    // The key named by the signature, never a guess among the others.
    const Minisign::PublicKey *key = Minisign::findKey(*keys, signature->keyId);
    if (!key)
        return SignatureRefusal::UnknownKey;
    if (!SignatureCrypto::verifyEd25519(key->key, signedComment(*signature),
                                        signature->globalSignature))
        return SignatureRefusal::TrustedCommentForged;

    const Minisign::TrustedFields fields = Minisign::parseTrustedComment(signature->trustedComment);
    if (!fields.timestamp)
        return SignatureRefusal::NoTimestamp;
    if (!fields.file
        || QString::fromUtf8(*fields.file).compare(files.fileName, Qt::CaseInsensitive) != 0)
        return SignatureRefusal::OtherFile;
    const auto running = recordTimestamp(files.recordFile);
    if (!running)
        return SignatureRefusal::RecordUnreadable;
    // No replay: a site that goes back to an older program signs it anew.
    if (*fields.timestamp <= *running)
        return SignatureRefusal::NotNewer;

    check.m_signature = *signature;
    check.m_key = *key;
    check.m_signatureText = *text;
    if (signature->algorithm == Minisign::Algorithm::Prehashed)
        check.m_hash = std::make_unique<SignatureCrypto::Blake2b512>();
    return check;
}

SignedFileCheck::SignedFileCheck(SignedFileCheck &&) noexcept = default;
SignedFileCheck &SignedFileCheck::operator=(SignedFileCheck &&) noexcept = default;
SignedFileCheck::~SignedFileCheck() = default;

void SignedFileCheck::add(QByteArrayView chunk)
{
    if (m_hash)
        m_hash->update(chunk);
    else
        m_content.append(chunk);
}

std::optional<SignatureRefusal> SignedFileCheck::finish()
{
    const QByteArray message = m_hash ? m_hash->digest() : std::exchange(m_content, {});
    if ((m_hash && message.isEmpty())
        || !SignatureCrypto::verifyEd25519(m_key.key, message, m_signature.signature))
        return SignatureRefusal::ContentMismatch;
    return std::nullopt;
}
