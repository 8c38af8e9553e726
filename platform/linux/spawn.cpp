#include "platform/linux/spawn.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <csignal>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace ProcessSpawn {
namespace {

// What the intermediate child and the program report back on the status pipe. Both write to
// the same pipe in an order nobody controls, so every message says what it is.
struct Report
{
    char kind; // 'P': the program's pid, 'E': errno of a failed step before exec
    int value;
};

void writeReport(int fd, char kind, int value)
{
    const Report report{kind, value};
    while (::write(fd, &report, sizeof report) < 0 && errno == EINTR) {
    }
}

[[noreturn]] void failChild(int reportFd, int error)
{
    writeReport(reportFd, 'E', error);
    ::_exit(127);
}

void closeFrom(int first, int keep)
{
    // close_range is missing before Linux 5.9: close one by one up to the descriptor limit.
    auto closeRange = [](int low, int high) {
        if (low > high)
            return;
        if (::close_range(unsigned(low), unsigned(high), 0) == 0)
            return;
        rlimit limit{};
        const int last = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536
                             ? int(limit.rlim_cur) - 1 : 65535;
        for (int fd = low; fd <= high && fd <= last; ++fd)
            ::close(fd);
    };
    closeRange(first, keep - 1);
    closeRange(keep + 1, INT_MAX);
}

// Runs in the grandchild: only async-signal-safe calls from here on.
[[noreturn]] void execProgram(const Plan &plan, char *const argv[], char *const envp[],
                              int reportFd, int readyFd)
{
    // Move the status pipe above 3 so that the ready descriptor can take number 3.
    const int report = ::fcntl(reportFd, F_DUPFD_CLOEXEC, ChildReadyFd + 1);
    if (report < 0)
        failChild(reportFd, errno);
    int firstToClose = ChildReadyFd;
    if (readyFd >= 0) {
        if (readyFd == ChildReadyFd) {
            ::fcntl(ChildReadyFd, F_SETFD, 0);
        } else if (::dup2(readyFd, ChildReadyFd) < 0) {
            failChild(report, errno);
        }
        firstToClose = ChildReadyFd + 1;
    }
    // Our sockets, the lock file and anything else open stay with us, not with the program.
    closeFrom(firstToClose, report);

    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    for (int sig : {SIGPIPE, SIGCHLD, SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &standard, nullptr);

    if (!plan.folder.isEmpty() && ::chdir(plan.folder.constData()) != 0)
        failChild(report, errno);
    ::execve(plan.path.constData(), argv, envp);
    failChild(report, errno);
}

std::vector<char *> pointers(const QList<QByteArray> &list)
{
    std::vector<char *> result;
    result.reserve(size_t(list.size()) + 1);
    for (const QByteArray &item : list)
        result.push_back(const_cast<char *>(item.constData()));
    result.push_back(nullptr);
    return result;
}

// Reads the reports until every writer has gone (the program exec'd or died).
pid_t collectReports(int fd)
{
    pid_t pid = -1;
    int error = 0;
    Report report{};
    for (;;) {
        const ssize_t n = ::read(fd, &report, sizeof report);
        if (n < 0 && errno == EINTR)
            continue;
        if (n != ssize_t(sizeof report))
            break;
        if (report.kind == 'P')
            pid = report.value;
        else if (report.kind == 'E')
            error = report.value;
    }
    if (error != 0 || pid <= 0) {
        errno = error != 0 ? error : ECHILD;
        return -1;
    }
    return pid;
}

} // namespace

Plan makePlan(const QString &program, const QStringList &arguments,
              const QString &workingFolder, bool withReadyFd)
{
    const QDir folder(workingFolder.isEmpty() ? QDir::currentPath() : workingFolder);
    Plan plan;
    plan.path = QFile::encodeName(QDir::cleanPath(folder.absoluteFilePath(program)));
    plan.folder = QFile::encodeName(folder.absolutePath());
    plan.arguments.append(plan.path);
    for (const QString &argument : arguments)
        plan.arguments.append(argument.toLocal8Bit());

    const QByteArray readyPrefix = QByteArray(ReadyFdVariable) + '=';
    for (char **entry = environ; entry && *entry; ++entry) {
        if (!QByteArrayView(*entry).startsWith(readyPrefix))
            plan.environment.append(QByteArray(*entry));
    }
    if (withReadyFd)
        plan.environment.append(readyPrefix + QByteArray::number(ChildReadyFd));
    return plan;
}

pid_t spawn(const Plan &plan, int readyFd)
{
    if (plan.path.isEmpty()) {
        errno = ENOENT;
        return -1;
    }
    const std::vector<char *> argv = pointers(plan.arguments);
    const std::vector<char *> envp = pointers(plan.environment);

    int status[2];
    if (::pipe2(status, O_CLOEXEC) != 0)
        return -1;

    const pid_t child = ::fork();
    if (child < 0) {
        ::close(status[0]);
        ::close(status[1]);
        return -1;
    }
    if (child == 0) {
        // The intermediate child: a new session, then the program as its child, then gone,
        // so the program is adopted by init (or the nearest subreaper) and reaped there.
        ::close(status[0]);
        ::setsid();
        const pid_t program = ::fork();
        if (program == 0)
            execProgram(plan, argv.data(), envp.data(), status[1], readyFd);
        if (program < 0)
            failChild(status[1], errno);
        writeReport(status[1], 'P', program);
        ::_exit(0);
    }

    ::close(status[1]);
    const pid_t program = collectReports(status[0]);
    const int error = errno;
    ::close(status[0]);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    errno = error;
    return program;
}

} // namespace ProcessSpawn
