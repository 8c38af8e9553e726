#include "updater/updatercommand.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Kind = UpdaterCommand::Kind;

class TestCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void argumentText_data();
    void argumentText();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("words");

    QTest::newRow("restart") << u"restart TarvoAgent TarvoAgent"_s << Kind::Restart << true
                             << QStringList{u"restart"_s, u"TarvoAgent"_s, u"TarvoAgent"_s};
    QTest::newRow("update")
        << u"update TarvoAgent TarvoAgent TarvoAgent.new"_s << Kind::Update << true
        << QStringList{u"update"_s, u"TarvoAgent"_s, u"TarvoAgent"_s, u"TarvoAgent.new"_s};
    QTest::newRow("terminate") << u"terminate TarvoAgent"_s << Kind::Terminate << true
                               << QStringList{u"terminate"_s, u"TarvoAgent"_s};
    QTest::newRow("outer spaces trimmed")
        << u"   restart TarvoAgent TarvoAgent  "_s << Kind::Restart << true
        << QStringList{u"restart"_s, u"TarvoAgent"_s, u"TarvoAgent"_s};
    QTest::newRow("double space gives an empty word 1")
        << u"restart  TarvoAgent TarvoAgent"_s << Kind::Restart << false
        << QStringList{u"restart"_s, QString(), u"TarvoAgent"_s, u"TarvoAgent"_s};
    QTest::newRow("double space later shifts the words")
        << u"restart TarvoAgent  TarvoAgent"_s << Kind::Restart << true
        << QStringList{u"restart"_s, u"TarvoAgent"_s, QString(), u"TarvoAgent"_s};
    QTest::newRow("tab is part of a word")
        << u"restart\tTarvoAgent"_s << Kind::None << false << QStringList{u"restart\tTarvoAgent"_s};
    QTest::newRow("capital R") << u"Restart TarvoAgent TarvoAgent"_s << Kind::None << false
                               << QStringList{u"Restart"_s, u"TarvoAgent"_s, u"TarvoAgent"_s};
    QTest::newRow("upper case") << u"UPDATE TarvoAgent TarvoAgent TarvoAgent.new"_s << Kind::None
                                << false
                                << QStringList{u"UPDATE"_s, u"TarvoAgent"_s, u"TarvoAgent"_s,
                                               u"TarvoAgent.new"_s};
    QTest::newRow("unknown command") << u"stop TarvoAgent"_s << Kind::None << false
                                     << QStringList{u"stop"_s, u"TarvoAgent"_s};
    QTest::newRow("command alone") << u"restart"_s << Kind::Restart << false
                                   << QStringList{u"restart"_s};
    QTest::newRow("empty") << QString() << Kind::None << false << QStringList();
    QTest::newRow("spaces only") << u"    "_s << Kind::None << false << QStringList();
    QTest::newRow("update without new program")
        << u"update TarvoAgent TarvoAgent"_s << Kind::Update << true
        << QStringList{u"update"_s, u"TarvoAgent"_s, u"TarvoAgent"_s};
}

void TestCommandLine::parse()
{
    QFETCH(QString, text);
    QFETCH(Kind, kind);
    QFETCH(bool, valid);
    QFETCH(QStringList, words);

    const UpdaterCommand command = UpdaterCommand::parse(text);
    QCOMPARE(command.kind, kind);
    QCOMPARE(command.isValid(), valid);
    QCOMPARE(command.words, words);
    QCOMPARE(command.agentName(), words.value(1));
    QCOMPARE(command.programFile(), words.value(2));
    QCOMPARE(command.newProgramFile(), words.value(3));
}

void TestCommandLine::argumentText_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("words");

    QTest::newRow("agent's arguments")
        << QStringList{u"update"_s, u"TarvoAgent"_s, u"TarvoAgent"_s, u"TarvoAgent.new"_s}
        << QStringList{u"update"_s, u"TarvoAgent"_s, u"TarvoAgent"_s, u"TarvoAgent.new"_s};
    // One argument holding the whole line, as a shell would pass a quoted text.
    QTest::newRow("one quoted argument")
        << QStringList{u"restart TarvoAgent TarvoAgent"_s}
        << QStringList{u"restart"_s, u"TarvoAgent"_s, u"TarvoAgent"_s};
    // A name with a space cannot be passed: it becomes two words.
    QTest::newRow("space inside an argument")
        << QStringList{u"restart"_s, u"Tarvo Agent"_s, u"TarvoAgent"_s}
        << QStringList{u"restart"_s, u"Tarvo"_s, u"Agent"_s, u"TarvoAgent"_s};
    QTest::newRow("empty argument")
        << QStringList{u"restart"_s, QString(), u"TarvoAgent"_s}
        << QStringList{u"restart"_s, QString(), u"TarvoAgent"_s};
}

void TestCommandLine::argumentText()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, words);
    QCOMPARE(UpdaterCommand::parse(UpdaterCommand::argumentText(arguments)).words, words);
}

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
