#include "support/mariadbserver.h"
#include "support_stepfiles.h"

#include "collector/runcontext.h"
#include "collector/sqlstep.h"
#include "db/database.h"
#include "common/codepage.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString Mac = u"00155D010203"_s;
const QString By = u"TarvoInfo 1.5.0"_s;
const QString InsertFailed = u"データベースのデータ挿入（INSERT）に失敗しました！"_s;
const QString UpdateFailed = u"データベースのデータ更新（UPDATE）に失敗しました！"_s;
const QString Inserted = u"データベースにデータが挿入（INSERT）されました。"_s;
const QString Updated = u"データベースのデータが更新（UPDATE）されました。"_s;
const QString Finished = u"データベースへの処理が完了しました。"_s;
const QString NotOpen = u"データベースに接続されていないため、処理できません。"_s;

/// The message lines of a step log (banner dropped, the time stamp and tab checked and cut).
QStringList logMessages(const QString &path, const QString &stamp = u"2004/03/12 09:30:15"_s)
{
    const QStringList lines = CodePage::fromAnsi(readAll(path)).split(u"\r\n"_s);
    QStringList messages;
    for (qsizetype i = 3; i < lines.size(); ++i) {
        if (lines.at(i).isEmpty())
            continue;
        if (!lines.at(i).startsWith(stamp + u'\t'))
            return {u"bad line: "_s + lines.at(i)};
        messages.append(lines.at(i).mid(stamp.size() + 1));
    }
    return messages;
}

QByteArray schema(const QString &kind)
{
    return readAll(QStringLiteral(TARVO_SOURCE_DIR "/packaging/schema-") + kind + u".sql"_s);
}

} // namespace

class TestSqlStep : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void insertThenUpdate_data();
    void insertThenUpdate();
    void statementFiles();
    void apostropheInValues_data();
    void apostropheInValues();
    void configuredTableName_data();
    void configuredTableName();
    void connectionCannotBeOpened_data();
    void connectionCannotBeOpened();
    void missingRowIsNoSuccess_data();
    void missingRowIsNoSuccess();
    void encryptedConnection_data();
    void encryptedConnection();

private:
    void addBackends();
    void configure(const QString &backend, const QString &table = u"TarvoInfo"_s);
    QStringList row(const QString &backend, const QString &columns, const QString &table = u"TarvoInfo"_s);
    void execute(const QString &backend, const QString &statements);
    QString file(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<DbTest::MariaDbServer> m_mariadb;
    QString m_mariadbProblem;
    std::unique_ptr<QTemporaryDir> m_dir;
    FakeClock m_clock;
    RunContext m_run;
};

void TestSqlStep::initTestCase()
{
    m_mariadbProblem = DbTest::MariaDbServer::unavailable();
    if (!m_mariadbProblem.isEmpty())
        return;
    m_mariadb = std::make_unique<DbTest::MariaDbServer>();
    QString error;
    QVERIFY2(m_mariadb->start(&error), qPrintable(error));
    bool ok = false;
    m_mariadb->sql(schema(u"mariadb"_s), &ok);
    QVERIFY(ok);
}

void TestSqlStep::cleanupTestCase()
{
    m_mariadb.reset();
}

void TestSqlStep::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_run = RunContext();
    m_run.folder = m_dir->path();
    m_run.macText = Mac;
    m_run.clock = &m_clock;
    m_clock.set(QDateTime(QDate(2004, 3, 12), QTime(9, 30, 15)));
    if (m_mariadb)
        m_mariadb->sql("DELETE FROM TarvoInfo; DROP TABLE IF EXISTS PcInventory;");
}

void TestSqlStep::cleanup()
{
    const QStringList names = QSqlDatabase::connectionNames();
    for (const QString &name : names) {
        if (name.startsWith(u"check"_s))
            QSqlDatabase::removeDatabase(name);
    }
}

void TestSqlStep::addBackends()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("SQLite") << u"sqlite"_s;
    QTest::newRow("MariaDB") << u"mariadb"_s;
}

