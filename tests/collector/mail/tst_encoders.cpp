#include "collector/mail/bassmtp.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (auto &b : bytes)
        b = char(generator.bounded(256));
    return bytes;
}

// Qt's own encoder broken into CR LF lines: an independent reference for the line layout.
QByteArray referenceLines(const QByteArray &bytes, int lineLength)
{
    const QByteArray flat = bytes.toBase64();
    QByteArrayList lines;
    for (qsizetype i = 0; i < flat.size(); i += lineLength)
        lines.append(flat.mid(i, lineLength));
    return lines.join("\r\n");
}

QByteArray word(const char *base64)
{
    return "=?ISO-2022-JP?B?"_ba + base64 + "?="_ba;
}

} // namespace

class TestEncoders : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void base64_data();
    void base64();
    void base64Pieces_data();
    void base64Pieces();
    void base64File();
    void fullWidthKana_data();
    void fullWidthKana();
    void iso2022Jp_data();
    void iso2022Jp();
    void hasJapanese_data();
    void hasJapanese();
    void headerWords_data();
    void headerWords();
    void folding_data();
    void folding();
    void finishedHeader_data();
    void finishedHeader();
};

void TestEncoders::base64_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    // RFC 4648, section 10
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("f") << "f"_ba << "Zg=="_ba;
    QTest::newRow("fo") << "fo"_ba << "Zm8="_ba;
    QTest::newRow("foo") << "foo"_ba << "Zm9v"_ba;
    QTest::newRow("foob") << "foob"_ba << "Zm9vYg=="_ba;
    QTest::newRow("fooba") << "fooba"_ba << "Zm9vYmE="_ba;
    QTest::newRow("foobar") << "foobar"_ba << "Zm9vYmFy"_ba;
    QTest::newRow("high bytes") << "\x00\xFF\xFE\xFB\xEF"_ba << "AP/+++8="_ba;
    QTest::newRow("iso-2022-jp") << "\x1B$B$\"\x1B(B"_ba << "GyRCJCIbKEI="_ba;
    const QByteArray random = randomBytes(1000, 7);
    QTest::newRow("1000 random bytes, one line") << random << random.toBase64();
}

void TestEncoders::base64()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(basSmtp::Base64(input), expected);
}

void TestEncoders::base64Pieces_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<qsizetype>("pieceSize");
    QTest::addColumn<int>("lineLength");
    QTest::newRow("one byte at a time") << qsizetype(500) << qsizetype(1) << 76;
    QTest::newRow("pieces of 2") << qsizetype(1001) << qsizetype(2) << 76;
    QTest::newRow("pieces of 5") << qsizetype(999) << qsizetype(5) << 76;
    QTest::newRow("exactly one line") << qsizetype(57) << qsizetype(57) << 76;
    QTest::newRow("file pieces") << qsizetype(100000) << basSmtp::FilePieceBytes << 76;
    QTest::newRow("short lines") << qsizetype(100) << qsizetype(7) << 4;
    QTest::newRow("no line breaks") << qsizetype(5000) << qsizetype(333) << 0;
}

void TestEncoders::base64Pieces()
{
    QFETCH(qsizetype, size);
    QFETCH(qsizetype, pieceSize);
    QFETCH(int, lineLength);
    const QByteArray bytes = randomBytes(size, quint32(size));
    basSmtp::Base64Writer writer(lineLength);
    for (qsizetype i = 0; i < bytes.size(); i += pieceSize)
        writer.append(QByteArrayView(bytes).sliced(i, qMin(pieceSize, bytes.size() - i)));
    writer.finish();
    const QByteArray expected =
        lineLength > 0 ? referenceLines(bytes, lineLength) : bytes.toBase64();
    QCOMPARE(writer.text(), expected);
}

