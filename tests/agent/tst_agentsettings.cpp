#include "agent/agentsettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// A valid section; each row replaces or removes one key.
const QList<QPair<QByteArray, QByteArray>> baseKeys = {
    {"Port", "7710"},         {"TimeOut", "60"},   {"StatusLog", "100"},
    {"AutoStart", "0"},       {"AutoExit", "0"},   {"ExeFile", "TarvoInfo"},
    {"TimeStart", "WEEK,08:30,MON,WED,FRI"},       {"DebugMode", "1"},
};

QByteArray iniText(const QByteArray &key, const std::optional<QByteArray> &value)
{
    QByteArray text = "[TarvoAgent]\r\n";
    bool replaced = false;
    for (const auto &[name, base] : baseKeys) {
        if (name == key) {
            replaced = true;
            if (value)
                text += name + '=' + *value + "\r\n";
        } else {
            text += name + '=' + base + "\r\n";
        }
    }
    if (!replaced && value)
        text += key + '=' + *value + "\r\n";
    return text;
}

} // namespace

class TestAgentSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void load_data();
    void load();
    void missingFileRefuses();
    void ownKeys();
    void tls_data();
    void tls();
};

void TestAgentSettings::load_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<bool>("starts");

    QTest::newRow("as shipped") << "Port"_ba << "7710"_ba << false << true;
    QTest::newRow("port with blanks") << "Port"_ba << "  7710 "_ba << false << true;
    QTest::newRow("port empty") << "Port"_ba << ""_ba << false << false;
    QTest::newRow("port missing") << "Port"_ba << ""_ba << true << false;
    QTest::newRow("port a word") << "Port"_ba << "seven"_ba << false << false;
    QTest::newRow("status log not a number") << "StatusLog"_ba << "10x"_ba << false << false;
    QTest::newRow("time-out 2147483 s fits") << "TimeOut"_ba << "2147483"_ba << false << true;
    QTest::newRow("time-out 2147484 s overflows") << "TimeOut"_ba << "2147484"_ba << false
                                                  << false;
    QTest::newRow("time start one comma") << "TimeStart"_ba << ","_ba << false << false;
    QTest::newRow("time start missing") << "TimeStart"_ba << ""_ba << true << false;
    QTest::newRow("time start empty day list") << "TimeStart"_ba << "WEEK,08:30,"_ba << false
                                               << true;
    QTest::newRow("time start two bare commas") << "TimeStart"_ba << ",,"_ba << false << true;
    QTest::newRow("allow from malformed") << "AllowFrom"_ba << "10.0.0.0/33"_ba << false
                                          << false;
    QTest::newRow("allow from list") << "AllowFrom"_ba << "127.0.0.1, 10.1.0.0/16"_ba << false
                                     << true;
    QTest::newRow("max frame below header") << "MaxFrameBytes"_ba << "8"_ba << false << false;
    QTest::newRow("max frame a word") << "MaxFrameBytes"_ba << "big"_ba << false << false;
}

void TestAgentSettings::load()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(bool, removed);
    QFETCH(bool, starts);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"TarvoAgent.ini"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(iniText(key, removed ? std::nullopt : std::optional(value)));
    file.close();

    QString reason;
    const auto settings = LoadAgentSettings(path, &reason);
    QCOMPARE(settings.has_value(), starts);
    QCOMPARE(reason.isEmpty(), starts);
}

void TestAgentSettings::missingFileRefuses()
{
    QTemporaryDir dir;
    QVERIFY(!LoadAgentSettings(dir.filePath(u"TarvoAgent.ini"_s)));
}

void TestAgentSettings::ownKeys()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"TarvoAgent.ini"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // Names compare without regard to case, as everywhere in the file.
    QByteArray text = iniText("AutoStart", "yes");
    text.replace("TimeOut=60", "timeout=30");
    file.write(text + "listenaddress=127.0.0.1\r\nallowfrom=127.0.0.1,10.1.0.0/16\r\n");
    file.close();
    const auto settings = LoadAgentSettings(path);
    QVERIFY(settings);
    QCOMPARE(settings->Port, 7710);
    QCOMPARE(settings->TimeOut, 30000);
    QCOMPARE(settings->StatusLog, 100);
    QCOMPARE(settings->ListenAddress, u"127.0.0.1"_s);
    QCOMPARE(settings->schedule.dayList, (QStringList{u"MON"_s, u"WED"_s, u"FRI"_s}));
    QVERIFY(!settings->autoStart());
    QVERIFY(settings->AllowFrom.allows(u"127.0.0.1"_s));
    QVERIFY(settings->AllowFrom.allows(u"10.1.200.3"_s));
    QVERIFY(!settings->AllowFrom.allows(u"10.2.0.1"_s));
    QVERIFY(!settings->AllowFrom.allows(u"127.0.0.2"_s));
}

