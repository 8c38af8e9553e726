#include "collector/collectionrun.h"

#include "collector/appitemevaluation.h"
#include "collector/collectdata.h"
#include "collector/definitions/definitionfile.h"
#include "collector/ftpstep.h"
#include "collector/mailstep.h"
#include "collector/sqlstep.h"
#include "common/agentinikeys.h"
#include "common/clock.h"
#include "platform/probes/sysinfo.h"

#include <QDir>

using namespace Qt::StringLiterals;

CollectionRun::CollectionRun(QString folder, QStringList arguments, const Clock &clock,
                             Registry::Sources registrySources)
    : m_arguments(std::move(arguments)), m_registrySources(std::move(registrySources))
{
    m_run.folder = std::move(folder);
    m_run.clock = &clock;
}

void CollectionRun::run()
{
    m_run.agentSettings = ProfileFile(QDir(m_run.folder).filePath(u"TarvoAgent.ini"_s));
    m_run.agentSettings.load();
    collect();
    publish();
}

void CollectionRun::collect()
{
    CollectInput input;
    input.mode = runModeFromArguments(m_arguments);
    input.appSection = DefinitionFile::applicationSection();
    input.systemItems = SysInfo::collectSystemItems();
    input.drives = SysInfo::collectDriveRows();
    for (const SystemItem &item : std::as_const(input.systemItems)) {
        if (item.name == u"SysMACAddress")
            m_run.macText = item.value;
    }

    // One profile for the whole step and one atomic save at its end: a pass that is killed
    // leaves the file as it was.
    ProfileFile definitions(m_run.dataFile());
    // A file that exists but cannot be read is left alone: saving over it would lose it.
    const bool readable = definitions.load();
    input.appItems = LoadAppItems(definitions, input.appSection);
    const Registry registry(m_registrySources);
    EvaluateAppItems(input.appItems, registry);

    input.now = m_run.clock->now();
    if (CollectData(definitions, input, m_run.columns) && readable)
        definitions.save();
}

void CollectionRun::publish()
{
    if (m_run.setting(AgentIni::InfoKey::SqlUpdate) == u"1")
        UpdateDatabase(m_run);
    if (m_run.setting(AgentIni::InfoKey::SmtpMail) == u"1")
        SendMailStep(m_run);
    if (m_run.setting(AgentIni::InfoKey::FtpUpload) == u"1")
        UploadFtp(m_run);
}
