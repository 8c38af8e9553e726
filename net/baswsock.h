#pragma once

#include <QString>

#include <netinet/in.h>

/// The socket layer: thin functions over non-blocking BSD sockets. Every function that can fail
/// first clears its error text and on failure sets it to the Windows Sockets text of the error
/// (`WsaErrorText`), so callers can log it as it stands.
namespace basWSock {

constexpr int InvalidSocket = -1;
constexpr int SocketError = -1;

// Windows Sockets constants kept by the protocol code.
constexpr int AfInet = 2;
constexpr int SockStream = 1;
constexpr int FdRead = 1;
constexpr int FdWrite = 2;
constexpr int FdAccept = 8;
constexpr int FdConnect = 16;
constexpr int FdClose = 32;

// Windows Sockets error codes used by callers.
constexpr int WsaEWouldBlock = 10035;
constexpr int WsaEConnReset = 10054;
constexpr int WsaETimedOut = 10060;
constexpr int WsaEConnRefused = 10061;

/// Prepares the socket layer (SIGPIPE is never raised: sends use MSG_NOSIGNAL). Returns 0.
int StartupSockets(QString &errorText);
int CleanupSockets(QString &errorText);

/// A non-blocking, close-on-exec socket; InvalidSocket on failure.
int CreateSocket(int family, int type, QString &errorText);
/// Returns 0, or SocketError (with the error text) for a handle that is not open.
int CloseSocket(int socket, QString &errorText);

/// The Japanese sentence for a Windows Sockets error code; "(" + code + ")" for any other code.
QString WsaErrorText(int code);
/// The Windows Sockets code for an errno value (ECONNREFUSED -> 10061, ...).
int WsaCodeFromErrno(int err);
/// The Windows Sockets code of the last failed call on this thread (WSAGetLastError).
int LastError();

inline int LoByte(int value) { return value & 0xFF; }
inline int HiByte(int value) { return (value / 256) & 0xFF; }

/// Binds to `port` on `listenAddress` (empty: every local address) with SO_REUSEADDR; the
/// address used is returned through `address`.
int BindSocket(int socket, int port, const QString &listenAddress, sockaddr_in &address,
               QString &errorText);
int ListenSocket(int socket, int backlog, QString &errorText);
/// accept(); the new socket is non-blocking and close-on-exec. InvalidSocket on failure
/// (LastError() tells WsaEWouldBlock apart from a real error).
int AcceptSocket(int listenSocket, QString &errorText);

/// The first IPv4 address of `name` as dotted decimal; the empty text for an unknown name.
QString HostToAddress(const QString &name);
/// The peer's dotted address and port; returns SocketError when the peer is unknown.
int GetPeerAddress(int socket, QString &addressText, int &port);
/// The local port a socket is bound to (useful after binding port 0); SocketError when unbound.
int GetLocalPort(int socket);
/// Turns off Nagle's delay, for a protocol that sends several small writes per exchange.
int SetNoDelay(int socket);

/// The IPv4 address (network byte order) of a dotted address or a host name; nullopt-like
/// INADDR_NONE (0xFFFFFFFF) when the name is unknown.
quint32 ResolveHost(const QString &host);
/// Starts a non-blocking connect to `host`:`portText`. Returns 0 when the connect is under way
/// or done (completion arrives as an FD_CONNECT notification), SocketError otherwise.
int ConnectSocket(int socket, const QString &host, const QString &portText, QString &errorText);

/// recv() of at most `length` bytes: the count, 0 when the peer closed, SocketError on error.
qint64 Recv(int socket, char *buffer, qint64 length, QString &errorText);
/// recv() with MSG_PEEK: the bytes stay queued for the next Recv. Same results as Recv.
qint64 Peek(int socket, char *buffer, qint64 length, QString &errorText);
/// One send() with MSG_NOSIGNAL: the count sent (maybe fewer than asked), SocketError on error.
qint64 Send(int socket, const char *data, qint64 length, QString &errorText);

} // namespace basWSock
