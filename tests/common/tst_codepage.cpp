#include "common/codepage.h"

#include "common/ansifields.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestCodePage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void toAnsi_data();
    void toAnsi();
    void fromAnsi_data();
    void fromAnsi();
    void roundTrip_data();
    void roundTrip();
    void longMixedText();
    void unholdable_data();
    void unholdable();
};

void TestCodePage::toAnsi_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ok");

    QTest::newRow("empty") << QString() << QByteArray() << true;
    QTest::newRow("ASCII") << u"Port=9000"_s << "Port=9000"_ba << true;
    QTest::newRow("backslash and tilde stay ASCII") << u"C:\\dir~1"_s << "C:\\dir~1"_ba << true;
    QTest::newRow("wave dash") << u"\u301c"_s << "\x81\x60"_ba << true;
    QTest::newRow("full-width tilde") << u"\uff5e"_s << "\x81\x60"_ba << true;
    QTest::newRow("half-width katakana") << u"ｱ"_s << "\xb1"_ba << true;
    QTest::newRow("hiragana") << u"あ"_s << "\x82\xa0"_ba << true;
    QTest::newRow("kanji with 5C trail byte") << u"表"_s << "\x95\x5c"_ba << true;
    QTest::newRow("NEC special character") << u"①"_s << "\x87\x40"_ba << true;
    QTest::newRow("IBM extension") << u"髙"_s << "\xfb\xfc"_ba << true;
    QTest::newRow("status text") << u"受信(140)"_s << "\x8e\xf3\x90\x4d(140)"_ba << true;
    QTest::newRow("emoji") << u"😀"_s << "?"_ba << false;
    QTest::newRow("emoji between text") << u"a😀あ"_s << "a?\x82\xa0"_ba << false;
    QTest::newRow("two unmappables") << u"€😀"_s << "??"_ba << false;
    QTest::newRow("lone surrogate") << QString(QChar(0xd800)) + u"x"_s << "?x"_ba << false;
    QTest::newRow("lone surrogate at the end") << u"x"_s + QString(QChar(0xdc00)) << "x?"_ba << false;
}

void TestCodePage::toAnsi()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ok);

    bool converted = !ok;
    QCOMPARE(CodePage::toAnsi(text, &converted), bytes);
    QCOMPARE(converted, ok);
    QCOMPARE(CodePage::toAnsi(text), bytes);
}

void TestCodePage::fromAnsi_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");

    QTest::newRow("empty") << QByteArray() << QString() << true;
    QTest::newRow("ASCII") << "SysOS=P;20040312"_ba << u"SysOS=P;20040312"_s << true;
    QTest::newRow("81 60 is the full-width tilde") << "\x81\x60"_ba << u"\uff5e"_s << true;
    QTest::newRow("half-width katakana") << "\xb1\xb2\xb3"_ba << u"ｱｲｳ"_s << true;
    QTest::newRow("kanji with 5C trail byte") << "\x95\x5c"_ba << u"表"_s << true;
    QTest::newRow("undefined byte 80") << "a\x80" "b"_ba << u"a\ufffdb"_s << false;
    QTest::newRow("lead byte then blank") << "\x82 x"_ba << u"\ufffd x"_s << false;
    QTest::newRow("lead byte at the end") << "ab\x82"_ba << u"ab\ufffd"_s << false;
    QTest::newRow("bad bytes in a row") << "\xfd\xfe\xff"_ba << u"\ufffd\ufffd\ufffd"_s << false;
    QTest::newRow("good after bad") << "\xff\x82\xa0"_ba << u"\ufffdあ"_s << false;
}

void TestCodePage::fromAnsi()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, ok);

    bool converted = !ok;
    QCOMPARE(CodePage::fromAnsi(bytes, &converted), text);
    QCOMPARE(converted, ok);
}

void TestCodePage::roundTrip_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("message") << u"パラメータの取得時にエラーが発生しました。"_s;
    QTest::newRow("half-width button") << u"ｷｬﾝｾﾙ(&C)"_s;
    QTest::newRow("mixed") << u"IBM 拡張(101 or 102)キーボード ～ ①髙 \\~"_s;
}

void TestCodePage::roundTrip()
{
    QFETCH(QString, text);
    bool ok = false;
    const QByteArray bytes = CodePage::toAnsi(text, &ok);
    QVERIFY(ok);
    QCOMPARE(CodePage::fromAnsi(bytes, &ok), text);
    QVERIFY(ok);
}

void TestCodePage::longMixedText()
{
    // Many conversions and replacements in one text: the output buffer must hold them all.
    QString text;
    QByteArray expected;
    for (int i = 0; i < 2000; ++i) {
        text += u"あ😀x"_s;
        expected += "\x82\xa0?x"_ba;
    }
    bool ok = true;
    QCOMPARE(CodePage::toAnsi(text, &ok), expected);
    QVERIFY(!ok);
    const QString back = CodePage::fromAnsi(expected, &ok);
    QVERIFY(ok);
    QCOMPARE(back, QString(text).replace(u"😀"_s, u"?"_s));
}

void TestCodePage::unholdable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("unholdable"); // each character once, in order

    QTest::newRow("ASCII") << u"C:\\Tarvo ~ \\share"_s << QString();
    QTest::newRow("Japanese, both wave dashes, NEC signs, half-width kana")
        << u"収集〜～①ⅠｱＡ"_s << QString();
    QTest::newRow("emoji, each once") << u"a😀b😀"_s << u"😀"_s;
    QTest::newRow("outside JIS X 0208: 𠀋, Korean, é") << u"𠀋한é한"_s << u"𠀋한é"_s;
    QTest::newRow("a lone surrogate") << QString(QChar(0xd800)) << QString(QChar(0xd800));
}

void TestCodePage::unholdable()
{
    QFETCH(QString, text);
    QFETCH(QString, unholdable);
    QCOMPARE(AnsiFields::unholdable(text), unholdable);
    // The check names the first box that holds any, and only that one.
    const auto refusal = AnsiFields::check({{u"txtA"_s, u"A"_s, u"fine"_s},
                                            {u"txtB"_s, u"B"_s, text},
                                            {u"txtC"_s, u"C"_s, u"😀"_s}});
    QVERIFY(refusal);
    QCOMPARE(refusal->control, unholdable.isEmpty() ? u"txtC"_s : u"txtB"_s);
    QVERIFY(refusal->message.startsWith(unholdable.isEmpty() ? u"「C」"_s : u"「B」"_s));
}

QTEST_APPLESS_MAIN(TestCodePage)
#include "tst_codepage.moc"
