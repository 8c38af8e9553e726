// Wake-on-LAN: which MAC texts are accepted, the magic packet's bytes as a listener on
// 127.0.0.1 receives them, and the pacing to at most the limit per second.
#include "net/wakeonlan.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QNetworkDatagram>
#include <QUdpSocket>

using namespace Qt::StringLiterals;

class TestWakeOnLan : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parseMac_data();
    void parseMac();
    void sendsPacedPackets();
    void refusesANameAsAddress();
};

void TestWakeOnLan::parseMac_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("mac"); // empty: rejected

    const QByteArray mac = QByteArray::fromHex("0050da12ab3f");
    QTest::newRow("plain") << u"0050DA12AB3F"_s << mac;
    QTest::newRow("lower case, blanks around") << u" 0050da12ab3f "_s << mac;
    QTest::newRow("colons") << u"00:50:DA:12:AB:3F"_s << mac;
    QTest::newRow("dashes") << u"00-50-da-12-ab-3f"_s << mac;
    QTest::newRow("dotted groups of four") << u"0050.DA12.AB3F"_s << mac;
    QTest::newRow("computer name instead") << u"PC-KEIRI01"_s << QByteArray();
    QTest::newRow("eleven digits") << u"0050DA12AB3"_s << QByteArray();
    QTest::newRow("thirteen digits") << u"0050DA12AB3F0"_s << QByteArray();
    QTest::newRow("not hexadecimal") << u"0050DA12AB3G"_s << QByteArray();
    QTest::newRow("mixed separators") << u"00:50-DA:12:AB:3F"_s << QByteArray();
    QTest::newRow("separators misplaced") << u"005:0DA:12:AB:3F:"_s << QByteArray();
    QTest::newRow("dots in pairs") << u"00.50.DA.12.AB.3F"_s << QByteArray();
    QTest::newRow("inner blank") << u"0050DA 12AB3F"_s << QByteArray();
    QTest::newRow("sign") << u"+050DA12AB3F"_s << QByteArray();
    QTest::newRow("empty") << QString() << QByteArray();
}

void TestWakeOnLan::parseMac()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, mac);
    const auto parsed = WakeOnLan::parseMac(text);
    QCOMPARE(parsed.value_or(QByteArray()), mac);
    if (parsed)
        QCOMPARE(WakeOnLan::macText(*parsed), u"0050DA12AB3F"_s);
}

void TestWakeOnLan::sendsPacedPackets()
{
    QUdpSocket listener;
    QVERIFY(listener.bind(QHostAddress::LocalHost, 0));
    WakeSender sender(u"127.0.0.1"_s, listener.localPort(), 2);
    QString error;
    QVERIFY2(sender.open(error), qPrintable(error));
    QSignalSpy sent(&sender, &WakeSender::sent);
    QSignalSpy drained(&sender, &WakeSender::drained);
    for (int i = 0; i < 5; ++i)
        sender.wake(i, QByteArray::fromHex("0011223344") + char(i));
    QCOMPARE(sent.size(), 0); // nothing goes from inside wake()

    QList<QByteArray> packets;
    QList<qint64> arrivals;
    QElapsedTimer clock;
    clock.start();
    while (packets.size() < 5 && clock.elapsed() < 10000) {
        if (!listener.hasPendingDatagrams())
            listener.waitForReadyRead(100);
        while (listener.hasPendingDatagrams()) {
            packets.append(listener.receiveDatagram().data());
            arrivals.append(clock.elapsed());
        }
        QCoreApplication::processEvents();
    }
    QCOMPARE(packets.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const QByteArray mac = QByteArray::fromHex("0011223344") + char(i);
        QCOMPARE(packets[i].size(), 102);
        QCOMPARE(packets[i].first(6), QByteArray(6, char(0xFF)));
        QCOMPARE(packets[i].mid(6), mac.repeated(16));
    }
    // Never more than two in any second: the third waits for the first to be a second old.
    for (int i = 2; i < 5; ++i)
        QVERIFY2(arrivals[i] - arrivals[i - 2] >= 900, qPrintable(QString::number(arrivals[i])));
    QTRY_COMPARE(drained.size(), 1);
    QCOMPARE(sent.size(), 5);
    QCOMPARE(sent.at(4).at(0).toInt(), 4);
}

void TestWakeOnLan::refusesANameAsAddress()
{
    // A name would need a look-up that may leave the machine: only dotted addresses go.
    WakeSender sender(u"broadcast.example"_s, 9, 1);
    QString error;
    QVERIFY(!sender.open(error));
    QVERIFY(error.contains(u"broadcast.example"_s));
}

QTEST_GUILESS_MAIN(TestWakeOnLan)
#include "tst_wakeonlan.moc"
