#include "collector/collectionrun.h"
#include "common/clock.h"
#include "common/programfolder.h"

#include <QCoreApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString folder = ProgramFolder::path();
    // Every relative file name of the pass lies in the program folder.
    QDir::setCurrent(folder);
    const Clock clock;
    CollectionRun run(folder, app.arguments().mid(1), clock, Registry::defaultSources(folder));
    run.run();
    return 0;
}
