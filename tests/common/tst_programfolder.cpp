#include "common/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Taken before the application object exists, where only the kernel knows the program.
struct Early
{
    QString path;
    QString name;
    QString file;
};
Early early;

QString binFolder()
{
    return QFileInfo(QStringLiteral(TARVO_BIN_DIR)).canonicalFilePath();
}

} // namespace

class TestProgramFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void withApplication();
    void withoutApplication();
};

void TestProgramFolder::withApplication()
{
    QVERIFY(QCoreApplication::instance());
    QCOMPARE(QFileInfo(ProgramFolder::path()).canonicalFilePath(), binFolder());
    QVERIFY(!ProgramFolder::path().endsWith(u'/'));
    QCOMPARE(ProgramFolder::programName(), u"tst_programfolder"_s);
    QCOMPARE(ProgramFolder::file(u"TarvoAgent.ini"_s), ProgramFolder::path() + u"/TarvoAgent.ini"_s);
}

void TestProgramFolder::withoutApplication()
{
    QCOMPARE(early.path, binFolder());
    QCOMPARE(early.name, u"tst_programfolder"_s);
    QCOMPARE(early.file, binFolder() + u"/TarvoInfo.dat"_s);
}

int main(int argc, char *argv[])
{
    early = {ProgramFolder::path(), ProgramFolder::programName(),
             ProgramFolder::file(u"TarvoInfo.dat"_s)};
    QCoreApplication app(argc, argv);
    TestProgramFolder test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_programfolder.moc"
