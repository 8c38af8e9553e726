#pragma once

#include <QByteArray>
#include <QString>

#include <future>

/// The FTP step's copy of TarvoInfo.dat to `<MAC>.DAT`, made beside the transfer. The bytes are
/// read at once (they are what goes out); writing them and making them durable (sync and rename,
/// the slow part on a busy disk) run on a thread of their own while the connection is made and
/// the file is sent.
class DataFileCopy
{
public:
    DataFileCopy() = default;
    ~DataFileCopy(); // waits for the thread: the copy is never left half done
    DataFileCopy(const DataFileCopy &) = delete;
    DataFileCopy &operator=(const DataFileCopy &) = delete;

    /// Reads `source` and starts writing `target`; false when the source cannot be read.
    bool start(const QString &source, const QString &target);
    /// The bytes read, as the copy holds them.
    const QByteArray &bytes() const { return m_bytes; }
    /// Waits until the bytes are in the temporary file; false when that failed (a full disk, no
    /// right to write the folder), so that nothing of a failed copy goes out.
    bool written();
    /// Waits until the copy has replaced the target.
    bool committed();

private:
    QByteArray m_bytes;
    std::future<bool> m_written;
    std::future<bool> m_committed;
};
