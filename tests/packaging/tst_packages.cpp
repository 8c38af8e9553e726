// The Debian packages as a site receives them: built by CPack from this build tree, their file
// lists, control data and maintainer scripts, lintian's verdict, and the agent unpacked into a
// throw-away root, started there and asked by a console.
#include "common/versioninfo.h"
#include "support/agentprocess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray output;
};

Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(240000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    const bool normal = process.exitStatus() == QProcess::NormalExit;
    return {normal ? process.exitCode() : -1, process.readAll()};
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString sourceFile(const QString &name)
{
    return QStringLiteral(TARVO_SOURCE_DIR "/packaging/") + name;
}

bool shipped(const QString &name)
{
    return QFile::exists(sourceFile(name));
}

QString file(const QString &path)
{
    return u"-rw-r--r-- root/root ."_s + path;
}

QString program(const QString &path)
{
    return u"-rwxr-xr-x root/root ."_s + path;
}

/// "mode owner ./path[ -> target]" of the files, links and empty folders of a package.
QStringList packageEntries(const QString &deb)
{
    QStringList entries;
    QStringList folders;
    const QList<QByteArray> lines = run(u"dpkg-deb"_s, {u"-c"_s, deb}).output.split('\n');
    for (const QByteArray &line : lines) {
        const QStringList fields = QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts);
        if (fields.size() < 6)
            continue;
        const QString entry = fields.at(0) + u' ' + fields.at(1) + u' ' + fields.mid(5).join(u' ');
        (fields.at(0).startsWith(u'd') ? folders : entries) << entry;
    }
    for (const QString &folder : std::as_const(folders)) {
        const QString path = folder.section(u' ', 2);
        const bool empty = std::none_of(entries.cbegin(), entries.cend(), [&](const QString &e) {
            return e.section(u' ', 2).startsWith(path);
        }) && std::none_of(folders.cbegin(), folders.cend(), [&](const QString &f) {
            return f != folder && f.section(u' ', 2).startsWith(path);
        });
        if (empty)
            entries << folder;
    }
    entries.sort();
    return entries;
}

QStringList packageDocs(const QString &package)
{
    return {file(u"/usr/share/doc/"_s + package + u"/changelog.gz"_s),
            file(u"/usr/share/doc/"_s + package + u"/copyright"_s),
            file(u"/usr/share/lintian/overrides/"_s + package)};
}

/// Package names of a Depends field, without versions and alternatives.
QStringList dependencyNames(const QByteArray &field)
{
    QStringList names;
    for (const QByteArray &item : field.split(','))
        names << QString::fromUtf8(item.trimmed().split(' ').value(0));
    return names;
}

/// Sets `key` of the first section holding it, keeping every other byte.
void setKey(QByteArray &ini, const QByteArray &key, const QByteArray &value)
{
    const qsizetype at = ini.indexOf(QByteArray("\n" + key + '=')) + 1;
    QVERIFY(at > 0);
    const qsizetype end = ini.indexOf("\r\n", at);
    ini.replace(at, end - at, QByteArray(key + '=' + value));
}

} // namespace

class TestPackages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void contents_data();
    void contents();
    void control_data();
    void control();
    void lintianFindsNoError();
    void unpackedAgentServesAConsole();

private:
    /// Sends `request` on a fresh connection, then ends it with 900 as a console does.
    QByteArray request(AgentProcess &agent, quint16 port, const QByteArray &request);

    QTemporaryDir m_dir;
    QMap<QString, QString> m_debs;
};

void TestPackages::initTestCase()
{
    if (QStandardPaths::findExecutable(u"dpkg-deb"_s).isEmpty())
        QSKIP("dpkg-deb is not installed");
    QVERIFY(m_dir.isValid());
    const Run cpack = run(QStringLiteral(TARVO_CPACK),
                          {u"--config"_s, QStringLiteral(TARVO_CPACK_CONFIG), u"-B"_s, m_dir.path()});
    QVERIFY2(cpack.exitCode == 0, cpack.output.constData());
    for (const QString &package : {u"tarvo-agent"_s, u"tarvo-console"_s}) {
        const QStringList found = QDir(m_dir.path()).entryList({package + u"_*.deb"_s});
        QCOMPARE(found.size(), 1);
        m_debs[package] = m_dir.filePath(found.first());
    }
}

