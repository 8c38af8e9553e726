// Parses arbitrary text as a duration ("90s", "30m", "12h", "7d": the queue's --until) and checks
// that whatever is accepted is digits and a unit whose value is the result, within the bound.
#include "common/formats.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr qint64 MaxSeconds = 366LL * 86400;

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_duration: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto seconds = Formats::parseDuration(text, MaxSeconds);
    if (!seconds)
        return 0;
    if (*seconds < 1 || *seconds > MaxSeconds)
        fail("accepted a duration out of range");
    bool digits = false;
    const qlonglong count = text.chopped(1).toLongLong(&digits);
    const QChar unit = text.back();
    const qint64 factor = unit == u's' ? 1 : unit == u'm' ? 60 : unit == u'h' ? 3600
                        : unit == u'd' ? 86400 : 0;
    if (!digits || factor == 0 || text.front() == u'+' || count * factor != *seconds)
        fail("the accepted text does not say the result");
    return 0;
}
