#include "agent/distribution.h"

#include "common/atomicfile.h"
#include "common/formats.h"
#include "net/frame.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace Distribution {

bool isBareName(const QString &name)
{
    return !name.isEmpty() && name != u"."_s && name != u".."_s && !name.contains(u'/')
        && !name.contains(u'\\');
}

Result store(const QString &folder, const QString &programName, const QByteArray &payload)
{
    QByteArrayView data;
    const auto header = Frame::decodeFileHeader(payload, &data);
    if (!header)
        return Result::Failed;
    if (!isBareName(header->name))
        return Result::BadName;
    // The times are checked before anything is written: a refused distribution leaves no file.
    const auto lastWritten = Formats::parseDateTime(header->lastWritten);
    const auto lastAccessed = Formats::parseDateTime(header->lastAccessed);
    if (!Formats::parseDateTime(header->created) || !lastWritten || !lastAccessed)
        return Result::Failed;

    const bool ownProgram = header->name.compare(programName, Qt::CaseInsensitive) == 0;
    const QString path = folder + u'/' + (ownProgram ? programName + u".new"_s : header->name);
    std::optional<QFileDevice::Permissions> permissions;
    if (ownProgram) {
        permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
            | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
            | QFileDevice::ExeOther;
    }
    if (!writeFileAtomically(path, data, nullptr, permissions))
        return Result::Failed;

    // Linux keeps no settable creation time; last write and last access are set.
    QFile file(path);
    if (file.open(QIODevice::ReadWrite)) {
        file.setFileTime(*lastWritten, QFileDevice::FileModificationTime);
        file.setFileTime(*lastAccessed, QFileDevice::FileAccessTime);
    }
    return ownProgram ? Result::StoredAgentProgram : Result::Stored;
}

} // namespace Distribution
