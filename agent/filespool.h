#pragma once

#include "agent/distribution.h"
#include "net/frame.h"

#include "common/atomicfile.h"

#include <QByteArray>

#include <memory>

/// A large file request received straight into the temporary file of its target instead of
/// memory: the agent holds only the headers, and the disk writes overlap the transfer. The
/// file is renamed into place only when the whole frame has arrived and been written.
class FileSpool
{
public:
    /// Files below this size are received in memory and stored whole.
    static constexpr quint32 MinimumFrameBytes = 1024 * 1024;

    /// A spool for the frame whose first bytes are `held`, or nullptr when the frame is no
    /// file request, is small, or its sub-header has not fully arrived yet. `guarded`: the
    /// file no request may replace (Distribution::plan).
    static std::unique_ptr<FileSpool> begin(const QString &folder, const QString &programName,
                                            QByteArrayView held, quint32 declaredLength,
                                            const QString &guarded);

    /// Takes the next bytes of the file. After a refusal or a failed write the bytes are
    /// only counted, so that the frame is still read to its end.
    void write(QByteArrayView bytes);
    qint64 remaining() const { return m_remaining; }
    /// The request as the handlers see it: its code and the sub-header as payload.
    const Frame::Message &message() const { return m_message; }
    /// Puts the file in place and sets its times (once the frame is complete).
    Distribution::Result finish();

private:
    FileSpool() = default;

    Frame::Message m_message;
    qint64 m_remaining = 0;
    std::optional<Distribution::Result> m_refusal;
    std::optional<Distribution::Target> m_target;
    std::unique_ptr<AtomicFile::Writer> m_file;
};
