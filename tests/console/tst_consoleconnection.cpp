// The single connection against a scripted agent (for what a real agent does not do) and a
// real agent (the parameter round trip).
#include "common/codepage.h"
#include "console/connection/agentconnection.h"
#include "console/connection/nametable.h"
#include "console/settings/parametermodel.h"
#include "support/agentprocess.h"
#include "support/scriptedagent.h"
#include "support_console.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString Time = u"12:34:56"_s;

/// One command run through a connection whose outcome is recorded.
struct CommandRun
{
    explicit CommandRun(const ConsoleSettings &given)
        : settings(given), connection(settings, names, frontEnd)
    {
        connection.setClock(&clock);
        for (auto signal : {&AgentConnection::ShowParameters, &AgentConnection::ShowFileList,
                            &AgentConnection::ShowDataFile, &AgentConnection::ShowStatusLog})
            QObject::connect(&connection, signal, [this](const QString &body) { shown = body; });
    }
    /// Sends and waits until the command is over; the handled reply code (0: none).
    int run(const QString &host, int code, const QString &data = {})
    {
        QSignalSpy finished(&connection, &AgentConnection::commandFinished);
        if (!connection.SendCommand(host, code, data) || !finished.wait(15000))
            return -1;
        return finished.first().at(1).toInt();
    }

    ConsoleSettings settings; // the connection reads it at each command
    FixedClock clock;
    NameTable names;
    RecordingFrontEnd frontEnd;
    AgentConnection connection;
    QString shown;
};

QList<QByteArray> split(const QByteArray &bytes, QList<qsizetype> sizes)
{
    QList<QByteArray> chunks;
    qsizetype at = 0;
    for (const qsizetype size : sizes) {
        chunks.append(bytes.mid(at, size));
        at += size;
    }
    chunks.append(bytes.mid(at));
    return chunks;
}

} // namespace

class TestConsoleConnection : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scriptedReplies_data();
    void scriptedReplies();
    void secondCommandIsRefused();
    void parameterRoundTrip();
};