// Settings of the step, with a fresh SQLite file made from the shipped schema.
void TestSqlStep::configure(const QString &backend, const QString &table)
{
    QString connection;
    QString user = u"nobody"_s;
    QString password = u"pw-never-shown"_s;
    if (backend == u"sqlite"_s) {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"check-create"_s);
        db.setDatabaseName(file(u"TarvoInfo.sqlite"_s));
        QVERIFY(db.open());
        for (const QString &statement : QString::fromUtf8(schema(u"sqlite"_s)).split(u';')) {
            if (!statement.trimmed().isEmpty())
                QVERIFY(QSqlQuery(db).exec(statement));
        }
        db.close();
        connection = u"Provider=SQLite;Data Source=TarvoInfo.sqlite"_s;
    } else {
        if (!m_mariadb)
            QSKIP(qPrintable(m_mariadbProblem));
        connection = m_mariadb->connection();
        user = DbTest::User;
        password = DbTest::Password;
    }
    m_run.agentSettings.parse(CodePage::toAnsi(
        QString(u"[TarvoInfo]\r\nSQLUpdate=1\r\nSqlConnection="_s + connection + u"\r\nSqlTable="_s
                + table + u"\r\nSqlUserid="_s + user + u"\r\nSqlPassword="_s + password
                + u"\r\n"_s)));
}

void TestSqlStep::execute(const QString &backend, const QString &statements)
{
    if (backend == u"mariadb"_s) {
        bool ok = false;
        m_mariadb->sql(statements.toUtf8(), &ok);
        QVERIFY(ok);
        return;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"check-exec"_s);
    db.setDatabaseName(file(u"TarvoInfo.sqlite"_s));
    QVERIFY(db.open());
    QVERIFY(QSqlQuery(db).exec(statements));
    db.close();
}

// The stored rows, read past the code under test; each row's values joined by "|".
QStringList TestSqlStep::row(const QString &backend, const QString &columns, const QString &table)
{
    const QString select = u"SELECT "_s + columns + u" FROM "_s + table + u" ORDER BY SysMACAddress"_s;
    QStringList rows;
    if (backend == u"mariadb"_s) {
        const QString out = QString::fromUtf8(m_mariadb->sql(QString(select + u";"_s).toUtf8()));
        for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts))
            rows.append(QString(line).replace(u'\t', u'|'));
        return rows;
    }
    static int reads = 0;
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"check-read-"_s + QString::number(++reads));
    db.setDatabaseName(file(u"TarvoInfo.sqlite"_s));
    if (!db.open())
        return {u"cannot open"_s};
    QSqlQuery query(db);
    if (!query.exec(select))
        return {u"cannot read"_s};
    while (query.next()) {
        QStringList values;
        for (int i = 0; i < query.record().count(); ++i)
            values.append(query.value(i).toString());
        rows.append(values.join(u'|'));
    }
    return rows;
}

void TestSqlStep::insertThenUpdate_data()
{
    addBackends();
}

