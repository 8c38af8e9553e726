#include "updater/tarvoutil.h"

#include <QCoreApplication>

namespace {

// Tests shorten the 30 seconds through TARVO_UPDATER_LIMIT_MS so that an agent that does not
// end can be tested quickly; the agent never sets it.
int limitMs()
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("TARVO_UPDATER_LIMIT_MS", &ok);
    return ok && value > 0 ? value : TarvoUtil::DefaultLimitMs;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TarvoUtil updater(QCoreApplication::applicationDirPath(), limitMs());
    return updater.run(QCoreApplication::arguments().mid(1));
}
