// Pages 6 and 7 offscreen, driven through their buttons as a user would: what the controls show,
// which messages appear and what lands in the files and the database.
#include "console/ui/dialogs/frmdatabase.h"
#include "console/ui/dialogs/frmtiming.h"
#include "console/ui/pages/func6agentsettings.h"
#include "console/ui/pages/func6definitions.h"
#include "console/ui/pages/func6fields.h"
#include "console/ui/pages/func6page.h"
#include "console/ui/pages/func7page.h"
#include "console/ui/pages/pagedialogs.h"

#include "common/codepage.h"
#include "console/frontend.h"
#include "db/database.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTcpServer>
#include <QTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

/// Answers the dialogs as a script says and keeps every message shown.
class RecordingFrontEnd : public ConsoleFrontEnd
{
public:
    QStringList messages;
    QString nextFile;
    QString lastFilter;

    void showStatus(const QString &) override {}
    void showMessage(Icon icon, const QString &text) override
    {
        messages.append((icon == Icon::Information ? u"i "_s : u"! "_s) + text);
    }
    void setBusy(bool) override {}
    QString chooseFile(const QString &, const QString &, const QString &filter, bool) override
    {
        lastFilter = filter;
        return nextFile;
    }
};

/// Modal windows are answered by the test itself.
class RecordingDialogs : public PageDialogs
{
public:
    using PageDialogs::PageDialogs;
    std::function<int(QDialog *)> onModal;

    int runModal(QDialog *dialog) override { return onModal ? onModal(dialog) : QDialog::Rejected; }
};

template<class T>
T *child(QWidget *root, const QString &name)
{
    T *found = root->findChild<T *>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void writeFile(const QString &path, const QString &text)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(CodePage::toAnsi(text));
}

} // namespace

class TestConsolePages : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    RecordingFrontEnd m_frontEnd;
    RecordingDialogs m_dialogs{m_frontEnd};

