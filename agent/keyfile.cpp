#include "agent/keyfile.h"

#include <QDir>
#include <QFileInfo>

namespace KeyFile {

bool isKeyFile(const QString &path, const QString &keyFile)
{
    if (keyFile.isEmpty() || path.isEmpty())
        return false;
    if (QDir::cleanPath(QFileInfo(path).absoluteFilePath()) == QDir::cleanPath(keyFile))
        return true;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(keyFile).canonicalFilePath();
}

} // namespace KeyFile
