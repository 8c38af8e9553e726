#include "platform/displayserver.h"

#include <QByteArray>
#include <QRegularExpression>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// `path` as a Unix socket address; a leading '@' names the abstract namespace.
bool acceptsConnection(const QByteArray &path)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(path.size()));
    if (address.sun_path[0] == '@')
        address.sun_path[0] = '\0';
    else
        length += 1; // the path's terminating NUL
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0;
    ::close(fd);
    return connected;
}

bool waylandReachable(const QByteArray &name)
{
    if (name.startsWith('/'))
        return acceptsConnection(name);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && acceptsConnection(runtime + '/' + name);
}

bool x11Reachable(const QByteArray &display)
{
    // [host]:number[.screen]; an empty host or "unix" means the local socket.
    static const QRegularExpression form(u"^(.*):(\\d+)(\\.\\d+)?$"_s);
    const QRegularExpressionMatch match = form.match(QString::fromLocal8Bit(display));
    if (!match.hasMatch())
        return false;
    const QString host = match.captured(1);
    if (!host.isEmpty() && host != u"unix")
        return true;
    const QByteArray socket = "/tmp/.X11-unix/X" + match.captured(2).toLatin1();
    return acceptsConnection('@' + socket) || acceptsConnection(socket);
}

} // namespace

bool DisplayServer::reachable()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    if (!wayland.isEmpty() && waylandReachable(wayland))
        return true;
    const QByteArray x11 = qgetenv("DISPLAY");
    return !x11.isEmpty() && x11Reachable(x11);
}
