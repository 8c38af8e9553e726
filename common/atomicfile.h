#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QFileDevice>
#include <QString>

#include <functional>
#include <optional>

/// Files replaced whole: a temporary file in the same folder is written, synced and renamed
/// over the target, so a reader never sees half a file and a crash never loses the old one.
///
/// Every program names its temporary files alike: hidden (never listed by request 300), with
/// the writer's process id in the name, so a later start can remove those a killed writer
/// left behind without touching those of a writer still at work.
namespace AtomicFile {

inline constexpr char TemporaryPrefix[] = ".tarvo-tmp-";

/// The process id in a temporary file name, or nullopt for any other name.
std::optional<qint64> writerOf(const QString &fileName);
/// Removes the temporary files of `folder` whose writer is no longer running; returns how
/// many were removed. `isRunning` tells whether a process id is alive.
int removeStale(const QString &folder, const std::function<bool(qint64)> &isRunning);

/// A replacement of one file written in steps. The temporary file is created new (never
/// through an existing name or link); commit() renames it over the target, which replaces a
/// link of that name by the file itself and never writes where the link points.
class Writer
{
public:
    explicit Writer(QString targetPath,
                    std::optional<QFileDevice::Permissions> permissions = std::nullopt);
    ~Writer(); // cancels an uncommitted replacement

    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    bool open();
    bool write(QByteArrayView data);
    /// Syncs the temporary file and renames it over the target.
    bool commit();
    /// As commit(), but only where no file of the target's name exists (as O_EXCL would): an
    /// existing file, link or dangling link is left as it is and the commit fails.
    bool commitNew();
    /// Removes the temporary file; the target stays as it was.
    void cancel();
    const QString &errorString() const { return m_error; }
    const QString &temporaryPath() const { return m_temporaryPath; }

private:
    bool fail(const QString &error);
    bool syncAndClose();

    QString m_targetPath;
    std::optional<QFileDevice::Permissions> m_permissions;
    QString m_temporaryPath;
    QFile m_file;
    QString m_error;
};

} // namespace AtomicFile

/// Replaces `path` with `data` through an AtomicFile::Writer. `permissions`, when given, are set
/// on the new file before the rename.
bool writeFileAtomically(const QString &path, QByteArrayView data, QString *error = nullptr,
                         std::optional<QFileDevice::Permissions> permissions = std::nullopt);
/// Creates `path` with `data` and `permissions` through an AtomicFile::Writer; fails, changing
/// nothing, when a file of that name exists.
bool writeNewFileAtomically(const QString &path, QByteArrayView data,
                            QFileDevice::Permissions permissions, QString *error = nullptr);
/// Copies `source` to `target` through an AtomicFile::Writer, with `permissions` and the
/// source's last-write and last-access times. `error` names the file that failed.
bool copyFileAtomically(const QString &source, const QString &target,
                        QFileDevice::Permissions permissions, QString *error = nullptr);
