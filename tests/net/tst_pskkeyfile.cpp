#include "net/pskkeyfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Key32 = QByteArray(32, '\x5a').toHex();
const QByteArray Key31 = QByteArray(31, '\x5a').toHex();

} // namespace

class TestPskKeyFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void read_data();
    void read();
    void lineReadsBack();
};

void TestPskKeyFile::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");       // empty: accepted
    QTest::addColumn<QByteArrayList>("identities");

    QTest::newRow("one line") << "pc-01 "_ba + Key32 + '\n' << QString() << QByteArrayList{"pc-01"};
    QTest::newRow("rotation, CRLF, blank lines, upper-case hex")
        << "old "_ba + Key32 + "\r\n\r\nnew\t"_ba + Key32.toUpper() << QString()
        << QByteArrayList{"old", "new"};
    QTest::newRow("identity of 128 characters")
        << QByteArray(128, 'i') + ' ' + Key32 << QString() << QByteArrayList{QByteArray(128, 'i')};
    QTest::newRow("empty") << QByteArray() << u"the file holds no key"_s << QByteArrayList();
    QTest::newRow("blank lines only") << "\n \r\n"_ba << u"the file holds no key"_s
                                      << QByteArrayList();
    QTest::newRow("key shorter than 32 bytes")
        << "pc "_ba + Key31 << u"line 1: key shorter than 32 bytes"_s << QByteArrayList();
    QTest::newRow("identity of 129 characters") << QByteArray(129, 'i') + ' ' + Key32
        << u"line 1: identity longer than 128 characters"_s << QByteArrayList();
    QTest::newRow("key missing") << "pc-01 "_ba + Key32 + "\npc-02\n"_ba
        << u"line 2: expected an identity and a hexadecimal key"_s << QByteArrayList();
    QTest::newRow("three fields") << "pc-01 "_ba + Key32 + " x"_ba
        << u"line 1: expected an identity and a hexadecimal key"_s << QByteArrayList();
    QTest::newRow("odd digit count") << "pc "_ba + Key32 + '0'
        << u"line 1: key is not an even number of hexadecimal digits"_s << QByteArrayList();
    QTest::newRow("not hex") << "pc "_ba + Key32.left(62) + "zz"
        << u"line 1: key is not an even number of hexadecimal digits"_s << QByteArrayList();
    QTest::newRow("identity twice") << "pc "_ba + Key32 + "\npc "_ba + Key32
        << u"line 2: identity listed twice"_s << QByteArrayList();
    QTest::newRow("identity not ASCII") << "pc\xe9 "_ba + Key32
        << u"line 1: identity holds characters other than printable ASCII"_s << QByteArrayList();
    QTest::newRow("key longer than OpenSSL takes") << "pc "_ba + QByteArray(513, 'a').toHex()
        << u"line 1: key longer than 512 bytes"_s << QByteArrayList();
}

void TestPskKeyFile::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    QFETCH(QByteArrayList, identities);

    QString fault;
    const auto keys = PskKeyFile::parse(text, &fault);
    QCOMPARE(fault, error);
    QCOMPARE(keys.has_value(), error.isEmpty());
    QVERIFY(!fault.contains(QString::fromLatin1(Key32.left(16)), Qt::CaseInsensitive));
    if (!keys)
        return;
    QByteArrayList seen;
    for (qsizetype index = 0; index < keys->size(); ++index) {
        seen.append(keys->at(index).identity);
        QCOMPARE(keys->at(index).key, QByteArray(32, '\x5a'));
    }
    QCOMPARE(seen, identities);
}

void TestPskKeyFile::read_data()
{
    QTest::addColumn<QByteArray>("content"); // empty with mode 0: no file at all
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("error");      // the end of the text; empty: accepted

    const QByteArray good = "pc "_ba + Key32 + '\n';
    QTest::newRow("owner only") << good << 0600 << QString();
    QTest::newRow("owner and group") << good << 0640 << QString();
    QTest::newRow("readable by others") << good << 0644
        << u"readable or writable by others than its owner and group (chmod 0640 or 0600)"_s;
    QTest::newRow("writable by others") << good << 0602
        << u"readable or writable by others than its owner and group (chmod 0640 or 0600)"_s;
    QTest::newRow("missing") << QByteArray() << 0 << u"No such file or directory"_s;
    QTest::newRow("empty") << QByteArray("") << 0600 << u"the file holds no key"_s;
    QTest::newRow("short key") << "pc "_ba + Key31 << 0600 << u"key shorter than 32 bytes"_s;
}

void TestPskKeyFile::read()
{
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(QString, error);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"tarvo.psk"_s);
    if (mode != 0) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions(0)));
        // Qt's permission bits: 0x4000 owner read ... 0x0001 other execute.
        QFileDevice::Permissions permissions;
        if (mode & 0400) permissions |= QFileDevice::ReadOwner | QFileDevice::ReadUser;
        if (mode & 0200) permissions |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
        if (mode & 0040) permissions |= QFileDevice::ReadGroup;
        if (mode & 0004) permissions |= QFileDevice::ReadOther;
        if (mode & 0002) permissions |= QFileDevice::WriteOther;
        QVERIFY(QFile::setPermissions(path, permissions));
    }
    QString fault;
    const auto keys = PskKeyFile::read(path, &fault);
    QCOMPARE(keys.has_value(), error.isEmpty());
    QVERIFY2(fault.endsWith(error), qPrintable(fault));
    if (!error.isEmpty())
        QVERIFY(fault.startsWith(path));
}

void TestPskKeyFile::lineReadsBack()
{
    const QByteArray key = QByteArray("\x00\xff\x10\x7f", 4) + QByteArray(28, '\x01');
    const QByteArray line = PskKeyFile::line("pc-01", key);
    QCOMPARE(line, "pc-01 00ff107f"_ba + QByteArray(28, '\x01').toHex() + '\n');
    const auto keys = PskKeyFile::parse(line, nullptr);
    QVERIFY(keys);
    QCOMPARE(keys->at(0).key, key);
}

QTEST_GUILESS_MAIN(TestPskKeyFile)
#include "tst_pskkeyfile.moc"
