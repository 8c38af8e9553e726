// The self-update fixtures of the end-to-end tests: a program folder with copies of the real
// agent and updater, and a console of raw frames.
#pragma once

#include "support/agentprocess.h"

#include "common/codepage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace SelfUpdate {

inline const QString Agent = u"TarvoAgent"_s;
inline const QString Updater = u"TarvoUtil"_s;
constexpr int Bound = 15000;

inline QByteArray fileRequest(int code, const QByteArray &name, const QByteArray &data)
{
    return rawFileRequest(code, name, data,
                          "2005/01/02 03:04:05;2005/01/02 03:04:05;2005/01/02 03:04:05");
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline QByteArray codeOf(const std::optional<QByteArray> &reply)
{
    return reply ? reply->left(3) : "<none>"_ba;
}

/// One connection of a console: whole frames in and out.
class Console
{
public:
    bool connectOnce(quint16 port)
    {
        m_socket.abort();
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        return m_socket.waitForConnected(2000);
    }
    /// Tried again until the agent listens (it may still be starting).
    bool connectTo(quint16 port)
    {
        return QTest::qWaitFor([&] { return connectOnce(port); }, Bound);
    }
    /// Ends the session as a console does: 900, its reply, and the agent closes.
    bool end()
    {
        return codeOf(exchange(rawFrame(900, {}))) == "901" && closedByPeer();
    }
    /// Sends `request` and returns the reply frame; nullopt when none comes.
    std::optional<QByteArray> exchange(const QByteArray &request, int timeoutMs = Bound)
    {
        m_socket.write(request);
        QByteArray reply;
        for (;;) {
            reply += m_socket.readAll();
            if (reply.size() >= 9) {
                const quint32 length = quint8(reply[4]) | quint8(reply[5]) << 8
                                       | quint8(reply[6]) << 16 | quint32(quint8(reply[7])) << 24;
                if (quint32(reply.size()) >= length)
                    return reply.left(length);
            }
            if (!m_socket.waitForReadyRead(timeoutMs))
                return std::nullopt;
        }
    }
    /// Waits until the agent closes the connection.
    bool closedByPeer()
    {
        return m_socket.state() == QAbstractSocket::UnconnectedState
               || m_socket.waitForDisconnected(Bound);
    }

private:
    QTcpSocket m_socket;
};

/// A program folder with copies of the built agent and updater, its own port and output file.
class ProgramFolder
{
public:
    /// `agentKeys`: further lines of section TarvoAgent ("Key=value\r\n" each).
    explicit ProgramFolder(const QByteArray &agentKeys = {})
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
        probe.close();
        m_agentBytes = readFile(QStringLiteral(TARVO_BIN_DIR "/TarvoAgent"));
        const QByteArray ini = "[TarvoAgent]\r\nPort=" + QByteArray::number(m_port)
                               + "\r\nTimeOut=60\r\nStatusLog=1000\r\nAutoStart=0\r\nAutoExit=0\r\n"
                                 "TimeStart=WEEK,23:59,\r\nExeFile=collect.sh\r\nDebugMode=0\r\n"
                                 "ListenAddress=127.0.0.1\r\nAllowFrom=127.0.0.1\r\n"
                               + agentKeys
                               + "[TarvoInfo]\r\nSQLUpdate=0\r\nSmtpMail=0\r\nFtpUpload=0\r\n";
        m_valid = m_dir.isValid() && m_port != 0 && write(u"TarvoAgent.ini"_s, ini, false)
                  && write(Agent, m_agentBytes, true, OldWritten)
                  && write(Updater, readFile(QStringLiteral(TARVO_BIN_DIR "/TarvoUtil")), true);
    }
    ~ProgramFolder()
    {
        // Agents started by the updater are no children of ours: end them the product's way.
        if (QFile::exists(file(Updater)))
            QProcess::execute(file(Updater), {u"terminate"_s, Agent});
        m_first.kill();
        m_first.waitForFinished();
    }

    /// The date of the old program: the backup is named after it.
    static inline const QDateTime OldWritten{QDate(2004, 7, 3), QTime(12, 0, 0)};

    bool isValid() const { return m_valid; }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    quint16 port() const { return m_port; }
    QByteArray agentBytes() const { return m_agentBytes; }
    /// The agent program told apart from the built one by what follows its end.
    QByteArray distributedAgent() const { return m_agentBytes + "\ntarvo-e2e-distributed\n"; }
    QStringList files() const { return QDir(m_dir.path()).entryList(QDir::Files, QDir::Name); }

    bool write(const QString &name, const QByteArray &bytes, bool executable,
               const QDateTime &lastWritten = {}) const
    {
        QFile out(file(name));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size()
            || !out.flush())
            return false;
        if (lastWritten.isValid() && !out.setFileTime(lastWritten, QFileDevice::FileModificationTime))
            return false;
        out.close();
        return !executable
               || out.setPermissions(out.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    }

    /// Starts the first agent. Its output goes to a file that every later agent inherits: a
    /// pipe would close with this process and break the next agent's writes.
    bool startAgent()
    {
        m_first.setStandardOutputFile(file(u"agent.out"_s), QIODevice::Append);
        m_first.setStandardErrorFile(file(u"agent.out"_s), QIODevice::Append);
        m_first.setWorkingDirectory(QDir::rootPath());
        m_first.start(file(Agent), {});
        if (!m_first.waitForStarted(Bound))
            return false;
        return QTest::qWaitFor([this] { return answers(); }, Bound);
    }
    QProcess &firstAgent() { return m_first; }

    /// Whether an agent answers request 100 on the port.
    bool answers() const
    {
        Console console;
        return console.connectOnce(m_port)
               && codeOf(console.exchange(rawFrame(100, {}), 2000)) == "101" && console.end();
    }
    /// The status log of the agent now answering.
    QString statusLog() const
    {
        Console console;
        if (!console.connectTo(m_port))
            return {};
        const auto reply = console.exchange(rawFrame(400, {}));
        if (!reply || !console.end())
            return {};
        return CodePage::fromAnsi(reply->mid(9));
    }
    /// The process id the running agent recorded for the updater to find it by.
    qint64 agentPid() const { return readFile(file(u".TarvoAgent.lock"_s)).trimmed().toLongLong(); }

private:
    QTemporaryDir m_dir;
    quint16 m_port = 0;
    QByteArray m_agentBytes;
    QProcess m_first;
    bool m_valid = false;
};

/// What the program running as `pid` was loaded from: the old file stays readable here even
/// after it has been replaced.
inline QByteArray runningProgram(qint64 pid)
{
    return readFile(u"/proc/"_s + QString::number(pid) + u"/exe"_s);
}

} // namespace SelfUpdate
