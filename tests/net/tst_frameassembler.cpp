#include "net/frame.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Status = FrameAssembler::Status;

namespace {

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

// A frame of `total` bytes whose payload bytes tell their own position.
QByteArray frameOfSize(int code, qsizetype total)
{
    QByteArray payload(total - Frame::HeaderSize, Qt::Uninitialized);
    for (qsizetype i = 0; i < payload.size(); ++i)
        payload[i] = char('a' + (i * 31 + i / 26) % 26);
    return Frame::build(code, payload);
}

} // namespace

class TestFrameAssembler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void splitFrame_data();
    void splitFrame();
    void smallChunks_data();
    void smallChunks();
    void lengthOutOfBounds_data();
    void lengthOutOfBounds();
    void badStaysBadAndHoldsNoMore();
    void twoFramesInOneChunk();
    void surplusStartsNextFrame();
    void codeText_data();
    void codeText();
    void semicolonLength();
    void takeWhileIncomplete();
    void memoryFollowsBytesReceived();
    void memoryStopsAtDeclaredLength();
    void reset();
};

void TestFrameAssembler::splitFrame_data()
{
    QTest::addColumn<QList<int>>("chunks");
    QTest::newRow("2048 + 2048 + 904") << QList<int>{2048, 2048, 904};
    QTest::newRow("one chunk") << QList<int>{5000};
    QTest::newRow("header split inside the length") << QList<int>{6, 4994};
    QTest::newRow("header alone first") << QList<int>{9, 4991};
}

void TestFrameAssembler::splitFrame()
{
    QFETCH(QList<int>, chunks);
    const QByteArray frame = frameOfSize(311, 5000);
    FrameAssembler assembler;
    qsizetype at = 0;
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        const Status expected = i + 1 < chunks.size() ? Status::Incomplete : Status::Complete;
        QCOMPARE(assembler.feed(QByteArrayView(frame).sliced(at, chunks[i])), expected);
        QCOMPARE(assembler.expectNewMessage(), false);
        at += chunks[i];
    }
    QCOMPARE(assembler.declaredLength(), 5000u);
    const Frame::Message message = assembler.takeMessage();
    QCOMPARE(message.code, 311);
    QCOMPARE(message.payload.size(), 5000 - 9);
    QCOMPARE(message.payload, frame.sliced(9));
    QVERIFY(assembler.expectNewMessage());
    QCOMPARE(assembler.status(), Status::Incomplete);
}

void TestFrameAssembler::smallChunks_data()
{
    QTest::addColumn<int>("chunkSize");
    for (int size = 1; size <= 7; ++size)
        QTest::addRow("%d bytes", size) << size;
}

void TestFrameAssembler::smallChunks()
{
    QFETCH(int, chunkSize);
    const QList<QByteArray> frames = {Frame::encode(u"100;nnnn;\r\n"_s),
                                      Frame::build(141, {}), frameOfSize(401, 300),
                                      Frame::encode(u"102;nnnn;日本語\r\n"_s)};
    QByteArray stream;
    for (const auto &f : frames)
        stream += f;

    FrameAssembler assembler;
    QList<QByteArray> taken;
    for (qsizetype at = 0; at < stream.size(); at += chunkSize) {
        Status status = assembler.feed(QByteArrayView(stream).sliced(at, qMin<qsizetype>(chunkSize, stream.size() - at)));
        QVERIFY(status != Status::Bad);
        while (status == Status::Complete) {
            const Frame::Message m = assembler.takeMessage();
            taken.append(m.codeText + ";" + le32(quint32(m.payload.size() + 9)) + ";" + m.payload);
            status = assembler.status();
        }
        if (assembler.bytesHeld() < 8)
            QCOMPARE(assembler.declaredLength(), 0u);
    }
    QCOMPARE(taken, frames);
    QCOMPARE(assembler.bytesHeld(), 0);
}

void TestFrameAssembler::lengthOutOfBounds_data()
{
    QTest::addColumn<quint32>("length");
    QTest::addColumn<quint32>("bound");
    QTest::addColumn<Status>("status");
    QTest::newRow("0") << 0u << 1000u << Status::Bad;
    QTest::newRow("8") << 8u << 1000u << Status::Bad;
    QTest::newRow("9, empty payload") << 9u << 1000u << Status::Complete;
    QTest::newRow("at the bound") << 1000u << 1000u << Status::Incomplete;
    QTest::newRow("one over the bound") << 1001u << 1000u << Status::Bad;
    QTest::newRow("0xFFFFFFFF, default bound") << 0xFFFFFFFFu << Frame::DefaultMaxBytes
                                               << Status::Bad;
    QTest::newRow("default bound") << Frame::DefaultMaxBytes << Frame::DefaultMaxBytes
                                   << Status::Incomplete;
}

void TestFrameAssembler::lengthOutOfBounds()
{
    QFETCH(quint32, length);
    QFETCH(quint32, bound);
    QFETCH(Status, status);
    FrameAssembler assembler(bound);
    // The length is judged as soon as its four bytes are in.
    QCOMPARE(assembler.feed(QByteArray("100;"_ba + le32(length))),
             status == Status::Bad ? Status::Bad : Status::Incomplete);
    QCOMPARE(assembler.feed(";"_ba), status);
}

void TestFrameAssembler::badStaysBadAndHoldsNoMore()
{
    FrameAssembler assembler(100);
    QCOMPARE(assembler.feed(QByteArray("100;"_ba + le32(5000) + ";"_ba)), Status::Bad);
    const qsizetype held = assembler.bytesHeld();
    QCOMPARE(assembler.feed(QByteArray(4096, 'x')), Status::Bad);
    QCOMPARE(assembler.bytesHeld(), held);
    QCOMPARE(assembler.takeMessage().code, 0);
}

