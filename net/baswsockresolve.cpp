// The client half of the socket layer: name resolution and non-blocking connect.
#include "net/baswsock.h"
#include "net/baswsockdetail.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <sys/socket.h>

#include <optional>

using namespace Qt::StringLiterals;

namespace basWSock {

namespace {

// Names under the reserved "invalid" top-level domain never exist (RFC 6761): answer at once
// instead of asking a name server.
bool isReservedInvalid(const QString &name)
{
    QString n = name.toLower();
    if (n.endsWith(u'.'))
        n.chop(1);
    return n == u"invalid"_s || n.endsWith(u".invalid"_s);
}

// The first IPv4 address of `name` (network byte order); sets LastError() when unknown.
std::optional<in_addr> lookupIPv4(const QString &name)
{
    if (name.isEmpty() || isReservedInvalid(name)) {
        detail::setLastError(11001);
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *result = nullptr;
    // The resolver takes host names as UTF-8 (the form IDN names arrive in).
    const int rc = ::getaddrinfo(name.toUtf8().constData(), nullptr, &hints, &result);
    if (rc != 0) {
        detail::setLastError(detail::resolverCode(rc, errno));
        return std::nullopt;
    }
    std::optional<in_addr> address;
    for (const addrinfo *ai = result; ai; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addr) {
            address = reinterpret_cast<const sockaddr_in *>(ai->ai_addr)->sin_addr;
            break;
        }
    }
    ::freeaddrinfo(result);
    if (!address)
        detail::setLastError(11004);
    return address;
}

} // namespace

QString HostToAddress(const QString &name)
{
    const auto address = lookupIPv4(name);
    if (!address)
        return {};
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &*address, text, sizeof text);
    return QString::fromLatin1(text);
}

quint32 ResolveHost(const QString &host)
{
    const in_addr_t numeric = ::inet_addr(host.toLatin1().constData());
    if (numeric != INADDR_NONE)
        return numeric;
    const auto address = lookupIPv4(host);
    return address ? address->s_addr : INADDR_NONE;
}

int ConnectSocket(int socket, const QString &host, const QString &portText, QString &errorText)
{
    errorText.clear();
    auto fail = [&errorText](int code) {
        detail::setLastError(code);
        errorText = WsaErrorText(code);
        return SocketError;
    };
    bool ok = false;
    const int port = portText.trimmed().toInt(&ok);
    if (!ok || port <= 0 || port > 0xFFFF)
        return fail(WsaCodeFromErrno(EADDRNOTAVAIL));
    const quint32 address = ResolveHost(host);
    if (address == INADDR_NONE)
        return fail(LastError());

    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<quint16>(port));
    target.sin_addr.s_addr = address;
    if (::connect(socket, reinterpret_cast<const sockaddr *>(&target), sizeof target) == 0)
        return 0;
    // An interrupted non-blocking connect goes on in the background, like EINPROGRESS.
    if (errno == EINPROGRESS || errno == EINTR) {
        // As with an asynchronous connect on Windows: "would block", the outcome follows as
        // an FdConnect notification.
        detail::setLastError(WsaEWouldBlock);
        return 0;
    }
    return fail(WsaCodeFromErrno(errno));
}

} // namespace basWSock
