// The fleet commands of TarvoControl end to end: status over three real agents and an address
// nobody answers, wake to a UDP listener on 127.0.0.1 (MACs from the inventory file and from a
// SQLite database), and --wake where an agent starts only once its magic packet has arrived.
#include "common/versioninfo.h"
#include "db/database.h"
#include "support/agentprocess.h"
#include "support_console.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int AgentCount = 3;
const QString Nobody = u"127.0.4.39"_s;
const QString Late = u"127.0.4.34"_s; // the agent started only after its packet

QString agentAddress(int i)
{
    return u"127.0.4.%1"_s.arg(31 + i);
}

// The collector's stand-in: its output files with known times, and a newer definition file
// that is no output.
QByteArray collectorScript(int i)
{
    const QByteArray day = QByteArray::number(i + 1);
    return "#!/bin/sh\ncd \"$(dirname \"$0\")\"\n"
           "touch -d '2026-03-0" + day + " 05:06:07' 00AA0000000" + day + ".DAT\n"
           "touch -d '2026-02-01 00:00:00' 00AA0000000" + day + ".SQL.LOG\n"
           "touch -d '2026-12-31 23:59:59' TarvoInfo.dat\n"
           "touch done.flag\n";
}

QByteArray magicPacket(const QByteArray &mac)
{
    QByteArray packet(6, char(0xFF));
    for (int i = 0; i < 16; ++i)
        packet += mac;
    return packet;
}

using Run = CliRun;

} // namespace

class TestFleetCli : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void status();
    void wake();
    void wakeAndRetry();

private:
    Run console(const QStringList &arguments);
    void writeConsoleFile(const QString &name, const QByteArray &bytes);
    QList<QByteArray> packets(int count);

    quint16 m_port = 0;
    QTemporaryDir m_console;
    QUdpSocket m_wakeListener;
    std::unique_ptr<AgentFolder> m_folders[AgentCount];
    std::unique_ptr<AgentProcess> m_agents[AgentCount];
};

void TestFleetCli::initTestCase()
{
    m_port = freeLoopbackPort();
    QVERIFY(m_wakeListener.bind(QHostAddress::LocalHost, 0));
    for (int i = 0; i < AgentCount; ++i) {
        m_folders[i] = std::make_unique<AgentFolder>(QMap<QString, QString>{
            {u"Port"_s, QString::number(m_port)}, {u"ListenAddress"_s, agentAddress(i)}});
        m_folders[i]->writeFile(u"collect.sh"_s, collectorScript(i), true);
        m_agents[i] = std::make_unique<AgentProcess>(*m_folders[i]);
        QVERIFY(m_agents[i]->start());
    }
    writeConsoleFile(u"TarvoControl.ini"_s,
                     "[TarvoControl]\r\nPort=" + QByteArray::number(m_port)
                         + "\r\nTimeout=5\r\nMaxControl=2\r\nSqlConnection=Provider=SQLite;Data "
                           "Source=inventory.db\r\nSqlTable=PcInfo\r\nWakeAddress=127.0.0.1\r\n"
                           "WakePort=" + QByteArray::number(m_wakeListener.localPort()) + "\r\n");
    writeConsoleFile(u"TarvoNetwork.ini"_s,
                     "[Lab]\r\npc-a.invalid=127.0.4.31, 00:11:22:33:44:55\r\npc-b.invalid=127.0.4.32\r\n"
                     "pc-c.invalid=127.0.4.33\r\nnobody.invalid=" + Nobody.toLatin1() + "\r\n[Late]\r\npc-late.invalid="
                         + Late.toLatin1() + ",00-0A-0B-0C-0D-99\r\n");
    writeConsoleFile(u"inventory.db"_s, {}); // an empty file is an empty SQLite database
    Database db(m_console.path());
    QVERIFY2(db.open(u"Provider=SQLite;Data Source=inventory.db"_s), qPrintable(db.failureText()));
    for (const QString &statement : {
             u"CREATE TABLE PcInfo (SysMicrosoftNetwork TEXT, SysComputerName TEXT, "
             "SysIPAddress TEXT, SysMACAddress TEXT)"_s,
             u"INSERT INTO PcInfo VALUES ('LAB', 'pc-a.invalid', '127.0.4.31', '0000000000AA')"_s,
             u"INSERT INTO PcInfo VALUES ('LAB', 'pc-db.invalid', '10.1.2.3', '0A0B0C0D0E0F')"_s,
             u"INSERT INTO PcInfo VALUES ('LAB', 'pc-bad.invalid', '10.1.2.4', 'PC-BAD')"_s})
        QVERIFY2(db.execute(statement), qPrintable(db.failureText()));
    db.close();
}