void TestSqlStep::insertThenUpdate()
{
    QFETCH(QString, backend);
    configure(backend);
    m_run.columns.AddColumn(u"SysOS"_s, u"Debian GNU/Linux 12"_s);
    m_run.columns.AddColumn(u"SysMACAddress"_s, Mac);
    m_run.columns.AddColumn(u"SysComputerName"_s, u"経理PC01"_s);
    m_run.columns.AddColumn(u"SysDatVersion"_s, u"20040301120000"_s);

    UpdateDatabase(m_run);
    QCOMPARE(logMessages(file(Mac + u".SQL.LOG"_s)), (QStringList{Inserted, Finished}));
    QCOMPARE(row(backend, u"SysMACAddress,SysOS,SysComputerName,SysDatVersion,LastUpdateBy,"
                          u"LastUpdateDate,LastUpdateTime"_s),
             QStringList{Mac + u"|Debian GNU/Linux 12|経理PC01|20040301120000|TarvoInfo 1.5.0|20040312|093015"_s});

    // A later run in the difference mode reports only what changed: the insert is refused by
    // the key and the row is updated.
    m_clock.set(QDateTime(QDate(2004, 3, 13), QTime(7, 5, 9)));
    m_run.columns = ColumnLists();
    m_run.columns.AddColumn(u"SysOS"_s, u"Debian GNU/Linux 13"_s);
    m_run.columns.AddColumn(u"SysDatVersion"_s, u"20040301120000"_s);
    UpdateDatabase(m_run);

    const QStringList second = logMessages(file(Mac + u".SQL.LOG"_s), u"2004/03/13 07:05:09"_s);
    QCOMPARE(second.size(), 4);
    QCOMPARE(second.at(0), InsertFailed);
    // The database's own description of the refusal.
    const QString refusal = backend == u"sqlite"_s ? u"NOT NULL constraint failed"_s
                                                   : u"doesn't have a default value"_s;
    QVERIFY2(second.at(1).contains(refusal), qPrintable(second.at(1)));
    QCOMPARE(second.at(2), Updated);
    QCOMPARE(second.at(3), Finished);
    QCOMPARE(row(backend, u"SysMACAddress,SysOS,SysComputerName,LastUpdateDate,LastUpdateTime"_s),
             QStringList{Mac + u"|Debian GNU/Linux 13|経理PC01|20040313|070509"_s});

    // A run that carries the key: the refusal is the duplicate key.
    m_run.columns = ColumnLists();
    m_run.columns.AddColumn(u"SysMACAddress"_s, Mac);
    m_run.columns.AddColumn(u"SysDatVersion"_s, u"20040401000000"_s);
    UpdateDatabase(m_run);
    const QStringList third = logMessages(file(Mac + u".SQL.LOG"_s), u"2004/03/13 07:05:09"_s);
    QCOMPARE(third.size(), 4);
    const QString duplicate = backend == u"sqlite"_s ? u"UNIQUE constraint failed"_s
                                                     : u"Duplicate entry '00155D010203'"_s;
    QVERIFY2(third.at(1).contains(duplicate), qPrintable(third.at(1)));
    QCOMPARE(third.at(2), Updated);
    QCOMPARE(row(backend, u"SysDatVersion"_s), QStringList{u"20040401000000"_s});
    QVERIFY(!readAll(file(Mac + u".SQL.LOG"_s)).contains("pw-never-shown"));
    QVERIFY(!readAll(file(Mac + u".SQL.LOG"_s)).contains(DbTest::Password.toUtf8()));
}

void TestSqlStep::statementFiles()
{
    // Database unreachable: the files are written all the same, before the connection.
    m_run.agentSettings.parse("[TarvoInfo]\r\nSqlTable=PCINFO\r\n"_ba);
    m_run.macText = u"0050DA123456"_s;
    m_run.columns.AddColumn(u"SysOS"_s, u"Windows XP"_s);
    m_run.columns.AddColumn(u"SysMACAddress"_s, u"0050DA123456"_s);
    m_run.columns.AddColumn(u"SysDatVersion"_s, u"20040301120000"_s);
    m_run.columns.AddColumn(u"SysUserName"_s, u"山田"_s);
    UpdateDatabase(m_run);
    QCOMPARE(readAll(file(u"0050DA123456.INSERT.SQL"_s)),
             CodePage::toAnsi(u"INSERT INTO PCINFO(SysOS,SysMACAddress,SysDatVersion,SysUserName,"
                              u"LastUpdateBy,LastUpdateDate,LastUpdateTime) VALUES('Windows XP',"
                              u"'0050DA123456','20040301120000','山田','TarvoInfo 1.5.0','20040312',"
                              u"'093015')\r\n"_s));
    QCOMPARE(readAll(file(u"0050DA123456.UPDATE.SQL"_s)),
             CodePage::toAnsi(u"UPDATE PCINFO SET SysOS='Windows XP',SysMACAddress='0050DA123456',"
                              u"SysDatVersion='20040301120000',SysUserName='山田',"
                              u"LastUpdateBy='TarvoInfo 1.5.0',LastUpdateDate='20040312',"
                              u"LastUpdateTime='093015' WHERE SysMACAddress='0050DA123456'\r\n"_s));
    // CP932 on disk: 山田 is 8E 52 93 63.
    QVERIFY(readAll(file(u"0050DA123456.INSERT.SQL"_s)).contains("'\x8E\x52\x93\x63'"));
}

void TestSqlStep::apostropheInValues_data()
{
    addBackends();
}

