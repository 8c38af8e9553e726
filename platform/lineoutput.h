#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>

/// Lines for a descriptor that must never hold the program up, such as standard output when it
/// is a pipe nobody reads. The lines of one event-loop pass go out in one write; what the
/// descriptor cannot take at once is dropped, and the first drop is said once, by `notice` on
/// `noticeFd` (which is written the same way).
class LineOutput : public QObject
{
    Q_OBJECT
public:
    static constexpr int StandardOutput = 1;
    static constexpr int StandardError = 2;

    LineOutput(int fd, int noticeFd, QByteArray notice, QObject *parent = nullptr);
    /// Writes what is still pending.
    ~LineOutput() override;

    /// Queues `line` (without its line end) for the write at the end of this pass.
    void addLine(QByteArrayView line);
    /// Writes the queued lines now.
    void flush();
    /// Bytes given up since the start because the descriptor was full.
    qint64 droppedBytes() const { return m_dropped; }

private:
    void reportDrop();

    int m_fd = -1;        // a descriptor of our own that never blocks
    int m_noticeFd = -1;  // likewise, for the one notice
    bool m_isSocket = false;
    bool m_noticeIsSocket = false;
    QByteArray m_notice;
    QByteArray m_pending;
    bool m_flushQueued = false;
    bool m_midLine = false; // the last write cut a line: start the next one on a fresh line
    qint64 m_dropped = 0;
};
