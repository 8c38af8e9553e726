// Renders pages 6 and 7, frmTiming and frmDatabase over the shipped settings, definition file and
// a demo database with two PCs, so that a reviewer can look at them without a display.
//   tarvo_console_screenshots pages SOURCE_DIR OUTPUT_DIR
#include "console/ui/dialogs/frmdatabase.h"
#include "console/ui/dialogs/frmtiming.h"
#include "console/ui/pages/func6agentsettings.h"
#include "console/ui/pages/func6definitions.h"
#include "console/ui/pages/func6page.h"
#include "console/ui/pages/func7page.h"
#include "console/ui/pages/pagedialogs.h"

#include "console/frontend.h"
#include "db/database.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// Runs the event loop until `done` holds (at most ten seconds): the database steps of the pages
// answer from another thread.
template <typename Done>
void waitUntil(Done done)
{
    QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
}

/// Says everything on standard error instead of a box nobody can press.
class QuietFrontEnd : public ConsoleFrontEnd
{
public:
    void showStatus(const QString &) override {}
    void showMessage(Icon, const QString &text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void setBusy(bool) override {}
    QString chooseFile(const QString &, const QString &, const QString &, bool) override { return {}; }
};

bool createDemoDatabase(const QString &schemaFile, const SqlSettings &settings)
{
    QFile schema(schemaFile);
    if (!schema.open(QIODevice::ReadOnly))
        return false;
    QStringList statements;
    for (const QString &part : QString::fromUtf8(schema.readAll()).split(u';')) {
        QStringList lines = part.split(u'\n');
        lines.removeIf([](const QString &line) { return line.trimmed().startsWith(u"--"); });
        if (const QString statement = lines.join(u'\n').trimmed(); !statement.isEmpty())
            statements.append(statement);
    }
    statements.append(u"INSERT INTO TarvoInfo (SysMACAddress, SysComputerName, SysOS, SysIPAddress, "
                      "SysMicrosoftNetwork, LibcVersion, LastUpdateDate) VALUES "
                      "('525400A1B2C3', 'SOUMU-PC01', 'Debian GNU/Linux 12 (bookworm)', '192.0.2.11', "
                      "'総務部', '2.36-9+deb12u4', '2026/12/07')"_s);
    statements.append(u"INSERT INTO TarvoInfo (SysMACAddress, SysComputerName, SysOS, SysIPAddress, "
                      "SysMicrosoftNetwork, LibcVersion, LastUpdateDate) VALUES "
                      "('525400D4E5F6', 'KEIRI-PC02', 'Debian GNU/Linux 12 (bookworm)', '192.0.2.12', "
                      "'経理部', '2.36-9+deb12u7', '2026/12/06')"_s);
    statements.append(u"ALTER TABLE TarvoInfo ADD 表計算バージョン nvarchar(050)"_s);
    Database db;
    if (!db.open(settings.connectionString()))
        return false;
    for (const QString &statement : std::as_const(statements)) {
        if (!db.execute(statement)) {
            std::fprintf(stderr, "%s\n", qPrintable(db.failureText()));
            return false;
        }
    }
    return db.close();
}

bool save(QWidget *widget, const QString &folder, const QString &name)
{
    widget->show();
    QApplication::processEvents();
    const bool ok = widget->grab().save(QDir(folder).filePath(name));
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(QDir(folder).filePath(name)));
    return ok;
}

} // namespace

int runPageShots(int argc, char **argv)
{
    if (argc != 3) {
        std::fputs("usage: tarvo_console_screenshots pages SOURCE_DIR OUTPUT_DIR\n", stderr);
        return 2;
    }
    const QDir source(QString::fromLocal8Bit(argv[1]));
    const QString output = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(output);
    QTemporaryDir folder;
    const QString ini = folder.filePath(u"TarvoAgent.ini"_s);
    const QString dat = folder.filePath(u"TarvoInfo.dat"_s);
    const QString sqlite = folder.filePath(u"TarvoInfo.sqlite"_s);
    QFile::copy(source.filePath(u"packaging/TarvoAgent.ini"_s), ini);
    QFile::copy(source.filePath(u"packaging/TarvoInfo.dat"_s), dat);
    QFile(sqlite).open(QIODevice::WriteOnly);
    const SqlSettings settings{u"Provider=SQLite;Data Source="_s + sqlite, u"TarvoInfo"_s, {}, {}, {}};
    if (!createDemoDatabase(source.filePath(u"packaging/schema-sqlite.sql"_s), settings))
        return 1;

    QuietFrontEnd frontEnd;
    PageDialogs dialogs(frontEnd);
    bool ok = true;
    Func6Page page6(dialogs, [settings] { return settings; });
    page6.resize(1180, 720);
    page6.setTableLabel(settings.table);
    page6.agentSettings()->openFile(ini);
    page6.definitions()->openFile(dat);
    page6.findChild<QAbstractButton *>(u"cmdFunc6Field_0"_s)->click();
    // The database steps answer through the event loop.
    auto *columns = page6.findChild<QTreeWidget *>(u"lvwFunc6Field"_s);
    waitUntil([columns] { return columns->topLevelItemCount() > 0; });
    auto *tabs = page6.findChild<QTabWidget *>(u"sstabFunc6"_s);
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        ok &= save(&page6, output, u"frmTarvoControl-6-%1.png"_s.arg(tab));
    }

    Func7Page page7(dialogs, [settings] { return settings; });
    page7.resize(900, 600);
    page7.setTableLabel(settings.table);
    page7.findChild<QAbstractButton *>(u"cmdFunc7_0"_s)->click();
    auto *fields = page7.findChild<QListWidget *>(u"lvwFunc7Field"_s);
    waitUntil([fields] { return fields->count() > 0; });
    for (const QString &name : {u"SysComputerName"_s, u"SysOS"_s, u"SysIPAddress"_s, u"LibcVersion"_s}) {
        if (const auto found = fields->findItems(name, Qt::MatchExactly); !found.isEmpty())
            found.constFirst()->setCheckState(Qt::Checked);
    }
    page7.findChild<QLineEdit *>(u"txtFunc7Where"_s)->setText(u"SysOS LIKE 'Debian%'"_s);
    ok &= save(&page7, output, u"frmTarvoControl-7.png"_s);

    frmTiming timing(dialogs, {u"曜日指定"_s, u"MON,TUE,WED,THU,FRI"_s, u"起動時刻 12:00"_s});
    ok &= save(&timing, output, u"frmTiming.png"_s);

    frmDatabase database(dialogs, settings, page7.queryText());
    waitUntil([&database] { return !database.isBusy(); });
    ok &= save(&database, output, u"frmDatabase.png"_s);
    return ok ? 0 : 1;
}