private Q_SLOTS:
    void agentSettingsTabs()
    {
        const QString ini = m_dir.filePath(u"TarvoAgent.ini"_s);
        writeFile(ini, u"[TarvoAgent]\r\nPort=9000\r\nTimeOut=30\r\nStatusLog=100\r\nExeFile=TarvoInfo\r\n"
                       "TimeStart=DAY,23:00,1,15\r\n[TarvoInfo]\r\nFTPUpload=0\r\n"_s);
        Func6AgentSettings page(m_dialogs);
        QVERIFY(!child<QPushButton>(&page, u"cmdFunc6IniEdit"_s)->isEnabled());
        m_frontEnd.nextFile = ini;
        child<QAbstractButton>(&page, u"cmdFunc6Ini_0"_s)->click();
        QCOMPARE(child<QLabel>(&page, u"lblFunc6IniFile"_s)->text(), ini);
        QCOMPARE(m_frontEnd.lastFilter, u"TarvoAgent.iniﾌｧｲﾙ (TarvoAgent.ini)|TarvoAgent.ini"_s);
        QCOMPARE(child<QLineEdit>(&page, u"txtFunc6Port"_s)->text(), u"9000"_s);
        QCOMPARE(child<QLabel>(&page, u"lblFunc6Timer_0"_s)->text(), u"日付指定"_s);
        QVERIFY(child<QPushButton>(&page, u"cmdFunc6IniEdit"_s)->isEnabled());
        QVERIFY(!child<QPushButton>(&page, u"cmdFunc6Timing"_s)->isHidden());

        // Turning the FTP section on enables its frame and the proxy box, "Proxy" unchecked or not.
        QWidget *proxy = child<QWidget>(&page, u"txtFunc6Proxy"_s);
        QVERIFY(!proxy->isEnabled());
        child<QCheckBox>(&page, u"chkFunc6Ftp"_s)->click();
        QVERIFY(child<QWidget>(&page, u"frameFunc6Ftp"_s)->isEnabled());
        QVERIFY(proxy->isEnabled());

        // The schedule dialog: Monday, 07:75 stored with the carry.
        m_dialogs.onModal = [](QDialog *dialog) {
            child<QComboBox>(dialog, u"comboCondition"_s)->setCurrentIndex(0);
            child<QCheckBox>(dialog, u"chkWeek_1"_s)->setChecked(true);
            child<QLineEdit>(dialog, u"txtWeekTime"_s)->setText(u"07:75"_s);
            child<QAbstractButton>(dialog, u"cmdButton_0"_s)->click();
            return dialog->result();
        };
        child<QAbstractButton>(&page, u"cmdFunc6Timing"_s)->click();
        QCOMPARE(child<QLabel>(&page, u"lblFunc6Timer_2"_s)->text(), u"起動時刻 08:15"_s);

        // A check that fails names the field and writes nothing.
        const QByteArray before = readFile(ini);
        child<QLineEdit>(&page, u"txtFunc6FtpAddress"_s)->clear();
        child<QAbstractButton>(&page, u"cmdFunc6IniEdit"_s)->click();
        QCOMPARE(m_frontEnd.messages.takeLast(), u"! FTPサーバアドレスを指定してください。"_s);
        QCOMPARE(readFile(ini), before);

        child<QCheckBox>(&page, u"chkFunc6Ftp"_s)->click();
        // Text CP932 cannot hold: named, its tab brought up, nothing written.
        auto *subject = child<QLineEdit>(&page, u"txtFunc6Subject"_s);
        subject->setText(u"結果😀"_s);
        child<QAbstractButton>(&page, u"cmdFunc6IniEdit"_s)->click();
        QCOMPARE(m_frontEnd.messages.takeLast(),
                 u"! 「件名」にShift-JISで保存できない文字（😀）があります。別の文字に変えてください。"_s);
        QCOMPARE(child<QTabWidget>(&page, u"sstabFunc6"_s)->currentIndex(), 4);
        QCOMPARE(readFile(ini), before);
        subject->setText(u"結果"_s);
        child<QAbstractButton>(&page, u"cmdFunc6IniEdit"_s)->click();
        QVERIFY(m_frontEnd.messages.isEmpty());
        QVERIFY(readFile(ini).contains("TimeStart=WEEK,08:15,MON\r\n"));
    }

    void timingDialogRefusesABadTime()
    {
        frmTiming dialog(m_dialogs, {u"曜日指定"_s, u"SUN"_s, u"起動時刻 08:30"_s});
        QCOMPARE(child<QLineEdit>(&dialog, u"txtWeekTime"_s)->text(), u"08:30"_s);
        QVERIFY(child<QCheckBox>(&dialog, u"chkWeek_0"_s)->isChecked());
        child<QLineEdit>(&dialog, u"txtWeekTime"_s)->setText(u"9:30"_s);
        child<QAbstractButton>(&dialog, u"cmdButton_0"_s)->click();
        QCOMPARE(m_frontEnd.messages.takeLast(), u"! 時刻のフォーマットが正しくありません！"_s);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.windowTitle(), u"タイミング設定 - TarvoControl"_s);
    }

    // Page 6 and 7 over one SQLite table: definitions, fields, the check, the query window.
    void databasePages()
    {
        const QString dat = m_dir.filePath(u"TarvoInfo.dat"_s);
        writeFile(dat, u"[APPLICATION_XP]\r\nOfficeVersion=R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;SOFTWARE\\Office;Version;\r\n"_s);
        const QString dbFile = m_dir.filePath(u"inv.db"_s);
        QFile(dbFile).open(QIODevice::WriteOnly);
        const SqlSettings settings{u"Provider=SQLite;Data Source="_s + dbFile, u"PcInfo"_s, {}, {}, {}};
        {
            Database db(m_dir.path());
            QVERIFY(db.open(settings.connectionString()));
            QVERIFY(db.execute(u"CREATE TABLE PcInfo (SysComputerName TEXT, OfficeVersion TEXT)"_s));
            QVERIFY(db.execute(u"INSERT INTO PcInfo VALUES ('PC01', '9.0')"_s));
        }
        Func6Page page6(m_dialogs, [settings] { return settings; });
        QWidget *defs = page6.definitions();
        m_frontEnd.nextFile = dat;
        child<QAbstractButton>(defs, u"cmdFunc6Dat_0"_s)->click();
        auto *list = child<QTreeWidget>(defs, u"lvwFunc6Dat"_s);
        QCOMPARE(list->topLevelItemCount(), 6);

        // Add a key under the Linux section row: the file has it, the list shows it, no row is chosen.
        list->setCurrentItem(list->topLevelItem(5));
        Q_EMIT list->itemClicked(list->topLevelItem(5), 0);
        child<QLineEdit>(defs, u"txtFunc6DatKey"_s)->setText(u"Calc"_s);
        child<QComboBox>(defs, u"comboFunc6DatID"_s)->setCurrentText(u"F"_s);
        child<QLineEdit>(defs, u"txtFunc6DatReg1"_s)->setText(u"/usr/bin"_s);
        child<QAbstractButton>(defs, u"cmdFunc6DatEdit_0"_s)->click();
        QVERIFY(readFile(dat).contains("[APPLICATION_LINUX]\r\nCalc=F;YYYYMMDD;HHMMSS;/usr/bin;;;\r\n"));
        QCOMPARE(list->topLevelItem(6)->text(0), u"Calc"_s);
        QVERIFY(!child<QPushButton>(defs, u"cmdFunc6DatEdit_0"_s)->isEnabled());
        QVERIFY(!list->currentItem());

        QWidget *fields = page6.fields();
        child<QAbstractButton>(fields, u"cmdFunc6"_s)->click();
        QCOMPARE(m_frontEnd.messages.takeLast(), u"! 「DB接続」を先に実行してください！"_s);
        // The database steps run off the window's thread: their outcome arrives later.
        child<QAbstractButton>(fields, u"cmdFunc6Field_0"_s)->click();
        auto *columns = child<QTreeWidget>(fields, u"lvwFunc6Field"_s);
        QTRY_COMPARE(columns->topLevelItemCount(), 1);
        QTRY_VERIFY(child<QPushButton>(fields, u"cmdFunc6FieldEdit_0"_s)->isEnabled());
        QVERIFY(!child<QPushButton>(fields, u"cmdFunc6Field_0"_s)->isEnabled());
        child<QLineEdit>(fields, u"txtFunc6Field"_s)->setText(u"x;DROP TABLE PcInfo"_s);
        child<QAbstractButton>(fields, u"cmdFunc6FieldEdit_0"_s)->click();
        QTRY_VERIFY(!m_frontEnd.messages.isEmpty());
        QVERIFY(m_frontEnd.messages.takeLast().startsWith(u"! フィールド名「x;DROP TABLE PcInfo」は使用できません。"_s));
        child<QAbstractButton>(fields, u"cmdFunc6"_s)->click();
        QCOMPARE(m_frontEnd.messages.takeLast(),
                 u"! NG!\r\n\r\n以下のフィールドがDBのテーブルに存在しません！\r\n[APPLICATION_LINUX] Calc"_s);
        child<QLineEdit>(fields, u"txtFunc6Field"_s)->setText(u"Calc"_s);
        child<QAbstractButton>(fields, u"cmdFunc6FieldEdit_0"_s)->click();
        QTRY_COMPARE(columns->topLevelItemCount(), 2);
        QTRY_VERIFY(child<QPushButton>(fields, u"cmdFunc6"_s)->isEnabled());
        child<QAbstractButton>(fields, u"cmdFunc6"_s)->click();
        QVERIFY(m_frontEnd.messages.takeLast().startsWith(u"i GOOD!"_s));

        // A definition file gone by the time it is opened: said so, and no verdict on it.
        m_frontEnd.nextFile = m_dir.filePath(u"gone/TarvoInfo.dat"_s);
        child<QAbstractButton>(defs, u"cmdFunc6Dat_0"_s)->click();
        QVERIFY(m_frontEnd.messages.takeLast().startsWith(u"! "_s + m_frontEnd.nextFile + u" ファイルを開けません"_s));
        child<QAbstractButton>(fields, u"cmdFunc6"_s)->click();
        QCOMPARE(m_frontEnd.messages.takeLast(), u"! TarvoInfo.datを読み込んでください！"_s);

        Func7Page page7(m_dialogs, [settings] { return settings; });
        child<QAbstractButton>(&page7, u"cmdFunc7_0"_s)->click();
        auto *names = child<QListWidget>(&page7, u"lvwFunc7Field"_s);
        QTRY_COMPARE(names->count(), 3); // every column, the hidden ones too
        QVERIFY(!child<QPushButton>(&page7, u"cmdFunc7_1"_s)->isEnabled());
        names->item(0)->setCheckState(Qt::Checked);
        QVERIFY(child<QPushButton>(&page7, u"cmdFunc7_1"_s)->isEnabled());
        QCOMPARE(page7.queryText(), u"SELECT SysComputerName FROM PcInfo"_s);
        const QString csv = m_dir.filePath(u"out.csv"_s);
        m_frontEnd.nextFile = csv;
        QString shown;
        m_dialogs.onModal = [&shown](QDialog *dialog) {
            // The query and the save run off the window's thread; their outcome comes later.
            auto *window = static_cast<frmDatabase *>(dialog);
            // A window still busy leaves `shown` empty, and the comparison below fails.
            if (!QTest::qWaitFor([window] { return !window->isBusy(); }, 10000))
                return -1;
            shown = dialog->windowTitle() + u' '
                    + QString::number(child<QTableView>(dialog, u"dgdData"_s)->model()->rowCount());
            child<QAbstractButton>(dialog, u"cmdButton_1"_s)->click();
            return QTest::qWaitFor([window] { return !window->isBusy(); }, 10000) ? 0 : -1;
        };
        child<QAbstractButton>(&page7, u"cmdFunc7_1"_s)->click();
        QCOMPARE(shown, u"TarvoControl - DB参照 1"_s);
        QCOMPARE(readFile(csv), QByteArray("\"SysComputerName\",\r\n\"PC01\",\r\n"));
        QVERIFY(m_frontEnd.messages.isEmpty());
    }

    // A database server that takes the connection and never answers: the window goes on (a
    // timer keeps firing) until the driver gives up, and then says why.
    void silentDatabaseServer()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        const SqlSettings settings{
            u"Provider=MariaDB;Server=127.0.0.1;Port=%1;Database=inv;Connect Timeout=1"_s.arg(
                silent.serverPort()),
            u"PcInfo"_s, {}, {}, {}};
        Func7Page page7(m_dialogs, [settings] { return settings; });
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
        timer.start(50);
        m_frontEnd.messages.clear();
        auto *connectButton = child<QPushButton>(&page7, u"cmdFunc7_0"_s);
        connectButton->click();
        QVERIFY(!connectButton->isEnabled()); // not pressed twice meanwhile
        QTRY_VERIFY_WITH_TIMEOUT(!m_frontEnd.messages.isEmpty(), 20000);
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        QVERIFY(m_frontEnd.messages.takeLast().startsWith(u"! "_s));
        QVERIFY(connectButton->isEnabled());
    }
};

QTEST_MAIN(TestConsolePages)
#include "tst_consolepages.moc"
