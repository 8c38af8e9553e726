#include "common/profilefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Tables need real QByteArray cells, not QStringBuilder expressions.
QByteArray cat(std::initializer_list<QByteArrayView> parts)
{
    QByteArray result;
    for (QByteArrayView part : parts)
        result.append(part);
    return result;
}

const QByteArray Nihongo = "\x93\xfa\x96\x7b\x8c\xea"_ba; // "日本語"
const QByteArray Tilde = "\x81\x60"_ba;                   // "～"

using Value = std::optional<QByteArray>;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestProfileWrite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void setValue_data();
    void setValue();
    void removeSection_data();
    void removeSection();
    void writtenValueReadsBack_data();
    void writtenValueReadsBack();
    void loadAndSave();
    void saveKeepsPermissions();
    void saveFailureKeepsFile();
    void loadError();
    void oneShotCalls();
    void deleteOnMissingFileCreatesNothing();
};

void TestProfileWrite::setValue_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<Value>("value");
    QTest::addColumn<QByteArray>("after");

    const QByteArray layout = "; settings\r\n[A]\r\n  x = 1 \r\n; note\r\nfree text\r\ny=2\r\n\r\n"
                              "; about B\r\n[B]\r\nz=3\r\n"_ba;
    QTest::newRow("replace in place, rest untouched")
        << layout << "a"_ba << "X"_ba << Value("9"_ba)
        << "; settings\r\n[A]\r\nx=9\r\n; note\r\nfree text\r\ny=2\r\n\r\n; about B\r\n[B]\r\nz=3\r\n"_ba;
    QTest::newRow("new key after the last entry")
        << layout << "A"_ba << "w"_ba << Value("4"_ba)
        << "; settings\r\n[A]\r\n  x = 1 \r\n; note\r\nfree text\r\ny=2\r\nw=4\r\n\r\n; about B\r\n"
           "[B]\r\nz=3\r\n"_ba;
    QTest::newRow("new key in the last section")
        << layout << "b"_ba << "k"_ba << Value("v"_ba) << cat({layout, "k=v\r\n"});
    QTest::newRow("new section at the end")
        << layout << "C"_ba << "k"_ba << Value("v"_ba) << cat({layout, "[C]\r\nk=v\r\n"});
    QTest::newRow("key keeps its spelling")
        << "[TarvoInfo]\r\nFTPUpload=0\r\n"_ba << "tarvoinfo"_ba << "FtpUpload"_ba << Value("1"_ba)
        << "[TarvoInfo]\r\nFTPUpload=1\r\n"_ba;
    QTest::newRow("first duplicate replaced")
        << "[A]\r\nk=1\r\nk=2\r\n"_ba << "A"_ba << "k"_ba << Value("3"_ba) << "[A]\r\nk=3\r\nk=2\r\n"_ba;
    QTest::newRow("empty section gets its first key")
        << "[A]\r\n\r\n[B]\r\n"_ba << "A"_ba << "k"_ba << Value("1"_ba) << "[A]\r\nk=1\r\n\r\n[B]\r\n"_ba;
    QTest::newRow("new file uses CR LF")
        << QByteArray() << "TarvoControl"_ba << "Port"_ba << Value("9000"_ba)
        << "[TarvoControl]\r\nPort=9000\r\n"_ba;
    QTest::newRow("LF file keeps LF")
        << "[A]\nx=1\n"_ba << "B"_ba << "k"_ba << Value("v"_ba) << "[A]\nx=1\n[B]\nk=v\n"_ba;
    QTest::newRow("no final line end")
        << "[A]\r\nx=1"_ba << "A"_ba << "k"_ba << Value("v"_ba) << "[A]\r\nx=1\r\nk=v\r\n"_ba;
    QTest::newRow("replace the unterminated last line")
        << "[A]\r\nx=1"_ba << "A"_ba << "x"_ba << Value("2"_ba) << "[A]\r\nx=2"_ba;
    QTest::newRow("empty value")
        << "[A]\r\nx=1\r\n"_ba << "A"_ba << "x"_ba << Value(""_ba) << "[A]\r\nx=\r\n"_ba;
    QTest::newRow("value with = and ;")
        << "[A]\r\n"_ba << "A"_ba << "x"_ba << Value("a=b;c"_ba) << "[A]\r\nx=a=b;c\r\n"_ba;
    QTest::newRow("CP932 bytes as they are")
        << "[A]\r\n"_ba << "A"_ba << Nihongo << Value(cat({Tilde, Nihongo}))
        << cat({"[A]\r\n", Nihongo, "=", Tilde, Nihongo, "\r\n"});
    QTest::newRow("line breaks in a value become blanks")
        << "[A]\r\n"_ba << "A"_ba << "x"_ba << Value("a\r\nEvil=1\nb"_ba) << "[A]\r\nx=a  Evil=1 b\r\n"_ba;
    QTest::newRow("key like a header refused") << "[A]\r\n"_ba << "A"_ba << "[x]"_ba << Value("1"_ba) << "[A]\r\n"_ba;
    QTest::newRow("key like a comment refused") << "[A]\r\n"_ba << "A"_ba << ";x"_ba << Value("1"_ba) << "[A]\r\n"_ba;
    QTest::newRow("key holding = refused") << "[A]\r\n"_ba << "A"_ba << "a=b"_ba << Value("1"_ba) << "[A]\r\n"_ba;
    QTest::newRow("section ending in half a character refused")
        << "[A]\r\n"_ba << "B\x81"_ba << "k"_ba << Value("1"_ba) << "[A]\r\n"_ba;
    QTest::newRow("value turning the line into a header refused")
        << "[A]\r\n[k=1\r\n"_ba << "A"_ba << "[k"_ba << Value("x]"_ba) << "[A]\r\n[k=1\r\n"_ba;
    QTest::newRow("empty key name ignored") << "[A]\r\n"_ba << "A"_ba << "  "_ba << Value("1"_ba) << "[A]\r\n"_ba;
    QTest::newRow("delete key")
        << "[A]\r\nx=1\r\n; keep\r\ny=2\r\n"_ba << "A"_ba << "X"_ba << Value() << "[A]\r\n; keep\r\ny=2\r\n"_ba;
    QTest::newRow("delete every duplicate of the section")
        << "[A]\r\nx=1\r\nx=2\r\n[B]\r\nx=3\r\n"_ba << "A"_ba << "x"_ba << Value() << "[A]\r\n[B]\r\nx=3\r\n"_ba;
    QTest::newRow("delete missing key") << layout << "A"_ba << "none"_ba << Value() << layout;
    QTest::newRow("delete in missing section") << layout << "C"_ba << "x"_ba << Value() << layout;
}

