#include "console/cli/keygencommand.h"

#include "console/cli/clitext.h"
#include "net/pskkeyfile.h"

#include <QSysInfo>

using namespace Qt::StringLiterals;

bool IsKeygenCommand(const QString &command)
{
    return command == u"keygen";
}

QString KeygenUsage()
{
    return u"  keygen FILE [IDENTITY]              a new key file for TlsConnect=psk / TlsAccept\n"
           "                                      (IDENTITY: the host name unless given)\n"_s;
}

int RunKeygenCommand(const CliOptions &options, std::FILE *out, std::FILE *err)
{
    const QStringList &arguments = options.arguments;
    if (arguments.isEmpty() || arguments.size() > 2 || arguments.first().isEmpty()) {
        WriteCliText(err, u"wrong arguments for keygen\n"_s + KeygenUsage());
        return CliExit::Usage;
    }
    const QString path = arguments.first();
    const QString identity = arguments.size() > 1 ? arguments.at(1) : QSysInfo::machineHostName();
    QString error;
    if (!PskKeyFile::create(path, identity.toUtf8(), &error)) {
        WriteCliText(err, path + u": no key written: "_s + error + u'\n');
        return CliExit::Failed;
    }
    WriteCliText(out, path + u": key of "_s + identity + u" written (mode 0600)\n"_s);
    return CliExit::Ok;
}
