// Parses arbitrary text as a database connection string (from the settings files and the
// command line) and checks what callers rely on: a target either names a driver or says why
// not, and no password of the text ever shows in the reason.
#include "db/connectionstring.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_connectionstring: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const ConnectionTarget target = parseConnectionString(text, QStringLiteral("/base"));
    if (target.isValid() == !target.error.isEmpty())
        fail("a target must name a driver or give a reason, not both or neither");
    for (const QString &secret : target.secrets) {
        if (secret.size() >= 4 && target.error.contains(secret))
            fail("a password shows in the reason");
    }
    return 0;
}
