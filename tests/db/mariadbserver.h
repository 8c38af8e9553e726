#pragma once

// Test harness: a private MariaDB server on 127.0.0.1, installed into a temporary folder, started
// by the test itself and shut down again. Database "inv" and user "tarvo" (password "s3cret")
// are created for the tests.

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace DbTest {

inline const QString Database = QStringLiteral("inv");
inline const QString User = QStringLiteral("tarvo");
inline const QString Password = QStringLiteral("s3cret");

class MariaDbServer
{
public:
    ~MariaDbServer() { stop(); }

    /// Whether the server programs are installed at all (tests skip without them).
    static bool available()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("mariadbd"), {QStringLiteral("/usr/sbin")})
                    .isEmpty()
               && !QStandardPaths::findExecutable(QStringLiteral("mariadb-install-db")).isEmpty()
               && !QStandardPaths::findExecutable(QStringLiteral("mariadb")).isEmpty();
    }

    /// Installs the data folder, starts the server on a free loopback port and creates the
    /// test database and user. `error` says what went wrong.
    bool start(QString *error)
    {
        if (!m_dir.isValid())
            return fail(error, QStringLiteral("no temporary folder"));
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral("mariadb-install-db"),
                      {QStringLiteral("--no-defaults"), QStringLiteral("--user=root"),
                       QStringLiteral("--datadir=") + dataDir(),
                       QStringLiteral("--auth-root-authentication-method=socket"),
                       QStringLiteral("--skip-test-db")});
        if (!install.waitForFinished(120000) || install.exitCode() != 0)
            return fail(error, QStringLiteral("mariadb-install-db: ") + QString::fromLocal8Bit(install.readAll()));
        for (int attempt = 0; attempt < 5; ++attempt) {
            m_port = freePort();
            if (m_port > 0 && launch())
                return createDatabase(error);
            stop();
        }
        return fail(error, QStringLiteral("mariadbd did not start: ") + QString::fromLocal8Bit(m_output));
    }

    void stop()
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        QProcess admin;
        admin.start(QStringLiteral("mariadb-admin"),
                    {QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + socket(),
                     QStringLiteral("-uroot"), QStringLiteral("shutdown")});
        admin.waitForFinished(30000);
        if (!m_server.waitForFinished(30000)) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }

    int port() const { return m_port; }
    /// The connection text a user of the collector would configure.
    QString connection() const
    {
        return QStringLiteral("Provider=MariaDB;Server=127.0.0.1;Port=%1;Database=%2")
            .arg(m_port)
            .arg(Database);
    }

    /// Runs SQL as root through the command-line client; tab-separated rows without headers.
    QByteArray sql(const QByteArray &statements, bool *ok = nullptr) const
    {
        QProcess client;
        client.start(QStringLiteral("mariadb"),
                     {QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + socket(),
                      QStringLiteral("-uroot"), QStringLiteral("-N"), QStringLiteral("-B"),
                      QStringLiteral("--default-character-set=utf8mb4"), Database});
        client.waitForStarted(10000);
        client.write(statements);
        client.closeWriteChannel();
        const bool finished = client.waitForFinished(60000);
        if (ok)
            *ok = finished && client.exitCode() == 0;
        return client.readAllStandardOutput();
    }

private:
    QString dataDir() const { return m_dir.filePath(QStringLiteral("data")); }
    QString socket() const { return m_dir.filePath(QStringLiteral("mysqld.sock")); }

    static bool fail(QString *error, const QString &text)
    {
        if (error)
            *error = text;
        return false;
    }

    bool launch()
    {
        m_output.clear();
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(QStringLiteral("/usr/sbin/mariadbd"),
                       {QStringLiteral("--no-defaults"), QStringLiteral("--user=root"),
                        QStringLiteral("--datadir=") + dataDir(),
                        QStringLiteral("--socket=") + socket(),
                        QStringLiteral("--pid-file=") + m_dir.filePath(QStringLiteral("mysqld.pid")),
                        QStringLiteral("--port=%1").arg(m_port),
                        QStringLiteral("--bind-address=127.0.0.1"),
                        QStringLiteral("--skip-name-resolve"),
                        QStringLiteral("--innodb-buffer-pool-size=64M")});
        if (!m_server.waitForStarted(10000))
            return false;
        // The server says so on its error output once it accepts connections.
        while (!m_output.contains("ready for connections")) {
            if (!m_server.waitForReadyRead(60000))
                return false;
            m_output += m_server.readAll();
        }
        return true;
    }

    bool createDatabase(QString *error)
    {
        bool ok = false;
        QProcess client;
        client.start(QStringLiteral("mariadb"),
                     {QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + socket(),
                      QStringLiteral("-uroot")});
        client.waitForStarted(10000);
        client.write("CREATE DATABASE inv DEFAULT CHARSET utf8mb4;\n"
                     "CREATE USER 'tarvo'@'%' IDENTIFIED BY 's3cret';\n"
                     "GRANT ALL ON inv.* TO 'tarvo'@'%';\n");
        client.closeWriteChannel();
        ok = client.waitForFinished(60000) && client.exitCode() == 0;
        if (!ok)
            return fail(error, QString::fromLocal8Bit(client.readAllStandardError()));
        return true;
    }

    static int freePort()
    {
        QProcess probe;
        probe.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral("-c"),
                     QStringLiteral("import socket; s = socket.socket(); "
                                    "s.bind(('127.0.0.1', 0)); print(s.getsockname()[1])")});
        if (!probe.waitForFinished(10000))
            return 0;
        return probe.readAllStandardOutput().trimmed().toInt();
    }

    QTemporaryDir m_dir;
    QProcess m_server;
    QByteArray m_output;
    int m_port = 0;
};

} // namespace DbTest