void TestFleetCli::writeConsoleFile(const QString &name, const QByteArray &bytes)
{
    QFile file(m_console.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

Run TestFleetCli::console(const QStringList &arguments)
{
    return runConsoleProgram(m_console.path(), arguments);
}

QList<QByteArray> TestFleetCli::packets(int count)
{
    QList<QByteArray> received;
    while (received.size() < count) {
        if (!m_wakeListener.hasPendingDatagrams() && !m_wakeListener.waitForReadyRead(5000))
            break;
        while (m_wakeListener.hasPendingDatagrams())
            received.append(m_wakeListener.receiveDatagram().data());
    }
    return received;
}

void TestFleetCli::status()
{
    const Run collect = console({u"collect"_s, u"pc-a.invalid"_s, u"pc-b.invalid"_s, u"pc-c.invalid"_s});
    QCOMPARE(collect.exitCode, 0);
    for (int i = 0; i < AgentCount; ++i) {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_folders[i]->file(u"done.flag"_s)), 10000);
        QVERIFY(m_agents[i]->waitForLineCount(m_agents[i]->listeningText(), 2));
    }

    const Run status = console({u"status"_s, u"@Lab"_s});
    QCOMPARE(status.exitCode, 1);
    QCOMPARE(status.lines.size(), 4);
    const QString version = VersionInfo::text();
    for (int i = 0; i < AgentCount; ++i) {
        const QString host = u"pc-"_s + QChar(u'a' + i) + u".invalid"_s;
        const QStringList line = status.lines.filter(host + u'\t').value(0).split(u'\t');
        QCOMPARE(line.size(), 5);
        QCOMPARE(line[1], u"up"_s);
        QVERIFY2(line[2].toInt() >= 0 && line[2] != u"-", qPrintable(line[2]));
        QCOMPARE(line[3], version);
        QCOMPARE(line[4], u"2026/03/0%1 05:06:07"_s.arg(i + 1));
        // One 300 and its end request, nothing that changes the PC.
        QVERIFY(m_agents[i]->waitForLineCount(m_agents[i]->listeningText(), 3));
        QCOMPARE(m_agents[i]->texts().filter(u"受信(300)"_s).size(), 1);
        QCOMPARE(m_agents[i]->texts().filter(u"受信(140)"_s).size(), 1);
    }
    QVERIFY(status.lines.contains(u"nobody.invalid\tdown\t-\t-\t-"_s));
    QVERIFY2(status.err.contains(u"3 up, 1 down"_s), qPrintable(status.err));

    const Run csv = console({u"--csv"_s, u"status"_s, u"pc-b.invalid"_s});
    QCOMPARE(csv.exitCode, 0);
    QCOMPARE(csv.lines.value(0),
             u"\"コンピュータ名\",\"状態\",\"応答時間(ms)\",\"バージョン\",\"最終収集\","_s);
    QVERIFY2(csv.lines.value(1).startsWith(u"\"pc-b.invalid\",\"up\",\""_s), qPrintable(csv.lines.value(1)));
    QVERIFY(csv.lines.value(1).endsWith(u"\",\""_s + version + u"\",\"2026/03/02 05:06:07\""_s));
    QVERIFY(m_agents[1]->waitForLineCount(m_agents[1]->listeningText(), 4));
}

void TestFleetCli::wake()
{
    const Run run = console({u"wake"_s, u"pc-a.invalid"_s, u"pc-db.invalid"_s, u"pc-b.invalid"_s, u"pc-bad.invalid"_s});
    QCOMPARE(run.exitCode, 1);
    // The inventory's MAC wins over the database's for pc-a; pc-db is known to the database only.
    const QList<QByteArray> received = packets(2);
    QCOMPARE(received, (QList<QByteArray>{magicPacket(QByteArray::fromHex("001122334455")),
                                          magicPacket(QByteArray::fromHex("0A0B0C0D0E0F"))}));
    QVERIFY(!m_wakeListener.waitForReadyRead(300)); // nothing for the PCs without a usable MAC
    QVERIFY(run.lines.contains(u"pc-a.invalid\tOK\t001122334455\tマジックパケット送信！"_s));
    QVERIFY(run.lines.contains(u"pc-db.invalid\tOK\t0A0B0C0D0E0F\tマジックパケット送信！"_s));
    QVERIFY(run.lines.contains(u"pc-b.invalid\tNG\t\tMACアドレスが不明です！"_s));
    QVERIFY(run.lines.contains(u"pc-bad.invalid\tNG\tPC-BAD\tMACアドレスが不正です！"_s));
    QVERIFY2(run.err.contains(u"2 woken, 2 skipped"_s), qPrintable(run.err));
}

void TestFleetCli::wakeAndRetry()
{
    AgentFolder folder(QMap<QString, QString>{{u"Port"_s, QString::number(m_port)},
                                              {u"ListenAddress"_s, Late}});
    folder.writeFile(u"collect.sh"_s, "#!/bin/sh\nexit 0\n", true);
    AgentProcess late(folder);

    QProcess process;
    process.start(QStringLiteral(TARVO_BIN_DIR "/TarvoControl"),
                  {u"--folder"_s, m_console.path(), u"--wake=10"_s, u"collect"_s, u"@Late"_s,
                   u"pc-b.invalid"_s});
    const QList<QByteArray> received = packets(1);
    QCOMPARE(received, QList<QByteArray>{magicPacket(QByteArray::fromHex("000A0B0C0D99"))});
    QVERIFY(late.start());
    QVERIFY(process.waitForFinished(30000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    QCOMPARE(process.exitCode(), 0);
    QVERIFY2(out.contains(u"pc-b.invalid\tOK\t情報収集プログラム実行！\n"_s), qPrintable(out));
    QVERIFY2(out.contains(u"pc-late.invalid\tOK\t情報収集プログラム実行！ (Wake-on-LAN後に応答)\n"_s),
             qPrintable(out));
    QVERIFY(late.waitForLine(u"情報収集プログラムを実行しました。"_s));
}

QTEST_GUILESS_MAIN(TestFleetCli)
#include "tst_fleetcli.moc"
