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
