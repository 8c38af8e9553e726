#pragma once

// Test harness: a pyftpdlib server (Debian's python3-pyftpdlib) on 127.0.0.1, started by the test
// on a port it binds itself, with its home in a temporary folder and a log of every command.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace FtpTest {

inline const QString User = QStringLiteral("tarvo");
inline const QString Password = QStringLiteral("ftp-s3cret");

class FtpServer
{
public:
    ~FtpServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    bool start()
    {
        if (!m_dir.isValid() || !QDir(m_dir.path()).mkpath(QStringLiteral("home/inbox")))
            return false;
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral(TARVO_FIXTURES_DIR "/ftp/tarvoftpd.py"), home(), User,
                         Password, m_dir.filePath(QStringLiteral("commands.log"))});
        if (!m_process.waitForStarted(10000))
            return false;
        QByteArray output;
        while (!output.contains('\n')) {
            if (!m_process.waitForReadyRead(10000))
                return false;
            output += m_process.readAllStandardOutput();
        }
        m_port = output.trimmed().mid(5).toInt();
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
    QProcess m_process;
    int m_port = 0;
};

} // namespace FtpTest
