// TarvoUtil as a real process in a temporary program folder, beside a stand-in agent
// (tarvo_fakeagent copied as "TarvoAgent") that logs every start and what the updater did.
#include "platform/processes.h"
#include "platform/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString Agent = u"TarvoAgent"_s;
constexpr int Bound = 15000;

QByteArray programBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// A program folder holding the updater and a stand-in agent of a given version.
class ProgramFolder
{
public:
    ProgramFolder()
    {
        m_agentBytes = programBytes(QStringLiteral(TARVO_FAKEAGENT));
        m_updaterBytes = programBytes(QStringLiteral(TARVO_BIN_DIR "/TarvoUtil"));
    }
    ~ProgramFolder()
    {
        // Whatever the test left running ends with the folder.
        for (const QString &name : {u"TarvoUtil"_s, Agent}) {
            if (const auto pid = SingleInstance::findRunning(name, path()))
                Processes::terminate(*pid);
        }
    }

    bool isValid() const
    {
        return m_dir.isValid() && !m_agentBytes.isEmpty() && !m_updaterBytes.isEmpty();
    }
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

    /// The stand-in agent tagged with `version`: the tag is how a test tells programs apart.
    QByteArray agentProgram(int version) const
    {
        return m_agentBytes + "\ntarvo-fake-version=" + QByteArray::number(version) + '\n';
    }
    bool write(const QString &name, const QByteArray &bytes, bool executable,
               const QDateTime &lastWritten = {}) const
    {
        QFile out(file(name));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size()
            || !out.flush())
            return false;
        if (lastWritten.isValid() && !out.setFileTime(lastWritten, QFileDevice::FileModificationTime))
            return false;
        out.close();
        QFileDevice::Permissions mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        if (executable)
            mode |= QFileDevice::ExeOwner;
        return out.setPermissions(mode);
    }
    bool install(int agentVersion, const QDateTime &lastWritten = {}) const
    {
        return write(u"TarvoUtil"_s, m_updaterBytes, true)
               && write(Agent, agentProgram(agentVersion), true, lastWritten);
    }
    QByteArray read(const QString &name) const { return programBytes(file(name)); }

    /// Starts the stand-in agent; `command` ("exit WORDS" or "stay WORDS") makes it start the
    /// updater as the agent does on request 130.
    bool startAgent(const QByteArray &command = {}) const
    {
        if (!command.isEmpty() && !write(u"fakeagent.cmd"_s, command, false))
            return false;
        return Processes::launchDetached(Agent, {}, path());
    }
    QList<QByteArray> log() const { return read(u"fakeagent.log"_s).split('\n'); }
    bool logged(const QByteArray &line) const { return log().contains(line); }
    /// The versions of the agents started so far, in order, from "started PID VERSION".
    QList<QByteArray> startedVersions() const { return startedField(2); }
    QList<QByteArray> startedPids() const { return startedField(1); }

    /// Runs the updater from the test and waits for it to end.
    bool runUpdater(const QStringList &arguments) const
    {
        QProcess updater;
        updater.setWorkingDirectory(QDir::rootPath()); // it must find its folder by itself
        updater.start(file(u"TarvoUtil"_s), arguments);
        return updater.waitForFinished(Bound) && updater.exitStatus() == QProcess::NormalExit;
    }

private:
    QList<QByteArray> startedField(int index) const
    {
        QList<QByteArray> result;
        for (const QByteArray &line : log()) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() == 3 && fields.first() == "started")
                result.append(fields.at(index));
        }
        return result;
    }

    QTemporaryDir m_dir;
    QByteArray m_agentBytes;
    QByteArray m_updaterBytes;
};

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

/// A limit on the updater's wait for tests of an agent that does not end: the folder's updater
/// becomes the test build that reads it.
class UpdaterLimit
{
public:
    UpdaterLimit(const ProgramFolder &folder, int ms)
    {
        qputenv("TARVO_UPDATER_LIMIT_MS", QByteArray::number(ms));
        m_installed = folder.write(u"TarvoUtil"_s,
                                   programBytes(QStringLiteral(TARVO_SHORTLIMITUPDATER)), true);
    }
    ~UpdaterLimit() { qunsetenv("TARVO_UPDATER_LIMIT_MS"); }
    bool installed() const { return m_installed; }

private:
    bool m_installed = false;
};

} // namespace

