#include "net/baswsock.h"
#include "net/socketnotifier.h"
#include "net/streamconnection.h"

#include "support_loopback.h"

#include <QSignalSpy>
#include <QTest>

#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace basWSock;

namespace {

// What a user of the connection sees, as one line of events.
struct Recorder
{
    QStringList events;

    explicit Recorder(StreamConnection &connection)
    {
        QObject::connect(&connection, &StreamConnection::connected, [this] { add(u"connected"_s); });
        QObject::connect(&connection, &StreamConnection::received, [this](QByteArrayView chunk) {
            add(u"received:"_s + QString::fromLatin1(chunk));
        });
        QObject::connect(&connection, &StreamConnection::sent,
                         [this](qint64 bytes) { add(u"sent:"_s + QString::number(bytes)); });
        QObject::connect(&connection, &StreamConnection::closed, [this] { add(u"closed"_s); });
        QObject::connect(&connection, &StreamConnection::failed,
                         [this](StreamConnection::Failure failure, int code, const QString &text) {
                             add(u"failed:"_s + QString::number(int(failure)) + u':'
                                 + QString::number(code) + u':' + text);
                         });
    }
    void add(const QString &event) { events.append(event); }
    QString line() const { return events.join(u' '); }
};

// A transport that opens only once the socket has been writable and then readable, and takes
// every waiting byte off the socket at once, handing it out a byte per read: the way an
// encrypted session holds decoded bytes the socket no longer signals.
class HoardingTransport : public Transport
{
public:
    explicit HoardingTransport(int socket) : m_socket(socket) {}

    static Result outcome(Io io, qint64 bytes = 0)
    {
        Result result;
        result.io = io;
        result.bytes = bytes;
        return result;
    }

    Result handshake() override
    {
        if (m_step++ == 0)
            return outcome(Io::WantWrite);
        if (!fill())
            return outcome(Io::WantRead);
        return {};
    }
    Result read(char *data, qint64 max) override
    {
        if (m_held.isEmpty() && !fill())
            return outcome(m_closed ? Io::Closed : Io::WantRead);
        const qint64 n = qMin<qint64>(max, 1);
        memcpy(data, m_held.constData(), n);
        m_held.remove(0, n);
        return outcome(Io::Done, n);
    }
    Result write(const char *data, qint64 size) override
    {
        return outcome(Io::Done, ::send(m_socket, data, size, MSG_NOSIGNAL));
    }
    qint64 pendingBytes() const override { return m_held.size(); }

private:
    bool fill()
    {
        char buffer[256];
        const ssize_t n = ::recv(m_socket, buffer, sizeof buffer, MSG_DONTWAIT);
        m_closed = n == 0;
        if (n > 0)
            m_held.append(buffer, n);
        return n > 0;
    }

    int m_socket;
    int m_step = 0;
    bool m_closed = false;
    QByteArray m_held;
};

void sendFromPeer(int socket, const QByteArray &bytes)
{
    QString error;
    QCOMPARE(Send(socket, bytes.constData(), bytes.size(), error), bytes.size());
}

// Waits until `socket` has data to read.
bool waitReadable(int socket)
{
    SocketNotifier notifier(socket, FdRead);
    QSignalSpy spy(&notifier, &SocketNotifier::notified);
    return spy.wait(5000);
}

} // namespace

class TestStreamConnection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void whatTheUserSees_data();
    void whatTheUserSees();
};

void TestStreamConnection::whatTheUserSees_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("expected");
    QTest::newRow("peer sends, then ends the stream") << u"eof"_s
        << u"connected received:h received:i closed"_s;
    QTest::newRow("peer resets the connection") << u"reset"_s
        << u"connected sent:1 failed:2:10054:リモートホストから切断された。"_s;
    QTest::newRow("close while sending: no outcome, the peer sees the end") << u"close-sending"_s
        << u"connected"_s;
    QTest::newRow("no notification after close, on a reused descriptor") << u"reused"_s
        << u"connected"_s;
    QTest::newRow("connect refused") << u"refused"_s
        << u"failed:0:10061:接続が拒否された。"_s;
    QTest::newRow("transport waits for readiness, held bytes drained") << u"hoarding"_s
        << u"connected received:a received:b received:c"_s;
}

void TestStreamConnection::whatTheUserSees()
{
    QFETCH(QString, scenario);
    QFETCH(QString, expected);
    LoopbackPair pair;
    QVERIFY(pair.open());
    StreamConnection connection;
    connection.setReadChunk(1);
    Recorder recorder(connection);
    if (scenario == u"hoarding"_s) {
        connection.setTransportFactory(
            [](int socket) { return std::make_unique<HoardingTransport>(socket); });
    }
    if (scenario == u"refused"_s) {
        ClosedPort port;
        QString error;
        QVERIFY(connection.create(error));
        QVERIFY(connection.connectTo(u"127.0.0.1"_s, QString::number(port.port), error));
        QVERIFY(waitUntil([&] { return !recorder.events.isEmpty(); }, 5000));
        QCOMPARE(recorder.line(), expected);
        return;
    }
    const int descriptor = std::exchange(pair.client, -1);
    connection.adopt(descriptor);
    connection.setReading(true);

    if (scenario == u"eof"_s) {
        sendFromPeer(pair.server, "hi"_ba);
        pair.closeServer();
        QVERIFY(waitUntil([&] { return recorder.events.endsWith(u"closed"_s); }, 5000));
    } else if (scenario == u"reset"_s) {
        connection.setReading(false);
        connection.write("x"_ba);
        QVERIFY(waitReadable(pair.server));
        pair.closeServer(); // a byte left unread: the peer resets
        connection.setReading(true);
        QVERIFY(waitUntil([&] { return recorder.events.size() == 3; }, 5000));
    } else if (scenario == u"close-sending"_s) {
        const qint64 size = 16 * 1024 * 1024;
        connection.write(patternBytes(size));
        QVERIFY(connection.isSending());
        connection.close();
        qint64 received = 0;
        bool ended = false;
        SocketNotifier reader(pair.server, FdRead);
        QObject::connect(&reader, &SocketNotifier::notified, [&](int socket, int, int) {
            QByteArray buffer(65536, Qt::Uninitialized);
            QString error;
            const qint64 n = Recv(socket, buffer.data(), buffer.size(), error);
            received += qMax<qint64>(n, 0);
            ended = n == 0 || (n < 0 && LastError() != WsaEWouldBlock);
        });
        QVERIFY(waitUntil([&] { return ended; }, 10000));
        reader.setEvents(0);
        QVERIFY(received < size);
    } else if (scenario == u"reused"_s) {
        connection.close();
        // Another connected socket takes the old descriptor's number, with data waiting.
        LoopbackPair other;
        QVERIFY(other.open());
        QCOMPARE(::dup2(other.client, descriptor), descriptor);
        sendFromPeer(other.server, "stray"_ba);
        QVERIFY(waitReadable(descriptor));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
        ::close(descriptor);
    } else if (scenario == u"hoarding"_s) {
        QVERIFY(recorder.events.isEmpty()); // not open before the peer has spoken
        sendFromPeer(pair.server, "abc"_ba);
        QVERIFY(waitUntil([&] { return recorder.events.size() == 4; }, 5000));
    }
    QCOMPARE(recorder.line(), expected);
}

QTEST_GUILESS_MAIN(TestStreamConnection)
#include "tst_streamconnection.moc"
