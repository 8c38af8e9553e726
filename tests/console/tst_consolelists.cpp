// What the administrator types into the address boxes and what the result lists write to CSV.
#include "console/network/consoletargets.h"
#include "console/batch/distributionrules.h"
#include "console/frontend.h"
#include "console/batch/resultcsv.h"
#include "console/ipaddressboxes.h"
#include "console/batch/resultlist.h"
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
    void targets_data();
    void targets();
    void distributionButtons_data();
    void distributionButtons();
    void saveFilters_data();
    void saveFilters();
};

void TestConsoleLists::saveFilters_data()
{
    // The file dialog's filters and the extension a name typed without one is given.
    QTest::addColumn<QString>("windowsFilter");
    QTest::addColumn<QStringList>("qtFilters");
    QTest::addColumn<QString>("suffix"); // of the first filter
    QTest::newRow("csv first") << u"CSVファイル (*.csv)|*.csv|すべてのファイル (*.*)|*.*"_s
                               << QStringList{u"CSVファイル (*.csv)"_s, u"すべてのファイル (*.*)"_s}
                               << u"csv"_s;
    QTest::newRow("every file") << u"すべて|*.*"_s << QStringList{u"すべて (*.*)"_s} << QString();
    QTest::newRow("Qt's form") << u"CSVﾌｧｲﾙ (*.csv);;すべてのﾌｧｲﾙ (*)"_s
                               << QStringList{u"CSVﾌｧｲﾙ (*.csv)"_s, u"すべてのﾌｧｲﾙ (*)"_s} << u"csv"_s;
    QTest::newRow("two patterns") << u"Text (*.txt *.log)"_s
                                  << QStringList{u"Text (*.txt *.log)"_s} << u"txt"_s;
    QTest::newRow("pattern with a wildcard") << u"Logs|*.lo?"_s << QStringList{u"Logs (*.lo?)"_s}
                                             << QString();
    QTest::newRow("nothing") << QString() << QStringList() << QString();
}

void TestConsoleLists::saveFilters()
{
    QFETCH(QString, windowsFilter);
    QFETCH(QStringList, qtFilters);
    QFETCH(QString, suffix);
    QCOMPARE(QtFileFilters(windowsFilter), qtFilters);
    QCOMPARE(SuffixOfFilter(qtFilters.value(0)), suffix);
}

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

void TestConsoleLists::targets_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("image"); // the clicked node's image, "" for typed addresses
    QTest::addColumn<QString>("text");  // the node's text, or the four boxes joined by "|"
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("frames"); // -1: left as they are, 0: disabled, 1: enabled
    QTest::newRow("computer") << 1 << u"server"_s << u"pc1"_s << u"pc1"_s << 1;
    QTest::newRow("group") << 3 << u"group"_s << u"営業"_s << QString() << 0;
    QTest::newRow("placeholder is no computer") << 4 << u"server"_s << u"FAKE"_s << QString() << 0;
    QTest::newRow("batch page keeps the target") << 2 << u"server"_s << u"pc1"_s << QString() << -1;
    QTest::newRow("typed address") << 1 << QString() << u"10| 0|0|7"_s << u"10.0.0.7"_s << 1;
    QTest::newRow("incomplete address") << 4 << QString() << u"10|0||7"_s << u"10.0..7"_s << 0;
    QTest::newRow("typed on a database page") << 7 << QString() << u"1|2|3|4"_s << u"1.2.3.4"_s
                                              << -1;
}

void TestConsoleLists::targets()
{
    QFETCH(int, page);
    QFETCH(QString, image);
    QFETCH(QString, text);
    QFETCH(QString, host);
    QFETCH(int, frames);
    ConsoleTargets targets;
    targets.setPage(page);
    QCOMPARE(targets.treeEnabled(), page <= 5);
    QCOMPARE(targets.isBatchPage(), page == 2 || page == 5);
    const std::optional<bool> enabled = image.isEmpty()
        ? targets.addressChanged(text.split(u'|'))
        : targets.nodeClicked(image, text);
    QCOMPARE(enabled.has_value() ? int(*enabled) : -1, frames);
    QCOMPARE(targets.targetHost(), host);
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
