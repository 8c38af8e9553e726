#include "platform/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int ConnectTimeoutMs = 2000;
constexpr qint64 MaxMessageBytes = 64;
const QByteArray ActivateMessage = "activate"_ba;

QString canonicalFolder(const QString &folder)
{
    const QFileInfo info(folder.isEmpty() ? QDir::currentPath() : folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// A dot file, so that the folder listing of request 300 does not show it.
QString lockFilePath(const QString &programName, const QString &folder)
{
    return canonicalFolder(folder) + u"/."_s + programName + u".lock"_s;
}

QString serverName(const QString &programName, const QString &folder)
{
    const QByteArray key = (programName + u'\n' + canonicalFolder(folder)).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex();
    return u"tarvo-"_s + QString::fromLatin1(hash.left(24));
}

std::optional<qint64> recordedPid(const QString &lockFile)
{
    QFile file(lockFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const qint64 pid = file.read(32).trimmed().toLongLong(&ok);
    if (!ok || pid <= 0)
        return std::nullopt;
    return pid;
}

// The process that listens on the instance's socket: alive by construction, since the kernel
// closes the socket with the process.
std::optional<qint64> serverPid(const QString &name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(ConnectTimeoutMs))
        return std::nullopt;
    ucred credentials = {};
    socklen_t size = sizeof credentials;
    const int rc = ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED,
                                &credentials, &size);
    socket.abort();
    if (rc != 0 || credentials.pid <= 0)
        return std::nullopt;
    return credentials.pid;
}

// Whether the kernel's lock table shows `pid` holding an exclusive flock on the file's inode:
// the answer when the socket cannot be reached, without taking the lock (which could make a
// starting instance believe another one runs).
bool holdsLock(const QString &lockFile, qint64 pid)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(lockFile).constData(), &info) != 0)
        return false;
    QFile locks(u"/proc/locks"_s);
    if (!locks.open(QIODevice::ReadOnly))
        return false;
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"
    const QByteArray inodeSuffix = ':' + QByteArray::number(quint64(info.st_ino));
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields.at(0).endsWith("->"))
            continue;
        if (fields.at(1) == "FLOCK" && fields.at(3) == "WRITE"
            && fields.at(4).toLongLong() == pid && fields.at(5).endsWith(inodeSuffix))
            return true;
    }
    return false;
}

// Written in place, not renamed: the lock belongs to this inode. The pid is a hint for
// findRunning, which confirms it; a failed write leaves the lock itself intact.
void recordPid(int fd, const QByteArray &text)
{
    if (::ftruncate(fd, 0) != 0 || text.isEmpty())
        return;
    while (::pwrite(fd, text.constData(), size_t(text.size()), 0) < 0 && errno == EINTR) {
    }
}

void askToActivate(const QString &name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(ConnectTimeoutMs))
        return;
    socket.write(ActivateMessage + '\n');
    socket.waitForBytesWritten(ConnectTimeoutMs);
    socket.disconnectFromServer();
}

} // namespace

SingleInstance::SingleInstance(QString programName, QString folder, QObject *parent)
    : QObject(parent), m_programName(std::move(programName)), m_folder(std::move(folder))
{
}

SingleInstance::~SingleInstance()
{
    release();
}

bool SingleInstance::acquire()
{
    if (m_lockFd >= 0)
        return true;
    const QByteArray path = QFile::encodeName(lockFilePath(m_programName, m_folder));
    // CLOEXEC: a program we start must not inherit the lock and keep it after we end.
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        // The folder belongs to another user's instance (the service): its lock file can still
        // be opened for reading, and flock needs no more, so the start sees that one runs.
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
    }
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool heldElsewhere = errno == EWOULDBLOCK;
        ::close(fd);
        if (heldElsewhere) {
            askToActivate(serverName(m_programName, m_folder));
            return false;
        }
        // A file system without locks cannot tell: run rather than refuse to start.
    } else if (fd >= 0) {
        recordPid(fd, QByteArray::number(qint64(::getpid())) + '\n');
        m_lockFd = fd;
    }
    startServer();
    return true;
}

void SingleInstance::startServer()
{
    const QString name = serverName(m_programName, m_folder);
    // We hold the lock: a socket of that name was left by an instance that crashed.
    QLocalServer::removeServer(name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name)) {
        delete m_server;
        m_server = nullptr;
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection())
            serveConnection(socket);
    });
}

void SingleInstance::serveConnection(QLocalSocket *socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (socket->canReadLine()) {
            const bool activate = socket->readLine(MaxMessageBytes).trimmed() == ActivateMessage;
            socket->disconnectFromServer();
            if (activate)
                Q_EMIT activationRequested();
        } else if (socket->bytesAvailable() > MaxMessageBytes) {
            socket->abort();
        }
    });
}

void SingleInstance::release()
{
    delete m_server;
    m_server = nullptr;
    if (m_lockFd >= 0) {
        // Keep the file (deleting it would let two starts lock two different inodes), but
        // leave no pid in it.
        recordPid(m_lockFd, {});
        ::close(m_lockFd);
        m_lockFd = -1;
    }
}

std::optional<qint64> SingleInstance::findRunning(const QString &programName, const QString &folder)
{
    const QString lockFile = lockFilePath(programName, folder);
    const std::optional<qint64> recorded = recordedPid(lockFile);
    if (!recorded)
        return std::nullopt;
    // A pid left in the file by a process that died is no answer: the holder must confirm it.
    if (serverPid(serverName(programName, folder)) == recorded || holdsLock(lockFile, *recorded))
        return recorded;
    return std::nullopt;
}
