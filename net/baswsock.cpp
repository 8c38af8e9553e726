#include "net/baswsock.h"
#include "net/baswsockdetail.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace basWSock {

namespace {

// Records errno as the thread's last error and fills the caller's text; returns SocketError.
int fail(int wsaCode, QString &errorText)
{
    detail::setLastError(wsaCode);
    errorText = WsaErrorText(wsaCode);
    return SocketError;
}

int failErrno(QString &errorText)
{
    return fail(WsaCodeFromErrno(errno), errorText);
}

int nativeFamily(int family)
{
    return family == AfInet ? AF_INET : family;
}

int nativeType(int type)
{
    return type == SockStream ? SOCK_STREAM : type;
}

} // namespace

int StartupSockets(QString &errorText)
{
    // Nothing to start here; SIGPIPE is avoided per call with MSG_NOSIGNAL.
    errorText.clear();
    return 0;
}

int CleanupSockets(QString &errorText)
{
    errorText.clear();
    return 0;
}

int CreateSocket(int family, int type, QString &errorText)
{
    errorText.clear();
    const int s = ::socket(nativeFamily(family), nativeType(type) | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s < 0)
        return failErrno(errorText);
    return s;
}

int CloseSocket(int socket, QString &errorText)
{
    errorText.clear();
    if (socket < 0)
        return fail(WsaCodeFromErrno(EBADF), errorText);
    // Linux releases the descriptor even when close() is interrupted: never retry it.
    if (::close(socket) != 0 && errno != EINTR)
        return failErrno(errorText);
    return 0;
}

int BindSocket(int socket, int port, const QString &listenAddress, sockaddr_in &address,
               QString &errorText)
{
    errorText.clear();
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    // A port outside 16 bits would silently become another port: refuse it instead.
    if (port < 0 || port > 0xFFFF)
        return fail(WsaCodeFromErrno(EADDRNOTAVAIL), errorText);
    address.sin_port = htons(static_cast<quint16>(port));
    if (listenAddress.isEmpty()) {
        address.sin_addr.s_addr = htonl(INADDR_ANY);
    } else if (::inet_pton(AF_INET, listenAddress.toLatin1().constData(), &address.sin_addr) != 1) {
        return fail(WsaCodeFromErrno(EADDRNOTAVAIL), errorText);
    }
    const int on = 1;
    if (::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        return failErrno(errorText);
    if (::bind(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return failErrno(errorText);
    return 0;
}

int ListenSocket(int socket, int backlog, QString &errorText)
{
    errorText.clear();
    if (::listen(socket, backlog) != 0)
        return failErrno(errorText);
    return 0;
}

int AcceptSocket(int listenSocket, QString &errorText)
{
    errorText.clear();
    int s;
    do {
        s = ::accept4(listenSocket, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    } while (s < 0 && errno == EINTR);
    if (s < 0)
        return failErrno(errorText);
    return s;
}

int GetPeerAddress(int socket, QString &addressText, int &port)
{
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int rc = ::getpeername(socket, reinterpret_cast<sockaddr *>(&peer), &length);
    if (rc != 0 || peer.sin_family != AF_INET) {
        detail::setLastError(WsaCodeFromErrno(rc != 0 ? errno : EAFNOSUPPORT));
        addressText.clear();
        port = 0;
        return SocketError;
    }
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    addressText = QString::fromLatin1(text);
    port = ntohs(peer.sin_port);
    return 0;
}

int GetLocalPort(int socket)
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    const int rc = ::getsockname(socket, reinterpret_cast<sockaddr *>(&local), &length);
    if (rc != 0 || local.sin_family != AF_INET) {
        detail::setLastError(WsaCodeFromErrno(rc != 0 ? errno : EAFNOSUPPORT));
        return SocketError;
    }
    return ntohs(local.sin_port);
}

int SetNoDelay(int socket)
{
    const int on = 1;
    if (::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
        detail::setLastError(WsaCodeFromErrno(errno));
        return SocketError;
    }
    return 0;
}

qint64 Recv(int socket, char *buffer, qint64 length, QString &errorText)
{
    errorText.clear();
    ssize_t n;
    do {
        n = ::recv(socket, buffer, static_cast<size_t>(qMax<qint64>(length, 0)), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return failErrno(errorText);
    return n;
}

qint64 Peek(int socket, char *buffer, qint64 length, QString &errorText)
{
    errorText.clear();
    ssize_t n;
    do {
        n = ::recv(socket, buffer, static_cast<size_t>(qMax<qint64>(length, 0)), MSG_PEEK);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return failErrno(errorText);
    return n;
}

qint64 Send(int socket, const char *data, qint64 length, QString &errorText)
{
    errorText.clear();
    ssize_t n;
    do {
        n = ::send(socket, data, static_cast<size_t>(qMax<qint64>(length, 0)), MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return failErrno(errorText);
    return n;
}

} // namespace basWSock
