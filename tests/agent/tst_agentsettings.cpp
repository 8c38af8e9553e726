#include "agent/agentsettings.h"

#include <QTemporaryDir>
#include <QTest>

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

QTEST_GUILESS_MAIN(TestAgentSettings)
#include "tst_agentsettings.moc"
