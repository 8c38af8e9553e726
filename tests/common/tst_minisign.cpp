// The minisign key and signature files as the stock tool writes them, and damaged ones.
#include "common/minisign.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Written by `minisign -G -W` (key ids 74A7B94D1D9A6706 and C47B201EE004ACF0).
const QByteArray KeyA = "untrusted comment: minisign public key 74A7B94D1D9A6706\n"
                        "RWQGZ5odTbmndBt3zjsfPaypMxf5oJe1JLp27kDLkGIZJMNK451xEH0N\n";
const QByteArray KeyB = "untrusted comment: minisign public key C47B201EE004ACF0\n"
                        "RWTwrATgHiB7xKuPGxLy7xwtP1S3oYzI2LwJaN0kqNbJ9dD8nkdsNhvV\n";
// Written by `minisign -Sm f` and `minisign -Sl -m f` with key A.
const QByteArray Prehashed =
    "untrusted comment: signature from minisign secret key\n"
    "RUQGZ5odTbmndIx+eoZZmvmIv+NXWGPlwj8WNW5rynF5IBX1ZFQKUnwdcVJsHUeZiyfRIIsZJfO/LwVLs5mW0/wIDZSxhy3OjQ8=\n"
    "trusted comment: timestamp:1796911888\tfile:f\thashed\n"
    "S7fXPwmdc9B/GTs8974uYgB4vUJmyWN51hD3yyHGQoCLtKpEhPPU4DLKZW1UXFrgmh14D7Enu6iZ7F2tYEScCg==\n";
const QByteArray Legacy =
    "untrusted comment: signature from minisign secret key\n"
    "RWQGZ5odTbmndN0ujo4NpEtTyR8aWoqoeaDnJ9/O+DnSF0WlPa5sPCXz4nPqLHjYPDoB7srj93CgrDAv/I6u+7Ia9Az4+BCrnAw=\n"
    "trusted comment: timestamp:1796911888\tfile:f\n"
    "3lMN8ofcjKCoh2wdgBk4p51GmFCdIBTJSRr3GtzWZao1MzT/f9uumdfSJuxqACCo1mr7HfqVUSbXsrlJkRpoAA==\n";

QByteArray replaced(QByteArray text, const QByteArray &from, const QByteArray &to)
{
    return text.replace(from, to);
}

} // namespace

class TestMinisign : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void publicKeys_data();
    void publicKeys();
    void signatures_data();
    void signatures();
    void trustedComments_data();
    void trustedComments();
};

void TestMinisign::publicKeys_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("keyIds"); // hex as stored; empty: the file is refused

    const QString idA = u"06679a1d4db9a774"_s;
    const QString idB = u"f0ac04e01e207bc4"_s;
    QTest::newRow("minisign -G") << KeyA << QStringList{idA};
    QTest::newRow("two keys of a rotation") << KeyA + KeyB << QStringList{idA, idB};
    QTest::newRow("CR LF, no comment, blank lines")
        << "\r\n" + KeyB.split('\n').at(1) + "\r\n\r\n" << QStringList{idB};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("comments only") << "untrusted comment: nothing\n"_ba << QStringList{};
    QTest::newRow("a damaged key beside a good one")
        << KeyA + replaced(KeyB, "RWTwrATg", "RWTwrAT!") << QStringList{};
    QTest::newRow("a key cut short") << replaced(KeyA, "NK451xEH0N", "") << QStringList{};
    QTest::newRow("not an Ed25519 key") // "Ec" instead of "Ed"
        << replaced(KeyA, "RWQGZ5od", "RWMGZ5od") << QStringList{};
    QTest::newRow("larger than any key file")
        << KeyA + QByteArray(Minisign::MaxFileBytes, '\n') << QStringList{};
}

void TestMinisign::publicKeys()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, keyIds);

    const auto keys = Minisign::parsePublicKeys(text);
    QCOMPARE(keys.has_value(), !keyIds.isEmpty());
    QStringList ids;
    for (const Minisign::PublicKey &key : keys.value_or(QList<Minisign::PublicKey>{})) {
        QCOMPARE(key.key.size(), Minisign::PublicKeyBytes);
        ids.append(QString::fromLatin1(key.keyId.toHex()));
    }
    QCOMPARE(ids, keyIds);
    if (keys)
        QCOMPARE(Minisign::findKey(*keys, QByteArray::fromHex(keyIds.last().toLatin1())), &keys->last());
}

