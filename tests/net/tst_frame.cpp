#include "net/frame.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

} // namespace

class TestFrame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encode_data();
    void encode();
    void buildMatchesEncode_data();
    void buildMatchesEncode();
    void encodeAppendsTail();
    void shortTextHasNoLengthField();
    void readUInt32_data();
    void readUInt32();
    void requestCodes_data();
    void requestCodes();
    void payloadTextDecodes();
    void filePayload_data();
    void filePayload();
    void malformedFileHeader_data();
    void malformedFileHeader();
};

void TestFrame::encode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("request 100") << u"100;nnnn;\r\n"_s
                                 << QByteArray("100;\x0B\x00\x00\x00;\r\n", 11);
    // 59 bytes: the length byte is ";" itself, and must not be taken for a separator.
    const QString body = QString(48, u'a') + u"\r\n"_s;
    QTest::newRow("reply of 59 bytes")
        << u"101;nnnn;"_s + body << "101;"_ba + QByteArray("\x3B\x00\x00\x00", 4) + ";"_ba
                                       + body.toLatin1();
    // Japanese characters are two bytes each in CP932: the length counts bytes.
    QTest::newRow("japanese payload")
        << u"110;nnnn;TarvoAgent;ExeFile=情報.exe\r\n\r\n"_s
        << "110;"_ba + le32(40) + ";TarvoAgent;ExeFile=\x8F\xEE\x95\xF1.exe\r\n\r\n"_ba;
}

void TestFrame::encode()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const QByteArray frame = Frame::encode(text);
    QCOMPARE(frame, bytes);
    QCOMPARE(Frame::readUInt32(frame, 4), quint32(frame.size()));
}

void TestFrame::buildMatchesEncode_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("901") << 901 << "\r\n"_ba << QByteArray("901;\x0B\x00\x00\x00;\r\n", 11);
    QTest::newRow("empty payload") << 141 << QByteArray() << QByteArray("141;\x09\x00\x00\x00;", 9);
    QTest::newRow("code padded to three digits") << 7 << "x"_ba
                                                 << QByteArray("007;\x0A\x00\x00\x00;x", 10);
    QByteArray big(70000, 'z');
    QTest::newRow("length over 16 bits") << 311 << big << "311;"_ba + le32(70009) + ";"_ba + big;
}

void TestFrame::buildMatchesEncode()
{
    QFETCH(int, code);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Frame::build(code, payload), bytes);
}

void TestFrame::encodeAppendsTail()
{
    const QByteArray tail("\x00\x01\xFF;", 4);
    const QByteArray frame = Frame::encode(u"500;nnnn;"_s, tail);
    QCOMPARE(frame, "500;"_ba + le32(13) + ";"_ba + tail);
}

void TestFrame::shortTextHasNoLengthField()
{
    QCOMPARE(Frame::encode(u"10"_s), "10"_ba);
    QByteArray seven("1234567");
    Frame::writeLength(seven);
    QCOMPARE(seven, "1234567"_ba);
}

void TestFrame::readUInt32_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("offset");
    QTest::addColumn<quint32>("value");
    QTest::newRow("little endian") << QByteArray("\x01\x02\x03\x04", 4) << 0 << quint32(0x04030201);
    QTest::newRow("high bit") << QByteArray("\xFF\xFF\xFF\xFF", 4) << 0 << quint32(0xFFFFFFFF);
    QTest::newRow("at offset") << QByteArray("ab\x10\x00\x00\x00", 6) << 2 << quint32(16);
    QTest::newRow("past the end") << QByteArray("\x01\x02\x03", 3) << 0 << quint32(0);
    QTest::newRow("negative offset") << QByteArray("\x01\x02\x03\x04", 4) << -1 << quint32(0);
}

void TestFrame::readUInt32()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, offset);
    QFETCH(quint32, value);
    QCOMPARE(Frame::readUInt32(bytes, offset), value);
}

