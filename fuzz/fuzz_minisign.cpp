// Feeds arbitrary bytes to the minisign key, signature and trusted-comment parsers (the files an
// agent reads before it lets a new program in) and checks what they return: keys and
// signatures of exactly their sizes, a parsed signature that still parses when written back,
// and timestamps that are never negative.
#include "common/minisign.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_minisign: %s\n", what);
        std::abort();
    }
}

QByteArray writtenBack(const Minisign::Signature &signature)
{
    const QByteArray algorithm =
        signature.algorithm == Minisign::Algorithm::Prehashed ? "ED" : "Ed";
    return "untrusted comment: x\n" + (algorithm + signature.keyId + signature.signature).toBase64()
           + "\ntrusted comment: " + signature.trustedComment + '\n'
           + signature.globalSignature.toBase64() + '\n';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    if (const auto keys = Minisign::parsePublicKeys(bytes)) {
        check(!keys->isEmpty(), "a key file without keys was accepted");
        for (const Minisign::PublicKey &key : *keys) {
            check(key.keyId.size() == Minisign::KeyIdBytes, "key id size");
            check(key.key.size() == Minisign::PublicKeyBytes, "key size");
            check(Minisign::findKey(*keys, key.keyId) != nullptr, "a key not found by its id");
        }
    }

    if (const auto signature = Minisign::parseSignature(bytes)) {
        check(signature->keyId.size() == Minisign::KeyIdBytes, "signature key id size");
        check(signature->signature.size() == Minisign::SignatureBytes, "signature size");
        check(signature->globalSignature.size() == Minisign::SignatureBytes, "global size");
        check(!signature->trustedComment.contains('\n'), "a line end in the trusted comment");
        // A CR before the line end is read as part of it, and a file may outgrow the limit
        // when written back with padding: such signatures cannot come back.
        const QByteArray back = writtenBack(*signature);
        const bool cannotComeBack = signature->trustedComment.endsWith('\r')
                                    || back.size() > Minisign::MaxFileBytes;
        const auto again = Minisign::parseSignature(back);
        check(cannotComeBack
                  || (again && again->signature == signature->signature
                      && again->trustedComment == signature->trustedComment),
              "a parsed signature does not parse again");
    }

    const Minisign::TrustedFields fields = Minisign::parseTrustedComment(bytes);
    check(!fields.timestamp || *fields.timestamp >= 0, "negative timestamp");
    check(!fields.file || !fields.file->contains('\t'), "a tab in the file name");
    return 0;
}