void TestAgentSettings::tls_data()
{
    QTest::addColumn<QByteArray>("accept");  // TlsAccept; empty: the key is missing
    QTest::addColumn<QByteArray>("keyFile"); // TlsPskFile as written ("@" = the folder)
    QTest::addColumn<QByteArray>("content"); // of tarvo.psk; empty with mode 0: no file
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("refusal");    // the end of the reason; empty: the agent starts
    QTest::addColumn<bool>("plain");
    QTest::addColumn<bool>("psk");

    const QByteArray key = "site "_ba + QByteArray(32, 'k').toHex() + '\n';
    const QByteArray shortKey = "site "_ba + QByteArray(31, 'k').toHex() + '\n';
    const QByteArray longName = QByteArray(129, 'n') + ' ' + QByteArray(32, 'k').toHex();
    const QString others = u"readable or writable by others than its owner and group "
                           "(chmod 0640 or 0600)"_s;
    QTest::newRow("as before") << QByteArray() << QByteArray() << QByteArray() << 0 << QString()
                               << true << false;
    QTest::newRow("plain, no key file needed") << "plain"_ba << "tarvo.psk"_ba << QByteArray()
                                               << 0 << QString() << true << false;
    QTest::newRow("both, relative key file") << " PSK , plain"_ba << "tarvo.psk"_ba << key
                                             << 0640 << QString() << true << true;
    QTest::newRow("psk, absolute key file") << "psk"_ba << "@/tarvo.psk"_ba << key << 0600
                                            << QString() << false << true;
    QTest::newRow("unknown mode") << "tls"_ba << "tarvo.psk"_ba << key << 0600
                                  << u"TlsAccept must be plain, psk or plain,psk"_s
                                  << false << false;
    QTest::newRow("psk without a file named") << "psk"_ba << QByteArray() << QByteArray() << 0
                                              << u"TlsPskFile: no key file is named"_s
                                              << false << false;
    QTest::newRow("key file missing") << "psk"_ba << "tarvo.psk"_ba << QByteArray() << 0
                                      << u"No such file or directory"_s << false << false;
    QTest::newRow("key file readable by all") << "plain,psk"_ba << "tarvo.psk"_ba << key << 0644
                                              << others << false << false;
    QTest::newRow("key file empty") << "psk"_ba << "tarvo.psk"_ba << ""_ba << 0600
                                    << u"the file holds no key"_s << false << false;
    QTest::newRow("key too short") << "psk"_ba << "tarvo.psk"_ba << shortKey << 0600
                                   << u"line 1: key shorter than 32 bytes"_s << false << false;
    QTest::newRow("identity too long") << "psk"_ba << "tarvo.psk"_ba << longName << 0600
                                       << u"line 1: identity longer than 128 characters"_s
                                       << false << false;
}

void TestAgentSettings::tls()
{
    QFETCH(QByteArray, accept);
    QFETCH(QByteArray, keyFile);
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(QString, refusal);
    QFETCH(bool, plain);
    QFETCH(bool, psk);

    QTemporaryDir dir;
    const QString keyPath = dir.filePath(u"tarvo.psk"_s);
    if (mode != 0) {
        QFile key(keyPath);
        QVERIFY(key.open(QIODevice::WriteOnly));
        key.write(content);
        key.close();
        QVERIFY(::chmod(QFile::encodeName(keyPath).constData(), mode_t(mode)) == 0);
    }
    keyFile.replace('@', QFile::encodeName(dir.path()));
    const QString path = dir.filePath(u"TarvoAgent.ini"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray text = iniText("TlsAccept", accept.isEmpty() ? std::nullopt : std::optional(accept));
    if (!keyFile.isEmpty())
        text += "TlsPskFile=" + keyFile + "\r\n";
    file.write(text);
    file.close();

    QString reason;
    const auto settings = LoadAgentSettings(path, &reason);
    QVERIFY2(reason.endsWith(refusal), qPrintable(reason));
    QCOMPARE(settings.has_value(), refusal.isEmpty());
    if (!settings)
        return;
    QCOMPARE(settings->TlsAccept.plain, plain);
    QCOMPARE(settings->TlsAccept.psk, psk);
    QCOMPARE(bool(settings->tls), psk);
    if (!keyFile.isEmpty())
        QCOMPARE(settings->TlsPskFile, keyPath);
}

QTEST_GUILESS_MAIN(TestAgentSettings)
#include "tst_agentsettings.moc"
