#include "db/connectionstring.h"
#include "db/database.h"

#include <QFile>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestDatabase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void parse_data();
    void parse();
    void buildsTheCallersText();
    void unusableStrings_data();
    void unusableStrings();
    void sqliteRoundTrip();
    void relativeFileLiesInTheBaseFolder();
    void duplicateKeyIsClassified();
    void operationsNeedAnOpenConnection();
    void missingTableReportsTheDatabaseText();
    void passwordNeverInErrors_data();
    void passwordNeverInErrors();
    void connectionNamesAreRemoved();

private:
    QString createDatabaseFile(const QString &name);
    QTemporaryDir m_dir;
};

void TestDatabase::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestDatabase::createDatabaseFile(const QString &name)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) // an empty file is an empty SQLite database
        return {};
    return path;
}

void TestDatabase::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("databaseName");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");

    QTest::newRow("sqlite relative")
        << u"Provider=SQLite;Data Source=inv.db;User ID=;Password="_s << u"QSQLITE"_s
        << u"/base/inv.db"_s << QString() << -1 << QString() << QString();
    QTest::newRow("sqlite absolute, any case and blanks")
        << u" provider = sqlite ; DATA SOURCE = /var/lib/tarvo/x.db "_s << u"QSQLITE"_s
        << u"/var/lib/tarvo/x.db"_s << QString() << -1 << QString() << QString();
    QTest::newRow("sqlite memory") << u"Provider=SQLite;Data Source=:memory:"_s << u"QSQLITE"_s
                                   << u":memory:"_s << QString() << -1 << QString() << QString();
    QTest::newRow("mariadb")
        << u"Provider=MariaDB;Server=127.0.0.1;Port=3307;Database=inv;User ID=sa;Password=pw"_s
        << u"QMYSQL"_s << u"inv"_s << u"127.0.0.1"_s << 3307 << u"sa"_s << u"pw"_s;
    QTest::newRow("mysql with ADO aliases")
        << u"Provider=MySQL;Data Source=db.local;Initial Catalog=inv;User ID=u;Password=p"_s
        << u"QMYSQL"_s << u"inv"_s << u"db.local"_s << -1 << u"u"_s << u"p"_s;
    QTest::newRow("server,port form")
        << u"Provider=MariaDB;Server=127.0.0.1,3310;Database=inv"_s << u"QMYSQL"_s << u"inv"_s
        << u"127.0.0.1"_s << 3310 << QString() << QString();
    QTest::newRow("appended empty credentials keep the given ones")
        << u"Provider=MariaDB;Server=h;Database=d;User ID=admin;Password=given;User ID=;Password="_s
        << u"QMYSQL"_s << u"d"_s << u"h"_s << -1 << u"admin"_s << u"given"_s;
    QTest::newRow("quoted password with semicolon")
        << u"Provider=MariaDB;Server=h;Database=d;User ID=u;Password=\"a;b\"\"c\""_s << u"QMYSQL"_s
        << u"d"_s << u"h"_s << -1 << u"u"_s << u"a;b\"c"_s;
    QTest::newRow("odbc driver text unchanged")
        << u"Driver={FreeTDS};Server=10.0.0.1;Port=1433;Database=inv;User ID=sa;Password=pw"_s
        << u"QODBC"_s << u"Driver={FreeTDS};Server=10.0.0.1;Port=1433;Database=inv"_s << QString()
        << -1 << u"sa"_s << u"pw"_s;
    QTest::newRow("odbc dsn (Qt adds DSN= itself)")
        << u"DSN=inventory;Database=inv;User ID=sa;Password=pw"_s << u"QODBC"_s
        << u"inventory;Database=inv"_s << QString() << -1 << u"sa"_s << u"pw"_s;
    QTest::newRow("odbc dsn with server")
        << u"DSN=inventory;Server=x;User ID=;Password="_s << u"QODBC"_s
        << u"DSN=inventory;Server=x"_s << QString() << -1 << QString() << QString();
}

void TestDatabase::parse()
{
    QFETCH(QString, text);
    const ConnectionTarget target = parseConnectionString(text, u"/base"_s);
    QCOMPARE(target.error, QString());
    QTEST(target.driver, "driver");
    QTEST(target.databaseName, "databaseName");
    QFETCH(QString, host);
    if (!host.isEmpty())
        QCOMPARE(target.hostName, host);
    QTEST(target.port, "port");
    QTEST(target.userName, "user");
    QTEST(target.password, "password");
}

void TestDatabase::buildsTheCallersText()
{
    QCOMPARE(buildConnectionString(u"Provider=SQLite;Data Source=a.db"_s, u"sa"_s, u" pw "_s),
             u"Provider=SQLite;Data Source=a.db;User ID=sa;Password= pw "_s);
    QCOMPARE(buildConnectionString(QString(), QString(), QString()), u";User ID=;Password="_s);
}

