#include "common/atomicfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

#include <cerrno>
#include <cstring>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace AtomicFile {

namespace {

constexpr int NameAttempts = 16;

std::filesystem::path nativePath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString newTemporaryName()
{
    const quint64 random = QRandomGenerator::global()->generate64();
    return QLatin1StringView(TemporaryPrefix) + QString::number(QCoreApplication::applicationPid())
        + u'-' + QString::number(random & 0xffffffffffffULL, 16);
}

} // namespace

std::optional<qint64> writerOf(const QString &fileName)
{
    const QLatin1StringView prefix(TemporaryPrefix);
    if (!fileName.startsWith(prefix))
        return std::nullopt;
    const QStringView rest = QStringView(fileName).sliced(prefix.size());
    const qsizetype dash = rest.indexOf(u'-');
    bool ok = false;
    const qint64 pid = dash > 0 ? rest.first(dash).toLongLong(&ok) : 0;
    if (!ok || pid <= 0)
        return std::nullopt;
    return pid;
}

int removeStale(const QString &folder, const std::function<bool(qint64)> &isRunning)
{
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({QLatin1StringView(TemporaryPrefix) + u'*'},
                      QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    int removed = 0;
    for (const QString &name : names) {
        const auto pid = writerOf(name);
        if (pid && !isRunning(*pid) && QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
}

Writer::Writer(QString targetPath, std::optional<QFileDevice::Permissions> permissions)
    : m_targetPath(std::move(targetPath)), m_permissions(permissions)
{
}

Writer::~Writer()
{
    cancel();
}

bool Writer::fail(const QString &error)
{
    m_error = error;
    cancel();
    return false;
}

bool Writer::open()
{
    const QFileInfo target(m_targetPath);
    // A file that is replaced keeps its permissions; a link's target is none of our business.
    if (!m_permissions && target.exists() && !target.isSymLink())
        m_permissions = target.permissions();
    const QString folder = target.path();
    // NewOnly creates the file with O_EXCL: an existing name, a link or a dangling link
    // included, is never opened, so nothing is written outside the folder.
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        m_file.setFileName(folder + u'/' + newTemporaryName());
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            m_temporaryPath = m_file.fileName();
            if (m_permissions && !m_file.setPermissions(*m_permissions))
                return fail(m_file.errorString());
            return true;
        }
        if (m_file.error() != QFileDevice::OpenError || !QFileInfo::exists(m_file.fileName()))
            break;
    }
    m_error = m_file.errorString();
    return false;
}

bool Writer::write(QByteArrayView data)
{
    if (!m_file.isOpen())
        return false;
    if (m_file.write(data.data(), data.size()) != data.size())
        return fail(m_file.errorString());
    return true;
}

bool Writer::syncAndClose()
{
    if (!m_file.isOpen())
        return false;
    if (!m_file.flush())
        return fail(m_file.errorString());
    // The data reach the disk before the name does: after a power cut the target is either
    // the old file or the whole new one.
    if (::fsync(m_file.handle()) != 0)
        return fail(u"cannot sync "_s + m_temporaryPath);
    m_file.close();
    return true;
}

bool Writer::commitNew()
{
    if (!syncAndClose())
        return false;
    // link() never replaces a name: the one check that cannot race with another writer.
    if (::link(QFile::encodeName(m_temporaryPath).constData(),
               QFile::encodeName(m_targetPath).constData()) != 0) {
        const int error = errno;
        return fail(error == EEXIST ? m_targetPath + u": file exists"_s
                                    : QString::fromLocal8Bit(std::strerror(error)));
    }
    cancel(); // the temporary name goes; the file stays under the target's
    return true;
}

bool Writer::commit()
{
    if (!syncAndClose())
        return false;
    std::error_code error;
    // rename() replaces the directory entry itself: a link of the target's name is replaced,
    // its target is never written.
    std::filesystem::rename(nativePath(m_temporaryPath), nativePath(m_targetPath), error);
    if (error)
        return fail(QString::fromStdString(error.message()));
    m_temporaryPath.clear();
    return true;
}

void Writer::cancel()
{
    if (m_file.isOpen())
        m_file.close();
    if (!m_temporaryPath.isEmpty())
        QFile::remove(m_temporaryPath);
    m_temporaryPath.clear();
}

} // namespace AtomicFile

bool writeFileAtomically(const QString &path, QByteArrayView data, QString *error,
                         std::optional<QFileDevice::Permissions> permissions)
{
    AtomicFile::Writer writer(path, permissions);
    const bool written = writer.open() && writer.write(data) && writer.commit();
    if (!written && error)
        *error = writer.errorString();
    return written;
}

bool writeNewFileAtomically(const QString &path, QByteArrayView data,
                            QFileDevice::Permissions permissions, QString *error)
{
    AtomicFile::Writer writer(path, permissions);
    const bool written = writer.open() && writer.write(data) && writer.commitNew();
    if (!written && error)
        *error = writer.errorString();
    return written;
}

bool copyFileAtomically(const QString &source, const QString &target,
                        QFileDevice::Permissions permissions, QString *error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        if (error)
            *error = source + u": "_s + in.errorString();
        return false;
    }
    AtomicFile::Writer writer(target, permissions);
    bool ok = writer.open();
    while (ok && !in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        ok = in.error() == QFileDevice::NoError && writer.write(chunk);
    }
    if (!ok || !writer.commit()) {
        if (error)
            *error = in.error() != QFileDevice::NoError ? source + u": "_s + in.errorString()
                                                       : target + u": "_s + writer.errorString();
        return false;
    }
    const QFileInfo original(source);
    QFile copy(target);
    if (copy.open(QIODevice::ReadOnly)) {
        copy.setFileTime(original.lastModified(), QFileDevice::FileModificationTime);
        copy.setFileTime(original.lastRead(), QFileDevice::FileAccessTime);
    }
    return true;
}