void TestSqlStep::apostropheInValues()
{
    QFETCH(QString, backend);
    configure(backend);
    const QString printer = u"O'Brien's printer');DELETE FROM TarvoInfo;--"_s;
    m_run.columns.AddColumn(u"SysMACAddress"_s, Mac);
    m_run.columns.AddColumn(u"SysDefaultPrinter"_s, printer);
    UpdateDatabase(m_run);
    QCOMPARE(logMessages(file(Mac + u".SQL.LOG"_s)), (QStringList{Inserted, Finished}));
    QCOMPARE(row(backend, u"SysMACAddress,SysDefaultPrinter"_s), QStringList{Mac + u'|' + printer});

    UpdateDatabase(m_run); // the update path quotes the same way
    QCOMPARE(logMessages(file(Mac + u".SQL.LOG"_s)).value(2), Updated);
    QCOMPARE(row(backend, u"SysMACAddress,SysDefaultPrinter"_s), QStringList{Mac + u'|' + printer});
    QVERIFY(readAll(file(Mac + u".UPDATE.SQL"_s))
                .contains("SysDefaultPrinter='O''Brien''s printer'');DELETE FROM TarvoInfo;--'"));
}

void TestSqlStep::configuredTableName_data()
{
    addBackends();
}

void TestSqlStep::configuredTableName()
{
    QFETCH(QString, backend);
    configure(backend, u"PcInventory"_s);
    execute(backend, u"CREATE TABLE PcInventory (SysMACAddress VARCHAR(64) NOT NULL PRIMARY KEY, "
                     u"SysOS TEXT, LastUpdateBy TEXT, LastUpdateDate TEXT, LastUpdateTime TEXT)"_s);
    m_run.columns.AddColumn(u"SysMACAddress"_s, Mac);
    m_run.columns.AddColumn(u"SysOS"_s, u"Debian"_s);
    UpdateDatabase(m_run);
    QCOMPARE(logMessages(file(Mac + u".SQL.LOG"_s)), (QStringList{Inserted, Finished}));
    QCOMPARE(row(backend, u"SysMACAddress,SysOS,LastUpdateBy"_s, u"PcInventory"_s),
             QStringList{Mac + u"|Debian|TarvoInfo 1.5.0"_s});
    QCOMPARE(row(backend, u"SysMACAddress"_s), QStringList());
    QVERIFY(readAll(file(Mac + u".INSERT.SQL"_s)).startsWith("INSERT INTO PcInventory(SysMACAddress,"));
}

void TestSqlStep::connectionCannotBeOpened_data()
{
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("description"); // part of the opening failure's description
    QTest::newRow("SQLite file missing")
        << u"Provider=SQLite;Data Source=missing.sqlite"_s << u"missing.sqlite"_s;
    QTest::newRow("unknown provider") << u"Provider=SQLOLEDB;Data Source=srv"_s << u"SQLOLEDB"_s;
    QTest::newRow("empty settings") << QString() << QString();
    // Port 1 on loopback: nothing listens there.
    QTest::newRow("MariaDB refused") << u"Provider=MariaDB;Server=127.0.0.1;Port=1;Database=inv"_s
                                     << u"127.0.0.1"_s;
}

void TestSqlStep::connectionCannotBeOpened()
{
    QFETCH(QString, connection);
    QFETCH(QString, description);
    m_run.agentSettings.parse(CodePage::toAnsi(QString(
        u"[TarvoInfo]\r\nSqlConnection="_s + connection
        + u"\r\nSqlTable=TarvoInfo\r\nSqlUserid=sa\r\nSqlPassword=Very$ecret\r\n"_s)));
    m_run.columns.AddColumn(u"SysMACAddress"_s, Mac);
    UpdateDatabase(m_run);

    const QStringList lines = logMessages(file(Mac + u".SQL.LOG"_s));
    QCOMPARE(lines.size(), 9);
    QCOMPARE(lines.at(0), InsertFailed);
    QVERIFY2(!lines.at(1).isEmpty() && lines.at(1).contains(description), qPrintable(lines.at(1)));
    QCOMPARE(lines.mid(2),
             (QStringList{InsertFailed, NotOpen, UpdateFailed, NotOpen, UpdateFailed, NotOpen, Finished}));
    QVERIFY(!CodePage::fromAnsi(readAll(file(Mac + u".SQL.LOG"_s))).contains(u"Very$ecret"_s));
}

