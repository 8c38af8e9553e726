// Parses arbitrary text as a MAC address (as the inventory file and the database give it) and
// checks that whatever is accepted is six bytes whose text reads back to the same bytes, and
// that its magic packet has the fixed shape.
#include "net/wakeonlan.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_macaddress: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto mac = WakeOnLan::parseMac(text);
    if (!mac)
        return 0;
    if (mac->size() != WakeOnLan::MacBytes)
        fail("accepted a MAC that is not six bytes");
    const QString canonical = WakeOnLan::macText(*mac);
    if (canonical.size() != 12 || WakeOnLan::parseMac(canonical) != mac)
        fail("the MAC text does not read back");
    const QByteArray packet = WakeOnLan::magicPacket(*mac);
    if (packet.size() != WakeOnLan::PacketBytes || !packet.startsWith(QByteArray(6, char(0xFF)))
        || packet.mid(6) != mac->repeated(16))
        fail("the magic packet has the wrong shape");
    return 0;
}
