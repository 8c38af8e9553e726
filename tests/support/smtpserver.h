#pragma once

#include "support/filebytes.h"
#include "support/testservers.h"

// Test harness: SMTP peers on 127.0.0.1. A mailbox on the aiosmtpd server (Debian's
// python3-aiosmtpd) shared by the test run, and a scripted peer, started by the test, for
// silence, split replies and refusals. Shared by the client and the mail step tests.

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

/// A mailbox of this test's own on the shared aiosmtpd server (tarvosmtp.Handler of the
/// fixtures), which keeps each message in the spool folder.
class AiosmtpdServer
{
public:
    /// "" when the shared server runs; otherwise the reason, for QSKIP.
    static QString unavailable() { return TestServers::unavailable(QStringLiteral("smtp")); }

    /// `mode`: "accept" or "reject" (554 at the end of data). `security`: none, or "starttls"
    /// or "implicit" with the certificate and key files, then optionally a user and password
    /// that must log in.
    bool start(const QString &mode = QStringLiteral("accept"), const QStringList &security = {})
    {
        if (!m_spool.isValid())
            return false;
        QString error;
        m_port = m_control.open(QStringLiteral("smtp"), QStringList{mode, m_spool.path()} + security,
                                &error);
        if (m_port == 0)
            qWarning("%s", qPrintable(error));
        return m_port > 0;
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
    /// One line per login attempt: mechanism, "yes"/"no", "tls"/"plain".
    QByteArray logins() const { return readAll(spool() + QStringLiteral("/auth")); }

private:
    QString base(int n) const { return spool() + QStringLiteral("/%1").arg(n, 4, 10, QLatin1Char('0')); }

    QTemporaryDir m_spool;
    TestServers::Control m_control;
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
