#pragma once

// Test harness: an FTP server of the test's own on 127.0.0.1, opened on the pyftpdlib server
// (Debian's python3-pyftpdlib) shared by the test run, with its home in a temporary folder and a
// log of every command.

#include "support/testservers.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace FtpTest {

inline const QString User = QStringLiteral("tarvo");
inline const QString Password = QStringLiteral("ftp-s3cret");

class FtpServer
{
public:
    FtpServer() = default;
    /// A home under `base`: a benchmark keeps the server's writes off the client's disk, as
    /// they are when the server is another machine.
    explicit FtpServer(const QString &base)
        : m_dir(base + QStringLiteral("/tarvo-ftp-XXXXXX"))
    {
    }

    /// "" when the shared server runs; otherwise the reason, for QSKIP.
    static QString unavailable() { return TestServers::unavailable(QStringLiteral("ftp")); }

    /// With a certificate and its key the server speaks explicit FTPS and requires it.
    bool start(const QString &certificate = {}, const QString &key = {})
    {
        if (!m_dir.isValid() || !QDir(m_dir.path()).mkpath(QStringLiteral("home/inbox")))
            return false;
        QString error;
        QStringList fields{home(), User, Password, m_dir.filePath(QStringLiteral("commands.log"))};
        if (!certificate.isEmpty())
            fields << certificate << key;
        m_port = m_control.open(QStringLiteral("ftp"), fields, &error);
        if (m_port == 0)
            qWarning("%s", qPrintable(error));
        return m_port > 0;
    }

    int port() const { return m_port; }
    QString home() const { return m_dir.filePath(QStringLiteral("home")); }
    QByteArray file(const QString &relative) const
    {
        QFile f(home() + u'/' + relative);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    /// The commands received so far, one per line.
    QList<QByteArray> commands() const
    {
        QFile f(m_dir.filePath(QStringLiteral("commands.log")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = f.readAll().split('\n');
        lines.removeAll(QByteArray());
        return lines;
    }

private:
    QTemporaryDir m_dir;
    TestServers::Control m_control;
    int m_port = 0;
};

} // namespace FtpTest
