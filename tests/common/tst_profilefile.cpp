#include "common/profilefile.h"

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

// "ゾ" in CP932 is 83 5D: its second byte is "]".
const QByteArray Zo = "\x83\x5d"_ba;
// "ア" 83 41 and "ャ" 83 61 differ only in a trail byte that looks like "A"/"a".
const QByteArray KanaA = "\x83\x41"_ba;
const QByteArray KanaSmallYa = "\x83\x61"_ba;
// "日本語" and "ｱｲｳ" (half-width) in CP932.
const QByteArray Nihongo = "\x93\xfa\x96\x7b\x8c\xea"_ba;
const QByteArray HalfKana = "\xb1\xb2\xb3"_ba;

QList<QByteArray> sectionsNamed(const char *prefix, int count)
{
    QList<QByteArray> names;
    for (int i = 0; i < count; ++i)
        names.append(QByteArray(prefix) + QByteArray::number(i).rightJustified(3, '0'));
    return names;
}

QByteArray fileWithSections(const QList<QByteArray> &names)
{
    QByteArray file;
    for (const QByteArray &name : names)
        file += cat({"[", name, "]\r\nk=v\r\n"});
    return file;
}

} // namespace

class TestProfileFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void value_data();
    void value();
    void valueBuffer_data();
    void valueBuffer();
    void sectionNames_data();
    void sectionNames();
    void sectionEntries_data();
    void sectionEntries();
    void keyNames_data();
    void keyNames();
    void roundTrip_data();
    void roundTrip();
    void windowsLineRules_data();
    void windowsLineRules();
};

