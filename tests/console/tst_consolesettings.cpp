// The settings dialog's save rules and the file they write; the 110 data of edited rows; the
// result list's CSV.
#include "common/codepage.h"
#include "console/connection/consoletls.h"
#include "console/settings/parametermodel.h"
#include "console/batch/resultcsv.h"
#include "support/agentprocess.h"
#include "support_console.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SettingsForm)

class TestConsoleSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void save_data();
    void save();
    void updateData_data();
    void updateData();
    void csv();
    void tlsMode_data();
    void tlsMode();
};

void TestConsoleSettings::save_data()
{
    QTest::addColumn<SettingsForm>("form");
    QTest::addColumn<QString>("message"); // "" when saved
    QTest::addColumn<QByteArray>("file");  // the file afterwards

    const QByteArray none; // nothing written
    QTest::newRow("blanks are trimmed, seven keys in order")
        << SettingsForm{u"  9000 "_s, u" 30"_s, u"5 "_s, u"Provider=SQLite;Data Source=x.db"_s,
                        u" 表 "_s, QString(), u"pw"_s}
        << QString()
        << cp932(u"[TarvoControl]\r\nPort=9000\r\nTimeout=30\r\nMaxControl=5\r\n"
                 "SqlConnection=Provider=SQLite;Data Source=x.db\r\nSqlTable=表\r\nSqlUserid=\r\n"
                 "SqlPassword=pw\r\n"_s);
    QTest::newRow("the port comes first")
        << SettingsForm{u" "_s, QString(), QString()} << u"ポート番号を指定してください。"_s << none;
    QTest::newRow("then the time-out")
        << SettingsForm{u"1"_s, QString(), QString()}
        << u"タイムアウト値（秒）を指定してください。"_s << none;
    QTest::newRow("then the connections")
        << SettingsForm{u"1"_s, u"1"_s, u" "_s} << u"最大同時接続数を指定してください。"_s << none;
    QTest::newRow("a port out of range")
        << SettingsForm{u"70000"_s, u"1"_s, u"1"_s}
        << u"ポート番号は1～65535の数値で指定してください。"_s << none;
    QTest::newRow("a time-out that is no number")
        << SettingsForm{u"1"_s, u"1m"_s, u"1"_s}
        << u"タイムアウト値（秒）は1～86400の数値で指定してください。"_s << none;
    QTest::newRow("no slot at all")
        << SettingsForm{u"1"_s, u"1"_s, u"0"_s}
        << u"最大同時接続数は1～1000の数値で指定してください。"_s << none;
}

void TestConsoleSettings::save()
{
    QFETCH(SettingsForm, form);
    QFETCH(QString, message);
    QFETCH(QByteArray, file);

    QTemporaryDir folder;
    ConsoleSettings settings = LoadConsoleSettings(folder.path());
    QCOMPARE(CheckConsoleSettings(settings), u"ポート番号を指定してください。"_s);
    RecordingFrontEnd frontEnd;
    const SettingsSaveResult result = SaveConsoleSettings(form, settings, frontEnd);
    QCOMPARE(result.saved, message.isEmpty());
    QCOMPARE(frontEnd.boxes, message.isEmpty() ? QStringList() : QStringList{u"!"_s + message});
    QFile written(settings.IniFilePath);
    QCOMPARE(written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray(), file);
    if (result.saved) {
        const ConsoleSettings loaded = LoadConsoleSettings(folder.path());
        QCOMPARE(loaded.Port, u"9000"_s);
        QCOMPARE(loaded.TimeoutMs, 30000);
        QCOMPARE(loaded.MaxControlCount, 5);
        QCOMPARE(settings.TimeoutMs, 30000);
        QCOMPARE(loaded.SqlTable, u"表"_s);
        QCOMPARE(CheckConsoleSettings(loaded), std::nullopt);
    }
}

void TestConsoleSettings::updateData_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QList<int>>("editRows");
    QTest::addColumn<QStringList>("editValues");
    QTest::addColumn<QString>("data");

    const QString body = u"[A]=\r\nk1=v1\r\nk2=v2\r\n[B]=\r\nk3=x=y\r\n\r\n"_s;
    QTest::newRow("two edits of one row send its last values")
        << body << QList<int>{1, 1} << QStringList{u"first"_s, u" last "_s}
        << u"A;k1=last\r\n"_s;
    QTest::newRow("rows under two sections; a value keeps its '='")
        << body << QList<int>{2, 4} << QStringList{u"2"_s, u"x=z"_s}
        << u"A;k2=2\r\nB;k3=x=z\r\n"_s;
    QTest::newRow("a key before any section has an empty section")
        << u"top=1\r\n[A]=\r\n\r\n"_s << QList<int>{0} << QStringList{u"2"_s} << u";top=2\r\n"_s;
    QTest::newRow("a section row cannot be edited; nothing fetched sends nothing")
        << u"[A]=\r\n\r\n"_s << QList<int>{0} << QStringList{u"x"_s} << QString();
}