void TestDatabase::unusableStrings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    QTest::newRow("unknown provider")
        << u"Provider=SQLOLEDB;Data Source=srv;User ID=sa;Password=pw"_s
        << u"プロバイダ「SQLOLEDB」には対応していません（対応: SQLite、MariaDB、MySQL、ODBC の Driver= または DSN=）。"_s;
    QTest::newRow("empty settings")
        << u";User ID=;Password="_s
        << u"接続文字列にプロバイダ（Provider=、Driver= または DSN=）が指定されていません。"_s;
    QTest::newRow("sqlite without file") << u"Provider=SQLite;User ID=;Password="_s
                                         << u"SQLiteのデータベースファイル（Data Source）が指定されていません。"_s;
    QTest::newRow("bad port") << u"Provider=MariaDB;Server=h;Port=x1"_s
                              << u"ポート番号「x1」が正しくありません。"_s;
    QTest::newRow("Encrypt neither yes nor no") << u"Provider=MariaDB;Server=h;Encrypt=maybe"_s
                                                << u"Encrypt は yes か no で指定してください。(maybe)"_s;
    QTest::newRow("a CA file that is not there") << u"Provider=MariaDB;Server=h;SslCa=none.pem"_s
                                                 << u"SslCa のファイル「none.pem」を読めません。"_s;
    QTest::newRow("bad connect timeout") << u"Provider=MariaDB;Server=h;Connect Timeout=0"_s
                                         << u"接続タイムアウト「0」が正しくありません（1～3600秒）。"_s;
}

void TestDatabase::unusableStrings()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    QCOMPARE(parseConnectionString(text, m_dir.path()).error, error);

    Database db(m_dir.path());
    QVERIFY(!db.open(text));
    QCOMPARE(db.errors().size(), 1);
    QCOMPARE(db.errors().first().description, error);
    QCOMPARE(db.failureText(), error);
    QVERIFY(!db.isOpen());
}

void TestDatabase::sqliteRoundTrip()
{
    const QString path = createDatabaseFile(u"round.db"_s);
    Database db(m_dir.path());
    QVERIFY2(db.open(u"Provider=SQLite;Data Source="_s + path + u";User ID=;Password="_s),
             qPrintable(db.failureText()));
    QVERIFY(db.isOpen());
    QVERIFY(db.execute(u"CREATE TABLE PCINFO (Zeta TEXT, SysMACAddress TEXT PRIMARY KEY, Alpha TEXT)"_s));
    qint64 rows = 0;
    QVERIFY(db.execute(u"INSERT INTO PCINFO(SysMACAddress,Zeta) VALUES('A1','日本語')"_s, &rows));
    QCOMPARE(rows, 1);
    QVERIFY(db.execute(u"INSERT INTO PCINFO(SysMACAddress,Alpha) VALUES('B2','x')"_s));
    QVERIFY(db.execute(u"UPDATE PCINFO SET Alpha='y' WHERE SysMACAddress='NONE'"_s, &rows));
    QCOMPARE(rows, 0);

    QCOMPARE(db.columns(u"PCINFO"_s),
             std::optional<QStringList>({u"Zeta"_s, u"SysMACAddress"_s, u"Alpha"_s}));

    const std::optional<RecordSet> set =
        db.query(u"SELECT SysMACAddress, Zeta, Alpha FROM PCINFO ORDER BY SysMACAddress"_s);
    QVERIFY(set.has_value());
    QCOMPARE(set->columns, QStringList({u"SysMACAddress"_s, u"Zeta"_s, u"Alpha"_s}));
    QCOMPARE(set->records.size(), 2);
    QCOMPARE(set->records.at(0), QStringList({u"A1"_s, u"日本語"_s, QString()}));
    QCOMPARE(set->records.at(1), QStringList({u"B2"_s, QString(), u"x"_s}));
    QVERIFY(db.close());
    QVERIFY(!db.isOpen());
}

void TestDatabase::relativeFileLiesInTheBaseFolder()
{
    createDatabaseFile(u"relative.db"_s);
    Database db(m_dir.path());
    QVERIFY2(db.open(u"Provider=SQLite;Data Source=relative.db"_s), qPrintable(db.failureText()));
    QVERIFY(db.execute(u"CREATE TABLE t (a TEXT)"_s));
    QVERIFY(db.close());
    QVERIFY(QFileInfo(m_dir.filePath(u"relative.db"_s)).size() > 0);

    // A missing file is an error, not a new empty database.
    Database missing(m_dir.path());
    QVERIFY(!missing.open(u"Provider=SQLite;Data Source=nothere.db"_s));
    QCOMPARE(missing.failureText(),
             u"データベースファイル「"_s + m_dir.filePath(u"nothere.db"_s) + u"」が見つかりません。"_s);
    QVERIFY(!QFile::exists(m_dir.filePath(u"nothere.db"_s)));
}

