// The field check and the query of the database pages against SQLite and a MariaDB started here:
// the columns a user sees, what each edit does to the table and its data, the statement a query
// runs and the CSV bytes of its result.
#include "console/settings/fieldcheck.h"
#include "console/database/querypage.h"
#include "console/database/queryresult.h"

#include "common/codepage.h"
#include "databasefixture.h"

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using FieldCheck::Edit;

namespace {

const QStringList CreateTable = {
    u"DROP TABLE IF EXISTS PcInfo"_s,
    u"CREATE TABLE PcInfo (SysMACAddress varchar(20) PRIMARY KEY, SysOS varchar(50), "
    "LastUpdateDate varchar(20), OfficeVersion varchar(50), sysdummy varchar(50), Dept varchar(50))"_s,
    u"INSERT INTO PcInfo VALUES ('00155D000001', 'Debian', '2026/12/07', '9.0', 'x', '総務')"_s,
    u"INSERT INTO PcInfo VALUES ('00155D000002', 'Debian', '2026/12/07', '16.0', 'y', '経理')"_s};

QStringList visibleColumns(const SqlSettings &settings)
{
    QStringList columns;
    const DatabaseOutcome outcome = FieldCheck::listColumns(settings, &columns);
    return outcome.ok ? columns : outcome.errors;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

class TestDatabasePages : public QObject
{
    Q_OBJECT

    DatabaseFixture m_databases;
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { m_databases.start(); }

    void fieldEdits_data()
    {
        QTest::addColumn<SqlSettings>("settings");
        m_databases.addRows();
    }
    // One run through connect, add, change, drop and a refused change, as on the page.
    void fieldEdits()
    {
        QFETCH(SqlSettings, settings);
        DatabaseFixture::run(settings, CreateTable);
        QCOMPARE(visibleColumns(settings), (QStringList{u"OfficeVersion"_s, u"Dept"_s}));

        std::optional<PageRefusal> refusal;
        QVERIFY(FieldCheck::edit(settings, Edit::Add, u" 表計算 "_s, {}, &refusal).ok);
        QVERIFY(FieldCheck::edit(settings, Edit::Add, u"SysExtra"_s, {}, &refusal).ok);
        QCOMPARE(visibleColumns(settings), (QStringList{u"OfficeVersion"_s, u"Dept"_s, u"表計算"_s}));

        // The renamed column comes last and keeps every value.
        QVERIFY(FieldCheck::edit(settings, Edit::Change, u"OfficeVer2"_s, u"OfficeVersion"_s, &refusal).ok);
        QCOMPARE(visibleColumns(settings), (QStringList{u"Dept"_s, u"表計算"_s, u"OfficeVer2"_s}));
        QCOMPARE(DatabaseFixture::rows(settings, u"SELECT SysMACAddress, OfficeVer2 FROM PcInfo ORDER BY 1"_s),
                 (QStringList{u"00155D000001\t9.0"_s, u"00155D000002\t16.0"_s}));

        // A rename onto an existing column fails with the database's word and loses nothing.
        const DatabaseOutcome clash = FieldCheck::edit(settings, Edit::Change, u"Dept"_s, u"OfficeVer2"_s, &refusal);
        QVERIFY(!clash.ok);
        QVERIFY(!clash.errors.isEmpty());
        QVERIFY2(clash.errors.constFirst().contains(u"Dept"_s, Qt::CaseInsensitive), qPrintable(clash.errors.join(u'|')));
        QCOMPARE(DatabaseFixture::rows(settings, u"SELECT Dept, OfficeVer2 FROM PcInfo ORDER BY SysMACAddress"_s),
                 (QStringList{u"総務\t9.0"_s, u"経理\t16.0"_s}));

        QVERIFY(FieldCheck::edit(settings, Edit::Drop, u"Dept"_s, u"Dept"_s, &refusal).ok);
        QCOMPARE(visibleColumns(settings), (QStringList{u"表計算"_s, u"OfficeVer2"_s}));
        QVERIFY(!refusal);

        // A missing table is the database's message, one box per error.
        SqlSettings missing = settings;
        missing.table = u"NoSuchTable"_s;
        QStringList columns;
        const DatabaseOutcome absent = FieldCheck::listColumns(missing, &columns);
        QVERIFY(!absent.ok);
        QVERIFY2(absent.errors.join(u' ').contains(u"NoSuchTable"_s, Qt::CaseInsensitive), qPrintable(absent.errors.join(u'|')));
    }

    void fieldNamesRefusedBeforeAnyConnection_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("plain") << u"Office_Version2"_s << true;
        QTest::newRow("japanese") << u"表計算ソフト"_s << true;
        QTest::newRow("64 characters") << QString(64, u'a') << true;
        QTest::newRow("65 characters") << QString(65, u'a') << false;
        QTest::newRow("leading digit") << u"2ndDisk"_s << false;
        QTest::newRow("statement") << u"x nvarchar(1); DROP TABLE PcInfo; --"_s << false;
        QTest::newRow("quote") << u"a'b"_s << false;
        QTest::newRow("blank inside") << u"a b"_s << false;
        QTest::newRow("empty") << u"   "_s << false;
    }
    void fieldNamesRefusedBeforeAnyConnection()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        QCOMPARE(FieldCheck::isPlainIdentifier(name.trimmed()), accepted);
        if (accepted)
            return;
        // A connection that cannot work: a refusal must come before it is tried.
        const SqlSettings nowhere{u"Provider=SQLite;Data Source=/nonexistent/x.db"_s, u"PcInfo"_s, {}, {}, {}};
        std::optional<PageRefusal> refusal;
        const DatabaseOutcome outcome = FieldCheck::edit(nowhere, Edit::Add, name, {}, &refusal);
        QVERIFY(refusal);
        QCOMPARE(refusal->control, u"txtFunc6Field"_s);
        QVERIFY(outcome.errors.isEmpty());
        const QString expected = name.trimmed().isEmpty() ? u"フィールド名を選択または入力してください！"_s
                                                          : u"フィールド名「"_s + name.trimmed() + u"」は使用できません。"_s;
        QVERIFY2(refusal->message.startsWith(expected), qPrintable(refusal->message));
    }

