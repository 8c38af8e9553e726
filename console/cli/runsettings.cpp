#include "console/cli/runsettings.h"

#include "console/cli/consolecli.h"
#include "console/settings/consolesettings.h"
#include "console/connection/nametable.h"

#include <QDir>

using namespace Qt::StringLiterals;

bool LoadCliRunSettings(const CliOptions &options, const QString &folder, std::FILE *err,
                        ConsoleSettings &settings, NetworkInventory &inventory, NameTable &names)
{
    settings = LoadConsoleSettings(folder);
    if (options.port)
        settings.Port = *options.port;
    if (options.timeout)
        settings.Timeout = *options.timeout;
    if (options.maxControl)
        settings.MaxControl = *options.maxControl;
    ComputeConsoleSettingsNumbers(settings);
    if (const auto problem = CheckConsoleSettings(settings)) {
        const QByteArray text = (settings.IniFilePath + u": "_s + *problem + u'\n').toUtf8();
        std::fwrite(text.constData(), 1, size_t(text.size()), err);
        std::fflush(err);
        return false;
    }
    inventory = NetworkInventory::load(
        QDir(folder).filePath(QString::fromUtf16(NetworkInventory::FileName)));
    inventory.fill(names);
    return true;
}