class TestTarvoUtil : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void restartWithoutAgentStartsAtOnce();
    void restartAfterAgentEnds();
    void updateInstallsNewProgram();
    void updateWithoutNewProgramRestartsOld();
    void refusedCommandLine_data();
    void refusedCommandLine();
    void terminateEndsAgent();
    void secondUpdaterEndsAtOnce();
    void agentThatDoesNotEnd_data();
    void agentThatDoesNotEnd();
};

void TestTarvoUtil::restartWithoutAgentStartsAtOnce()
{
    ProgramFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.install(1));

    QVERIFY(folder.runUpdater({u"restart"_s, Agent, Agent}));
    QTRY_COMPARE_WITH_TIMEOUT(folder.startedVersions(), QList<QByteArray>{"1"}, Bound);
}

void TestTarvoUtil::restartAfterAgentEnds()
{
    ProgramFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.install(1));

    QVERIFY(folder.startAgent("exit restart TarvoAgent TarvoAgent"));
    QTRY_COMPARE_WITH_TIMEOUT(folder.startedVersions(), (QList<QByteArray>{"1", "1"}), Bound);
    QVERIFY(folder.logged("updater ready"));
    const QList<QByteArray> pids = folder.startedPids();
    QVERIFY(pids.at(0) != pids.at(1));
    // The first agent logged the updater's readiness before the second one started.
    QVERIFY(folder.log().indexOf("updater ready") < folder.log().lastIndexOf("started " + pids.at(1) + " 1"));
}

void TestTarvoUtil::updateInstallsNewProgram()
{
    ProgramFolder folder;
    QVERIFY(folder.isValid());
    const QDateTime oldWritten(QDate(2004, 7, 3), QTime(18, 45, 12));
    QVERIFY(folder.install(1, oldWritten));
    // Distributed files arrive without the execute bit.
    QVERIFY(folder.write(u"TarvoAgent.new"_s, folder.agentProgram(2), false));
    const QByteArray oldProgram = folder.read(Agent);

    QVERIFY(folder.startAgent("exit update TarvoAgent TarvoAgent TarvoAgent.new"));
    QTRY_COMPARE_WITH_TIMEOUT(folder.startedVersions(), (QList<QByteArray>{"1", "2"}), Bound);

    QCOMPARE(folder.read(Agent), folder.agentProgram(2));
    QVERIFY(QFileInfo(folder.file(Agent)).isExecutable());
    QCOMPARE(folder.read(u"TarvoAgent.07032004"_s), oldProgram);
    QCOMPARE(QFileInfo(folder.file(u"TarvoAgent.07032004"_s)).lastModified(), oldWritten);
    QCOMPARE(folder.read(u"TarvoAgent.new"_s), folder.agentProgram(2));
    // No temporary file of the copy is left behind.
    QCOMPARE(entries(folder.path()),
             (QStringList{Agent, u"TarvoAgent.07032004"_s, u"TarvoAgent.new"_s, u"TarvoUtil"_s,
                          u"fakeagent.log"_s}));
}

void TestTarvoUtil::updateWithoutNewProgramRestartsOld()
{
    ProgramFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.install(1));

    QVERIFY(folder.startAgent("exit update TarvoAgent TarvoAgent TarvoAgent.new"));
    QTRY_COMPARE_WITH_TIMEOUT(folder.startedVersions(), (QList<QByteArray>{"1", "1"}), Bound);
    QVERIFY(folder.logged("updater ready"));
    QCOMPARE(folder.read(Agent), folder.agentProgram(1));
    QCOMPARE(entries(folder.path()), (QStringList{Agent, u"TarvoUtil"_s, u"fakeagent.log"_s}));
}

void TestTarvoUtil::refusedCommandLine_data()
{
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("capital R") << "Restart TarvoAgent TarvoAgent"_ba;
    QTest::newRow("unknown command") << "reboot TarvoAgent TarvoAgent"_ba;
    QTest::newRow("empty word 1") << "restart  TarvoAgent"_ba;
    QTest::newRow("command alone") << "update"_ba;
    QTest::newRow("restart of a missing program") << "restart TarvoAgent Missing"_ba;
    QTest::newRow("update of a missing program") << "update TarvoAgent Missing TarvoAgent.new"_ba;
}

