#include "support_loopback.h"

#include "net/baswsock.h"
#include "net/socketnotifier.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>
#include <QString>

using namespace Qt::StringLiterals;
using namespace basWSock;

namespace {

void closeIfOpen(int &socket)
{
    if (socket < 0)
        return;
    QString error;
    CloseSocket(socket, error);
    socket = -1;
}

} // namespace

LoopbackPair::~LoopbackPair()
{
    closeIfOpen(client);
    closeIfOpen(server);
    closeIfOpen(listener);
}

bool LoopbackPair::open()
{
    QString error;
    sockaddr_in address{};
    listener = CreateSocket(AfInet, SockStream, error);
    if (listener < 0 || BindSocket(listener, 0, u"127.0.0.1"_s, address, error) != 0
        || ListenSocket(listener, 1, error) != 0)
        return false;
    const int port = GetLocalPort(listener);

    client = CreateSocket(AfInet, SockStream, error);
    SocketNotifier connectNote(client, FdConnect);
    QSignalSpy connected(&connectNote, &SocketNotifier::notified);
    if (client < 0 || ConnectSocket(client, u"127.0.0.1"_s, QString::number(port), error) != 0)
        return false;
    if (!connected.wait(5000) || connected.at(0).at(2).toInt() != 0)
        return false;

    SocketNotifier acceptNote(listener, FdAccept);
    QSignalSpy acceptable(&acceptNote, &SocketNotifier::notified);
    if (!acceptable.wait(5000))
        return false;
    server = AcceptSocket(listener, error);
    return server >= 0;
}

void LoopbackPair::closeServer()
{
    closeIfOpen(server);
}

ClosedPort::ClosedPort()
{
    QString error;
    sockaddr_in address{};
    holder = CreateSocket(AfInet, SockStream, error);
    if (holder >= 0 && BindSocket(holder, 0, u"127.0.0.1"_s, address, error) == 0)
        port = GetLocalPort(holder);
}

ClosedPort::~ClosedPort()
{
    closeIfOpen(holder);
}

QByteArray patternBytes(qsizetype n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        bytes[i] = char((i * 7 + i / 251) % 251);
    return bytes;
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &loop, [&] {
                         if (done())
                             loop.quit();
                     });
    timeout.start(timeoutMs);
    loop.exec();
    return done();
}
