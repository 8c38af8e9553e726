#include "updater/bastarvoutil.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr auto Executable = QFileDevice::ReadOwner | QFileDevice::WriteOwner
                            | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                            | QFileDevice::ExeGroup | QFileDevice::ReadOther
                            | QFileDevice::ExeOther;
constexpr auto Plain = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                       | QFileDevice::ReadOther;

bool writeFile(const QString &path, const QByteArray &content, QFileDevice::Permissions mode,
               const QDateTime &lastWritten = {})
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        return false;
    // Buffered bytes written after the time is set would move it again.
    if (!file.flush())
        return false;
    if (lastWritten.isValid() && !file.setFileTime(lastWritten, QFileDevice::FileModificationTime))
        return false;
    file.close();
    return file.setPermissions(mode);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QFileDevice::Permissions modeOf(const QString &path)
{
    return QFileInfo(path).permissions()
           & (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
              | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
              | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
}

} // namespace

class TestFileCopy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copy_data();
    void copy();
    void failedCopyLeavesTarget_data();
    void failedCopyLeavesTarget();
};

void TestFileCopy::copy_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<QFileDevice::Permissions>("sourceMode");
    QTest::addColumn<QFileDevice::Permissions>("expectedMode");
    QTest::addColumn<int>("size");

    // A distributed program arrives without the execute bit: the running one's bits win.
    QTest::newRow("new program over the old one") << true << QFileDevice::Permissions(Plain)
                                                  << QFileDevice::Permissions(Executable) << 4096;
    QTest::newRow("backup of the program") << false << QFileDevice::Permissions(Executable)
                                           << QFileDevice::Permissions(Executable) << 100;
    QTest::newRow("larger than one chunk") << true << QFileDevice::Permissions(Plain)
                                           << QFileDevice::Permissions(Executable)
                                           << (3 << 20) + 17;
    QTest::newRow("empty file") << false << QFileDevice::Permissions(Plain)
                                << QFileDevice::Permissions(Plain) << 0;
}

void TestFileCopy::copy()
{
    QFETCH(bool, targetExists);
    QFETCH(QFileDevice::Permissions, sourceMode);
    QFETCH(QFileDevice::Permissions, expectedMode);
    QFETCH(int, size);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString source = folder.filePath(u"TarvoAgent.new"_s);
    const QString target = folder.filePath(u"TarvoAgent"_s);
    QByteArray content(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        content[i] = char(i * 7 + i / 251);
    const QDateTime written(QDate(2004, 7, 3), QTime(10, 20, 30));
    QVERIFY(writeFile(source, content, sourceMode, written));
    if (targetExists)
        QVERIFY(writeFile(target, "old program, longer than some of the new ones"_ba.repeated(200),
                          Executable));

    QVERIFY(basTarvoUtil::copyFileReplacing(source, target));
    QCOMPARE(readFile(target), content);
    QCOMPARE(modeOf(target), expectedMode);
    QCOMPARE(QFileInfo(target).lastModified(), written);
    QCOMPARE(readFile(source), content); // the source stays
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no leftovers
}

void TestFileCopy::failedCopyLeavesTarget_data()
{
    QTest::addColumn<QString>("sourceName");
    QTest::addColumn<QString>("targetName");

    QTest::newRow("missing source") << u"absent.new"_s << u"TarvoAgent"_s;
    QTest::newRow("target folder missing") << u"TarvoAgent.new"_s << u"no/such/TarvoAgent"_s;
    QTest::newRow("source is a folder") << u"sub"_s << u"TarvoAgent"_s;
}

void TestFileCopy::failedCopyLeavesTarget()
{
    QFETCH(QString, sourceName);
    QFETCH(QString, targetName);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkdir(u"sub"_s));
    QVERIFY(writeFile(folder.filePath(u"TarvoAgent.new"_s), "new"_ba, Plain));
    QVERIFY(writeFile(folder.filePath(u"TarvoAgent"_s), "old"_ba, Executable));

    QVERIFY(!basTarvoUtil::copyFileReplacing(folder.filePath(sourceName), folder.filePath(targetName)));
    QCOMPARE(readFile(folder.filePath(u"TarvoAgent"_s)), "old"_ba);
    QCOMPARE(modeOf(folder.filePath(u"TarvoAgent"_s)), QFileDevice::Permissions(Executable));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

QTEST_APPLESS_MAIN(TestFileCopy)
#include "tst_filecopy.moc"
