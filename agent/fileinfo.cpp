#include "agent/fileinfo.h"

#include "agent/fileversion.h"
#include "agent/keyfile.h"
#include "common/codepage.h"
#include "common/formats.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace FileInfo {

QByteArray fileLine(const QString &folder, const QString &name)
{
    const QString path = folder + u'/' + name;
    QString size = u"-"_s;
    QString lastWritten = u"-"_s;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        // The size field holds the low 32 bits of the size as a signed number.
        size = Formats::thousands(qint32(quint32(file.size() & 0xFFFFFFFF)));
        lastWritten = Formats::dateTime(file.fileTime(QFileDevice::FileModificationTime));
        file.close();
    }
    const auto version = readFileVersion(path);
    const QString fileVersion = version ? version->file : u"-"_s;
    const QString productVersion = version ? version->product : u"-"_s;
    const QString line = name + u';' + size + u';' + lastWritten + u';' + fileVersion + u';'
        + productVersion;
    return CodePage::toAnsi(line);
}

std::optional<QByteArray> listFolder(const QString &folder, const QString &keyFile)
{
    QDir dir(folder);
    if (!dir.exists())
        return std::nullopt;
    const QStringList names =
        dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    QByteArray body;
    for (const QString &name : names) {
        if (!KeyFile::isKeyFile(dir.filePath(name), keyFile))
            body += fileLine(folder, name) + "\r\n";
    }
    return body;
}

} // namespace FileInfo
