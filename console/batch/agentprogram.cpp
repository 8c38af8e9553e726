#include "console/batch/agentprogram.h"

using namespace Qt::StringLiterals;

QString AgentProgramFileName()
{
    return u"TarvoAgent"_s;
}
