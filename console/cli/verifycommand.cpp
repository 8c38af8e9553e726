#include "console/cli/verifycommand.h"

#include "console/cli/clitext.h"
#include "signing/updatesignature.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

bool IsVerifyCommand(const QString &command)
{
    return command == u"verify";
}

int RunVerifyCommand(const CliOptions &options, std::FILE *out, std::FILE *err)
{
    if (options.arguments.size() != 2) {
        WriteCliText(err, u"wrong arguments for verify\n"_s + CliUsage());
        return CliExit::Usage;
    }
    const QString file = options.arguments.at(0);
    const SignedFileCheck::Files files{options.arguments.at(1),
                                       UpdateSignature::signatureOf(file), QString(),
                                       QFileInfo(file).fileName()};
    if (const auto refusal = UpdateSignature::checkFile(file, files)) {
        WriteCliText(err, file + u": "_s + refusalText(*refusal) + u'\n');
        return CliExit::Failed;
    }
    WriteCliText(out, file + u": 署名を確認しました！\n"_s);
    return CliExit::Ok;
}

QString VerifyCommandUsage()
{
    return u"  verify FILE KEYFILE                 check FILE.minisig with the public keys of KEYFILE\n"_s;
}
