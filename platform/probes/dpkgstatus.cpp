#include "platform/probes/dpkgstatus.h"

#include <QFile>

namespace {

struct Stanza
{
    QByteArrayView package;
    QByteArrayView version;
    bool installed = false;
};

bool isInstalled(QByteArrayView status)
{
    // "want flag state", e.g. "install ok installed"; "hold ok installed" counts as well.
    const qsizetype space = status.lastIndexOf(' ');
    return status.sliced(space + 1) == "installed";
}

void finish(Stanza &stanza, QHash<QByteArray, QByteArray> &packages)
{
    if (stanza.installed && !stanza.package.isEmpty() && !packages.contains(stanza.package.toByteArray()))
        packages.insert(stanza.package.toByteArray(), stanza.version.toByteArray());
    stanza = {};
}

} // namespace

QHash<QByteArray, QByteArray> DpkgStatus::parseInstalled(QByteArrayView text)
{
    QHash<QByteArray, QByteArray> packages;
    Stanza stanza;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArrayView line = text.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty()) {
            finish(stanza, packages);
        } else if (line.startsWith("Package:")) {
            stanza.package = line.sliced(8).trimmed();
        } else if (line.startsWith("Status:")) {
            stanza.installed = isInstalled(line.sliced(7).trimmed());
        } else if (line.startsWith("Version:")) {
            stanza.version = line.sliced(8).trimmed();
        }
        start = end + 1;
    }
    finish(stanza, packages);
    return packages;
}

QHash<QByteArray, QByteArray> DpkgStatus::readInstalled(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parseInstalled(file.readAll());
}
