#include "support/agentprocess.h"

#include "common/codepage.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

QByteArray rawFrame(int code, const QByteArray &body)
{
    QByteArray frame = QByteArray::number(code) + ';';
    const quint32 length = quint32(9 + body.size());
    for (int i = 0; i < 4; ++i)
        frame += char((length >> (8 * i)) & 0xff);
    return frame + ';' + body;
}

QByteArray rawFileRequest(int code, const QByteArray &cp932Name, const QByteArray &data,
                          const QByteArray &times)
{
    const QByteArray text = ';' + cp932Name + ';' + times + ';';
    const quint32 h = quint32(4 + text.size());
    QByteArray payload;
    for (int i = 0; i < 4; ++i)
        payload += char((h >> (8 * i)) & 0xff);
    return rawFrame(code, payload + text + data);
}

QByteArray cp932(const QString &text)
{
    return CodePage::toAnsi(text);
}

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

AgentFolder::AgentFolder(const QMap<QString, QString> &agentKeys) : m_port(freeLoopbackPort())
{
    QMap<QString, QString> keys = {
        {u"Port"_s, QString::number(m_port)},
        {u"TimeOut"_s, u"60"_s},
        {u"StatusLog"_s, u"1000"_s},
        {u"AutoStart"_s, u"0"_s},
        {u"AutoExit"_s, u"0"_s},
        {u"TimeStart"_s, u"WEEK,23:59,"_s},
        {u"ExeFile"_s, u"collect.sh"_s},
        {u"DebugMode"_s, u"1"_s},
        {u"ListenAddress"_s, u"127.0.0.1"_s},
    };
    for (auto it = agentKeys.cbegin(); it != agentKeys.cend(); ++it)
        keys[it.key()] = it.value();
    // Agents on several loopback addresses may share one port.
    if (agentKeys.contains(u"Port"_s))
        m_port = quint16(agentKeys.value(u"Port"_s).toUInt());
    QByteArray ini = "[TarvoAgent]\r\n";
    for (auto it = keys.cbegin(); it != keys.cend(); ++it)
        ini += cp932(it.key() + u'=' + it.value()) + "\r\n";
    ini += "[TarvoInfo]\r\nSQLUpdate=0\r\nSmtpMail=0\r\nFtpUpload=0\r\n";
    writeFile(u"TarvoAgent.ini"_s, ini);
    QFile::copy(QStringLiteral(TARVO_BIN_DIR "/TarvoAgent"), file(u"TarvoAgent"_s));
}

QByteArray AgentFolder::iniBytes() const
{
    return readFile(u"TarvoAgent.ini"_s);
}

void AgentFolder::writeFile(const QString &name, const QByteArray &data, bool executable) const
{
    QFile out(file(name));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(out.fileName()));
    out.write(data);
    out.close();
    if (executable)
        out.setPermissions(out.permissions() | QFile::ExeOwner | QFile::ExeUser);
}

QByteArray AgentFolder::readFile(const QString &name) const
{
    QFile in(file(name));
    if (!in.open(QIODevice::ReadOnly))
        return {};
    return in.readAll();
}

AgentProcess::AgentProcess(const AgentFolder &folder)
    : AgentProcess(folder.file(u"TarvoAgent"_s), folder.port())
{
}

AgentProcess::AgentProcess(const QString &program, quint16 port) : m_port(port)
{
    m_process.setProgram(program);
    m_process.setArguments({u"--headless"_s});
    m_process.setWorkingDirectory(QDir::tempPath());
}

AgentProcess::~AgentProcess()
{
    if (isRunning()) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void AgentProcess::startOnly()
{
    m_process.start();
}

bool AgentProcess::start()
{
    startOnly();
    if (!m_process.waitForStarted(5000))
        return false;
    return waitForLine(listeningText());
}

QStringList AgentProcess::allTexts()
{
    while (m_process.state() == QProcess::Running && m_process.waitForReadyRead(0)) {
    }
    return texts();
}

void AgentProcess::takeOutput()
{
    m_pending += m_process.readAllStandardOutput();
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        m_lines << QString::fromUtf8(m_pending.left(end));
        m_pending.remove(0, end + 1);
    }
}

QStringList AgentProcess::texts()
{
    takeOutput();
    QStringList texts;
    for (const QString &line : std::as_const(m_lines))
        texts << line.section(u'\t', 1);
    return texts;
}

bool AgentProcess::waitForLine(const QString &text, int timeoutMs)
{
    return waitForLineCount(text, 1, timeoutMs);
}

bool AgentProcess::waitForLineCount(const QString &text, qsizetype count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (texts().count(text) < count) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return texts().count(text) >= count;
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return true;
}

bool AgentProcess::waitForLinesContaining(const QString &part, qsizetype count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (texts().filter(part).size() < count) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return texts().filter(part).size() >= count;
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return true;
}

QString AgentProcess::listeningText() const
{
    return u"Socket("_s + QString::number(m_port) + u")は接続待ち状態になりました。"_s;
}

bool AgentProcess::waitForExit(int timeoutMs, int *exitCode)
{
    if (isRunning() && !m_process.waitForFinished(timeoutMs))
        return false;
    takeOutput();
    if (exitCode)
        *exitCode = m_process.exitCode();
    return true;
}

bool AgentProcess::signal(int signalNumber)
{
    return m_process.processId() > 0 && ::kill(pid_t(m_process.processId()), signalNumber) == 0;
}

QString AgentProcess::standardError()
{
    return QString::fromUtf8(m_process.readAllStandardError());
}

bool RawConsole::connectTo(quint16 port, int timeoutMs)
{
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    if (!m_socket.waitForConnected(timeoutMs))
        return false;
    // How the agent names this console; kept, as the socket forgets its port once closed.
    m_peerLabel = u"[127.0.0.1:"_s + QString::number(m_socket.localPort()) + u']';
    return true;
}

bool RawConsole::send(const QByteArray &bytes)
{
    if (m_socket.write(bytes) != bytes.size())
        return false;
    while (m_socket.bytesToWrite() > 0) {
        if (!m_socket.waitForBytesWritten(10000))
            return false;
    }
    return true;
}

std::optional<QByteArray> RawConsole::readFrame(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    auto expected = [this]() -> qsizetype {
        if (m_buffer.size() < 8)
            return -1;
        quint32 length = 0;
        for (int i = 0; i < 4; ++i)
            length |= quint32(quint8(m_buffer.at(4 + i))) << (8 * i);
        return qsizetype(length);
    };
    for (;;) {
        m_buffer += m_socket.readAll();
        const qsizetype length = expected();
        if (length >= 0 && m_buffer.size() >= length) {
            const QByteArray frame = m_buffer.left(length);
            m_buffer.remove(0, length);
            return frame;
        }
        if (deadline.hasExpired() || m_socket.state() != QAbstractSocket::ConnectedState)
            return std::nullopt;
        m_socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

std::optional<QByteArray> RawConsole::exchange(const QByteArray &request, int timeoutMs)
{
    if (!send(request))
        return std::nullopt;
    return readFrame(timeoutMs);
}

bool RawConsole::waitForClose(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_socket.state() == QAbstractSocket::ConnectedState) {
        if (deadline.hasExpired())
            return false;
        m_socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        if (m_socket.bytesAvailable() > 0)
            return false;
    }
    return true;
}

bool RawConsole::receivesWithin(int ms)
{
    return m_socket.bytesAvailable() > 0 || m_socket.waitForReadyRead(ms);
}

QString RawConsole::peerLabel() const
{
    return m_peerLabel;
}