void TestMinisign::signatures_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<bool>("prehashed");
    QTest::addColumn<QByteArray>("trustedComment");

    QTest::newRow("ED, minisign's default") << Prehashed << true << true
                                            << "timestamp:1796911888\tfile:f\thashed"_ba;
    QTest::newRow("Ed, legacy") << Legacy << true << false << "timestamp:1796911888\tfile:f"_ba;
    QTest::newRow("CR LF and a blank line at the end")
        << replaced(Legacy, "\n", "\r\n") + "\r\n" << true << false
        << "timestamp:1796911888\tfile:f"_ba;
    QTest::newRow("without the global signature")
        << Legacy.left(Legacy.lastIndexOf("3lMN")) << false << false << QByteArray();
    QTest::newRow("trusted comment line renamed")
        << replaced(Legacy, "trusted comment: ", "comment: ") << false << false << QByteArray();
    QTest::newRow("unknown algorithm") << replaced(Legacy, "RWQG", "RXQG") << false << false
                                       << QByteArray();
    QTest::newRow("signature cut short") << replaced(Legacy, "u+7Ia9Az4+BCrnAw=", "") << false
                                         << false << QByteArray();
    QTest::newRow("a fifth line") << Legacy + "more\n" << false << false << QByteArray();
}

void TestMinisign::signatures()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, parsed);
    QFETCH(bool, prehashed);
    QFETCH(QByteArray, trustedComment);

    const auto signature = Minisign::parseSignature(text);
    QCOMPARE(signature.has_value(), parsed);
    if (!signature)
        return;
    QCOMPARE(signature->algorithm == Minisign::Algorithm::Prehashed, prehashed);
    QCOMPARE(signature->keyId.toHex(), "06679a1d4db9a774"_ba);
    QCOMPARE(signature->signature.size(), Minisign::SignatureBytes);
    QCOMPARE(signature->globalSignature.size(), Minisign::SignatureBytes);
    QCOMPARE(signature->trustedComment, trustedComment);
}

void TestMinisign::trustedComments_data()
{
    QTest::addColumn<QByteArray>("comment");
    QTest::addColumn<qint64>("timestamp"); // -1: none
    QTest::addColumn<QByteArray>("file");  // "-": none

    QTest::newRow("minisign's default") << "timestamp:1796911888\tfile:TarvoAgent\thashed"_ba
                                        << qint64(1796911888) << "TarvoAgent"_ba;
    QTest::newRow("fields in any order") << "file:TarvoAgent\ttimestamp:7"_ba << qint64(7)
                                         << "TarvoAgent"_ba;
    QTest::newRow("no timestamp") << "file:TarvoAgent"_ba << qint64(-1) << "TarvoAgent"_ba;
    QTest::newRow("timestamp not a number") << "timestamp:12a\tfile:x"_ba << qint64(-1) << "x"_ba;
    QTest::newRow("negative timestamp") << "timestamp:-5\tfile:x"_ba << qint64(-1) << "x"_ba;
    QTest::newRow("timestamp beyond any date")
        << "timestamp:99999999999999999999\tfile:x"_ba << qint64(-1) << "x"_ba;
    QTest::newRow("two timestamps") << "timestamp:1\ttimestamp:9\tfile:x"_ba << qint64(-1)
                                    << "x"_ba;
    QTest::newRow("two files") << "timestamp:1\tfile:x\tfile:y"_ba << qint64(1) << "-"_ba;
    QTest::newRow("free text") << "signed by the build"_ba << qint64(-1) << "-"_ba;
}

void TestMinisign::trustedComments()
{
    QFETCH(QByteArray, comment);
    QFETCH(qint64, timestamp);
    QFETCH(QByteArray, file);

    const Minisign::TrustedFields fields = Minisign::parseTrustedComment(comment);
    QCOMPARE(fields.timestamp.value_or(-1), timestamp);
    QCOMPARE(fields.file.value_or("-"_ba), file);
}

QTEST_APPLESS_MAIN(TestMinisign)
#include "tst_minisign.moc"
