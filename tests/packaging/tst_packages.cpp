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
    const bool ended =
        process.waitForFinished(240000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, process.readAll()};
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

/// The entries a package must hold, as `dpkg-deb -c` shows them ("mode owner ./path"), from
/// lines "kind|path[|source]": kind x program, f file, d folder, l link (path "name -> target");
/// an entry naming a source file counts only when that file is in the tree.
QStringList expectedEntries(const QStringList &lines)
{
    static const QMap<QString, QString> modes = {{u"x"_s, u"-rwxr-xr-x"_s},
                                                 {u"f"_s, u"-rw-r--r--"_s},
                                                 {u"d"_s, u"drwxr-xr-x"_s},
                                                 {u"l"_s, u"lrwxrwxrwx"_s}};
    QStringList entries;
    for (const QString &line : lines) {
        const QStringList parts = line.split(u'|');
        if (parts.size() < 3 || shipped(parts.at(2)))
            entries << modes.value(parts.at(0)) + u" root/root ."_s + parts.at(1);
    }
    entries.sort();
    return entries;
}

/// The package's entries as `dpkg-deb -c` shows them: files and links, and the folders that
/// `expected` names.
QStringList packageEntries(const QString &deb, const QStringList &expected)
{
    QStringList entries;
    for (const QByteArray &line : run(u"dpkg-deb"_s, {u"-c"_s, deb}).output.split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts);
        const QString entry = fields.mid(0, 2).join(u' ') + u' ' + fields.mid(5).join(u' ');
        if (fields.size() >= 6 && (!entry.startsWith(u'd') || expected.contains(entry)))
            entries << entry;
    }
    entries.sort();
    return entries;
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
    void package_data();
    void package();
    void lintianFindsNoError();
    void unpackedAgentServesAConsole();

private:
    QTemporaryDir m_dir;
    QMap<QString, QString> m_debs;
};

void TestPackages::initTestCase()
{
    if (QStandardPaths::findExecutable(u"dpkg-deb"_s).isEmpty())
        QSKIP("dpkg-deb is not installed");
    QVERIFY(m_dir.isValid());
    const QString config = QStringLiteral(TARVO_CPACK_CONFIG);
    const Run cpack =
        run(QStringLiteral(TARVO_CPACK), {u"--config"_s, config, u"-B"_s, m_dir.path()});
    QVERIFY2(cpack.exitCode == 0, cpack.output.constData());
    for (const QString &package : {u"tarvo-agent"_s, u"tarvo-console"_s}) {
        const QStringList found = QDir(m_dir.path()).entryList({package + u"_*.deb"_s});
        QCOMPARE(found.size(), 1);
        m_debs[package] = m_dir.filePath(found.first());
    }
}

void TestPackages::package_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("dependencies");
    QTest::addColumn<QStringList>("conffiles");
    QTest::addColumn<QStringList>("scripts");

    const QString docs = u"f|/usr/share/doc/%1/changelog.gz,f|/usr/share/doc/%1/copyright,"
                         "f|/usr/share/lintian/overrides/%1"_s;
    const QString icons = u"/usr/share/icons/hicolor/scalable/apps/"_s;
    QTest::newRow("agent")
        << u"tarvo-agent"_s
        << expectedEntries(
               QStringList{u"x|/opt/tarvo/TarvoAgent"_s, u"x|/opt/tarvo/TarvoInfo"_s,
                           u"x|/opt/tarvo/TarvoUtil"_s, u"f|/opt/tarvo/TarvoAgent.ini"_s,
                           u"f|/opt/tarvo/TarvoInfo.dat"_s, u"d|/etc/tarvo/registry/"_s,
                           u"f|/lib/systemd/system/tarvo-agent.service"_s,
                           u"f|/usr/share/applications/tarvo-agent.desktop|tarvo-agent.desktop"_s,
                           u"f|/etc/xdg/autostart/tarvo-agent.desktop|"
                           "tarvo-agent-autostart.desktop"_s,
                           u"f|"_s + icons + u"tarvo-agent.svg|icons/tarvo-agent.svg"_s}
               + docs.arg(u"tarvo-agent"_s).split(u','))
        << QStringList{u"adduser"_s, u"libqt6core6"_s, u"libqt6sql6"_s, u"libqt6sql6-sqlite"_s,
                       u"libqt6sql6-mysql"_s, u"libcurl4"_s}
        << QStringList{u"/opt/tarvo/TarvoAgent.ini"_s, u"/opt/tarvo/TarvoInfo.dat"_s}
               + QStringList(shipped(u"tarvo-agent-autostart.desktop"_s)
                                 ? QStringList{u"/etc/xdg/autostart/tarvo-agent.desktop"_s}
                                 : QStringList{})
        << QStringList{u"postinst"_s, u"postrm"_s, u"prerm"_s};

    QStringList console = {u"x|/opt/tarvo-console/TarvoControl"_s,
                           u"f|/opt/tarvo-console/schema-mariadb.sql"_s,
                           u"f|/opt/tarvo-console/schema-sqlite.sql"_s,
                           u"f|/usr/share/applications/tarvo-console.desktop"_s,
                           u"f|"_s + icons + u"tarvo-console.svg"_s,
                           u"l|/opt/tarvo-console/TarvoQueue.sqlite -> "
                           "/var/lib/tarvo-console/TarvoQueue.sqlite"_s,
                           u"l|/opt/tarvo-console/TarvoQueue.files -> "
                           "/var/lib/tarvo-console/TarvoQueue.files"_s};
    for (const QString &name : {u"tarvo-console-queue.service"_s, u"tarvo-console-queue.timer"_s})
        console << u"f|/lib/systemd/system/%1|%1"_s.arg(name);
    for (const QString &name : {u"TarvoControl.mm1"_s, u"TarvoControl.mm2"_s,
                                u"TarvoControl.mm3"_s, u"TarvoControl-guide.html"_s})
        console << u"f|/opt/tarvo-console/%1|%1"_s.arg(name);
    QStringList consoleConffiles;
    for (const QString &name : {u"TarvoControl.ini"_s, u"TarvoNetwork.ini"_s}) {
        console << u"f|/etc/tarvo-console/%1|%1"_s.arg(name)
                << u"l|/opt/tarvo-console/%1 -> /etc/tarvo-console/%1|%1"_s.arg(name);
        if (shipped(name))
            consoleConffiles << u"/etc/tarvo-console/"_s + name;
    }
    QTest::newRow("console")
        << u"tarvo-console"_s << expectedEntries(console + docs.arg(u"tarvo-console"_s).split(u','))
        << QStringList{u"adduser"_s, u"qt6-qpa-plugins"_s, u"libqt6sql6-sqlite"_s,
                       u"libqt6sql6-mysql"_s}
        << consoleConffiles << QStringList{u"postinst"_s, u"postrm"_s};
}

