#include "agent/distribution.h"

#include "agent/keyfile.h"
#include "common/atomicfile.h"
#include "common/formats.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace Distribution {

bool isBareName(const QString &name)
{
    return !name.isEmpty() && name != u"."_s && name != u".."_s && !name.contains(u'/')
        && !name.contains(u'\\');
}

std::variant<Target, Result> plan(const QString &folder, const QString &programName,
                                  const Frame::FileHeader &header, const QString &guarded)
{
    if (!isBareName(header.name))
        return Result::BadName;
    const auto lastWritten = Formats::parseDateTime(header.lastWritten);
    const auto lastAccessed = Formats::parseDateTime(header.lastAccessed);
    if (!Formats::parseDateTime(header.created) || !lastWritten || !lastAccessed)
        return Result::Failed;

    Target target;
    target.ownProgram = header.name.compare(programName, Qt::CaseInsensitive) == 0;
    // The signature of a new program lies beside it as "<program>.new.minisig": the name
    // "<program>.minisig" is the accepted signature of the running program, which only the
    // updater writes, so a console can never lower the bar against replays.
    const bool programSignature =
        header.name.compare(programName + u".minisig"_s, Qt::CaseInsensitive) == 0;
    QString stored = header.name;
    if (target.ownProgram)
        stored = programName + u".new"_s;
    else if (programSignature)
        stored = programName + u".new.minisig"_s;
    target.path = folder + u'/' + stored;
    if (KeyFile::isKeyFile(target.path, guarded))
        return Result::KeyFile;
    if (target.ownProgram) {
        target.permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner
            | QFileDevice::ExeOwner | QFileDevice::ReadGroup | QFileDevice::ExeGroup
            | QFileDevice::ReadOther | QFileDevice::ExeOther;
    }
    target.lastWritten = *lastWritten;
    target.lastAccessed = *lastAccessed;
    return target;
}

Result finish(const Target &target)
{
    // Linux keeps no settable creation time; last write and last access are set.
    QFile file(target.path);
    if (file.open(QIODevice::ReadWrite)) {
        file.setFileTime(target.lastWritten, QFileDevice::FileModificationTime);
        file.setFileTime(target.lastAccessed, QFileDevice::FileAccessTime);
    }
    return target.ownProgram ? Result::StoredAgentProgram : Result::Stored;
}

Result store(const QString &folder, const QString &programName, const QByteArray &payload,
             const QString &guarded)
{
    QByteArrayView data;
    const auto header = Frame::decodeFileHeader(payload, &data);
    if (!header)
        return Result::Failed;
    const auto planned = plan(folder, programName, *header, guarded);
    if (const Result *refusal = std::get_if<Result>(&planned))
        return *refusal;
    const Target &target = std::get<Target>(planned);
    if (!writeFileAtomically(target.path, data, nullptr, target.permissions))
        return Result::Failed;
    return finish(target);
}

} // namespace Distribution
