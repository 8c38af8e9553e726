#include "platform/lineoutput.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A descriptor of our own for `fd` that never blocks. A pipe or terminal is opened again through
// /proc, so that O_NONBLOCK stays off the description the collector and the shell share; a
// socket is written with MSG_DONTWAIT instead; a regular file never blocks.
int nonBlockingCopy(int fd, bool *isSocket)
{
    struct stat info = {};
    *isSocket = false;
    if (::fstat(fd, &info) != 0)
        return -1;
    if (S_ISSOCK(info.st_mode)) {
        *isSocket = true;
        return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    }
    if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) {
        const QByteArray path = "/proc/self/fd/" + QByteArray::number(fd);
        const int copy = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (copy >= 0)
            return copy;
        // Without /proc the shared description has to become non-blocking itself.
        const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (own >= 0)
            ::fcntl(own, F_SETFL, ::fcntl(own, F_GETFL) | O_NONBLOCK);
        return own;
    }
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

// One attempt: the bytes written, or 0 when the descriptor takes nothing now.
qsizetype writeOnce(int fd, bool isSocket, QByteArrayView bytes)
{
    for (;;) {
        const ssize_t written = isSocket
            ? ::send(fd, bytes.data(), size_t(bytes.size()), MSG_DONTWAIT | MSG_NOSIGNAL)
            : ::write(fd, bytes.data(), size_t(bytes.size()));
        if (written >= 0)
            return qsizetype(written);
        if (errno != EINTR)
            return 0;
    }
}

} // namespace

LineOutput::LineOutput(int fd, int noticeFd, QByteArray notice, QObject *parent)
    : QObject(parent), m_notice(std::move(notice))
{
    m_fd = nonBlockingCopy(fd, &m_isSocket);
    m_noticeFd = nonBlockingCopy(noticeFd, &m_noticeIsSocket);
    m_notice.append('\n');
}

LineOutput::~LineOutput()
{
    flush();
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_noticeFd >= 0)
        ::close(m_noticeFd);
}

void LineOutput::addLine(QByteArrayView line)
{
    m_pending.append(line.data(), line.size());
    m_pending.append('\n');
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    QMetaObject::invokeMethod(this, &LineOutput::flush, Qt::QueuedConnection);
}

void LineOutput::flush()
{
    m_flushQueued = false;
    if (m_pending.isEmpty())
        return;
    if (m_midLine)
        m_pending.prepend('\n');
    const qsizetype written = m_fd >= 0 ? writeOnce(m_fd, m_isSocket, m_pending) : 0;
    if (written == m_pending.size()) {
        m_midLine = false;
    } else {
        if (written > 0)
            m_midLine = m_pending.at(written - 1) != '\n';
        m_dropped += m_pending.size() - written;
        reportDrop();
    }
    m_pending.clear();
}

void LineOutput::reportDrop()
{
    if (m_noticeFd < 0)
        return;
    writeOnce(m_noticeFd, m_noticeIsSocket, m_notice);
    ::close(m_noticeFd);
    m_noticeFd = -1;
}