void TestProfileWrite::setValue()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(Value, value);
    QFETCH(QByteArray, after);

    ProfileFile profile;
    profile.parse(before);
    profile.setValue(section, key, value);
    QCOMPARE(profile.serialize(), after);
}

void TestProfileWrite::removeSection_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("after");

    const QByteArray file = "; head\r\n[A]\r\nx=1\r\n[B]\r\n; in B\r\ny=2\r\n\r\n[C]\r\nz=3\r\n"_ba;
    QTest::newRow("middle") << file << "b"_ba << "; head\r\n[A]\r\nx=1\r\n[C]\r\nz=3\r\n"_ba;
    QTest::newRow("last") << file << "C"_ba << "; head\r\n[A]\r\nx=1\r\n[B]\r\n; in B\r\ny=2\r\n\r\n"_ba;
    QTest::newRow("missing") << file << "D"_ba << file;
    QTest::newRow("repeated") << "[A]\r\nx=1\r\n[B]\r\n[a]\r\ny=2\r\n"_ba << "A"_ba << "[B]\r\n"_ba;
}

void TestProfileWrite::removeSection()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, after);

    ProfileFile profile;
    profile.parse(before);
    profile.removeSection(section);
    QCOMPARE(profile.serialize(), after);
    QVERIFY(!profile.containsSection(section));
}

void TestProfileWrite::writtenValueReadsBack_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("plain") << "abc"_ba << "abc"_ba;
    QTest::newRow("CP932 round trip") << cat({Nihongo, "\xb1 ", Tilde}) << cat({Nihongo, "\xb1 ", Tilde});
    QTest::newRow("trailing blanks dropped") << "P;20040312;093015;x  "_ba << "P;20040312;093015;x"_ba;
    QTest::newRow("inner blanks kept") << "P;20040312;093015;   1,024"_ba << "P;20040312;093015;   1,024"_ba;
    QTest::newRow("300 bytes read as 254") << QByteArray(300, 'v') << QByteArray(254, 'v');
}

