#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

/// A small agent that answers by script, for what a real agent does not do: replies split into
/// chunks, silence, unknown codes, a closed connection. It records every request frame and how
/// many connections were open at once.
class ScriptedAgent : public QObject
{
    Q_OBJECT
public:
    /// What to do when a request arrives.
    struct Script
    {
        QList<QByteArray> chunks; // sent one after another, each as its own write
        bool close = false;       // close the connection after the chunks
    };

    /// Listens on `address` at a free port (or at `port`).
    explicit ScriptedAgent(const QString &address = QStringLiteral("127.0.0.1"), quint16 port = 0);
    ~ScriptedAgent() override;

    quint16 port() const { return m_server.serverPort(); }
    bool isListening() const { return m_server.isListening(); }
    /// The script for a request code; a code without one gets no answer.
    void on(int requestCode, Script script) { m_scripts.insert(requestCode, std::move(script)); }
    /// Every request frame received, in order of arrival.
    const QList<QByteArray> &requests() const { return m_requests; }
    /// The codes of the requests received.
    QList<int> requestCodes() const;
    int connectionCount() const { return m_connections; }
    /// Connections not yet closed by the console; once 0, every byte sent before the close
    /// has been read.
    int openConnections() const { return m_open; }
    int peakOpenConnections() const { return m_peakOpen; }

Q_SIGNALS:
    void requestReceived(int code);

private:
    void onNewConnection();
    void onReadable(QTcpSocket *socket);
    void play(QTcpSocket *socket, const Script &script, qsizetype next);

    QTcpServer m_server;
    QHash<int, Script> m_scripts;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<QByteArray> m_requests;
    int m_connections = 0;
    int m_open = 0;
    int m_peakOpen = 0;
};

Q_DECLARE_METATYPE(ScriptedAgent::Script)
