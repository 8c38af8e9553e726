#include "common/minisign.h"

namespace Minisign {
namespace {

constexpr QByteArrayView UntrustedPrefix = "untrusted comment:";
constexpr QByteArrayView TrustedPrefix = "trusted comment: ";
constexpr QByteArrayView PrehashedId = "ED";
constexpr QByteArrayView LegacyId = "Ed";
constexpr QByteArrayView KeyAlgorithmId = "Ed";

/// The lines of a file written on any system: LF or CR LF, a last line with or without end.
QList<QByteArrayView> linesOf(QByteArrayView text)
{
    QList<QByteArrayView> lines;
    while (!text.isEmpty()) {
        qsizetype end = text.indexOf('\n');
        QByteArrayView line = end < 0 ? text : text.first(end);
        text = end < 0 ? QByteArrayView() : text.sliced(end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
    }
    return lines;
}

std::optional<QByteArray> decodeBase64(QByteArrayView line, qsizetype expectedBytes)
{
    auto decoded = QByteArray::fromBase64Encoding(line.trimmed().toByteArray(),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != expectedBytes)
        return std::nullopt;
    return std::move(decoded.decoded);
}

std::optional<PublicKey> parseKeyLine(QByteArrayView line)
{
    const auto bytes = decodeBase64(line, 2 + KeyIdBytes + PublicKeyBytes);
    if (!bytes || !bytes->startsWith(KeyAlgorithmId))
        return std::nullopt;
    return PublicKey{bytes->mid(2, KeyIdBytes), bytes->mid(2 + KeyIdBytes)};
}

/// A decimal number of seconds without sign, spaces or overflow.
std::optional<qint64> parseTimestamp(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 18)
        return std::nullopt;
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::optional<QList<PublicKey>> parsePublicKeys(QByteArrayView text)
{
    if (text.size() > MaxFileBytes)
        return std::nullopt;
    QList<PublicKey> keys;
    for (const QByteArrayView line : linesOf(text)) {
        if (line.trimmed().isEmpty() || line.startsWith(UntrustedPrefix))
            continue;
        const auto key = parseKeyLine(line);
        if (!key)
            return std::nullopt;
        keys.append(*key);
    }
    if (keys.isEmpty())
        return std::nullopt;
    return keys;
}

std::optional<Signature> parseSignature(QByteArrayView text)
{
    if (text.size() > MaxFileBytes)
        return std::nullopt;
    QList<QByteArrayView> lines = linesOf(text);
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    if (lines.size() != 4 || !lines[0].startsWith(UntrustedPrefix)
        || !lines[2].startsWith(TrustedPrefix))
        return std::nullopt;
    const auto signatureLine = decodeBase64(lines[1], 2 + KeyIdBytes + SignatureBytes);
    const auto global = decodeBase64(lines[3], SignatureBytes);
    if (!signatureLine || !global)
        return std::nullopt;

    Signature signature;
    const QByteArrayView algorithm = QByteArrayView(*signatureLine).first(2);
    if (algorithm == PrehashedId)
        signature.algorithm = Algorithm::Prehashed;
    else if (algorithm == LegacyId)
        signature.algorithm = Algorithm::Legacy;
    else
        return std::nullopt;
    signature.keyId = signatureLine->mid(2, KeyIdBytes);
    signature.signature = signatureLine->mid(2 + KeyIdBytes);
    signature.trustedComment = lines[2].sliced(TrustedPrefix.size()).toByteArray();
    signature.globalSignature = *global;
    return signature;
}

TrustedFields parseTrustedComment(QByteArrayView comment)
{
    // A field given twice could be read one way here and another way by a person: neither
    // value counts.
    int timestamps = 0;
    int files = 0;
    TrustedFields fields;
    for (const QByteArrayView field : comment.toByteArray().split('\t')) {
        if (field.startsWith("timestamp:")) {
            ++timestamps;
            fields.timestamp = parseTimestamp(field.sliced(10));
        } else if (field.startsWith("file:")) {
            ++files;
            fields.file = field.sliced(5).toByteArray();
        }
    }
    if (timestamps != 1)
        fields.timestamp.reset();
    if (files != 1)
        fields.file.reset();
    return fields;
}

const PublicKey *findKey(const QList<PublicKey> &keys, QByteArrayView keyId)
{
    for (const PublicKey &key : keys) {
        if (key.keyId == keyId)
            return &key;
    }
    return nullptr;
}

} // namespace Minisign