void TestProfileWrite::writtenValueReadsBack()
{
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"TarvoInfo.dat"_s);
    QVERIFY(writeProfileString(path, "SYSTEM", "SysOS", value));
    QCOMPARE(readProfileString(path, "system", "SYSOS"), expected);
    // The file holds every byte that was written, even beyond what a read returns.
    QVERIFY(readAll(path).contains(value));
}

void TestProfileWrite::loadAndSave()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"TarvoAgent.ini"_s);
    const QByteArray original = "; agent\r\n[TarvoAgent]\r\nPort=9000\r\nunknown line\r\n[Mine]\r\na=b\r\n"_ba;
    QVERIFY(writeAll(path, original));

    ProfileFile profile(path);
    QVERIFY(profile.load());
    QCOMPARE(profile.value("TarvoAgent", "Port"), "9000"_ba);
    profile.setValue("TarvoAgent", "Port", "9100"_ba);
    profile.setValue("TarvoInfo", "SmtpMail", "1"_ba);
    QString error;
    QVERIFY2(profile.save(&error), qPrintable(error));
    QCOMPARE(readAll(path), "; agent\r\n[TarvoAgent]\r\nPort=9100\r\nunknown line\r\n[Mine]\r\na=b\r\n"
                            "[TarvoInfo]\r\nSmtpMail=1\r\n"_ba);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"TarvoAgent.ini"_s});
}

void TestProfileWrite::saveKeepsPermissions()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"TarvoControl.ini"_s);
    QVERIFY(writeAll(path, "[TarvoControl]\r\nSqlPassword=secret\r\n"_ba));
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QVERIFY(QFile::setPermissions(path, ownerOnly));

    QVERIFY(writeProfileString(path, "TarvoControl", "SqlPassword", "other"_ba));
    QCOMPARE(readProfileString(path, "TarvoControl", "SqlPassword"), "other"_ba);
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), ownerOnly);
}

void TestProfileWrite::saveFailureKeepsFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ProfileFile profile(dir.filePath(u"missing-folder/TarvoAgent.ini"_s));
    QVERIFY(profile.load()); // a missing file is an empty profile
    profile.setValue("TarvoAgent", "Port", "9000"_ba);
    QString error;
    QVERIFY(!profile.save(&error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(profile.path()));
    QVERIFY(!writeProfileString(profile.path(), "A", "k", "v"_ba));
}

void TestProfileWrite::loadError()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A folder where the file should be cannot be read as a profile.
    QVERIFY(QDir(dir.path()).mkdir(u"TarvoAgent.ini"_s));
    ProfileFile profile(dir.filePath(u"TarvoAgent.ini"_s));
    QString error;
    QVERIFY(!profile.load(&error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(readProfileString(profile.path(), "A", "k"), QByteArray());
}

void TestProfileWrite::oneShotCalls()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"TarvoAgent.ini"_s);
    QCOMPARE(readProfileString(path, "TarvoInfo", "FtpUpload"), QByteArray());

    QVERIFY(writeProfileString(path, "TarvoInfo", "FTPUpload", "1"_ba));
    QVERIFY(writeProfileString(path, "TarvoInfo", "FtpPassive", "0"_ba));
    QVERIFY(writeProfileString(path, "TarvoAgent", "Port", "9000"_ba));
    QVERIFY(writeProfileString(path, "tarvoinfo", "ftpupload", "0"_ba));
    QVERIFY(writeProfileString(path, "TarvoInfo", "FtpPassive", std::nullopt));
    QCOMPARE(readAll(path), "[TarvoInfo]\r\nFTPUpload=0\r\n[TarvoAgent]\r\nPort=9000\r\n"_ba);
    QCOMPARE(readProfileString(path, "TARVOINFO", "FtpUpload"), "0"_ba);
}

void TestProfileWrite::deleteOnMissingFileCreatesNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"TarvoInfo.dat"_s);
    QVERIFY(writeProfileString(path, "APPLICATION_XP", "Office", std::nullopt));
    QVERIFY(!QFile::exists(path));
}

QTEST_APPLESS_MAIN(TestProfileWrite)
#include "tst_profilewrite.moc"