    void consistencyCheck_data()
    {
        QTest::addColumn<QStringList>("definitions");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("notice");
        const QStringList defs = {u"[APPLICATION_9x]"_s, u"[APPLICATION_XP]"_s, u"OfficeVersion"_s,
                                  u"SysExtra"_s, u"[APPLICATION_LINUX]"_s, u"officeversion"_s};
        QTest::newRow("no definitions") << QStringList() << QStringList{u"A"_s}
                                        << u"TarvoInfo.datを読み込んでください！"_s << false;
        QTest::newRow("no fields") << defs << QStringList() << u"「DB接続」を先に実行してください！"_s << false;
        QTest::newRow("missing, case-sensitive")
            << defs << QStringList{u"OfficeVersion"_s}
            << u"NG!\r\n\r\n以下のフィールドがDBのテーブルに存在しません！\r\n[APPLICATION_XP] SysExtra\r\n"
               "[APPLICATION_LINUX] officeversion"_s << false;
        QTest::newRow("good") << QStringList{u"[APPLICATION_XP]"_s, u"OfficeVersion"_s}
                              << QStringList{u"Dept"_s, u"OfficeVersion"_s}
                              << u"GOOD!\r\n\r\nTarvoInfo.datのキーはすべてDBのテーブルフィールドとして存在します。"_s << true;
    }
    void consistencyCheck()
    {
        QFETCH(QStringList, definitions);
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        QFETCH(bool, notice);
        QList<DefinitionRow> rows;
        for (const QString &text : definitions)
            rows.append({text, {}, {}, {}, {}});
        const PageMessage result = FieldCheck::consistencyCheck(rows, fields);
        QCOMPARE(result.text, message);
        QCOMPARE(result.notice, notice);
    }

    void queryText_data()
    {
        QTest::addColumn<QList<bool>>("checked");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<bool>("listEnabled");
        QTest::newRow("two and a condition") << QList<bool>{false, true, false, true} << u" OfficeVersion <> '' "_s
                                             << u"SELECT SysOS,Dept FROM PcInfo WHERE OfficeVersion <> ''"_s << true;
        QTest::newRow("blank condition") << QList<bool>{true, false, false, false} << u"   "_s
                                         << u"SELECT SysMACAddress FROM PcInfo"_s << true;
        QTest::newRow("none checked") << QList<bool>{false, false, false, false} << QString()
                                      << u"SELECT  FROM PcInfo"_s << false;
    }
    void queryText()
    {
        QFETCH(QList<bool>, checked);
        QFETCH(QString, where);
        QFETCH(QString, statement);
        QFETCH(bool, listEnabled);
        const QStringList fields = {u"SysMACAddress"_s, u"SysOS"_s, u"LastUpdateDate"_s, u"Dept"_s};
        QCOMPARE(buildQueryText(fields.mid(0, 0), u"T"_s, {}), u"SELECT  FROM T"_s);
        QStringList chosen;
        for (int i = 0; i < fields.size(); ++i) {
            if (checked.at(i))
                chosen.append(fields.at(i));
        }
        QCOMPARE(buildQueryText(chosen, u"PcInfo"_s, where), statement);
        QCOMPARE(!chosen.isEmpty(), listEnabled);
    }

