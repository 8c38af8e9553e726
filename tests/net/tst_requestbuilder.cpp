#include "net/protocol.h"
#include "net/requestbuilder.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xFF);
    return bytes;
}

} // namespace

class TestRequestBuilder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bytesOnTheWire_data();
    void bytesOnTheWire();
    void whoSendsWhat_data();
    void whoSendsWhat();
};

void TestRequestBuilder::bytesOnTheWire_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("end request") << RequestBuilder::text(Frame::EndSession)
                                 << "900;"_ba + le32(11) + ";\r\n"_ba;
    QTest::newRow("data file, name in CP932")
        << RequestBuilder::text(Frame::GetDataFile, u"情報.DAT"_s)
        << "310;"_ba + le32(19) + ";\x8F\xEE\x95\xF1.DAT\r\n"_ba;
    const Frame::FileHeader header{u"a.txt"_s, u"1"_s, u"2"_s, u"3"_s};
    const QByteArray subHeader = le32(17) + ";a.txt;1;2;3;"_ba;
    QTest::newRow("file head: length counts the file bytes, no CR LF")
        << RequestBuilder::fileHead(Frame::DistributeFile, header, 1000).value()
        << "500;"_ba + le32(9 + 17 + 1000) + ";"_ba + subHeader;
    QTest::newRow("file head of the largest file the length field can describe")
        << RequestBuilder::fileHead(Frame::DistributeAndRestart, header, 0xFFFFFFFFu - 26).value()
        << "510;"_ba + le32(0xFFFFFFFFu) + ";"_ba + subHeader;
    QTest::newRow("file head of a file one byte too large: refused")
        << RequestBuilder::fileHead(Frame::DistributeAndCollect, header, 0xFFFFFFFFu - 25)
               .value_or("refused"_ba)
        << "refused"_ba;
}

void TestRequestBuilder::bytesOnTheWire()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, expected);
    QCOMPARE(request, expected);
}

void TestRequestBuilder::whoSendsWhat_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("single");
    QTest::addColumn<bool>("batch");
    QTest::addColumn<bool>("file");
    QTest::newRow("100") << 100 << true << false << false;
    QTest::newRow("110") << 110 << true << false << false;
    QTest::newRow("130") << 130 << true << true << false;
    QTest::newRow("140") << 140 << true << true << false;
    QTest::newRow("150") << 150 << true << true << false;
    QTest::newRow("300") << 300 << true << false << false;
    QTest::newRow("310") << 310 << true << false << false;
    QTest::newRow("400") << 400 << true << false << false;
    QTest::newRow("500") << 500 << false << true << true;
    QTest::newRow("510") << 510 << false << true << true;
    QTest::newRow("520") << 520 << false << true << true;
    QTest::newRow("900 ends a session of either") << 900 << false << false << false;
    QTest::newRow("a reply code") << 101 << false << false << false;
    QTest::newRow("unknown") << 999 << false << false << false;
}

void TestRequestBuilder::whoSendsWhat()
{
    QFETCH(int, code);
    QFETCH(bool, single);
    QFETCH(bool, batch);
    QFETCH(bool, file);
    QCOMPARE(Protocol::isSingleRequest(code), single);
    QCOMPARE(Protocol::isBatchRequest(code), batch);
    QCOMPARE(Protocol::isFileRequest(code), file);
}

QTEST_APPLESS_MAIN(TestRequestBuilder)
#include "tst_requestbuilder.moc"