void TestTarvoUtil::refusedCommandLine()
{
    QFETCH(QByteArray, command);

    ProgramFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.install(1));
    QVERIFY(folder.write(u"TarvoAgent.new"_s, folder.agentProgram(2), false));

    // The updater ends without signalling that it is ready: the agent reports the failure.
    QVERIFY(folder.startAgent("exit " + command));
    QTRY_VERIFY_WITH_TIMEOUT(folder.logged("updater failed"), Bound);
    QCOMPARE(folder.startedVersions(), QList<QByteArray>{"1"});
    QVERIFY(!folder.logged("updater ready"));
    QCOMPARE(folder.read(Agent), folder.agentProgram(1));
    QCOMPARE(entries(folder.path()),
             (QStringList{Agent, u"TarvoAgent.new"_s, u"TarvoUtil"_s, u"fakeagent.log"_s}));
}

void TestTarvoUtil::terminateEndsAgent()
{
    ProgramFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.install(1));
    QVERIFY(folder.startAgent());
    QTRY_COMPARE_WITH_TIMEOUT(folder.startedVersions(), QList<QByteArray>{"1"}, Bound);
    const auto pid = SingleInstance::findRunning(Agent, folder.path());
    QVERIFY(pid.has_value());
    QCOMPARE(QByteArray::number(*pid), folder.startedPids().first());

    QVERIFY(folder.runUpdater({u"terminate"_s, Agent}));
    QVERIFY(Processes::waitForExit(*pid, 0));
    QVERIFY(!SingleInstance::findRunning(Agent, folder.path()));
    QCOMPARE(folder.startedVersions(), QList<QByteArray>{"1"}); // nothing started again
    // With nothing left to end, terminate ends quietly.
    QVERIFY(folder.runUpdater({u"terminate"_s, Agent}));
}

void TestTarvoUtil::secondUpdaterEndsAtOnce()
{
    ProgramFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.install(1));

    // The first updater waits for an agent that stays.
    QVERIFY(folder.startAgent("stay restart TarvoAgent TarvoAgent"));
    QTRY_VERIFY_WITH_TIMEOUT(folder.logged("updater ready"), Bound);
    const auto agent = SingleInstance::findRunning(Agent, folder.path());
    const auto first = SingleInstance::findRunning(u"TarvoUtil"_s, folder.path());
    QVERIFY(agent.has_value());
    QVERIFY(first.has_value());

    // A second one would end the agent if it acted.
    QVERIFY(folder.runUpdater({u"terminate"_s, Agent}));
    QCOMPARE(SingleInstance::findRunning(Agent, folder.path()), agent);
    QCOMPARE(SingleInstance::findRunning(u"TarvoUtil"_s, folder.path()), first);
    QCOMPARE(folder.startedVersions(), QList<QByteArray>{"1"});
}

void TestTarvoUtil::agentThatDoesNotEnd_data()
{
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("restart") << "stay restart TarvoAgent TarvoAgent"_ba;
    QTest::newRow("update") << "stay update TarvoAgent TarvoAgent TarvoAgent.new"_ba;
}

void TestTarvoUtil::agentThatDoesNotEnd()
{
    QFETCH(QByteArray, command);

    ProgramFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.install(1));
    QVERIFY(folder.write(u"TarvoAgent.new"_s, folder.agentProgram(2), false));
    const UpdaterLimit limit(folder, 300);
    QVERIFY(limit.installed());

    QVERIFY(folder.startAgent(command));
    QTRY_VERIFY_WITH_TIMEOUT(folder.logged("updater ready"), Bound);
    const auto agent = SingleInstance::findRunning(Agent, folder.path());
    QVERIFY(agent.has_value());
    // The updater holds its instance until it ends: when it lets go, its time is up.
    if (const auto updater = SingleInstance::findRunning(u"TarvoUtil"_s, folder.path()))
        QVERIFY(Processes::waitForExit(*updater, Bound));

    QCOMPARE(SingleInstance::findRunning(Agent, folder.path()), agent);
    QCOMPARE(folder.startedVersions(), QList<QByteArray>{"1"});
    QVERIFY(!folder.logged("activated")); // no second start knocked at the running agent
    QCOMPARE(folder.read(Agent), folder.agentProgram(1));
    QCOMPARE(entries(folder.path()),
             (QStringList{Agent, u"TarvoAgent.new"_s, u"TarvoUtil"_s, u"fakeagent.log"_s}));
}

QTEST_GUILESS_MAIN(TestTarvoUtil)
#include "tst_tarvoutil.moc"
