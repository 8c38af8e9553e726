#include "platform/probes/printer.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace SysProbe {

namespace {

QList<QByteArray> lines(QByteArrayView text)
{
    return QByteArray(text.data(), text.size()).split('\n');
}

} // namespace

QString parseLpoptionsDefault(QByteArrayView lpoptions)
{
    QString destination;
    for (const QByteArray &raw : lines(lpoptions)) {
        const QList<QByteArray> words = raw.simplified().split(' ');
        if (words.size() >= 2 && words[0].compare("Default", Qt::CaseInsensitive) == 0)
            destination = QString::fromUtf8(words[1]);
    }
    return destination;
}

QString parsePrintersConfDefault(QByteArrayView printersConf)
{
    for (const QByteArray &raw : lines(printersConf)) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith("<DefaultPrinter ") && line.endsWith('>'))
            return QString::fromUtf8(line.mid(16, line.size() - 17).trimmed());
    }
    return {};
}

void probeDefaultPrinter(ItemTexts &items)
{
    // The order CUPS itself consults: the user's choice, the system-wide choice, the server's.
    QString name = parseLpoptionsDefault(readSmallFile(QDir::homePath() + u"/.cups/lpoptions"_s));
    if (name.isEmpty())
        name = parseLpoptionsDefault(readSmallFile(u"/etc/cups/lpoptions"_s));
    if (name.isEmpty())
        name = parsePrintersConfDefault(readSmallFile(u"/etc/cups/printers.conf"_s));
    items[u"SysDefaultPrinter"_s] = name;
}

} // namespace SysProbe