void TestPackages::contents_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<QStringList>("expected");

    QStringList agent = {file(u"/lib/systemd/system/tarvo-agent.service"_s),
                         program(u"/opt/tarvo/TarvoAgent"_s),
                         file(u"/opt/tarvo/TarvoAgent.ini"_s),
                         program(u"/opt/tarvo/TarvoInfo"_s),
                         file(u"/opt/tarvo/TarvoInfo.dat"_s),
                         program(u"/opt/tarvo/TarvoUtil"_s),
                         u"drwxr-xr-x root/root ./etc/tarvo/registry/"_s};
    if (shipped(u"tarvo-agent.desktop"_s))
        agent << file(u"/usr/share/applications/tarvo-agent.desktop"_s);
    if (shipped(u"tarvo-agent-autostart.desktop"_s))
        agent << file(u"/etc/xdg/autostart/tarvo-agent.desktop"_s);
    if (shipped(u"icons/tarvo-agent.svg"_s))
        agent << file(u"/usr/share/icons/hicolor/scalable/apps/tarvo-agent.svg"_s);
    QTest::newRow("agent") << u"tarvo-agent"_s << agent + packageDocs(u"tarvo-agent"_s);

    const QString folder = u"/opt/tarvo-console/"_s;
    QStringList console = {program(folder + u"TarvoControl"_s),
                           file(folder + u"schema-mariadb.sql"_s),
                           file(folder + u"schema-sqlite.sql"_s),
                           file(u"/usr/share/applications/tarvo-console.desktop"_s),
                           file(u"/usr/share/icons/hicolor/scalable/apps/tarvo-console.svg"_s)};
    for (const QString &name : {u"TarvoControl.mm1"_s, u"TarvoControl.mm2"_s,
                                u"TarvoControl.mm3"_s, u"TarvoControl-guide.html"_s}) {
        if (shipped(name))
            console << file(folder + name);
    }
    for (const QString &name : {u"TarvoControl.ini"_s, u"TarvoNetwork.ini"_s}) {
        if (!shipped(name))
            continue;
        const QString settings = u"/etc/tarvo-console/"_s + name;
        console << file(settings)
                << u"lrwxrwxrwx root/root ."_s + folder + name + u" -> "_s + settings;
    }
    QTest::newRow("console") << u"tarvo-console"_s << console + packageDocs(u"tarvo-console"_s);
}

void TestPackages::contents()
{
    QFETCH(QString, package);
    QFETCH(QStringList, expected);
    expected.sort();
    QCOMPARE(packageEntries(m_debs.value(package)), expected);
}

void TestPackages::control_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<QStringList>("dependencies");
    QTest::addColumn<QStringList>("conffiles");
    QTest::addColumn<QStringList>("scripts");

    QStringList agentConffiles = {u"/opt/tarvo/TarvoAgent.ini"_s, u"/opt/tarvo/TarvoInfo.dat"_s};
    if (shipped(u"tarvo-agent-autostart.desktop"_s))
        agentConffiles << u"/etc/xdg/autostart/tarvo-agent.desktop"_s;
    QTest::newRow("agent") << u"tarvo-agent"_s
                           << QStringList{u"adduser"_s, u"libqt6core6"_s, u"libqt6sql6"_s,
                                          u"libqt6sql6-sqlite"_s, u"libqt6sql6-mysql"_s,
                                          u"libcurl4"_s}
                           << agentConffiles
                           << QStringList{u"postinst"_s, u"postrm"_s, u"prerm"_s};

    QStringList consoleConffiles;
    for (const QString &name : {u"TarvoControl.ini"_s, u"TarvoNetwork.ini"_s}) {
        if (shipped(name))
            consoleConffiles << u"/etc/tarvo-console/"_s + name;
    }
    QTest::newRow("console") << u"tarvo-console"_s
                             << QStringList{u"adduser"_s, u"qt6-qpa-plugins"_s,
                                            u"libqt6sql6-sqlite"_s, u"libqt6sql6-mysql"_s}
                             << consoleConffiles << QStringList{u"postinst"_s, u"postrm"_s};
}

