// The collector's start and end without a pass: the same libraries loaded and the same
// application object made, then nothing. The baseline a collector pass is measured against.
#include "collector/collectionrun.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Referenced so that the collector's libraries are loaded as they are for a real pass.
    return argc > 99 ? int(sizeof(CollectionRun)) : 0;
}
