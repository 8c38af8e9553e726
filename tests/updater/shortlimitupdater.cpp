// The updater with a wait shortened by TARVO_UPDATER_LIMIT_MS, so that the tests of an agent
// that does not end take a moment instead of the product's 30 seconds. Tests copy it into a
// program folder as TarvoUtil.
#include "updater/tarvoutil.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    bool ok = false;
    const int limit = qEnvironmentVariableIntValue("TARVO_UPDATER_LIMIT_MS", &ok);
    TarvoUtil updater(QCoreApplication::applicationDirPath(),
                      ok && limit > 0 ? limit : TarvoUtil::DefaultLimitMs);
    return updater.run(QCoreApplication::arguments().mid(1));
}
