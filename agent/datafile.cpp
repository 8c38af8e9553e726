#include "agent/datafile.h"

#include "agent/keyfile.h"
#include "common/codepage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace DataFile {

std::optional<QString> resolveInside(const QString &folder, const QString &name)
{
    // The agent serves its own folder only: no absolute names, no way up, no link leading out.
    if (name.isEmpty() || QDir::isAbsolutePath(name) || name.startsWith(u'\\'))
        return std::nullopt;
    const QStringList parts = QString(name).replace(u'\\', u'/').split(u'/');
    if (parts.contains(u".."_s))
        return std::nullopt;
    const QString root = QFileInfo(folder).canonicalFilePath();
    const QString target = QFileInfo(root + u'/' + parts.join(u'/')).canonicalFilePath();
    if (root.isEmpty() || target.isEmpty() || !target.startsWith(root + u'/'))
        return std::nullopt;
    return target;
}

std::optional<QByteArray> read(const QString &folder, const QByteArray &payload,
                               const QString &keyFile)
{
    const qsizetype end = payload.indexOf("\r\n");
    if (end < 0)
        return std::nullopt;
    if (end == 0)
        return QByteArray();
    const auto path = resolveInside(folder, CodePage::fromAnsi(payload.left(end)));
    if (!path || KeyFile::isKeyFile(*path, keyFile))
        return std::nullopt;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;

    // Lines end at CR LF, LF or CR; each goes out followed by CR LF.
    QByteArray content;
    content.reserve(bytes.size() + bytes.size() / 16);
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    while (start < size) {
        qsizetype stop = start;
        while (stop < size && bytes[stop] != '\n' && bytes[stop] != '\r')
            ++stop;
        content.append(bytes.constData() + start, stop - start);
        content.append("\r\n");
        if (stop < size && bytes[stop] == '\r' && stop + 1 < size && bytes[stop + 1] == '\n')
            ++stop;
        start = stop + 1;
    }
    return content;
}

} // namespace DataFile
