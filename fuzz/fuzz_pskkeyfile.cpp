// Parses arbitrary bytes as a pre-shared key file and checks what an accepted file gives: keys
// within their bounds, identities a peer can be sent, and each line reproducing its entry.
#include "net/pskkeyfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_pskkeyfile: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const auto keys = PskKeyFile::parse(text, &error);
    if (!keys) {
        if (error.isEmpty())
            fail("refused without a reason");
        return 0;
    }
    if (keys->isEmpty())
        fail("accepted a file without keys");
    for (qsizetype index = 0; index < keys->size(); ++index) {
        const PskKeyList::Entry &entry = keys->at(index);
        if (!PskKeyFile::isValidIdentity(entry.identity))
            fail("accepted an identity that cannot be sent");
        if (entry.key.size() < PskKeyList::MinKeyBytes || entry.key.size() > PskKeyList::MaxKeyBytes)
            fail("accepted a key out of bounds");
        const auto again = PskKeyFile::parse(PskKeyFile::line(entry.identity, entry.key), nullptr);
        if (!again || again->size() != 1 || again->at(0).identity != entry.identity
            || again->at(0).key != entry.key)
            fail("an entry does not read back from its own line");
        if (keys->find(entry.identity) != &entry)
            fail("an identity is listed twice");
    }
    return 0;
}