void TestProfileFile::value_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("present");

    const QByteArray agent = "[TarvoAgent]\r\nPort=9000\r\n[TarvoInfo]\r\nFTPUpload=1\r\nSmtpMail=0\r\n"_ba;
    QTest::newRow("exact case") << agent << "TarvoInfo"_ba << "FTPUpload"_ba << "1"_ba << true;
    QTest::newRow("key case differs") << agent << "TarvoInfo"_ba << "FtpUpload"_ba << "1"_ba << true;
    QTest::newRow("section case differs") << agent << "TARVOINFO"_ba << "ftpupload"_ba << "1"_ba << true;
    QTest::newRow("key of another section") << agent << "TarvoAgent"_ba << "FtpUpload"_ba << ""_ba << false;
    QTest::newRow("missing key") << agent << "TarvoInfo"_ba << "SqlTable"_ba << ""_ba << false;
    QTest::newRow("missing section") << agent << "Other"_ba << "Port"_ba << ""_ba << false;
    QTest::newRow("empty file") << QByteArray() << "TarvoAgent"_ba << "Port"_ba << ""_ba << false;
    QTest::newRow("blanks around names and value")
        << "  [ Sec ]  \r\n \t Key \t=  some value \t \r\n"_ba << "Sec"_ba << "Key"_ba
        << "some value"_ba << true;
    QTest::newRow("lookup names are trimmed") << "[Sec]\r\nKey=1\r\n"_ba << " Sec "_ba << "\tKey "_ba
                                              << "1"_ba << true;
    QTest::newRow("empty value") << "[S]\r\nk=\r\n"_ba << "S"_ba << "k"_ba << ""_ba << true;
    QTest::newRow("value holds = and ;") << "[S]\r\nk=a=b;c\r\n"_ba << "S"_ba << "k"_ba << "a=b;c"_ba << true;
    QTest::newRow("stored line of the collector")
        << "[SYSTEM]\r\nSysOS=P;20040312;093015;Windows XP\r\n"_ba << "system"_ba << "sysos"_ba
        << "P;20040312;093015;Windows XP"_ba << true;
    QTest::newRow("double quotes dropped") << "[S]\r\nk=\"a b \"\r\n"_ba << "S"_ba << "k"_ba << "a b "_ba << true;
    QTest::newRow("single quotes dropped") << "[S]\r\nk='x'\r\n"_ba << "S"_ba << "k"_ba << "x"_ba << true;
    QTest::newRow("unmatched quotes kept") << "[S]\r\nk=\"x'\r\n"_ba << "S"_ba << "k"_ba << "\"x'"_ba << true;
    QTest::newRow("lone quote kept") << "[S]\r\nk=\"\r\n"_ba << "S"_ba << "k"_ba << "\""_ba << true;
    QTest::newRow("inner quotes kept") << "[S]\r\nk=a\"b\"\r\n"_ba << "S"_ba << "k"_ba << "a\"b\""_ba << true;
    QTest::newRow("first duplicate key wins") << "[S]\r\nk=1\r\nK=2\r\n"_ba << "S"_ba << "k"_ba << "1"_ba << true;
    QTest::newRow("first duplicate section wins")
        << "[S]\r\na=1\r\n[s]\r\na=2\r\nb=3\r\n"_ba << "S"_ba << "b"_ba << ""_ba << false;
    QTest::newRow("comment is no key") << "[S]\r\n;k=1\r\n  ; k=2\r\n"_ba << "S"_ba << ";k"_ba << ""_ba << false;
    QTest::newRow("line without = is no key") << "[S]\r\nk\r\n"_ba << "S"_ba << "k"_ba << ""_ba << false;
    QTest::newRow("key before any section") << "k=1\r\n[S]\r\n"_ba << "S"_ba << "k"_ba << ""_ba << false;
    QTest::newRow("text after header") << "[S] ; about S\r\nk=1\r\n"_ba << "S"_ba << "k"_ba << "1"_ba << true;
    QTest::newRow("LF line ends") << "[S]\nk=1\nm=2"_ba << "S"_ba << "m"_ba << "2"_ba << true;
    QTest::newRow("NUL ends the value") << cat({"[S]\r\nk=ab", QByteArrayView("\0", 1), "cd\r\n"}) << "S"_ba << "k"_ba
                                        << "ab"_ba << true;
    QTest::newRow("CP932 value") << cat({"[S]\r\nName=", Nihongo, HalfKana, "\r\n"}) << "S"_ba << "name"_ba
                                 << cat({Nihongo, HalfKana}) << true;
    QTest::newRow("trail byte ] in section name")
        << cat({"[", Zo, "]\r\nk=1\r\n"}) << Zo << "k"_ba << "1"_ba << true;
    QTest::newRow("trail byte ] then comment")
        << cat({"[a", Zo, "] ;", Zo, "\r\nk=1\r\n"}) << cat({"A", Zo}) << "K"_ba << "1"_ba << true;
    QTest::newRow("trail bytes are not case-folded")
        << cat({"[", KanaSmallYa, "]\r\nk=1\r\n"}) << KanaA << "k"_ba << ""_ba << false;
    QTest::newRow("double-byte key") << cat({"[S]\r\n", KanaA, "x=1\r\n"}) << "S"_ba << cat({KanaA, "X"}) << "1"_ba << true;
}

void TestProfileFile::value()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);
    QFETCH(bool, present);

    ProfileFile profile;
    profile.parse(file);
    QCOMPARE(profile.value(section, key), expected);
    QCOMPARE(profile.containsKey(section, key), present);
}

void TestProfileFile::valueBuffer_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("bufferChars");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray digits = QByteArray("0123456789").repeated(30);
    QTest::newRow("300 bytes read as 254") << digits << 255 << digits.first(254);
    QTest::newRow("254 bytes whole") << digits.first(254) << 255 << digits.first(254);
    QTest::newRow("255 bytes cut by one") << digits.first(255) << 255 << digits.first(254);
    QTest::newRow("quoted 300 bytes") << cat({"\"", digits, "\""}) << 255 << digits.first(254);
    // A double-byte character across the limit is left out whole, never split.
    QTest::newRow("double-byte at the limit") << cat({digits.first(253), Nihongo}) << 255
                                              << digits.first(253);
    QTest::newRow("double-byte fits") << cat({digits.first(252), Nihongo}) << 255
                                      << cat({digits.first(252), Nihongo.first(2)});
    QTest::newRow("half-width kana are one byte") << HalfKana.repeated(100) << 255
                                                  << HalfKana.repeated(100).first(254);
    QTest::newRow("small buffer") << "abcdef"_ba << 4 << "abc"_ba;
    QTest::newRow("buffer of one") << "abcdef"_ba << 1 << ""_ba;
}