void TestEncoders::base64File()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Four pieces, the last one short and not a multiple of three.
    const QByteArray bytes = randomBytes(3 * basSmtp::FilePieceBytes + 1001, 11);
    QFile file(dir.filePath(u"data.bin"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    QByteArray text;
    QVERIFY(basSmtp::Base64File(file.fileName(), text));
    const QByteArrayList lines = text.split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        QCOMPARE(lines[i].size(), basSmtp::Base64LineLength + 1); // with its CR
    QVERIFY(!text.endsWith("\r\n"));
    QCOMPARE(QByteArray::fromBase64(text.replace("\r\n", "")), bytes);

    QVERIFY(!basSmtp::Base64File(dir.filePath(u"missing.bin"_s), text));
}

void TestEncoders::fullWidthKana_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain letters") << u"ｱｲｳｴｵ"_s << u"アイウエオ"_s;
    QTest::newRow("voiced") << u"ｶﾞｷﾞｸﾞｹﾞｺﾞ"_s << u"ガギグゲゴ"_s;
    QTest::newRow("voiced ta row") << u"ﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞ"_s << u"ダヂヅデド"_s;
    QTest::newRow("semi-voiced") << u"ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ"_s << u"パピプペポ"_s;
    QTest::newRow("voiced ha row") << u"ﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞ"_s << u"バビブベボ"_s;
    QTest::newRow("vu") << u"ｳﾞ"_s << u"ヴ"_s;
    QTest::newRow("word") << u"ﾃﾞｰﾀﾍﾞｰｽ"_s << u"データベース"_s;
    QTest::newRow("mark after a letter without voiced form") << u"ｱﾞﾅﾟ"_s << u"ア゛ナ゜"_s;
    QTest::newRow("lone marks") << u"ﾞﾟ"_s << u"゛゜"_s;
    QTest::newRow("small letters and long vowel") << u"ｧｨｩｪｫｬｭｮｯｰ"_s << u"ァィゥェォャュョッー"_s;
    QTest::newRow("punctuation") << u"｡｢｣､･ｦﾝ"_s << u"。「」、・ヲン"_s;
    QTest::newRow("mixed with ASCII and kanji") << u"PC名:ﾊﾟｿｺﾝ01"_s << u"PC名:パソコン01"_s;
    QTest::newRow("full-width untouched") << u"ガ゛"_s << u"ガ゛"_s;
    QTest::newRow("ascii") << u"abc ABC"_s << u"abc ABC"_s;
}

void TestEncoders::fullWidthKana()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(basSmtp::ToFullWidthKana(input), expected);
}

void TestEncoders::iso2022Jp_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("ascii") << u"Hello, world."_s << "Hello, world."_ba;
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("hiragana (cell over 94)") << u"あ"_s << "\x1B$B$\"\x1B(B"_ba;
    QTest::newRow("kanji") << u"日本語"_s << "\x1B$BF|K\\8l\x1B(B"_ba;
    QTest::newRow("mixed ASCII") << u"A漢字B"_s << "A\x1B$B4A;z\x1B(BB"_ba;
    QTest::newRow("katakana") << u"テスト"_s << "\x1B$B%F%9%H\x1B(B"_ba;
    QTest::newRow("ideographic space") << u"全角　空白"_s << "\x1B$BA43Q!!6uGr\x1B(B"_ba;
    QTest::newRow("two runs") << u"a日b本c"_s << "a\x1B$BF|\x1B(Bb\x1B$BK\\\x1B(Bc"_ba;
    QTest::newRow("body text") << u"添付ファイルを参照ください。"_s
                               << "\x1B$BE:IU%U%!%$%k$r;2>H$/$@$5$$!#\x1B(B"_ba;
    QTest::newRow("NEC special row") << u"①"_s << "\x1B$B-!\x1B(B"_ba;
    QTest::newRow("user-defined character becomes geta") << u"\uE000"_s << "\x1B$B\".\x1B(B"_ba;
    QTest::newRow("IBM extension becomes geta") << u"髙"_s << "\x1B$B\".\x1B(B"_ba;
}

void TestEncoders::iso2022Jp()
{
    QFETCH(QString, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(basSmtp::ToIso2022Jp(input), expected);
}

void TestEncoders::hasJapanese_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("expected");
    QTest::newRow("ascii") << u"Subject:report\r\n"_s << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("kanji") << u"件名"_s << true;
    QTest::newRow("half-width katakana") << u"ｱ"_s << true;
    QTest::newRow("not in the code page") << u"é"_s << false;
}

void TestEncoders::hasJapanese()
{
    QFETCH(QString, input);
    QFETCH(bool, expected);
    QCOMPARE(basSmtp::HasJapanese(input), expected);
}