void TestFrameAssembler::twoFramesInOneChunk()
{
    const QByteArray first = Frame::encode(u"100;nnnn;\r\n"_s);
    const QByteArray second = Frame::encode(u"900;nnnn;\r\n"_s);
    FrameAssembler assembler;
    QCOMPARE(assembler.feed(QByteArray(first + second)), Status::Complete);
    QCOMPARE(assembler.takeMessage().code, 100);
    QCOMPARE(assembler.status(), Status::Complete);
    const Frame::Message m = assembler.takeMessage();
    QCOMPARE(m.code, 900);
    QCOMPARE(m.payload, "\r\n"_ba);
    QVERIFY(assembler.expectNewMessage());
}

void TestFrameAssembler::surplusStartsNextFrame()
{
    const QByteArray first = Frame::encode(u"300;nnnn;\r\n"_s);
    const QByteArray second = frameOfSize(310, 40);
    FrameAssembler assembler;
    QCOMPARE(assembler.feed(QByteArray(first + second.first(5))), Status::Complete);
    QCOMPARE(assembler.takeMessage().code, 300);
    QCOMPARE(assembler.status(), Status::Incomplete);
    QCOMPARE(assembler.bytesHeld(), 5);
    QVERIFY(!assembler.expectNewMessage());
    QCOMPARE(assembler.feed(second.sliced(5)), Status::Complete);
    const Frame::Message m = assembler.takeMessage();
    QCOMPARE(m.code, 310);
    QCOMPARE(m.payload, second.sliced(9));
}

void TestFrameAssembler::codeText_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<int>("value");
    QTest::newRow("digits") << "520"_ba << 520;
    QTest::newRow("leading zeros") << "007"_ba << 7;
    QTest::newRow("letter") << "1a0"_ba << 0;
    QTest::newRow("space") << " 10"_ba << 0;
    QTest::newRow("sign") << "-10"_ba << 0;
    QTest::newRow("high byte") << "\x81\x40" "1"_ba << 0;
}

void TestFrameAssembler::codeText()
{
    QFETCH(QByteArray, code);
    QFETCH(int, value);
    FrameAssembler assembler;
    QCOMPARE(assembler.feed(QByteArray(code + ";"_ba + le32(11) + ";\r\n"_ba)), Status::Complete);
    const Frame::Message m = assembler.takeMessage();
    QCOMPARE(m.code, value);
    QCOMPARE(m.codeText, code);
    QCOMPARE(m.payload, "\r\n"_ba);
}

void TestFrameAssembler::semicolonLength()
{
    // 59 = 0x3B = ";": the length field is read by position, never by separator.
    const QByteArray frame = frameOfSize(101, 59);
    QCOMPARE(frame.mid(4, 4), QByteArray("\x3B\x00\x00\x00", 4));
    FrameAssembler assembler;
    QCOMPARE(assembler.feed(frame.first(58)), Status::Incomplete);
    QCOMPARE(assembler.feed(frame.sliced(58)), Status::Complete);
    QCOMPARE(assembler.takeMessage().payload, frame.sliced(9));
}

void TestFrameAssembler::takeWhileIncomplete()
{
    FrameAssembler assembler;
    const QByteArray frame = frameOfSize(401, 100);
    assembler.feed(frame.first(50));
    const Frame::Message m = assembler.takeMessage();
    QCOMPARE(m.code, 0);
    QVERIFY(m.payload.isEmpty());
    QCOMPARE(assembler.bytesHeld(), 50);
    QCOMPARE(assembler.feed(frame.sliced(50)), Status::Complete);
    QCOMPARE(assembler.takeMessage().payload, frame.sliced(9));
}

void TestFrameAssembler::memoryFollowsBytesReceived()
{
    // A peer that declares the largest frame allowed and sends a little costs a little.
    FrameAssembler assembler;
    const QByteArray header = "500;"_ba + le32(Frame::DefaultMaxBytes) + ";"_ba;
    QCOMPARE(assembler.feed(header), Status::Incomplete);
    qsizetype fed = header.size();
    for (int i = 0; i < 100; ++i) {
        QCOMPARE(assembler.feed(QByteArray(Frame::ChunkSize, 'x')), Status::Incomplete);
        fed += Frame::ChunkSize;
        QVERIFY2(assembler.bytesReserved() <= fed + fed / 2,
                 qPrintable(QString::number(assembler.bytesReserved())));
    }
    QCOMPARE(assembler.bytesHeld(), fed);
}

void TestFrameAssembler::memoryStopsAtDeclaredLength()
{
    // Growth ahead of the data never goes past the frame's own length.
    const QByteArray frame = frameOfSize(311, 100000);
    FrameAssembler assembler;
    for (qsizetype at = 0; at < frame.size(); at += Frame::ChunkSize) {
        assembler.feed(QByteArrayView(frame).sliced(at, qMin<qsizetype>(Frame::ChunkSize, frame.size() - at)));
        QVERIFY(assembler.bytesReserved() <= frame.size());
    }
    QCOMPARE(assembler.status(), Status::Complete);
    QCOMPARE(assembler.takeMessage().payload, frame.sliced(9));
}

void TestFrameAssembler::reset()
{
    FrameAssembler assembler(50);
    QCOMPARE(assembler.feed(QByteArray("100;"_ba + le32(60) + ";"_ba)), Status::Bad);
    assembler.reset();
    QVERIFY(assembler.expectNewMessage());
    QCOMPARE(assembler.feed(Frame::encode(u"100;nnnn;\r\n"_s)), Status::Complete);
    QCOMPARE(assembler.takeMessage().code, 100);
}

QTEST_APPLESS_MAIN(TestFrameAssembler)
#include "tst_frameassembler.moc"