void TestConsoleConnection::scriptedReplies_data()
{
    QTest::addColumn<int>("request");
    QTest::addColumn<QString>("data");
    QTest::addColumn<ScriptedAgent::Script>("script");
    QTest::addColumn<int>("reply");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("endSent");

    QByteArray log;
    for (int i = 0; log.size() < 5000; ++i)
        log += "2026/04/01 12:00:00\t" + cp932(u"稼動ログ "_s) + QByteArray::number(i) + "\r\n";
    const QByteArray logFrame = rawFrame(401, log);
    QTest::newRow("a reply in three chunks is shown once, whole")
        << 400 << QString() << ScriptedAgent::Script{split(logFrame, {2048, 2048}), false} << 401
        << CodePage::fromAnsi(log) << QStringList()
        << u"稼動ログを表示しました！("_s + Time + u')' << true;
    const QByteArray params = "[TarvoAgent]=\r\nPort=7710\r\n\r\n";
    QTest::newRow("a header split over two chunks")
        << 100 << QString() << ScriptedAgent::Script{split(rawFrame(101, params), {5}), false}
        << 101 << QString::fromLatin1(params) << QStringList()
        << u"パラメータを表示しました！("_s + Time + u')' << true;
    QTest::newRow("152 shows the agent's reason; the agent stays up, so 900 follows")
        << 150 << QString()
        << ScriptedAgent::Script{{rawFrame(152, cp932(u"終了に失敗しました。\r\n"_s))}, false}
        << 152 << QString() << QStringList{u"!エージェントの終了に失敗しました！\r\n終了に失敗しました。\r\n"_s}
        << u"エージェントの終了に失敗しました！("_s + Time + u')' << true;
    QTest::newRow("a reading failure puts the reason into the status text")
        << 310 << u"TarvoInfo.dat"_s
        << ScriptedAgent::Script{{rawFrame(312, cp932(u"ファイルのオープン時にエラーが発生しました。"_s))}, false}
        << 312 << QString()
        << QStringList{u"!データファイルの取得に失敗しました！\r\nファイルのオープン時にエラーが発生しました。"_s}
        << u"データファイルの取得に失敗しました！(ファイルのオープン時にエラーが発生しました。)"_s
        << true;
    QTest::newRow("131: the agent ends itself, no 900")
        << 130 << QString() << ScriptedAgent::Script{{rawFrame(131, "\r\n")}, false} << 131
        << QString() << QStringList() << u"エージェントを再起動しました！("_s + Time + u')' << false;
    QTest::newRow("a reply that never comes ends at the time-out")
        << 300 << QString() << ScriptedAgent::Script{{}, false} << 0 << QString() << QStringList()
        << u"タイムアウトしました！("_s + Time + u')' << false;
    QTest::newRow("an unknown code is ignored until the time-out")
        << 300 << QString() << ScriptedAgent::Script{{rawFrame(777, "\r\n")}, false} << 0
        << QString() << QStringList() << u"タイムアウトしました！("_s + Time + u')' << false;
    // 150 bytes 30 ms apart take longer than the 2 s time-out, though each comes well within it.
    const QByteArray slow = rawFrame(401, QByteArray(150, 'x') + "\r\n");
    ScriptedAgent::Script trickle{{slow.left(9)}, false};
    for (qsizetype i = 9; i < slow.size(); ++i)
        trickle.chunks.append(slow.mid(i, 1));
    QTest::newRow("a reply trickled a byte at a time ends at the time-out")
        << 400 << QString() << trickle << 0 << QString() << QStringList()
        << u"タイムアウトしました！("_s + Time + u')' << false;
    QTest::newRow("a closed connection")
        << 400 << QString() << ScriptedAgent::Script{{}, true} << 0 << QString()
        << QStringList{u"i切断されています！"_s} << u"ソケットのクローズが完了しました！"_s << false;
    QTest::newRow("a declared length beyond the bound reserves nothing and fails")
        << 400 << QString()
        << ScriptedAgent::Script{{QByteArray("401;\xF0\xFF\xFF\x7F;", 9)}, false} << 0
        << QString() << QStringList()
        << u"受信データが大きすぎるため、受信を中止しました！"_s << false;
    QTest::newRow("901 out of turn says the connection was cut")
        << 100 << QString() << ScriptedAgent::Script{{rawFrame(901, "\r\n")}, false} << 901
        << QString() << QStringList{u"i接続が切断されました。"_s}
        << u"ソケットのクローズが完了しました！"_s << false;
}

void TestConsoleConnection::scriptedReplies()
{
    QFETCH(int, request);
    QFETCH(QString, data);
    QFETCH(ScriptedAgent::Script, script);
    QFETCH(int, reply);
    QFETCH(QString, shown);
    QFETCH(QStringList, boxes);
    QFETCH(QString, status);
    QFETCH(bool, endSent);

    ScriptedAgent agent(u"127.0.3.1"_s);
    QVERIFY(agent.isListening());
    agent.on(request, script);
    CommandRun command(testSettings(agent.port(), 2));
    QCOMPARE(command.run(u"127.0.3.1"_s, request, data), reply);

    QTRY_COMPARE(agent.openConnections(), 0);
    QCOMPARE(agent.requests().first(), rawFrame(request, cp932(data + u"\r\n"_s)));
    const QList<int> codes = endSent ? QList<int>{request, 900} : QList<int>{request};
    QCOMPARE(agent.requestCodes(), codes);
    QCOMPARE(command.shown, shown);
    QCOMPARE(command.frontEnd.boxes, boxes);
    const QString code = QString::number(request);
    const QStringList opening = {u"ソケットが生成されました！"_s, u"接続しています･･･"_s,
                                 u"接続しました！"_s, u"コマンド（"_s + code + u"）送信中･･･"_s,
                                 u"コマンド（"_s + code + u"）送信しました！（"_s
                                     + QString::number(agent.requests().first().size())
                                     + u" bytes）"_s};
    QCOMPARE(command.frontEnd.statuses.mid(0, opening.size()), opening);
    QCOMPARE(command.frontEnd.statuses.last(), status);
    QCOMPARE(command.connection.busy(), false);
    QCOMPARE(command.frontEnd.busyNow, false);
}

