#include "console/frontend.h"

using namespace Qt::StringLiterals;

QString ApplicationTitle()
{
    return u"TarvoControl"_s;
}

void ShowApplicationError(ConsoleFrontEnd &frontEnd, const QString &text)
{
    frontEnd.setBusy(false);
    frontEnd.showMessage(ConsoleFrontEnd::Icon::Exclamation,
                         u"アプリケーションエラー！\r\n"_s + text);
}

void ShowWarning(ConsoleFrontEnd &frontEnd, const QString &text)
{
    frontEnd.setBusy(false);
    frontEnd.showMessage(ConsoleFrontEnd::Icon::Exclamation, text);
}

void ShowInformation(ConsoleFrontEnd &frontEnd, const QString &text)
{
    frontEnd.setBusy(false);
    frontEnd.showMessage(ConsoleFrontEnd::Icon::Information, text);
}

QStringList QtFileFilters(const QString &windowsFilter)
{
    const QStringList parts = windowsFilter.split(u'|');
    if (parts.size() < 2) // already Qt's form
        return windowsFilter.split(u";;"_s, Qt::SkipEmptyParts);
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append(parts.at(i).split(u'(').first().trimmed() + u" ("_s + parts.at(i + 1) + u')');
    return filters;
}

QString SuffixOfFilter(const QString &qtFilter)
{
    const qsizetype open = qtFilter.indexOf(u'(');
    QString patterns = open < 0 ? qtFilter : qtFilter.mid(open + 1);
    if (patterns.endsWith(u')'))
        patterns.chop(1);
    const QString first = patterns.split(u' ', Qt::SkipEmptyParts).value(0).trimmed();
    if (!first.startsWith(u"*."_s))
        return {};
    const QString suffix = first.mid(2);
    return suffix.contains(u'*') || suffix.contains(u'?') ? QString() : suffix;
}
