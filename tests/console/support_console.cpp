#include "support_console.h"

ConsoleSettings testSettings(quint16 port, int timeoutSeconds, int maxControl)
{
    ConsoleSettings settings;
    settings.Port = QString::number(port);
    settings.Timeout = QString::number(timeoutSeconds);
    settings.MaxControl = QString::number(maxControl);
    ComputeConsoleSettingsNumbers(settings);
    return settings;
}