void TestConsoleConnection::secondCommandIsRefused()
{
    ScriptedAgent agent(u"127.0.3.2"_s);
    CommandRun command(testSettings(agent.port(), 2));
    QSignalSpy finished(&command.connection, &AgentConnection::commandFinished);
    QVERIFY(command.connection.SendCommand(u"127.0.3.2"_s, 400, {}));
    QTRY_COMPARE(agent.requests().size(), 1);
    QVERIFY(!command.connection.SendCommand(u"127.0.3.2"_s, 100, {}));
    QCOMPARE(command.frontEnd.statuses.last(),
             u"前のコマンドの応答を待っています。しばらくしてから実行してください。"_s);
    QVERIFY(finished.wait(5000));
    QCOMPARE(agent.requestCodes(), QList<int>{400});
    QCOMPARE(agent.connectionCount(), 1);
}

void TestConsoleConnection::parameterRoundTrip()
{
    AgentFolder folder;
    AgentProcess agent(folder);
    QVERIFY(agent.start());
    CommandRun command(testSettings(folder.port()));
    ParameterEditModel model;
    QObject::connect(&command.connection, &AgentConnection::ShowParameters, &model,
                     &ParameterEditModel::load);
    auto rowOf = [&model](const QString &key) {
        for (int i = 0; i < model.rows().size(); ++i) {
            if (model.rows()[i].key == key)
                return i;
        }
        return -1;
    };
    // The agent listens again after each session: wait for that before the next command.
    auto waitListening = [&agent](int times) {
        return agent.waitForLineCount(agent.listeningText(), times);
    };

    QCOMPARE(command.run(u"127.0.0.1"_s, 100), 101);
    QCOMPARE(model.rows().first().key, u"[TarvoAgent]"_s);
    QCOMPARE(model.select(0).editable, false);
    const int statusLog = rowOf(u"StatusLog"_s);
    const int timeOut = rowOf(u"TimeOut"_s);
    QVERIFY(statusLog > 0 && timeOut > 0);
    QCOMPARE(model.select(statusLog).value, u"1000"_s);
    QVERIFY(model.confirmEdit(statusLog, u"StatusLog"_s, u" 500 "_s));
    QVERIFY(model.confirmEdit(timeOut, u"TimeOut"_s, u"90"_s));
    // A value the agent would store as "?" is refused and leaves the row as it was.
    QString refusal;
    QVERIFY(!model.confirmEdit(timeOut, u"TimeOut"_s, u"9😀"_s, &refusal));
    QVERIFY(refusal.startsWith(u"「設定値」にShift-JISで保存できない文字（😀）"_s));
    QCOMPARE(model.updateData(), u"TarvoAgent;StatusLog=500\r\nTarvoAgent;TimeOut=90\r\n"_s);

    QVERIFY(waitListening(2));
    QCOMPARE(command.run(u"127.0.0.1"_s, 110, model.updateData()), 111);
    QCOMPARE(command.frontEnd.statuses.last(), u"パラメータを更新しました！("_s + Time + u')');
    QVERIFY(folder.iniBytes().contains("StatusLog=500\r\n"));
    QVERIFY(folder.iniBytes().contains("TimeOut=90\r\n"));

    QVERIFY(waitListening(3));
    QCOMPARE(command.run(u"127.0.0.1"_s, 100), 101);
    QCOMPARE(model.rows()[statusLog].value, u"500"_s);
    QCOMPARE(model.rows()[statusLog].mark, u" "_s);
    QCOMPARE(model.rows()[timeOut].value, u"90"_s);
    QCOMPARE(command.frontEnd.boxes, QStringList());
    // Every session ended with 900: the agent saw one per command.
    QTRY_COMPARE(agent.texts().filter(u"受信(900)"_s).size(), 3);
}

QTEST_GUILESS_MAIN(TestConsoleConnection)
#include "tst_consoleconnection.moc"
