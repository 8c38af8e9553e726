// `TarvoControl keygen`: the key file a site deploys, as the administrator gets it.
#include "console/cli/consolecli.h"
#include "console/consolecore.h"
#include "net/pskkeyfile.h"

#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

QString readAll(std::FILE *stream)
{
    std::rewind(stream);
    QByteArray bytes;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, stream)) > 0;)
        bytes.append(buffer, qsizetype(n));
    std::fclose(stream);
    return QString::fromUtf8(bytes);
}

Run keygen(const QStringList &arguments)
{
    QString error;
    const auto options = ParseCliArguments(QStringList{u"keygen"_s} + arguments, error);
    Run run;
    if (!options)
        return run;
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    ConsoleCore core(ConsoleCore::CommandLineWorkerDelayMs);
    run.status = RunCliCommand(*options, core, out, err);
    run.out = readAll(out);
    run.err = readAll(err);
    return run;
}

int modeOf(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777)
                                                                      : -1;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestKeygen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesAFreshOwnerOnlyKey_data();
    void writesAFreshOwnerOnlyKey();
    void neverReplacesAFile();
};

void TestKeygen::writesAFreshOwnerOnlyKey_data()
{
    QTest::addColumn<QStringList>("identity");
    QTest::addColumn<QString>("expected");
    QTest::newRow("named") << QStringList{u"site-2026"_s} << u"site-2026"_s;
    QTest::newRow("host name") << QStringList() << QSysInfo::machineHostName();
}

void TestKeygen::writesAFreshOwnerOnlyKey()
{
    QFETCH(QStringList, identity);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString first = dir.filePath(u"tarvo.psk"_s);
    const QString second = dir.filePath(u"other.psk"_s);

    const Run run = keygen(QStringList{first} + identity);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, first + u": key of "_s + expected + u" written (mode 0600)\n"_s);
    QCOMPARE(modeOf(first), 0600);
    QString error;
    const auto keys = PskKeyFile::read(first, &error);
    QVERIFY2(keys, qPrintable(error));
    QCOMPARE(keys->size(), 1);
    QCOMPARE(QString::fromLatin1(keys->at(0).identity), expected);
    QCOMPARE(keys->at(0).key.size(), 32);
    // The key is in the file only, never on the screen.
    const QString hex = QString::fromLatin1(keys->at(0).key.toHex());
    QVERIFY(!run.out.contains(hex, Qt::CaseInsensitive) && !run.err.contains(hex));
    // A second key is another key.
    QCOMPARE(keygen(QStringList{second} + identity).status, 0);
    QVERIFY(PskKeyFile::read(second, &error)->at(0).key != keys->at(0).key);
    // No stray temporary file stays beside the key.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestKeygen::neverReplacesAFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"tarvo.psk"_s);
    QFile existing(path);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("old line\n");
    existing.close();
    Run run = keygen({path, u"pc"_s});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.err, path + u": no key written: "_s + path + u": file exists\n"_s);
    QCOMPARE(contentOf(path), "old line\n"_ba);

    // A link planted under the name is not followed: nothing appears where it points.
    const QString link = dir.filePath(u"planted.psk"_s);
    const QString target = dir.filePath(u"elsewhere"_s);
    QVERIFY(QFile::link(target, link));
    QCOMPARE(keygen({link, u"pc"_s}).status, 1);
    QVERIFY(!QFile::exists(target));

    QCOMPARE(keygen({path, u"bad identity"_s}).status, 1);
    QCOMPARE(keygen({}).status, 2);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
}

QTEST_GUILESS_MAIN(TestKeygen)
#include "tst_keygen.moc"
