#pragma once

#include "collector/runcontext.h"
#include "platform/probes/registry.h"

#include <QString>
#include <QStringList>

class Clock;

/// One pass of the collector: probes, application items, the collection step, then the SQL,
/// mail and FTP steps as switched on in TarvoAgent.ini.
class CollectionRun
{
public:
    /// `folder` is the program folder: TarvoAgent.ini, TarvoInfo.dat and every output file lie
    /// there. `arguments` are the command-line arguments after the program name.
    CollectionRun(QString folder, QStringList arguments, const Clock &clock,
                  Registry::Sources registrySources);

    void run();

    const RunContext &context() const { return m_run; }

private:
    void collect();
    void publish();

    QStringList m_arguments;
    Registry::Sources m_registrySources;
    RunContext m_run;
};
