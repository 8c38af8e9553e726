#include "platform/processes.h"

#include "platform/linux/spawn.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Processes {
namespace {

// Upper bound on the wait after SIGKILL: the kernel ends a killed process at once unless it is
// stuck in uninterruptible I/O.
constexpr int KillWaitMs = 5000;

// Debian 12's <sys/pidfd.h> lacks C linkage for C++, so the system calls are made directly.
int openPidfd(qint64 pid)
{
    return int(::syscall(SYS_pidfd_open, pid_t(pid), 0U));
}

int killThroughPidfd(int fd)
{
    return int(::syscall(SYS_pidfd_send_signal, fd, SIGKILL, nullptr, 0U));
}

bool readableNow(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    int n;
    while ((n = ::poll(&entry, 1, 0)) < 0 && errno == EINTR) {
    }
    return n > 0;
}

// Waits on the event loop (the caller keeps serving its events) until `fd` is readable or
// `timeoutMs` passes. True when readable.
bool waitReadable(int fd, int timeoutMs)
{
    if (readableNow(fd))
        return true;
    if (timeoutMs <= 0)
        return false;
    QEventLoop loop;
    bool readable = false;
    QSocketNotifier notifier(qintptr(fd), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        readable = true;
        loop.quit();
    });
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    loop.exec();
    notifier.setEnabled(false);
    return readable;
}

bool gone(qint64 pid)
{
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

// Without pidfd (Linux before 5.3) there is no event for another process's end: look once now
// and once when the time is up, never in a loop.
bool waitForExitWithoutPidfd(qint64 pid, int timeoutMs)
{
    if (gone(pid) || timeoutMs <= 0)
        return gone(pid);
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return gone(pid);
}

// The ready pipe's verdict: '1' ready, end of file without it failed (the program ended or
// never ran), nothing yet: keep waiting.
enum class PipeState { Waiting, Ready, Closed };

PipeState readReady(int fd)
{
    char buffer[16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno == EAGAIN ? PipeState::Waiting : PipeState::Closed;
        if (n == 0)
            return PipeState::Closed;
        if (QByteArrayView(buffer, n).contains('1'))
            return PipeState::Ready;
    }
}

ReadyResult waitForReady(int fd, int timeoutMs)
{
    QEventLoop loop;
    ReadyResult result = ReadyResult::TimedOut;
    QSocketNotifier notifier(qintptr(fd), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        const PipeState state = readReady(fd);
        if (state == PipeState::Waiting)
            return;
        result = state == PipeState::Ready ? ReadyResult::Ready : ReadyResult::FailedToStart;
        notifier.setEnabled(false);
        loop.quit();
    });
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(qMax(0, timeoutMs));
    loop.exec();
    notifier.setEnabled(false);
    return result;
}

} // namespace

bool launchDetached(const QString &program, const QStringList &arguments,
                    const QString &workingFolder, qint64 *pid)
{
    if (program.isEmpty())
        return false;
    const auto plan = ProcessSpawn::makePlan(program, arguments, workingFolder, false);
    const pid_t started = ProcessSpawn::spawn(plan, -1);
    if (started <= 0)
        return false;
    if (pid)
        *pid = started;
    return true;
}

ReadyResult launchAndWaitReady(const QString &program, const QStringList &arguments,
                               const QString &workingFolder, int timeoutMs, qint64 *pid)
{
    if (program.isEmpty())
        return ReadyResult::FailedToStart;
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC | O_NONBLOCK) != 0)
        return ReadyResult::FailedToStart;
    const auto plan = ProcessSpawn::makePlan(program, arguments, workingFolder, true);
    const pid_t started = ProcessSpawn::spawn(plan, ready[1]);
    // Only the program may hold the write end: its end (or exec failure) then reads as EOF.
    ::close(ready[1]);
    if (started <= 0) {
        ::close(ready[0]);
        return ReadyResult::FailedToStart;
    }
    if (pid)
        *pid = started;
    const ReadyResult result = waitForReady(ready[0], timeoutMs);
    ::close(ready[0]);
    return result;
}

void signalReady()
{
    const QByteArray value = qgetenv(ProcessSpawn::ReadyFdVariable);
    // Once only, and never passed on to the programs this one starts.
    qunsetenv(ProcessSpawn::ReadyFdVariable);
    bool ok = false;
    const int fd = value.toInt(&ok);
    struct stat info = {};
    if (!ok || fd < 0 || ::fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode))
        return;
    while (::write(fd, "1", 1) < 0 && errno == EINTR) {
    }
    ::close(fd);
}

bool waitForExit(qint64 pid, int timeoutMs)
{
    if (pid <= 0)
        return true;
    const int fd = openPidfd(pid);
    if (fd < 0) {
        if (errno == ESRCH)
            return true;
        return waitForExitWithoutPidfd(pid, timeoutMs);
    }
    // A pidfd becomes readable when the process has ended.
    const bool ended = waitReadable(fd, timeoutMs);
    ::close(fd);
    return ended;
}

bool isRunning(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

bool terminate(qint64 pid)
{
    if (pid <= 0)
        return true;
    const int fd = openPidfd(pid);
    if (fd < 0) {
        if (errno == ESRCH)
            return true;
        if (::kill(pid_t(pid), SIGKILL) != 0 && errno != ESRCH)
            return false;
        return waitForExitWithoutPidfd(pid, KillWaitMs);
    }
    // Signalling through the pidfd cannot hit another process that reused the id.
    if (killThroughPidfd(fd) != 0 && errno != ESRCH) {
        ::close(fd);
        return false;
    }
    const bool ended = waitReadable(fd, KillWaitMs);
    ::close(fd);
    return ended;
}

} // namespace Processes
