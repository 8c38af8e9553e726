// What the administrator types into the address boxes and what the result lists write to CSV.
#include "console/distributionrules.h"
#include "console/resultcsv.h"
#include "console/ipaddressboxes.h"
#include "console/resultlist.h"
#include "support/agentprocess.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;
using IpAddressBoxes::KeyAction;

class TestConsoleLists : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addressBoxes_data();
    void addressBoxes();
    void csvExport_data();
    void csvExport();
    void distributionButtons_data();
    void distributionButtons();
};

void TestConsoleLists::addressBoxes_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");      // one key, or a whole box text for the range rule
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("boxText");    // the box after the range rule
    QTest::newRow("digit") << 0 << u"7"_s << int(KeyAction::Accept) << u"7"_s;
    QTest::newRow("backspace") << 2 << u"\b"_s << int(KeyAction::Accept) << u"\b"_s;
    QTest::newRow("dot moves on") << 1 << u"."_s << int(KeyAction::DiscardAndNextBox) << u"."_s;
    QTest::newRow("dot in the last box") << 3 << u"."_s << int(KeyAction::Discard) << u"."_s;
    QTest::newRow("letter") << 0 << u"a"_s << int(KeyAction::Discard) << u"a"_s;
    QTest::newRow("minus") << 0 << u"-"_s << int(KeyAction::Discard) << u"-"_s;
    QTest::newRow("300 becomes 255") << 0 << u"300"_s << int(KeyAction::Accept) << u"255"_s;
    QTest::newRow("255 stays") << 0 << u"255"_s << int(KeyAction::Accept) << u"255"_s;
    QTest::newRow("empty stays empty") << 0 << u""_s << int(KeyAction::Accept) << u""_s;
}

void TestConsoleLists::addressBoxes()
{
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(int, action);
    QFETCH(QString, boxText);
    if (typed.size() == 1)
        QCOMPARE(int(IpAddressBoxes::keyAction(box, typed.front())), action);
    QCOMPARE(IpAddressBoxes::clampBox(typed), boxText);

    QStringList boxes{u"192"_s, u" 168"_s, u"1"_s, u"20 "_s};
    QCOMPARE(IpAddressBoxes::targetHost(boxes), u"192.168.1.20"_s);
    QVERIFY(IpAddressBoxes::isComplete(boxes));
    boxes[box] = IpAddressBoxes::clampBox(typed);
    QCOMPARE(IpAddressBoxes::isComplete(boxes), !boxText.trimmed().isEmpty());
}

void TestConsoleLists::csvExport_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QByteArray>("body"); // the lines after the header line
    QTest::newRow("empty list") << QStringList{} << QString() << QByteArray("\r\n");
    QTest::newRow("two rows")
        << QStringList{u"pc1"_s, u"pc2"_s} << u"情報収集プログラム実行！"_s
        << cp932(u"\"pc1\",\"OK\",\"情報収集プログラム実行！\"\r\n"
                 "\"pc2\",\"OK\",\"情報収集プログラム実行！\"\r\n\r\n"_s);
    QTest::newRow("quote doubled")
        << QStringList{u"a\"b"_s} << u"say \"hi\""_s
        << QByteArray("\"a\"\"b\",\"OK\",\"say \"\"hi\"\"\"\r\n\r\n");
}

void TestConsoleLists::csvExport()
{
    QFETCH(QStringList, names);
    QFETCH(QString, status);
    QFETCH(QByteArray, body);
    ResultList list(ResultList::func2Columns());
    for (int i = 0; i < names.size(); ++i) {
        QVERIFY(list.addTarget(names.at(i)));
        QVERIFY(list.setResult(i, u"OK"_s, status));
    }
    QVERIFY(!list.addTarget(u"FAKE"_s));
    QCOMPARE(ResultListCsv(list.headers(), list.rows()),
             cp932(u"\"コンピュータ名\",\"結果\",\"ステータス\",\r\n"_s) + body);
}

void TestConsoleLists::distributionButtons_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text"); // the start of the box's text
    QTest::addColumn<bool>("buttonsBack");
    const int message = DistributionStep::Message;
    const int batch = DistributionStep::Batch;
    QTest::newRow("no file, explanation") << 3 << QString() << message << 0
                                          << u"配信するファイルを指定してください！"_s << true;
    QTest::newRow("distribute") << 0 << u"a.dat"_s << batch << 500 << QString() << false;
    QTest::newRow("agent program refused") << 0 << u"TarvoAgent"_s << message << 0
                                           << u"エージェントソフトのバージョンアップは"_s << true;
    QTest::newRow("agent program with restart") << 1 << u"TarvoAgent"_s << batch << 510
                                                << QString() << false;
    QTest::newRow("collect refuses the agent") << 2 << u"TarvoAgent"_s << message << 0
                                               << u"エージェントソフトのバージョンアップは"_s << true;
    QTest::newRow("other letter case goes") << 2 << u"tarvoagent"_s << batch << 520 << QString()
                                            << false;
    QTest::newRow("explanation gives the buttons back")
        << 3 << u"a.dat"_s << message << 0 << u"クライアントPCのエージェントソフト"_s << true;
    QTest::newRow("save gives the buttons back")
        << 4 << u"a.dat"_s << int(DistributionStep::Export) << 0 << QString() << true;
}

void TestConsoleLists::distributionButtons()
{
    QFETCH(int, index);
    QFETCH(QString, file);
    QFETCH(int, kind);
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(bool, buttonsBack);
    const DistributionStep step = DistributionRules::step(index, file);
    QCOMPARE(int(step.kind), kind);
    QCOMPARE(step.code, code);
    QVERIFY2(step.text.startsWith(text), qPrintable(step.text));
    QCOMPARE(!DistributionRules::keepsButtonsDisabled(step), buttonsBack);
}

QTEST_GUILESS_MAIN(TestConsoleLists)
#include "tst_consolelists.moc"
