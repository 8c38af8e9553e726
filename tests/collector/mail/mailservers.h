#pragma once

#include "../filebytes.h"

// Test harness: SMTP peers on 127.0.0.1 started by the tests themselves. A real aiosmtpd server
// (Debian's python3-aiosmtpd) that keeps each message, and a scripted peer for silence, split
// replies and refusals. Shared by the client and the mail step tests.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace MailTest {

inline const QString Python = QStringLiteral("/usr/bin/python3");
inline QString fixtures() { return QStringLiteral(TARVO_FIXTURES_DIR "/mail"); }

/// Reads the process output until `marker` appears; false when it ends first or takes too long.
inline bool waitForOutput(QProcess &process, const QByteArray &marker, QByteArray &output)
{
    while (!output.contains(marker)) {
        if (!process.waitForReadyRead(10000))
            return false;
        output += process.readAll();
    }
    return true;
}

inline void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(5000);
}

/// aiosmtpd with the tarvosmtp.Handler of the fixtures.
class AiosmtpdServer
{
public:
    ~AiosmtpdServer() { stop(m_process); }

    /// `mode`: "accept" or "reject" (554 at the end of data).
    bool start(const QString &mode = QStringLiteral("accept"))
    {
        if (!m_spool.isValid())
            return false;
        // The port is chosen free just before the server binds it; if someone takes it in
        // between, the server exits and another port is tried.
        for (int attempt = 0; attempt < 5; ++attempt) {
            m_port = freePort();
            if (m_port == 0)
                return false;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("PYTHONPATH"), fixtures());
            env.insert(QStringLiteral("TARVO_SMTP_SPOOL"), m_spool.path());
            env.insert(QStringLiteral("TARVO_SMTP_MODE"), mode);
            m_process.setProcessEnvironment(env);
            m_process.setProcessChannelMode(QProcess::MergedChannels);
            m_process.start(Python, {QStringLiteral("-m"), QStringLiteral("aiosmtpd"),
                                     QStringLiteral("-n"), QStringLiteral("-d"),
                                     QStringLiteral("-l"),
                                     QStringLiteral("127.0.0.1:%1").arg(m_port),
                                     QStringLiteral("-c"), QStringLiteral("tarvosmtp.Handler")});
            QByteArray output;
            if (m_process.waitForStarted(10000)
                && waitForOutput(m_process, "Server is listening", output))
                return true;
            stop(m_process);
        }
        return false;
    }

    int port() const { return m_port; }
    QString portText() const { return QString::number(m_port); }
    QString spool() const { return m_spool.path(); }

    /// The raw message `n` (1-based), as the server received it after dot-unstuffing.
    QByteArray message(int n) const { return readAll(base(n) + QStringLiteral(".eml")); }
    /// The envelope of message `n`: helo, mail_from, rcpt_tos.
    QJsonObject envelope(int n) const
    {
        return QJsonDocument::fromJson(readAll(base(n) + QStringLiteral(".env"))).object();
    }
    int messageCount() const
    {
        return int(QDir(spool()).entryList({QStringLiteral("*.eml")}, QDir::Files).size());
    }
    int quitCount() const { return int(readAll(spool() + QStringLiteral("/quit")).count('\n')); }

private:
    QString base(int n) const { return spool() + QStringLiteral("/%1").arg(n, 4, 10, QLatin1Char('0')); }

    static int freePort()
    {
        QProcess probe;
        probe.start(Python, {QStringLiteral("-c"),
                             QStringLiteral("import socket; s = socket.socket(); "
                                            "s.bind(('127.0.0.1', 0)); print(s.getsockname()[1])")});
        if (!probe.waitForFinished(10000))
            return 0;
        return probe.readAllStandardOutput().trimmed().toInt();
    }

    QTemporaryDir m_spool;
    QProcess m_process;
    int m_port = 0;
};

/// The scripted peer (scriptedsmtp.py): binds a free port itself and records the wire.
class ScriptedServer
{
public:
    ~ScriptedServer() { stop(m_process); }

    bool start(const QString &mode)
    {
        if (!m_dir.isValid())
            return false;
        m_process.start(Python, {fixtures() + QStringLiteral("/scriptedsmtp.py"), mode,
                                 capturePath()});
        QByteArray output;
        if (!m_process.waitForStarted(10000) || !waitForOutput(m_process, "\n", output))
            return false;
        m_port = output.trimmed().mid(5).toInt();
        return m_port > 0;
    }

    int port() const { return m_port; }
    QString portText() const { return QString::number(m_port); }
    /// Everything the client sent after the greeting, as it was on the wire.
    QByteArray wire() const { return readAll(capturePath()); }

private:
    QString capturePath() const { return m_dir.filePath(QStringLiteral("wire.bin")); }

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};

/// A port on which nothing listens (a refused connection): a port just freed by a server.
inline int closedPort()
{
    ScriptedServer server;
    return server.start(QStringLiteral("silent")) ? server.port() : 0;
}

} // namespace MailTest

namespace MailTest {

/// One attachment as Python's MIME reader decodes it.
struct Attachment
{
    QString name;
    QString type;
    QByteArray data;
};

/// The attachments of a raw mail, read by an independent MIME reader (mimeparts.py).
inline QList<Attachment> attachmentsOf(const QByteArray &rawMail)
{
    QProcess reader;
    reader.start(Python, {fixtures() + QStringLiteral("/mimeparts.py")});
    if (!reader.waitForStarted(10000))
        return {};
    reader.write(rawMail);
    reader.closeWriteChannel();
    if (!reader.waitForFinished(30000))
        return {};
    QList<Attachment> list;
    const QJsonArray parts = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
    for (const QJsonValue &part : parts) {
        const QJsonObject object = part.toObject();
        list.append({object.value(QStringLiteral("name")).toString(),
                     object.value(QStringLiteral("type")).toString(),
                     QByteArray::fromBase64(object.value(QStringLiteral("data")).toString().toLatin1())});
    }
    return list;
}

} // namespace MailTest