void TestPackages::package()
{
    QFETCH(QString, package);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, dependencies);
    QFETCH(QStringList, conffiles);
    QFETCH(QStringList, scripts);
    const QString deb = m_debs.value(package);

    QCOMPARE(packageEntries(deb, entries), entries);
    QStringList depends; // the package names, without versions
    const QByteArray field = run(u"dpkg-deb"_s, {u"-f"_s, deb, u"Depends"_s}).output;
    for (const QString &item : QString::fromUtf8(field).split(u','))
        depends << item.trimmed().section(u' ', 0, 0);
    for (const QString &dependency : std::as_const(dependencies))
        QVERIFY2(depends.contains(dependency), qPrintable(dependency));

    const QString control = m_dir.filePath(package + u"-control"_s);
    QCOMPARE(run(u"dpkg-deb"_s, {u"-e"_s, deb, control}).exitCode, 0);
    QCOMPARE(QString::fromUtf8(readAll(control + u"/conffiles"_s)).split(u'\n', Qt::SkipEmptyParts),
             conffiles);
    QCOMPARE(QDir(control).entryList({u"p*"_s}, QDir::Files, QDir::Name), scripts);
    for (const QString &script : std::as_const(scripts)) {
        QVERIFY2(QFileInfo(control + u'/' + script).isExecutable(), qPrintable(script));
        const Run syntax = run(u"sh"_s, {u"-n"_s, control + u'/' + script});
        QVERIFY2(syntax.exitCode == 0, syntax.output.constData());
    }
}

void TestPackages::lintianFindsNoError()
{
    const QString lintian = QStandardPaths::findExecutable(u"lintian"_s);
    if (lintian.isEmpty())
        QSKIP("lintian is not installed");
    const Run verdict = run(lintian, m_debs.values());
    QVERIFY2(verdict.exitCode == 0, verdict.output.constData()); // any error fails it
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
    // One request on a fresh connection, ended with 900 as a console does.
    auto request = [&](const QByteArray &frame) {
        const qsizetype listened = agent.texts().count(agent.listeningText());
        RawConsole console;
        std::optional<QByteArray> reply;
        if (console.connectTo(port)) {
            reply = console.exchange(frame);
            console.exchange(rawFrame(900, "\r\n"));
            console.waitForClose();
        }
        agent.waitForLineCount(agent.listeningText(), listened + 1);
        return reply.value_or("no reply");
    };

    // The folder as a console lists it: the programs, the agent stripped yet still versioned.
    const QByteArray list = request(rawFrame(300, "\r\n"));
    QVERIFY2(list.startsWith("301;"), list.constData());
    QByteArrayList names;
    for (const QByteArray &line : list.mid(9).split('\n'))
        names << line.left(line.indexOf(';'));
    for (const char *name :
         {"TarvoAgent", "TarvoInfo", "TarvoUtil", "TarvoAgent.ini", "TarvoInfo.dat"})
        QVERIFY2(names.contains(name), name);
    const QByteArray version = VersionInfo::text().toLatin1();
    QVERIFY(list.contains(QByteArray(';' + version + ';' + version + "\r\n")));

    // The status log, its first line the agent starting.
    const QByteArray log = request(rawFrame(400, "\r\n"));
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