void TestDatabase::duplicateKeyIsClassified()
{
    const QString path = createDatabaseFile(u"dup.db"_s);
    Database db(m_dir.path());
    QVERIFY(db.open(u"Provider=SQLite;Data Source="_s + path));
    QVERIFY(db.execute(u"CREATE TABLE t (k TEXT NOT NULL PRIMARY KEY, v TEXT)"_s));
    QVERIFY(db.execute(u"INSERT INTO t(k,v) VALUES('1','a')"_s));
    QVERIFY(!db.execute(u"INSERT INTO t(k,v) VALUES('1','b')"_s));
    QCOMPARE(db.errors().size(), 1);
    QCOMPARE(db.errors().first().nativeCode, u"1555"_s);
    QVERIFY(db.errors().first().duplicateKey);
    QVERIFY2(db.errors().first().description.contains(u"UNIQUE constraint failed"_s),
             qPrintable(db.errors().first().description));
    QCOMPARE(db.failureText(), db.errors().first().description);

    // Another constraint is a failure, but not a duplicate key.
    QVERIFY(!db.execute(u"INSERT INTO t(v) VALUES('c')"_s));
    QVERIFY(!db.errors().isEmpty());
    QVERIFY(!db.errors().first().duplicateKey);

    // A later success clears the collection.
    QVERIFY(db.execute(u"UPDATE t SET v='z'"_s));
    QVERIFY(db.errors().isEmpty());
    QVERIFY(db.failureText().isEmpty());
}

void TestDatabase::operationsNeedAnOpenConnection()
{
    Database db(m_dir.path());
    const QString notOpen = u"データベースに接続されていないため、処理できません。"_s;
    QVERIFY(!db.execute(u"SELECT 1"_s));
    QVERIFY(db.errors().isEmpty());
    QCOMPARE(db.failureText(), notOpen);
    QVERIFY(!db.columns(u"t"_s).has_value());
    QCOMPARE(db.failureText(), notOpen);
    QVERIFY(!db.query(u"SELECT 1"_s).has_value());
    QVERIFY(!db.close());
    QCOMPARE(db.failureText(), notOpen);

    const QString path = createDatabaseFile(u"twice.db"_s);
    QVERIFY(db.open(u"Provider=SQLite;Data Source="_s + path));
    QVERIFY(db.close());
    QVERIFY(!db.close());
}

void TestDatabase::missingTableReportsTheDatabaseText()
{
    const QString path = createDatabaseFile(u"missing.db"_s);
    Database db(m_dir.path());
    QVERIFY(db.open(u"Provider=SQLite;Data Source="_s + path));
    QVERIFY(!db.columns(u"NoSuchTable"_s).has_value());
    QCOMPARE(db.errors().size(), 1);
    QCOMPARE(db.errors().first().description, u"no such table: NoSuchTable"_s);
    QVERIFY(!db.execute(u"INSERT INTO NoSuchTable(a) VALUES('1')"_s));
    QCOMPARE(db.errors().first().description, u"no such table: NoSuchTable"_s);
}

void TestDatabase::passwordNeverInErrors_data()
{
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("password");

    // Nothing listens on the privileged loopback port 1: the client reports a refused connection.
    const QString port = u"1"_s;

    QTest::newRow("mariadb refused") << u"Provider=MariaDB;Server=127.0.0.1;Port="_s + port
                                            + u";Database=inv;User ID=sa;Password=Zq7Secret"_s
                                     << u"Zq7Secret"_s;
    QTest::newRow("echoed in a file name")
        << u"Provider=SQLite;Data Source=Zq7Secret.db;User ID=sa;Password=Zq7Secret"_s
        << u"Zq7Secret"_s;
    QTest::newRow("unknown provider")
        << u"Provider=Zq7Secret;User ID=sa;Password=Zq7Secret"_s << u"Zq7Secret"_s;
}

void TestDatabase::passwordNeverInErrors()
{
    QFETCH(QString, connection);
    QFETCH(QString, password);
    Database db(m_dir.path());
    QVERIFY(!db.open(connection));
    QVERIFY(!db.failureText().isEmpty());
    QVERIFY2(!db.failureText().contains(password), qPrintable(db.failureText()));
    QVERIFY(!db.errors().isEmpty());
    for (const DatabaseError &error : db.errors())
        QVERIFY2(!error.description.contains(password), qPrintable(error.description));
}

void TestDatabase::connectionNamesAreRemoved()
{
    const QString path = createDatabaseFile(u"names.db"_s);
    const QStringList before = QSqlDatabase::connectionNames();
    {
        Database first(m_dir.path());
        Database second(m_dir.path());
        QVERIFY(first.open(u"Provider=SQLite;Data Source="_s + path));
        QVERIFY(second.open(u"Provider=SQLite;Data Source="_s + path));
        QCOMPARE(QSqlDatabase::connectionNames().size(), before.size() + 2);
        QVERIFY(first.execute(u"CREATE TABLE t (a TEXT)"_s));
        QVERIFY(second.execute(u"INSERT INTO t(a) VALUES('x')"_s));
        QVERIFY(first.close());
        QCOMPARE(QSqlDatabase::connectionNames().size(), before.size() + 1);
        // `second` is left open: its destructor closes and removes it.
    }
    QCOMPARE(QSqlDatabase::connectionNames(), before);
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