void TestEncoders::headerWords_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("expected");
    const QString kana25 = u"あいうえおかきくけこさしすせそたちつてとなにぬねの"_s;
    QTest::newRow("ascii unchanged") << u"Subject:Weekly report\r\n"_s
                                     << "Subject:Weekly report\r\n"_ba;
    QTest::newRow("japanese subject") << u"Subject:テスト\r\n"_s
                                      << "Subject: "_ba + word("GyRCJUYlOSVIGyhC") + " \r\n";
    QTest::newRow("runs around ASCII")
        << u"Subject:日本語 and テスト\r\n"_s
        << "Subject: "_ba + word("GyRCRnxLXDhsGyhC") + "  and  " + word("GyRCJUYlOSVIGyhC")
               + " \r\n";
    QTest::newRow("run at the end of the block")
        << u"To:あ"_s << "To: "_ba + word("GyRCJCIbKEI=") + " ";
    // 4 * ceil((2n + 8) / 3) + 18 > 74 first for n = 18: a run holds at most 18 characters.
    QTest::newRow("17 characters: one word")
        << kana25.left(17) << " "_ba + word("GyRCJCIkJCQmJCgkKiQrJC0kLyQxJDMkNSQ3JDkkOyQ9JD8kQRsoQg==")
                                  + " ";
    QTest::newRow("25 characters: 18 then 7")
        << kana25
        << " "_ba + word("GyRCJCIkJCQmJCgkKiQrJC0kLyQxJDMkNSQ3JDkkOyQ9JD8kQSREGyhC") + " "
               + word("GyRCJEYkSCRKJEskTCRNJE4bKEI=") + " ";
}

void TestEncoders::headerWords()
{
    QFETCH(QString, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(basSmtp::EncodeHeaderWords(input), expected);
}

void TestEncoders::folding_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray x70 = QByteArray(70, 'x');
    QTest::newRow("short line") << "Subject:hello world\r\n"_ba << "Subject:hello world\r\n"_ba;
    QTest::newRow("exactly 75") << "Subject: " + x70.left(66) + "\r\n"
                                << "Subject: " + x70.left(66) + "\r\n";
    QTest::newRow("76 folds") << "Subject: " + x70.left(67) + "\r\n"
                              << "Subject:\r\n " + x70.left(67) + "\r\n";
    QTest::newRow("several folds") << "To: " + x70 + "yy " + x70 + " b\r\n"
                                   << "To:\r\n " + x70 + "yy\r\n " + x70 + " b\r\n";
    QTest::newRow("long word stays whole") << "X:" + x70 + x70 + "\r\n" << "X:" + x70 + x70 + "\r\n";
    QTest::newRow("each line on its own")
        << "A: " + x70 + "\r\nB: " + x70 + "\r\n" << "A: " + x70 + "\r\nB: " + x70 + "\r\n";
    QTest::newRow("trailing space never opens a blank line")
        << "S: " + x70.left(72) + " \r\n" << "S: " + x70.left(72) + " \r\n";
}

void TestEncoders::folding()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(basSmtp::FoldHeaderLines(input), expected);
}

void TestEncoders::finishedHeader_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("ascii") << u"Subject:report\r\nTo:a@example.com\r\n"_s
                           << "Subject:report\r\nTo:a@example.com\r\n\r\n"_ba;
    QTest::newRow("half-width katakana widened")
        << u"Subject:ﾃｽﾄ\r\n"_s << "Subject: "_ba + word("GyRCJUYlOSVIGyhC") + " \r\n\r\n";
    QTest::newRow("long japanese subject folds between words")
        << u"Subject:あいうえおかきくけこさしすせそたちつてとなにぬねの\r\n"_s
        << "Subject:\r\n "_ba
               + word("GyRCJCIkJCQmJCgkKiQrJC0kLyQxJDMkNSQ3JDkkOyQ9JD8kQSREGyhC") + "\r\n "
               + word("GyRCJEYkSCRKJEskTCRNJE4bKEI=") + " \r\n\r\n";
}

void TestEncoders::finishedHeader()
{
    QFETCH(QString, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(basSmtp::FinishHeaderBlock(input), expected);
}

QTEST_APPLESS_MAIN(TestEncoders)
#include "tst_encoders.moc"
