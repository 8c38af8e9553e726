#include "common/atomicfile.h"

#include <QSaveFile>

bool writeFileAtomically(const QString &path, QByteArrayView data, QString *error,
                         std::optional<QFileDevice::Permissions> permissions)
{
    // QSaveFile writes a temporary file beside the target, syncs it to disk and renames it over
    // the target on commit; on any failure the temporary file is removed and the target kept.
    QSaveFile file(path);
    auto fail = [&] {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    if (permissions && !file.setPermissions(*permissions))
        return fail();
    if (file.write(data.data(), data.size()) != data.size())
        return fail();
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