void TestProfileFile::valueBuffer()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, bufferChars);
    QFETCH(QByteArray, expected);

    ProfileFile profile;
    profile.parse(cat({"[TarvoControl]\r\nSqlConnection=", stored, "\r\n"}));
    QCOMPARE(profile.value("TarvoControl", "SqlConnection", bufferChars), expected);
}

void TestProfileFile::sectionNames_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("bufferChars");
    QTest::addColumn<QList<QByteArray>>("expected");

    const QByteArray two = "[Abc]\r\n[Defgh]\r\n"_ba; // needs 4 + 6 + 1 = 11 characters
    QTest::newRow("fits exactly") << two << 11 << QList<QByteArray>{"Abc", "Defgh"};
    QTest::newRow("last name cut") << two << 10 << QList<QByteArray>{"Abc", "Defg"};
    QTest::newRow("cut to one character") << two << 7 << QList<QByteArray>{"Abc", "D"};
    QTest::newRow("no room for a part") << two << 6 << QList<QByteArray>{"Abc"};
    QTest::newRow("first name fits") << two << 5 << QList<QByteArray>{"Abc"};
    QTest::newRow("first name cut") << two << 4 << QList<QByteArray>{"Ab"};
    QTest::newRow("buffer of two") << two << 2 << QList<QByteArray>{};
    QTest::newRow("names trimmed, in file order")
        << "; head\r\n[ Zeta ]\r\nx=1\r\n[alpha]\r\n"_ba << 1024 << QList<QByteArray>{"Zeta", "alpha"};
    QTest::newRow("repeated section listed again")
        << "[A]\r\n[B]\r\n[a]\r\n"_ba << 1024 << QList<QByteArray>{"A", "B", "a"};
    QTest::newRow("empty name skipped") << "[]\r\n[A]\r\n"_ba << 1024 << QList<QByteArray>{"A"};
    QTest::newRow("no sections") << "k=1\r\n"_ba << 1024 << QList<QByteArray>{};
    QTest::newRow("double-byte name not split")
        << cat({"[ab]\r\n[", Nihongo, "]\r\n"}) << 8 << QList<QByteArray>{"ab", Nihongo.first(2)};

    // 200 names of 7 characters: 127 take 1,016 of the 1,023 usable characters, and the
    // 128th ("Sect127") is cut to the 6 that are left before its NUL.
    QList<QByteArray> cut = sectionsNamed("Sect", 127);
    cut.append("Sect12"_ba);
    QTest::newRow("1024 characters") << fileWithSections(sectionsNamed("Sect", 200)) << 1024 << cut;
    // 93 names of 10 characters fill the 1,023 characters exactly: nothing of the 94th.
    QTest::newRow("1024 characters, no part")
        << fileWithSections(sectionsNamed("Section", 150)) << 1024 << sectionsNamed("Section", 93);
}

void TestProfileFile::sectionNames()
{
    QFETCH(QByteArray, file);
    QFETCH(int, bufferChars);
    QFETCH(QList<QByteArray>, expected);

    ProfileFile profile;
    profile.parse(file);
    QCOMPARE(profile.sectionNames(bufferChars), expected);
}

void TestProfileFile::sectionEntries_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<int>("bufferChars");
    QTest::addColumn<QList<QByteArray>>("expected");

    const QByteArray agent =
        "[TarvoAgent]\r\n; listening\r\nPort = 9000 \r\n\r\nTimeOut=60\r\nloose line \r\n"
        "Quoted=\"x\"\r\n[TarvoInfo]\r\nSQLUpdate=1\r\n"_ba;
    QTest::newRow("entries trimmed, comments and blanks left out")
        << agent << "tarvoagent"_ba << 1024
        << QList<QByteArray>{"Port=9000", "TimeOut=60", "loose line", "Quoted=\"x\""};
    QTest::newRow("last entry cut") << agent << "TarvoAgent"_ba << 20 << QList<QByteArray>{"Port=9000", "TimeOut="};
    QTest::newRow("missing section") << agent << "TarvoControl"_ba << 1024 << QList<QByteArray>{};
    QTest::newRow("header only") << "[A]\r\n[B]\r\nk=1\r\n"_ba << "a"_ba << 1024 << QList<QByteArray>{};
    QTest::newRow("repeated section: first only")
        << "[A]\r\nk=1\r\n[B]\r\n[a]\r\nm=2\r\n"_ba << "A"_ba << 1024 << QList<QByteArray>{"k=1"};

    // 100 entries "Key00n=value" of 12 characters: 78 fill 1,014 characters, the 79th is cut
    // to the 8 characters left before its NUL.
    QByteArray many = "[Big]\r\n"_ba;
    QList<QByteArray> expected;
    for (int i = 0; i < 100; ++i) {
        const QByteArray entry = cat({"Key", QByteArray::number(i).rightJustified(3, '0'), "=value"});
        many += entry + "\r\n";
        if (i < 78)
            expected.append(entry);
    }
    expected.append("Key078=v"_ba);
    QTest::newRow("1024 characters") << many << "big"_ba << 1024 << expected;
}

