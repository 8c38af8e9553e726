#include "net/baswsock.h"
#include "net/socketnotifier.h"

#include "support_loopback.h"

#include <QSignalSpy>
#include <QTest>

#include <arpa/inet.h>
#include <cerrno>

using namespace Qt::StringLiterals;
using namespace basWSock;

class TestBasWSock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void errorText_data();
    void errorText();
    void errnoMapping_data();
    void errnoMapping();
    void startupReportsNothing();
    void bytesOfVersion();
    void bindPortInUse_data();
    void bindPortInUse();
    void bindBadAddress_data();
    void bindBadAddress();
    void closeBadHandle();
    void acceptWithoutConnection();
    void hostToAddress_data();
    void hostToAddress();
    void resolveHost_data();
    void resolveHost();
    void connectRefusedIsNotified();
    void connectFailsAtOnce_data();
    void connectFailsAtOnce();
    void connectAndAccept();
    void readNotificationsStopAtEnd();
    void closeNotificationAfterPeerCloses();
    void eventsCanBeAskedForAgain();
    void handlerMayDeleteNotifier();
    void writeIsReportedOncePerRequest();
};

void TestBasWSock::errorText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    // The texts a user meets in status bars and result rows, and the fallback for the rest.
    const QList<std::pair<int, QString>> table = {
        {10048, u"指定されたアドレスは使用中。"_s},
        {10054, u"リモートホストから切断された。"_s},
        {10060, u"接続処理タイムアウト。"_s},
        {10061, u"接続が拒否された。"_s},
        {11001, u"ホストが見つからない。"_s},
        {10059, u"(10059)"_s},
        {0, u"(0)"_s},
        {-1, u"(-1)"_s},
    };
    for (const auto &[code, text] : table)
        QTest::addRow("%d", code) << code << text;
}

void TestBasWSock::errorText()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(WsaErrorText(code), text);
}

void TestBasWSock::errnoMapping_data()
{
    QTest::addColumn<int>("err");
    QTest::addColumn<int>("code");
    const QList<std::pair<int, int>> table = {
        {EINTR, 10004}, {EACCES, 10013}, {EFAULT, 10014}, {EINVAL, 10022}, {EMFILE, 10024},
        {EWOULDBLOCK, 10035}, {EAGAIN, 10035}, {EINPROGRESS, 10035}, {EALREADY, 10037},
        {ENOTSOCK, 10038}, {EBADF, 10038}, {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},
        {EPROTOTYPE, 10041}, {ENOPROTOOPT, 10042}, {EPROTONOSUPPORT, 10043},
        {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045}, {EPFNOSUPPORT, 10046},
        {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048}, {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},
        {ENETUNREACH, 10051}, {ENETRESET, 10052}, {ECONNABORTED, 10053}, {ECONNRESET, 10054},
        {EPIPE, 10054}, {ENOBUFS, 10055}, {ENOMEM, 10055}, {EISCONN, 10056},
        {ENOTCONN, 10057}, {ESHUTDOWN, 10058}, {ETIMEDOUT, 10060}, {ECONNREFUSED, 10061},
        {EHOSTDOWN, 10064}, {EHOSTUNREACH, 10065},
        // No Windows Sockets counterpart: a system-call failure, never a table code.
        {ENOENT, 10107}, {EIO, 10107},
    };
    for (const auto &[err, code] : table)
        QTest::addRow("errno %d", err) << err << code;
}

void TestBasWSock::errnoMapping()
{
    QFETCH(int, err);
    QFETCH(int, code);
    QCOMPARE(WsaCodeFromErrno(err), code);
}

void TestBasWSock::startupReportsNothing()
{
    QString error = u"left over"_s;
    QCOMPARE(StartupSockets(error), 0);
    QVERIFY(error.isEmpty());
    error = u"left over"_s;
    QCOMPARE(CleanupSockets(error), 0);
    QVERIFY(error.isEmpty());
}

void TestBasWSock::bytesOfVersion()
{
    QCOMPARE(LoByte(0x0101), 1);
    QCOMPARE(HiByte(0x0101), 1);
    QCOMPARE(LoByte(0x0201), 1);
    QCOMPARE(HiByte(0x0201), 2);
    QCOMPARE(HiByte(0x12345), 0x23);
}

void TestBasWSock::bindPortInUse_data()
{
    QTest::addColumn<QString>("secondAddress");
    QTest::newRow("every address") << QString();
    QTest::newRow("loopback") << u"127.0.0.1"_s;
}

void TestBasWSock::bindPortInUse()
{
    QFETCH(QString, secondAddress);
    QString error;
    sockaddr_in address{};
    const int first = CreateSocket(AfInet, SockStream, error);
    QVERIFY(first >= 0);
    QCOMPARE(BindSocket(first, 0, u"127.0.0.1"_s, address, error), 0);
    QCOMPARE(ListenSocket(first, 1, error), 0);
    const int port = GetLocalPort(first);
    QVERIFY(port > 0);

    const int second = CreateSocket(AfInet, SockStream, error);
    QVERIFY(second >= 0);
    QCOMPARE(BindSocket(second, port, secondAddress, address, error), SocketError);
    QCOMPARE(error, u"指定されたアドレスは使用中。"_s);
    QCOMPARE(LastError(), 10048);
    QCOMPARE(ntohs(address.sin_port), port);

    CloseSocket(second, error);
    CloseSocket(first, error);
}

