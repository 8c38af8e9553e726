#include "common/atomicfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestAtomicFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void write_data();
    void write();
    void permissionsGiven();
    void permissionsKept();
    void missingFolderFails();
    void readOnlyFolderKeepsOldFile();
    void linkOfTheTargetName_data();
    void linkOfTheTargetName();
    void staleTemporaryFiles();
};

void TestAtomicFile::write_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("new file") << QByteArray() << "[A]\r\nx=1\r\n"_ba;
    QTest::newRow("longer old file is cut") << QByteArray(5000, 'o') << "short"_ba;
    QTest::newRow("empty content") << "old"_ba << QByteArray();
    QTest::newRow("binary bytes") << "old"_ba << "\0\xff\x81\x60\r\n"_ba;
}

void TestAtomicFile::write()
{
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, data);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"TarvoAgent.ini"_s);
    if (!old.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    QString error;
    QVERIFY2(writeFileAtomically(path, data, &error), qPrintable(error));
    QCOMPARE(readAll(path), data);
    // Nothing but the target is left in the folder: no temporary file.
    QCOMPARE(entries(dir.path()), QStringList{u"TarvoAgent.ini"_s});
}

void TestAtomicFile::permissionsGiven()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"TarvoControl.ini"_s);
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QVERIFY(writeFileAtomically(path, "x"_ba, nullptr, ownerOnly));
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), ownerOnly);
}

void TestAtomicFile::permissionsKept()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"TarvoInfo.dat"_s);
    QVERIFY(writeFileAtomically(path, "old"_ba));
    const auto shared = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                      | QFileDevice::WriteGroup | QFileDevice::ReadOther;
    QVERIFY(QFile::setPermissions(path, shared));
    QVERIFY(writeFileAtomically(path, "new"_ba));
    QCOMPARE(readAll(path), "new"_ba);
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), shared);
}

void TestAtomicFile::missingFolderFails()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"no-such-folder/TarvoAgent.ini"_s);
    QString error;
    QVERIFY(!writeFileAtomically(path, "data"_ba, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(entries(dir.path()).isEmpty());
}

void TestAtomicFile::readOnlyFolderKeepsOldFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"TarvoAgent.ini"_s);
    QVERIFY(writeFileAtomically(path, "old"_ba));
    const auto folderPermissions = QFile::permissions(dir.path());
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    auto restore = qScopeGuard([&] { QFile::setPermissions(dir.path(), folderPermissions); });

    QFile probe(dir.filePath(u"probe"_s));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        QSKIP("folder permissions do not bind this user (root); missingFolderFails covers the failure");
    }
    QString error;
    QVERIFY(!writeFileAtomically(path, "new"_ba, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(path), "old"_ba);
    QCOMPARE(entries(dir.path()), QStringList{u"TarvoAgent.ini"_s});
}

void TestAtomicFile::linkOfTheTargetName_data()
{
    QTest::addColumn<QByteArray>("outsideBefore"); // empty: the link dangles

    QTest::newRow("link to a file outside") << "outside"_ba;
    QTest::newRow("dangling link") << QByteArray();
}

void TestAtomicFile::linkOfTheTargetName()
{
    QFETCH(QByteArray, outsideBefore);
    QTemporaryDir folder;
    QTemporaryDir outside;
    const QString outsideFile = outside.filePath(u"v.txt"_s);
    if (!outsideBefore.isEmpty())
        QVERIFY(writeFileAtomically(outsideFile, outsideBefore));
    const QString path = folder.filePath(u"link.txt"_s);
    QVERIFY(QFile::link(outsideFile, path));

    AtomicFile::Writer writer(path);
    QVERIFY(writer.open());
    // The file in progress is hidden and names its writer.
    const QString temporary = QFileInfo(writer.temporaryPath()).fileName();
    QVERIFY(temporary.startsWith(u'.'));
    QCOMPARE(AtomicFile::writerOf(temporary), QCoreApplication::applicationPid());
    QVERIFY(writer.write("inside"));
    QVERIFY(writer.commit());

    QVERIFY(!QFileInfo(path).isSymLink());
    QCOMPARE(readAll(path), "inside"_ba);
    QCOMPARE(readAll(outsideFile), outsideBefore.isEmpty() ? "<missing>"_ba : outsideBefore);
    QCOMPARE(entries(folder.path()), QStringList{u"link.txt"_s});
}

void TestAtomicFile::staleTemporaryFiles()
{
    QTemporaryDir folder;
    const QString prefix = QLatin1StringView(AtomicFile::TemporaryPrefix);
    const QStringList names = {prefix + u"4100-1a2b"_s, prefix + u"4200-3c4d"_s,
                               prefix + u"noid"_s, u"TarvoAgent.ini.HkdOEk"_s};
    for (const QString &name : names)
        QVERIFY(writeFileAtomically(folder.filePath(name), "x"));
    // 4100 has ended, 4200 is still writing.
    const int removed =
        AtomicFile::removeStale(folder.path(), [](qint64 pid) { return pid == 4200; });
    QCOMPARE(removed, 1);
    QCOMPARE(entries(folder.path()), (QStringList{prefix + u"4200-3c4d"_s, prefix + u"noid"_s,
                                                  u"TarvoAgent.ini.HkdOEk"_s}));
}

QTEST_APPLESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