void TestFrame::requestCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("request");
    for (int code : {100, 110, 130, 140, 150, 300, 310, 400, 500, 510, 520, 900})
        QTest::addRow("%d", code) << code << true;
    for (int code : {0, 101, 120, 200, 901, 999})
        QTest::addRow("%d", code) << code << false;
}

void TestFrame::requestCodes()
{
    QFETCH(int, code);
    QFETCH(bool, request);
    QCOMPARE(Frame::isRequestCode(code), request);
}

void TestFrame::payloadTextDecodes()
{
    Frame::Message message;
    message.payload = "\x93\xFA\x96\x7B\x8C\xEA\r\n"_ba;
    QCOMPARE(message.payloadText(), u"日本語\r\n"_s);
}

void TestFrame::filePayload_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("textBytes");

    const QString times = u"2024/01/02 03:04:05;2024/02/03 04:05:06;2024/03/04 05:06:07;"_s;
    const QByteArray timeBytes = times.toLatin1();
    QTest::newRow("empty file") << u"a.txt"_s << QByteArray() << "a.txt;"_ba + timeBytes;
    QTest::newRow("japanese name") << u"設定.ini"_s << "[x]\r\n"_ba
                                   << "\x90\xDD\x92\xE8.ini;"_ba + timeBytes;
    QTest::newRow("content with separators") << u"b.bin"_s << QByteArray(";;;;\x00\xFF", 6)
                                             << "b.bin;"_ba + timeBytes;
}

void TestFrame::filePayload()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, textBytes);
    const Frame::FileHeader header{name, u"2024/01/02 03:04:05"_s, u"2024/02/03 04:05:06"_s,
                                   u"2024/03/04 05:06:07"_s};
    const QByteArray payload = Frame::encodeFilePayload(header, content);
    // H counts bytes after encoding, so the file begins right after the sub-header.
    const quint32 h = quint32(5 + textBytes.size());
    QCOMPARE(payload, le32(h) + ";"_ba + textBytes + content);

    QByteArrayView fileBytes;
    const auto decoded = Frame::decodeFileHeader(payload, &fileBytes);
    QVERIFY(decoded);
    QCOMPARE(decoded->name, name);
    QCOMPARE(decoded->created, header.created);
    QCOMPARE(decoded->lastWritten, header.lastWritten);
    QCOMPARE(decoded->lastAccessed, header.lastAccessed);
    QCOMPARE(fileBytes.toByteArray(), content);

    // The same bytes inside a whole 500 frame.
    const QByteArray frame = Frame::build(500, payload);
    QCOMPARE(Frame::readUInt32(frame, 4), quint32(9 + payload.size()));
}

void TestFrame::malformedFileHeader_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("four bytes") << le32(4);
    QTest::newRow("H of 0") << le32(0) + ";a;b;c;d;"_ba;
    QTest::newRow("H of 4") << le32(4) + ";a;b;c;d;"_ba;
    QTest::newRow("H beyond the payload") << le32(100) + ";a;b;c;d;"_ba;
    QTest::newRow("H of 0xFFFFFFFF") << le32(0xFFFFFFFF) + ";a;b;c;d;"_ba;
    QTest::newRow("three separators") << le32(11) + ";a;b;c;"_ba;
    QTest::newRow("H stops before the last separator") << le32(12) + ";a;b;c;d;file"_ba;
    QTest::newRow("H of 5, no text") << le32(5) + ";a;b;c;d;"_ba;
}

void TestFrame::malformedFileHeader()
{
    QFETCH(QByteArray, payload);
    QByteArrayView fileBytes("untouched");
    QVERIFY(!Frame::decodeFileHeader(payload, &fileBytes));
    QCOMPARE(fileBytes, "untouched"_ba);
    QVERIFY(!Frame::decodeFileHeader(payload, nullptr));
}

QTEST_APPLESS_MAIN(TestFrame)
#include "tst_frame.moc"
