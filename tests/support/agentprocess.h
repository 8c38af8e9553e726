#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <optional>

/// A frame as the wire carries it, built here independently of the product's codec:
/// code ";" little-endian total length ";" body.
QByteArray rawFrame(int code, const QByteArray &body);
/// The request payload of 500/510/520: H ";" name ";" three times ";" then the file bytes.
QByteArray rawFileRequest(int code, const QByteArray &cp932Name, const QByteArray &data,
                          const QByteArray &times = "2004/07/03 10:20:30;2004/07/03 10:20:30;"
                                                    "2004/07/03 10:20:30");
/// `text` in CP932.
QByteArray cp932(const QString &text);

/// A free TCP port on 127.0.0.1 (free when asked; the agent binds it right after).
quint16 freeLoopbackPort();

/// A temporary program folder holding a copy of build/bin/TarvoAgent and a TarvoAgent.ini.
class AgentFolder
{
public:
    /// Keys of section TarvoAgent that differ from the defaults below; an empty value removes
    /// nothing, it writes the key empty. A given Port becomes port().
    explicit AgentFolder(const QMap<QString, QString> &agentKeys = {});

    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    quint16 port() const { return m_port; }
    QByteArray iniBytes() const;
    /// Writes `data` to `name` in the folder; `executable` sets the execute bits.
    void writeFile(const QString &name, const QByteArray &data, bool executable = false) const;
    QByteArray readFile(const QString &name) const;

private:
    QTemporaryDir m_dir;
    quint16 m_port;
};

/// The agent program running headless in an AgentFolder; its status lines are collected
/// from its standard output.
class AgentProcess
{
public:
    explicit AgentProcess(const AgentFolder &folder);
    /// An agent program elsewhere (an installed tree) whose settings give `port`.
    AgentProcess(const QString &program, quint16 port);
    ~AgentProcess();

    /// Starts the agent and waits until it listens. False when it ended or did not listen.
    bool start();
    /// Starts the agent without waiting for it to listen.
    void startOnly();
    /// Before the start: the agent's standard output goes to `path` (then nobody here reads it).
    void sendOutputTo(const QString &path) { m_process.setStandardOutputFile(path); }
    /// Waits until a status line whose text (after the date and TAB) equals `text`.
    bool waitForLine(const QString &text, int timeoutMs = 10000);
    /// Waits until `count` status lines with the text `text` have been printed.
    bool waitForLineCount(const QString &text, qsizetype count, int timeoutMs = 10000);
    /// Waits until `count` status lines whose text contains `part` have been printed.
    bool waitForLinesContaining(const QString &part, qsizetype count, int timeoutMs = 10000);
    /// The status line of the agent listening on its port.
    QString listeningText() const;
    /// Waits until the process has ended; its exit code through `exitCode`.
    bool waitForExit(int timeoutMs = 10000, int *exitCode = nullptr);
    /// The texts of the status lines so far (without the date and TAB).
    QStringList texts();
    /// The same, up to everything the agent has written by now, not only what was read.
    QStringList allTexts();
    QString standardError();
    /// Sends `signalNumber` to the process.
    bool signal(int signalNumber);
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

private:
    void takeOutput();

    quint16 m_port;
    QProcess m_process;
    QByteArray m_pending;
    QStringList m_lines;
};

/// A console speaking raw frames to the agent.
class RawConsole
{
public:
    bool connectTo(quint16 port, int timeoutMs = 5000);
    bool send(const QByteArray &bytes);
    /// Reads one whole frame (its header gives the length); nullopt on time-out or close.
    std::optional<QByteArray> readFrame(int timeoutMs = 10000);
    /// Sends `request` and reads the reply frame.
    std::optional<QByteArray> exchange(const QByteArray &request, int timeoutMs = 10000);
    /// Waits until the agent closes the connection; false when data arrive or time runs out.
    bool waitForClose(int timeoutMs = 10000);
    /// Whether anything arrives within `ms`: the check that an agent stays silent.
    bool receivesWithin(int ms);
    QString peerLabel() const;
    QTcpSocket &socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
    QString m_peerLabel;
};
