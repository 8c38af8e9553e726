#include "common/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QString executablePath()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    // Before (or without) an application object the kernel still knows our executable.
    return QFileInfo(u"/proc/self/exe"_s).canonicalFilePath();
}

} // namespace

namespace ProgramFolder {

QString path()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(executablePath()).absolutePath();
}

QString file(const QString &name)
{
    return QDir(path()).filePath(name);
}

QString programName()
{
    return QFileInfo(executablePath()).fileName();
}

} // namespace ProgramFolder