void TestProfileFile::sectionEntries()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, section);
    QFETCH(int, bufferChars);
    QFETCH(QList<QByteArray>, expected);

    ProfileFile profile;
    profile.parse(file);
    QCOMPARE(profile.sectionEntries(section, bufferChars), expected);
}

void TestProfileFile::keyNames_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("bufferChars");
    QTest::addColumn<QList<QByteArray>>("expected");

    const QByteArray app = "[APPLICATION_XP]\r\n; items\r\nOfficeVersion=R;YYYYMMDD;HHMMSS;a;b;c;\r\n"
                           " Acrobat = F;20040312;093015;C:\\x;y;;True\r\nno equals\r\n"
                           "officeversion=dup\r\n=empty name\r\nZip=1\r\n[DAT]\r\nSysDatVersion=1\r\n"_ba;
    QTest::newRow("all keys") << app << 10240
                              << QList<QByteArray>{"OfficeVersion", "Acrobat", "Zip"};
    QTest::newRow("small buffer cuts") << app << 20 << QList<QByteArray>{"OfficeVersion", "Acro"};
    QTest::newRow("small buffer, exact") << app << 23 << QList<QByteArray>{"OfficeVersion", "Acrobat"};
    QTest::newRow("empty section") << "[APPLICATION_XP]\r\n\r\n[DAT]\r\nx=1\r\n"_ba << 10240
                                   << QList<QByteArray>{};
    QTest::newRow("missing section") << "[DAT]\r\nx=1\r\n"_ba << 10240 << QList<QByteArray>{};
    QTest::newRow("double-byte keys") << cat({"[application_xp]\r\n", Nihongo, "=1\r\n", KanaA, "=2\r\n"})
                                      << 10240 << QList<QByteArray>{Nihongo, KanaA};
}

void TestProfileFile::keyNames()
{
    QFETCH(QByteArray, file);
    QFETCH(int, bufferChars);
    QFETCH(QList<QByteArray>, expected);

    ProfileFile profile;
    profile.parse(file);
    QCOMPARE(profile.keyNames("Application_XP", bufferChars), expected);
}

void TestProfileFile::roundTrip_data()
{
    QTest::addColumn<QByteArray>("file");

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("CR LF") << "; c\r\n[A]\r\n x = 1 \r\n\r\n"_ba;
    QTest::newRow("LF, no final line end") << "[A]\nx=1\ny"_ba;
    QTest::newRow("mixed line ends") << "[A]\r\nx=1\ny=2\r\n\n\r\n"_ba;
    QTest::newRow("lone CR and NUL") << cat({"[A]\rx=1", QByteArrayView("\0", 1), "\r\n\r"});
    QTest::newRow("high bytes") << cat({"[", Zo, "]\r\n\x80\xff=\xfd\r\n"});
}

void TestProfileFile::roundTrip()
{
    QFETCH(QByteArray, file);
    ProfileFile profile;
    profile.parse(file);
    QCOMPARE(profile.serialize(), file);
}

