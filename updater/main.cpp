#include "updater/tarvoutil.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TarvoUtil updater(QCoreApplication::applicationDirPath(), TarvoUtil::DefaultLimitMs);
    return updater.run(QCoreApplication::arguments().mid(1));
}