void TestBasWSock::bindBadAddress_data()
{
    QTest::addColumn<QString>("listenAddress");
    QTest::addColumn<int>("port");
    QTest::newRow("octet too large") << u"999.1.1.1"_s << 0;
    QTest::newRow("name, not an address") << u"localhost"_s << 0;
    QTest::newRow("port beyond 16 bits") << QString() << 70000;
}

void TestBasWSock::bindBadAddress()
{
    QFETCH(QString, listenAddress);
    QFETCH(int, port);
    QString error;
    sockaddr_in address{};
    const int s = CreateSocket(AfInet, SockStream, error);
    QVERIFY(s >= 0);
    QCOMPARE(BindSocket(s, port, listenAddress, address, error), SocketError);
    QCOMPARE(error, u"指定されたアドレスは使用できない。"_s);
    CloseSocket(s, error);
}

void TestBasWSock::closeBadHandle()
{
    QString error;
    const int s = CreateSocket(AfInet, SockStream, error);
    QVERIFY(s >= 0);
    QVERIFY(error.isEmpty());
    QCOMPARE(CloseSocket(s, error), 0);
    QVERIFY(error.isEmpty());
    // A second close only yields a text.
    QCOMPARE(CloseSocket(s, error), SocketError);
    QCOMPARE(error, u"ソケット以外を指定した。"_s);
    QCOMPARE(CloseSocket(-1, error), SocketError);
    QCOMPARE(error, u"ソケット以外を指定した。"_s);
}

void TestBasWSock::acceptWithoutConnection()
{
    QString error;
    sockaddr_in address{};
    const int listener = CreateSocket(AfInet, SockStream, error);
    QCOMPARE(BindSocket(listener, 0, u"127.0.0.1"_s, address, error), 0);
    QCOMPARE(ListenSocket(listener, 1, error), 0);
    QCOMPARE(AcceptSocket(listener, error), InvalidSocket);
    QCOMPARE(LastError(), WsaEWouldBlock);
    QCOMPARE(error, u"このソケットはノンブロッキング型である。"_s);
    CloseSocket(listener, error);
}

void TestBasWSock::hostToAddress_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("lastError");
    QTest::newRow("dotted loopback") << u"127.0.0.1"_s << u"127.0.0.1"_s << -1;
    QTest::newRow("unknown name") << u"no-such-host.invalid"_s << QString() << 11001;
    QTest::newRow("unknown name, upper case, final dot") << u"PC01.INVALID."_s << QString()
                                                         << 11001;
    QTest::newRow("empty") << QString() << QString() << 11001;
}

void TestBasWSock::hostToAddress()
{
    QFETCH(QString, name);
    QFETCH(QString, address);
    QFETCH(int, lastError);
    const QString result = HostToAddress(name);
    QCOMPARE(result, address);
    QCOMPARE(result.isNull(), address.isNull());
    if (lastError >= 0)
        QCOMPARE(LastError(), lastError);
}

void TestBasWSock::resolveHost_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<quint32>("hostOrder");
    QTest::newRow("dotted") << u"127.0.0.1"_s << quint32(0x7F000001);
    QTest::newRow("short dotted form") << u"127.1"_s << quint32(0x7F000001);
    QTest::newRow("unknown") << u"pc-01.invalid"_s << quint32(INADDR_NONE);
}

void TestBasWSock::resolveHost()
{
    QFETCH(QString, host);
    QFETCH(quint32, hostOrder);
    QCOMPARE(ntohl(ResolveHost(host)), hostOrder);
}

void TestBasWSock::connectRefusedIsNotified()
{
    ClosedPort closed;
    QVERIFY(closed.port > 0);
    QString error;
    const int s = CreateSocket(AfInet, SockStream, error);
    SocketNotifier notifier(s, FdConnect);
    QSignalSpy spy(&notifier, &SocketNotifier::notified);
    QCOMPARE(ConnectSocket(s, u"127.0.0.1"_s, QString::number(closed.port), error), 0);
    QVERIFY(error.isEmpty());
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), s);
    QCOMPARE(spy.at(0).at(1).toInt(), FdConnect);
    QCOMPARE(spy.at(0).at(2).toInt(), WsaEConnRefused);
    QCOMPARE(WsaErrorText(spy.at(0).at(2).toInt()), u"接続が拒否された。"_s);
    notifier.setEvents(0);
    CloseSocket(s, error);
}