void TestPackages::control()
{
    QFETCH(QString, package);
    QFETCH(QStringList, dependencies);
    QFETCH(QStringList, conffiles);
    QFETCH(QStringList, scripts);
    const QString deb = m_debs.value(package);

    const QStringList depends =
        dependencyNames(run(u"dpkg-deb"_s, {u"-f"_s, deb, u"Depends"_s}).output);
    for (const QString &dependency : std::as_const(dependencies))
        QVERIFY2(depends.contains(dependency), qPrintable(dependency));

    const QString control = m_dir.filePath(package + u"-control"_s);
    QCOMPARE(run(u"dpkg-deb"_s, {u"-e"_s, deb, control}).exitCode, 0);
    QCOMPARE(QString::fromUtf8(readAll(control + u"/conffiles"_s)).split(u'\n', Qt::SkipEmptyParts),
             conffiles);
    const QStringList present = QDir(control).entryList({u"p*"_s}, QDir::Files, QDir::Name);
    QCOMPARE(present, scripts);
    for (const QString &script : std::as_const(scripts)) {
        const QString path = control + u'/' + script;
        QVERIFY2(QFileInfo(path).isExecutable(), qPrintable(script));
        const Run syntax = run(u"sh"_s, {u"-n"_s, path});
        QVERIFY2(syntax.exitCode == 0, syntax.output.constData());
    }
}

void TestPackages::lintianFindsNoError()
{
    const QString lintian = QStandardPaths::findExecutable(u"lintian"_s);
    if (lintian.isEmpty())
        QSKIP("lintian is not installed");
    const Run verdict = run(lintian, {m_debs.value(u"tarvo-agent"_s), m_debs.value(u"tarvo-console"_s)});
    QVERIFY2(verdict.exitCode == 0, verdict.output.constData());
    QVERIFY2(!verdict.output.contains("\nE: ") && !verdict.output.startsWith("E: "),
             verdict.output.constData());
}

QByteArray TestPackages::request(AgentProcess &agent, quint16 port, const QByteArray &frame)
{
    const qsizetype listened = agent.texts().count(agent.listeningText());
    RawConsole console;
    if (!console.connectTo(port))
        return "no connection";
    const auto reply = console.exchange(frame);
    console.exchange(rawFrame(900, "\r\n"));
    console.waitForClose();
    agent.waitForLineCount(agent.listeningText(), listened + 1);
    return reply.value_or("no reply");
}

void TestPackages::unpackedAgentServesAConsole()
{
    const QString root = m_dir.filePath(u"root"_s);
    QCOMPARE(run(u"dpkg-deb"_s, {u"-x"_s, m_debs.value(u"tarvo-agent"_s), root}).exitCode, 0);
    const QString folder = root + u"/opt/tarvo/"_s;
    // The settings and definitions arrive byte for byte, CP932 comments included.
    for (const QString &name : {u"TarvoAgent.ini"_s, u"TarvoInfo.dat"_s})
        QCOMPARE(readAll(folder + name), readAll(sourceFile(name)));

    // This site's settings: loopback on a free port, every status line.
    const quint16 port = freeLoopbackPort();
    QByteArray ini = readAll(folder + u"TarvoAgent.ini"_s);
    setKey(ini, "Port", QByteArray::number(port));
    setKey(ini, "ListenAddress", "127.0.0.1");
    setKey(ini, "DebugMode", "1");
    QFile settings(folder + u"TarvoAgent.ini"_s);
    QVERIFY(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
    settings.write(ini);
    settings.close();

    AgentProcess agent(folder + u"TarvoAgent"_s, port);
    QVERIFY2(agent.start(), qPrintable(agent.standardError()));

    // The folder as a console lists it: the programs, the agent stripped yet still versioned.
    const QByteArray list = request(agent, port, rawFrame(300, "\r\n"));
    QVERIFY2(list.startsWith("301;"), list.constData());
    QByteArrayList names;
    QByteArray agentLine;
    for (const QByteArray &line : list.mid(9).split('\n')) {
        names << line.left(line.indexOf(';'));
        if (line.startsWith("TarvoAgent;"))
            agentLine = line;
    }
    for (const char *name : {"TarvoAgent", "TarvoInfo", "TarvoUtil", "TarvoAgent.ini", "TarvoInfo.dat"})
        QVERIFY2(names.contains(name), name);
    const QByteArray version = VersionInfo::text().toLatin1();
    QVERIFY2(agentLine.endsWith(QByteArray(';' + version + ';' + version + '\r')), agentLine.constData());

    // The status log, its first line the agent starting.
    const QByteArray log = request(agent, port, rawFrame(400, "\r\n"));
    QVERIFY2(log.startsWith("401;"), log.constData());
    QVERIFY(log.contains(cp932(u"\t"_s + agent.listeningText() + u"\r\n"_s)));

    // A stop of the service: SIGTERM ends the agent as a success, so systemd does not restart it.
    QVERIFY(agent.signal(SIGTERM));
    int exitCode = -1;
    QVERIFY(agent.waitForExit(10000, &exitCode));
    QCOMPARE(exitCode, 0);
}

QTEST_GUILESS_MAIN(TestPackages)
#include "tst_packages.moc"
