// Renders the agent's window and settings dialogs to PNG files named after their objectNames,
// for review without a display:  tarvo_agent_screenshots <output folder>
#include "agent/agentcore.h"
#include "agent/agentsettings.h"
#include "agent/launcher.h"
#include "agent/ui/agentface.h"
#include "agent/ui/frmagentsetting.h"
#include "agent/ui/frmsettingftp.h"
#include "agent/ui/frmsettingmail.h"
#include "agent/ui/frmsettingsql.h"
#include "common/clock.h"
#include "platform/singleinstance.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QString Title = u"TarvoAgent"_s;

// The shipped settings with the publishing steps switched on, so that every control shows.
const QByteArray SampleIni =
    "[TarvoAgent]\r\nPort=7710\r\nTimeOut=60\r\nStatusLog=1000\r\nAutoStart=0\r\nAutoExit=0\r\n"
    "TimeStart=WEEK,12:00,MON,TUE,WED,THU,FRI\r\nExeFile=TarvoInfo\r\nDebugMode=1\r\n"
    "ListenAddress=127.0.0.1\r\n"
    "[TarvoInfo]\r\nSQLUpdate=1\r\nSmtpMail=1\r\nFtpUpload=0\r\n"
    "SqlConnection=Provider=SQLOLEDB;Data Source=dbserver;Initial Catalog=Tarvo\r\n"
    "SqlTable=TarvoInfo\r\nSqlUserid=tarvo\r\nSqlPassword=secret\r\n"
    "SmtpServer=mail.example.jp\r\nSmtpPort=25\r\nFrom=tarvo@example.jp\r\n"
    "To=admin@example.jp;helpdesk@example.jp\r\nSubject=TarvoInfo\r\n"
    "FtpAddress=ftp.example.jp\r\nFtpPort=21\r\nFtpDirectory=/tarvo\r\nFtpUser=tarvo\r\n"
    "FtpPassword=secret\r\nFtpProxy=proxy.example.jp:8080\r\nFtpPassive=1\r\nFtpType=2\r\n"_ba;

bool save(QWidget &widget, const QString &folder, const QString &suffix = {})
{
    widget.show();
    QApplication::processEvents();
    const QString path = folder + u'/' + widget.objectName() + suffix + u".png"_s;
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    widget.hide();
    return saved;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString output = app.arguments().value(1, u"build/screenshots/agent"_s);
    QTemporaryDir program;
    const QString ini = program.filePath(u"TarvoAgent.ini"_s);
    QFile file(ini);
    if (!QDir().mkpath(output) || !file.open(QIODevice::WriteOnly) || file.write(SampleIni) < 0)
        return 1;
    file.close();
    auto settings = LoadAgentSettings(ini);
    if (!settings)
        return 1;
    QTcpServer probe; // a free loopback port, so that the picture shows a listening agent
    probe.listen(QHostAddress::LocalHost, 0);
    settings->Port = probe.serverPort();
    probe.close();

    Clock clock;
    SystemLauncher launcher(program.path());
    AgentCore core(*settings, program.path(), Title, clock, launcher);
    SingleInstance instance(Title, program.path());
    instance.acquire();
    AgentWindowFace face(core, instance, clock, Title, ini, [] { return false; });
    core.startUp();
    core.Stop();
    core.Start();
    bool ok = save(face.window(), output, u"-started"_s);
    core.Stop();
    ok = save(face.window(), output, u"-stopped"_s) && ok;

    frmAgentSetting setting(ini, Title);
    frmSettingMail mail(ini, Title);
    frmSettingFtp ftp(ini, Title);
    frmSettingSql sql(ini, Title);
    for (QWidget *dialog : std::initializer_list<QWidget *>{&setting, &mail, &ftp, &sql})
        ok = save(*dialog, output) && ok;
    core.Exit();
    return ok ? 0 : 1;
}