void TestBasWSock::connectFailsAtOnce_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("text");
    QTest::newRow("unknown host") << u"pc-01.invalid"_s << u"9000"_s << u"ホストが見つからない。"_s;
    QTest::newRow("port not a number") << u"127.0.0.1"_s << u"abc"_s
                                       << u"指定されたアドレスは使用できない。"_s;
    QTest::newRow("port 0") << u"127.0.0.1"_s << u"0"_s << u"指定されたアドレスは使用できない。"_s;
    QTest::newRow("port beyond 16 bits") << u"127.0.0.1"_s << u"65536"_s
                                         << u"指定されたアドレスは使用できない。"_s;
}

void TestBasWSock::connectFailsAtOnce()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, text);
    QString error;
    const int s = CreateSocket(AfInet, SockStream, error);
    QCOMPARE(ConnectSocket(s, host, port, error), SocketError);
    QCOMPARE(error, text);
    CloseSocket(s, error);
}

void TestBasWSock::connectAndAccept()
{
    LoopbackPair pair;
    QVERIFY(pair.open());
    QString address;
    int port = 0;
    QCOMPARE(GetPeerAddress(pair.server, address, port), 0);
    QCOMPARE(address, u"127.0.0.1"_s);
    QCOMPARE(port, GetLocalPort(pair.client));
    QCOMPARE(GetPeerAddress(pair.listener, address, port), SocketError);
    QVERIFY(address.isEmpty());

    QString error;
    QCOMPARE(Send(pair.client, "100;", 4, error), 4);
    SocketNotifier reader(pair.server, FdRead);
    QSignalSpy spy(&reader, &SocketNotifier::notified);
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.at(0).at(1).toInt(), FdRead);
    QCOMPARE(spy.at(0).at(2).toInt(), 0);
    char buffer[16];
    QCOMPARE(Recv(pair.server, buffer, sizeof buffer, error), 4);
    QCOMPARE(QByteArray(buffer, 4), "100;"_ba);
    QCOMPARE(Recv(pair.server, buffer, sizeof buffer, error), SocketError);
    QCOMPARE(LastError(), WsaEWouldBlock);
}

void TestBasWSock::readNotificationsStopAtEnd()
{
    LoopbackPair pair;
    QVERIFY(pair.open());
    QString error;
    QCOMPARE(Send(pair.client, "abc", 3, error), 3);
    CloseSocket(pair.client, error);
    pair.client = -1;

    SocketNotifier reader(pair.server, FdRead);
    QByteArray received;
    int endSeen = 0;
    connect(&reader, &SocketNotifier::notified, this, [&](int s, int, int) {
        char buffer[2];
        const qint64 n = Recv(s, buffer, sizeof buffer, error);
        if (n > 0)
            received.append(buffer, n);
        else if (n == 0)
            ++endSeen;
    });
    QTRY_COMPARE_WITH_TIMEOUT(endSeen, 1, 5000);
    QCOMPARE(received, "abc"_ba);
    // A level-triggered notifier left on at end of stream would fire on every pass.
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    QCOMPARE(endSeen, 1);
}

void TestBasWSock::closeNotificationAfterPeerCloses()
{
    LoopbackPair pair;
    QVERIFY(pair.open());
    SocketNotifier watcher(pair.client, FdRead | FdClose);
    QSignalSpy spy(&watcher, &SocketNotifier::notified);
    pair.closeServer();
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.at(0).at(1).toInt(), FdClose);
    QCOMPARE(spy.at(0).at(2).toInt(), 0);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    QCOMPARE(spy.size(), 1);
}

void TestBasWSock::eventsCanBeAskedForAgain()
{
    LoopbackPair pair;
    QVERIFY(pair.open());
    SocketNotifier notifier(pair.server, FdRead);
    QSignalSpy spy(&notifier, &SocketNotifier::notified);
    notifier.setEvents(0);
    QString error;
    QCOMPARE(Send(pair.client, "x", 1, error), 1);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    QCOMPARE(spy.size(), 0);
    notifier.setEvents(FdRead);
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.at(0).at(1).toInt(), FdRead);
}

void TestBasWSock::handlerMayDeleteNotifier()
{
    LoopbackPair pair;
    QVERIFY(pair.open());
    auto *notifier = new SocketNotifier(pair.server, FdRead);
    int calls = 0;
    connect(notifier, &SocketNotifier::notified, this, [&] {
        ++calls;
        delete notifier;
        notifier = nullptr;
    });
    QString error;
    QCOMPARE(Send(pair.client, "x", 1, error), 1);
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 5000);
    // The unread byte would wake a notifier that outlived its owner.
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    QCOMPARE(calls, 1);
}

void TestBasWSock::writeIsReportedOncePerRequest()
{
    LoopbackPair pair;
    QVERIFY(pair.open());
    SocketNotifier notifier(pair.client, FdWrite);
    QSignalSpy spy(&notifier, &SocketNotifier::notified);
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.at(0).at(1).toInt(), FdWrite);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    QCOMPARE(spy.size(), 1);
    notifier.setEvents(FdWrite);
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.size(), 2);
}

QTEST_GUILESS_MAIN(TestBasWSock)
#include "tst_baswsock.moc"