void TestConsoleSettings::updateData()
{
    QFETCH(QString, body);
    QFETCH(QList<int>, editRows);
    QFETCH(QStringList, editValues);
    QFETCH(QString, data);

    ParameterEditModel model;
    model.load(body);
    for (qsizetype i = 0; i < editRows.size(); ++i) {
        const auto selection = model.select(editRows[i]);
        model.confirmEdit(editRows[i], selection.key, editValues[i]);
    }
    QCOMPARE(model.updateData(), data);
}

void TestConsoleSettings::csv()
{
    QCOMPARE(ResultListCsv(Func2ResultHeaders(), {}),
             cp932(u"\"コンピュータ名\",\"結果\",\"ステータス\",\r\n\r\n"_s));
    QCOMPARE(ResultListCsv(Func5ResultHeaders(), {{u"pc\"1"_s, u"NG"_s, u"接続中･･･"_s}}),
             cp932(u"\"コンピュータ名\",\"結果\",\"理由\",\r\n\"pc\"\"1\",\"NG\",\"接続中･･･\"\r\n\r\n"_s));
}


void TestConsoleSettings::tlsMode_data()
{
    QTest::addColumn<QByteArray>("keys");    // TlsConnect and TlsPskFile lines
    QTest::addColumn<QByteArray>("content"); // of console.psk; empty with mode 0: no file
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("problem");    // what CheckConsoleSettings says (start of it)
    QTest::addColumn<QString>("label");      // the settings dialog's text (start of it)

    const QByteArray key = "admin-pc "_ba + QByteArray(32, 'a').toHex() + "\nsecond "_ba
        + QByteArray(32, 'b').toHex() + '\n';
    QTest::newRow("as shipped") << QByteArray() << QByteArray() << 0 << QString()
                                << u"暗号化：なし（TlsConnect=plain）"_s;
    QTest::newRow("psk, first line used") << "TlsConnect=psk\r\nTlsPskFile=console.psk\r\n"_ba
                                          << key << 0600 << QString()
                                          << u"暗号化：TLS 1.3 事前共有鍵（識別名 admin-pc）"_s;
    QTest::newRow("unknown mode") << "TlsConnect=tls\r\n"_ba << QByteArray() << 0
                                  << u"TlsConnect は plain か psk で指定してください。"_s
                                  << u"暗号化：使用できません － TlsConnect"_s;
    QTest::newRow("psk, key file missing") << "TlsConnect=psk\r\nTlsPskFile=console.psk\r\n"_ba
                                           << QByteArray() << 0
                                           << u"TlsPskFile の鍵ファイルを使えません"_s
                                           << u"暗号化：使用できません － TlsPskFile"_s;
    QTest::newRow("psk, key file open to all")
        << "TlsConnect=psk\r\nTlsPskFile=console.psk\r\n"_ba << key << 0644
        << u"TlsPskFile の鍵ファイルを使えません"_s << u"暗号化：使用できません"_s;
}

void TestConsoleSettings::tlsMode()
{
    QFETCH(QByteArray, keys);
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(QString, problem);
    QFETCH(QString, label);

    QTemporaryDir dir;
    auto write = [&dir](const QString &name, const QByteArray &bytes) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write(u"TarvoControl.ini"_s, "[TarvoControl]\r\nPort=7710\r\nTimeout=5\r\nMaxControl=2\r\n"_ba
                                     + keys);
    if (mode != 0) {
        write(u"console.psk"_s, content);
        QCOMPARE(::chmod(QFile::encodeName(dir.filePath(u"console.psk"_s)).constData(),
                         mode_t(mode)), 0);
    }
    const ConsoleSettings settings = LoadConsoleSettings(dir.path());
    const QString found = CheckConsoleSettings(settings).value_or(QString());
    QVERIFY2(problem.isEmpty() ? found.isEmpty() : found.startsWith(problem), qPrintable(found));
    const QString text = ConsoleTlsModeText(settings);
    QVERIFY2(text.startsWith(label), qPrintable(text));
    // No text shows a key.
    QVERIFY(!text.contains(QString::fromLatin1(QByteArray(32, 'a').toHex())));
    QVERIFY(!found.contains(QString::fromLatin1(QByteArray(32, 'a').toHex())));
}

QTEST_GUILESS_MAIN(TestConsoleSettings)
#include "tst_consolesettings.moc"
