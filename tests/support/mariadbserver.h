#pragma once

// Test harness: a database of the test's own (inv_ and a random suffix) on the private MariaDB
// server that the test run shares (tests/support/testservers.py, on 127.0.0.1), dropped again
// when the test is done. User "tarvo" (password "s3cret") reaches every inv_ database.

#include "support/testservers.h"

#include <QProcess>
#include <QRandomGenerator>

namespace DbTest {

inline const QString User = QStringLiteral("tarvo");
inline const QString Password = QStringLiteral("s3cret");

class MariaDbServer
{
public:
    ~MariaDbServer() { stop(); }

    /// Whether the shared server runs (tests skip without it, saying unavailable()).
    static bool available() { return unavailable().isEmpty(); }
    /// "" when the shared server runs; otherwise the reason, for QSKIP.
    static QString unavailable() { return TestServers::unavailable(QStringLiteral("mariadb")); }

    /// Creates the test's database on the shared server. `error` says what went wrong.
    bool start(QString *error)
    {
        const QJsonObject server = TestServers::state(QStringLiteral("mariadb"), error);
        if (server.isEmpty())
            return false;
        m_port = server.value(QStringLiteral("port")).toInt();
        m_socket = server.value(QStringLiteral("socket")).toString();
        m_ca = server.value(QStringLiteral("ca")).toString();
        m_otherCa = server.value(QStringLiteral("otherCa")).toString();
        const QString name = QStringLiteral("inv_%1").arg(QRandomGenerator::global()->generate(), 8, 16,
                                                            QLatin1Char('0'));
        bool ok = false;
        QByteArray problem;
        run({}, "CREATE DATABASE " + name.toLatin1() + " DEFAULT CHARSET utf8mb4;\n", &ok, &problem);
        if (!ok) {
            *error = QStringLiteral("creating the test database: ") + QString::fromLocal8Bit(problem);
            return false;
        }
        m_database = name;
        return true;
    }

    /// Drops the test's database.
    void stop()
    {
        if (m_database.isEmpty())
            return;
        run({}, "DROP DATABASE " + m_database.toLatin1() + ";\n");
        m_database.clear();
    }

    int port() const { return m_port; }
    /// The CA that signed the server's certificate, and one that did not.
    QString ca() const { return m_ca; }
    QString otherCa() const { return m_otherCa; }
    /// The connection text a user of the collector would configure.
    /// The same database through the MariaDB ODBC driver, at `server` (127.0.0.1 or 127.0.0.2).
    QString odbcConnection(const QString &server) const
    {
        return QStringLiteral("Driver=MariaDB Unicode;Server=%1;Port=%2;Database=%3")
            .arg(server)
            .arg(m_port)
            .arg(m_database);
    }
    QString connection() const
    {
        return QStringLiteral("Provider=MariaDB;Server=127.0.0.1;Port=%1;Database=%2")
            .arg(m_port)
            .arg(m_database);
    }

    /// Runs SQL as root through the command-line client; tab-separated rows without headers.
    QByteArray sql(const QByteArray &statements, bool *ok = nullptr) const
    {
        return run({QStringLiteral("-N"), QStringLiteral("-B"),
                    QStringLiteral("--default-character-set=utf8mb4"), m_database},
                   statements, ok);
    }

private:
    QByteArray run(const QStringList &arguments, const QByteArray &statements, bool *ok = nullptr,
                   QByteArray *errors = nullptr) const
    {
        QProcess client;
        client.start(QStringLiteral("mariadb"),
                     QStringList{QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + m_socket,
                                 QStringLiteral("-uroot")}
                         + arguments);
        client.waitForStarted(10000);
        client.write(statements);
        client.closeWriteChannel();
        const bool finished = client.waitForFinished(60000);
        if (ok)
            *ok = finished && client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0;
        if (errors)
            *errors = client.readAllStandardError();
        return client.readAllStandardOutput();
    }

    QString m_socket;
    QString m_ca;
    QString m_otherCa;
    QString m_database;
    int m_port = 0;
};

} // namespace DbTest
