#include "net/baswsock.h"
#include "net/socketnotifier.h"
#include "net/socketsender.h"

#include "support_loopback.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace basWSock;

namespace {

// Reads what arrives on `socket` through the event loop, `chunk` bytes per notification, as
// the programs' receivers do.
class SlowReader : public QObject
{
public:
    SlowReader(int socket, qint64 chunk, qint64 stopAfter = -1)
        : m_notifier(socket, FdRead), m_chunk(chunk), m_stopAfter(stopAfter)
    {
        connect(&m_notifier, &SocketNotifier::notified, this, [this](int s, int, int error) {
            if (error != 0) {
                ended = true;
                return;
            }
            QByteArray buffer(m_chunk, Qt::Uninitialized);
            QString text;
            const qint64 n = Recv(s, buffer.data(), buffer.size(), text);
            if (n > 0)
                received.append(buffer.constData(), n);
            if (n == 0 || (m_stopAfter >= 0 && received.size() >= m_stopAfter)) {
                m_notifier.setEvents(0);
                ended = true;
            }
        });
    }

    QByteArray received;
    bool ended = false;

private:
    SocketNotifier m_notifier;
    qint64 m_chunk;
    qint64 m_stopAfter;
};

} // namespace

class TestSocketSender : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deliversEveryByte_data();
    void deliversEveryByte();
    void queuedSendsFollowInOrder();
    void outcomeComesFromEventLoop();
    void failsWhenPeerHasClosed();
    void failsWhenPeerClosesMidway();
    void cancelStopsSending();
};

void TestSocketSender::deliversEveryByte_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("readChunk");
    QTest::newRow("one byte") << qint64(1) << qint64(2048);
    QTest::newRow("a frame of 5000 bytes") << qint64(5000) << qint64(2048);
    QTest::newRow("64 MiB, slow reader") << qint64(64) * 1024 * 1024 << qint64(64 * 1024);
}

void TestSocketSender::deliversEveryByte()
{
    QFETCH(qint64, size);
    QFETCH(qint64, readChunk);
    LoopbackPair pair;
    QVERIFY(pair.open());
    const QByteArray data = patternBytes(size);

    SocketSender sender(pair.client);
    QSignalSpy sent(&sender, &SocketSender::sent);
    QSignalSpy failed(&sender, &SocketSender::failed);
    SlowReader reader(pair.server, readChunk);
    sender.send(data);
    QVERIFY(waitUntil([&] { return reader.received.size() >= size || !failed.isEmpty(); }, 120000));
    QVERIFY(failed.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 1, 5000);
    QCOMPARE(sent.at(0).at(0).toLongLong(), size);
    QVERIFY(!sender.busy());
    QCOMPARE(reader.received.size(), size);
    QVERIFY(reader.received == data);
}

void TestSocketSender::queuedSendsFollowInOrder()
{
    LoopbackPair pair;
    QVERIFY(pair.open());
    // The first buffer is larger than the socket buffers, so the second one is queued behind it.
    const QByteArray first = patternBytes(8 * 1024 * 1024);
    const QByteArray second = "tail of the stream"_ba;
    SocketSender sender(pair.client);
    QSignalSpy sent(&sender, &SocketSender::sent);
    sender.send(first);
    QVERIFY(sender.busy());
    sender.send(second);
    SlowReader reader(pair.server, 65536);
    QVERIFY(waitUntil([&] { return reader.received.size() >= first.size() + second.size(); }, 60000));
    QVERIFY(reader.received == first + second);
    QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 1, 5000);
    QCOMPARE(sent.at(0).at(0).toLongLong(), first.size() + second.size());
}

void TestSocketSender::outcomeComesFromEventLoop()
{
    LoopbackPair pair;
    QVERIFY(pair.open());
    SocketSender sender(pair.client);
    QSignalSpy sent(&sender, &SocketSender::sent);
    sender.send("901;\x0B\x00\x00\x00;\r\n"_ba);
    // The bytes are gone at once, but the caller hears of it only from the event loop.
    QVERIFY(!sender.busy());
    QCOMPARE(sent.size(), 0);
    QVERIFY(sent.wait(5000));
    QCOMPARE(sent.at(0).at(0).toLongLong(), 11);
}

void TestSocketSender::failsWhenPeerHasClosed()
{
    LoopbackPair pair;
    QVERIFY(pair.open());
    // The peer closes with a byte unread, which resets the connection.
    QString error;
    QCOMPARE(Send(pair.client, "x", 1, error), 1);
    {
        SocketNotifier arrived(pair.server, FdRead);
        QSignalSpy spy(&arrived, &SocketNotifier::notified);
        QVERIFY(spy.wait(5000));
    }
    SocketNotifier watcher(pair.client, FdClose);
    QSignalSpy closed(&watcher, &SocketNotifier::notified);
    pair.closeServer();
    QVERIFY(closed.wait(5000));
    watcher.setEvents(0);

    SocketSender sender(pair.client);
    QSignalSpy sent(&sender, &SocketSender::sent);
    QSignalSpy failed(&sender, &SocketSender::failed);
    sender.send(patternBytes(100000));
    QVERIFY(failed.wait(5000));
    QCOMPARE(failed.at(0).at(0).toInt(), WsaEConnReset);
    QCOMPARE(failed.at(0).at(1).toString(), u"リモートホストから切断された。"_s);
    QCOMPARE(sent.size(), 0);
    QVERIFY(!sender.busy());
}

void TestSocketSender::failsWhenPeerClosesMidway()
{
    LoopbackPair pair;
    QVERIFY(pair.open());
    SocketSender sender(pair.client);
    QSignalSpy sent(&sender, &SocketSender::sent);
    QSignalSpy failed(&sender, &SocketSender::failed);
    sender.send(patternBytes(64 * 1024 * 1024));
    {
        SlowReader reader(pair.server, 4096, 100000);
        QVERIFY(waitUntil([&] { return reader.ended; }, 10000));
    }
    pair.closeServer(); // unread data: the connection is reset
    QVERIFY(failed.wait(10000));
    QCOMPARE(failed.at(0).at(0).toInt(), WsaEConnReset);
    QCOMPARE(sent.size(), 0);
}

void TestSocketSender::cancelStopsSending()
{
    LoopbackPair pair;
    QVERIFY(pair.open());
    SocketSender sender(pair.client);
    QSignalSpy sent(&sender, &SocketSender::sent);
    QSignalSpy failed(&sender, &SocketSender::failed);
    sender.send(patternBytes(16 * 1024 * 1024));
    QVERIFY(sender.busy());
    sender.cancel();
    QVERIFY(!sender.busy());
    SlowReader reader(pair.server, 65536);
    // Read what had reached the socket buffers; nothing more may follow.
    QVERIFY(waitUntil([&] { return reader.received.size() > 0; }, 5000));
    const qint64 before = reader.received.size();
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    QVERIFY(reader.received.size() < 16 * 1024 * 1024);
    QVERIFY(reader.received.size() >= before);
    QCOMPARE(sent.size(), 0);
    QCOMPARE(failed.size(), 0);
}

QTEST_GUILESS_MAIN(TestSocketSender)
#include "tst_socketsender.moc"
