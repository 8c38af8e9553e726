#include "signing/updatesignature.h"

#include "common/agentinikeys.h"
#include "common/codepage.h"
#include "common/profilefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 ChunkBytes = 1 << 20;

} // namespace

namespace UpdateSignature {

QString signatureOf(const QString &file)
{
    return file + u".minisig"_s;
}

QString keyFilePath(const QString &folder, const QString &setting)
{
    return QDir(folder).filePath(setting);
}

QString keyFileSetting(const QString &iniPath)
{
    ProfileFile ini(iniPath);
    if (!ini.load())
        return {};
    return CodePage::fromAnsi(ini.value(AgentIni::AgentSection, AgentIni::AgentKey::UpdateKeyFile,
                                        std::numeric_limits<int>::max()))
        .trimmed();
}

bool keysReadable(const QString &keyFile)
{
    const auto text = readMinisignFile(keyFile);
    return text && Minisign::parsePublicKeys(*text);
}

SignedFileCheck::Files updateFiles(const QString &folder, const QString &keySetting,
                                   const QString &program, const QString &newProgram)
{
    const QDir dir(folder);
    return {keyFilePath(folder, keySetting), signatureOf(dir.filePath(newProgram)),
            signatureOf(dir.filePath(program)), QFileInfo(program).fileName()};
}

std::optional<SignatureRefusal> checkFile(const QString &path, const SignedFileCheck::Files &files)
{
    auto begun = SignedFileCheck::begin(files);
    if (auto *refusal = std::get_if<SignatureRefusal>(&begun))
        return *refusal;
    auto &check = std::get<SignedFileCheck>(begun);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return SignatureRefusal::FileUnreadable;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(ChunkBytes);
        if (chunk.isEmpty() && file.error() != QFileDevice::NoError)
            return SignatureRefusal::FileUnreadable;
        check.add(chunk);
    }
    return check.finish();
}

} // namespace UpdateSignature