void TestSqlStep::missingRowIsNoSuccess_data()
{
    addBackends();
}

void TestSqlStep::missingRowIsNoSuccess()
{
    QFETCH(QString, backend);
    configure(backend);
    // No key column in the lists and no row yet: the insert is refused and the update finds
    // nothing to change, which must not be logged as an update.
    m_run.columns.AddColumn(u"SysOS"_s, u"Debian"_s);
    UpdateDatabase(m_run);
    const QStringList lines = logMessages(file(Mac + u".SQL.LOG"_s));
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.at(0), InsertFailed);
    QCOMPARE(lines.at(2), UpdateFailed);
    QVERIFY2(lines.at(3).contains(Mac), qPrintable(lines.at(3)));
    QCOMPARE(lines.at(4), Finished);
    QVERIFY(!lines.contains(Updated));
    QCOMPARE(row(backend, u"SysMACAddress"_s), QStringList());
}

void TestSqlStep::encryptedConnection_data()
{
    QTest::addColumn<QString>("odbcServer"); // empty: Qt's MariaDB driver
    QTest::addColumn<QString>("tls"); // @CA: the server's CA; @OTHER: a CA that did not sign it
    QTest::addColumn<bool>("opens");
    QTest::newRow("the server's CA") << QString() << u"Encrypt=yes;SslCa=@CA"_s << true;
    QTest::newRow("the CA alone asks for TLS too") << QString() << u"SslCa=@CA"_s << true;
    QTest::newRow("a CA that did not sign the server's certificate")
        << QString() << u"Encrypt=yes;SslCa=@OTHER"_s << false;
    QTest::newRow("the system's CAs, which do not know the test CA")
        << QString() << u"Encrypt=yes"_s << false;
    // The MariaDB ODBC driver checks the certificate's name too (the server's is for 127.0.0.1;
    // it listens on 127.0.0.2 as well).
    QTest::newRow("ODBC, the name checked") << u"127.0.0.1"_s << u"SSLVERIFY=1;SSLCA=@CA"_s << true;
    QTest::newRow("ODBC, another host's certificate")
        << u"127.0.0.2"_s << u"SSLVERIFY=1;SSLCA=@CA"_s << false;
}

// A connection string that asks for TLS gets an encrypted session, and a server whose
// certificate does not chain to the given CA is refused with the driver's words.
void TestSqlStep::encryptedConnection()
{
    QFETCH(QString, odbcServer);
    QFETCH(QString, tls);
    QFETCH(bool, opens);
    if (!m_mariadb)
        QSKIP(qPrintable(m_mariadbProblem));
    tls.replace(u"@CA"_s, m_mariadb->ca()).replace(u"@OTHER"_s, m_mariadb->otherCa());
    const QString server = odbcServer.isEmpty() ? m_mariadb->connection()
                                                : m_mariadb->odbcConnection(odbcServer);
    Database db(m_dir->path());
    const bool opened = db.open(server + u';' + tls + u";User ID="_s + DbTest::User
                                + u";Password="_s + DbTest::Password);
    QCOMPARE(opened, opens);
    if (!opened) {
        QVERIFY(!db.failureText().isEmpty());
        QVERIFY(!db.failureText().contains(DbTest::Password));
        return;
    }
    const auto cipher = db.query(u"SHOW SESSION STATUS LIKE 'Ssl_cipher'"_s);
    QVERIFY(cipher && !cipher->records.isEmpty());
    QVERIFY2(!cipher->records.first().value(1).isEmpty(), "the session is not encrypted");
    QVERIFY(db.execute(u"INSERT INTO TarvoInfo (SysMACAddress) VALUES ('00155D0000EE')"_s));
    QCOMPARE(m_mariadb->sql("SELECT SysMACAddress FROM TarvoInfo;").trimmed(), "00155D0000EE"_ba);
}

QTEST_GUILESS_MAIN(TestSqlStep)
#include "tst_sqlstep.moc"