// How lines, headers and NUL bytes are read, and what a write then does to the file.
void TestProfileFile::windowsLineRules_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QList<QByteArray>>("names");
    QTest::addColumn<QList<QByteArray>>("entries");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("afterWrite"); // the file after writing "w" to section/key

    const QByteArray nul("\0", 1);
    using Names = QList<QByteArray>;
    QTest::newRow("repeated header listed twice, first one read and written")
        << "[Sec]\r\na=1\r\n[SEC]\r\nb=2\r\n"_ba << "SEC"_ba << "b"_ba << Names{"Sec", "SEC"}
        << Names{"a=1"} << ""_ba << "[Sec]\r\na=1\r\nb=w\r\n[SEC]\r\nb=2\r\n"_ba;
    QTest::newRow("lone CR ends a line, the write replaces the line")
        << "[S]\rk=v\r[T]\ra=1\r"_ba << "S"_ba << "k"_ba << Names{"S", "T"} << Names{"k=v"}
        << "v"_ba << "[S]\rk=w\r[T]\ra=1\r"_ba;
    QTest::newRow("lone CR file gets CR on a new line")
        << "[S]\rk=v"_ba << "s"_ba << "n"_ba << Names{"S"} << Names{"k=v"} << ""_ba
        << "[S]\rk=v\rn=w\r"_ba;
    QTest::newRow("three line ends mixed")
        << "[S]\r\nk=1\n[T]\rm=2\r\nz=3\n"_ba << "T"_ba << "m"_ba << Names{"S", "T"}
        << Names{"m=2", "z=3"} << "2"_ba << "[S]\r\nk=1\n[T]\rm=w\r\nz=3\n"_ba;
    QTest::newRow("CR CR LF is an empty line between")
        << "[S]\r\r\nk=1\r\n"_ba << "S"_ba << "k"_ba << Names{"S"} << Names{"k=1"} << "1"_ba
        << "[S]\r\r\nk=w\r\n"_ba;
    QTest::newRow("NUL ends a value")
        << cat({"[S]\r\nk=a", nul, "b\r\n"}) << "S"_ba << "k"_ba << Names{"S"} << Names{"k=a"}
        << "a"_ba << "[S]\r\nk=w\r\n"_ba;
    QTest::newRow("NUL ends a section name")
        << cat({"[S", nul, "X]\r\nk=1\r\n"}) << "S"_ba << "k"_ba << Names{"S"} << Names{"k=1"}
        << "1"_ba << cat({"[S", nul, "X]\r\nk=w\r\n"});
    QTest::newRow("NUL ends a loose line")
        << cat({"[S]\r\nfree", nul, "text\r\n"}) << "S"_ba << "k"_ba << Names{"S"} << Names{"free"}
        << ""_ba << cat({"[S]\r\nfree", nul, "text\r\nk=w\r\n"});
    QTest::newRow("section name ends at the first ]")
        << "[a]b]\r\nk=1\r\n"_ba << "A"_ba << "k"_ba << Names{"a"} << Names{"k=1"} << "1"_ba
        << "[a]b]\r\nk=w\r\n"_ba;
    QTest::newRow("header without ] names the rest of the line")
        << "[S \r\nk=1\r\n"_ba << "s"_ba << "k"_ba << Names{"S"} << Names{"k=1"} << "1"_ba
        << "[S \r\nk=w\r\n"_ba;
    QTest::newRow("trail byte ] is part of the name")
        << cat({"[a", Zo, "]b]\r\nk=1\r\n"}) << cat({"A", Zo}) << "k"_ba << Names{cat({"a", Zo})}
        << Names{"k=1"} << "1"_ba << cat({"[a", Zo, "]b]\r\nk=w\r\n"});
    QTest::newRow("new section named with ] refused")
        << "[A]\r\n"_ba << "x]y"_ba << "k"_ba << Names{"A"} << Names{} << ""_ba << "[A]\r\n"_ba;
}

void TestProfileFile::windowsLineRules()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QList<QByteArray>, names);
    QFETCH(QList<QByteArray>, entries);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, afterWrite);

    ProfileFile profile;
    profile.parse(file);
    QCOMPARE(profile.sectionNames(), names);
    QCOMPARE(profile.sectionEntries(section), entries);
    QCOMPARE(profile.value(section, key), value);
    QCOMPARE(profile.serialize(), file);
    profile.setValue(section, key, "w"_ba);
    QCOMPARE(profile.serialize(), afterWrite);
    if (afterWrite != file)
        QCOMPARE(profile.value(section, key), "w"_ba);
}

QTEST_APPLESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