    void queryPageAndCsv_data()
    {
        QTest::addColumn<SqlSettings>("settings");
        m_databases.addRows();
    }
    // Connect, tick, list, and save: the grid's rows and the file's bytes.
    void queryPageAndCsv()
    {
        QFETCH(SqlSettings, settings);
        const bool maria = DatabaseFixture::isMariaDb(settings);
        const QString when = maria ? u"DATETIME"_s : u"TEXT"_s;
        DatabaseFixture::run(settings, {
            u"DROP TABLE IF EXISTS PcInfo"_s,
            u"CREATE TABLE PcInfo (SysComputerName varchar(50), OfficeVersion varchar(50), "
            "Disks integer, Ratio double precision, LastUpdateDate "_s + when + u", Note varchar(50))"_s,
            u"INSERT INTO PcInfo VALUES ('PC01', '9.0', 2, 0.5, '2026-12-07 09:05:03', 'say \"hi\"')"_s,
            u"INSERT INTO PcInfo VALUES ('PC02', NULL, 1, 1.25, '2026-12-08 00:00:00', '😀 総務')"_s});

        QueryPage page;
        QVERIFY(page.connect(settings).ok);
        QCOMPARE(page.fields().size(), 6);
        QVERIFY(!page.buttons().connect && page.buttons().checkAll && !page.buttons().list);
        page.setChecked(0, true);
        QVERIFY(page.buttons().list && page.buttons().clearAll);
        page.setChecked(0, false);
        QVERIFY(!page.buttons().list && !page.buttons().clearAll);
        page.checkAll();
        QVERIFY(page.buttons().list);
        const QString statement = page.QueryText(settings.table, u"Disks > 0"_s);
        QCOMPARE(statement, u"SELECT SysComputerName,OfficeVersion,Disks,Ratio,LastUpdateDate,Note FROM PcInfo WHERE Disks > 0"_s);

        QueryResult result(settings, statement + u" ORDER BY SysComputerName"_s);
        QVERIFY(result.run().ok);
        QCOMPARE(result.model()->rowCount(), 2);
        QCOMPARE(result.model()->data(result.model()->index(1, 0)).toString(), u"PC02"_s);

        const QString path = m_dir.filePath(u"result.csv"_s);
        const CsvSaveResult saved = result.save(path);
        QVERIFY2(saved.ok, qPrintable(saved.error));
        QCOMPARE(saved.records, 2);
        QCOMPARE(saved.unrepresentable, 1);
        const QByteArray first = maria ? "#2026-12-07 09:05:03#" : "\"2026-12-07 09:05:03\"";
        const QByteArray second = maria ? "#2026-12-08#" : "\"2026-12-08 00:00:00\"";
        QCOMPARE(readFile(path),
                 "\"SysComputerName\",\"OfficeVersion\",\"Disks\",\"Ratio\",\"LastUpdateDate\",\"Note\",\r\n"
                 "\"PC01\",\"9.0\",2,0.5," + first + ",\"say \"\"hi\"\"\",\r\n"
                 "\"PC02\",#NULL#,1,1.25," + second + ",\"? " + CodePage::toAnsi(u"総務") + "\",\r\n");

        // A refused statement: the database's text and an empty grid.
        QueryResult refused(settings, u"SELECT Nothing FROM PcInfo"_s);
        const DatabaseOutcome outcome = refused.run();
        QVERIFY(!outcome.ok);
        QVERIFY2(outcome.errors.join(u' ').contains(u"Nothing"_s, Qt::CaseInsensitive), qPrintable(outcome.errors.join(u'|')));
        QCOMPARE(refused.model()->rowCount(), 0);
        QCOMPARE(refused.model()->columnCount(), 0);
        QVERIFY(!refused.save(m_dir.filePath(u"refused.csv"_s)).ok);
        QVERIFY(!QFile::exists(m_dir.filePath(u"refused.csv"_s)));
    }

    void csvField_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("columnType");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("text") << QVariant(u"PC01"_s) << int(QMetaType::QString) << QByteArray("\"PC01\"");
        QTest::newRow("quote doubled") << QVariant(u"a\"b"_s) << int(QMetaType::QString) << QByteArray("\"a\"\"b\"");
        QTest::newRow("integer") << QVariant(qlonglong(-42)) << int(QMetaType::LongLong) << QByteArray("-42");
        QTest::newRow("decimal as text") << QVariant(u"12.50"_s) << int(QMetaType::Double) << QByteArray("12.50");
        QTest::newRow("null") << QVariant(QMetaType(QMetaType::QString)) << int(QMetaType::QString) << QByteArray("#NULL#");
        QTest::newRow("bool") << QVariant(true) << int(QMetaType::Bool) << QByteArray("#TRUE#");
        QTest::newRow("date") << QVariant(QDate(2004, 3, 12)) << int(QMetaType::QDate) << QByteArray("#2004-03-12#");
        QTest::newRow("time") << QVariant(QTime(9, 30, 15)) << int(QMetaType::QTime) << QByteArray("#09:30:15#");
        QTest::newRow("empty text") << QVariant(u""_s) << int(QMetaType::QString) << QByteArray("\"\"");
    }
    void csvField()
    {
        QFETCH(QVariant, value);
        QFETCH(int, columnType);
        QFETCH(QByteArray, bytes);
        int lossy = 0;
        QCOMPARE(QueryCsv::field(value, QMetaType(columnType), &lossy), bytes);
        QCOMPARE(lossy, 0);
    }
};

QTEST_GUILESS_MAIN(TestDatabasePages)
#include "tst_databasepages.moc"
