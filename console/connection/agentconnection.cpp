#include "console/connection/agentconnection.h"

#include "common/clock.h"
#include "console/frontend.h"
#include "console/connection/namelookup.h"
#include "console/connection/nametable.h"
#include "net/baswsock.h"
#include "net/protocol.h"
#include "net/requestbuilder.h"

using namespace Qt::StringLiterals;

namespace {

QString codeText(int code)
{
    return QString::number(code);
}

} // namespace

AgentConnection::AgentConnection(const ConsoleSettings &settings, const NameTable &names,
                                 ConsoleFrontEnd &frontEnd, QObject *parent)
    : QObject(parent), m_names(names), m_frontEnd(frontEnd),
      m_exchange(settings, Frame::DefaultMaxBytes)
{
    connect(&m_exchange, &RequestExchange::socketStatus, this,
            [this](const QString &text) { m_frontEnd.showStatus(text); });
    connect(&m_exchange, &RequestExchange::stateChanged, this, &AgentConnection::stateChanged);
    connect(&m_exchange, &RequestExchange::connected, this, &AgentConnection::onConnected);
    connect(&m_exchange, &RequestExchange::sent, this, &AgentConnection::onSent);
    connect(&m_exchange, &RequestExchange::replied, this, &AgentConnection::onReply);
    connect(&m_exchange, &RequestExchange::failed, this, &AgentConnection::onFailed);
}

AgentConnection::~AgentConnection() = default;

bool AgentConnection::InitSockets()
{
    m_frontEnd.showStatus(u"ソケットを初期化しています･･･"_s);
    QString errorText;
    const int result = basWSock::StartupSockets(errorText);
    if (errorText.isEmpty() && result == 0) {
        m_frontEnd.showStatus(u"ソケットの初期化が完了しました！"_s);
        return true;
    }
    ShowApplicationError(m_frontEnd, errorText);
    return false;
}

void AgentConnection::ReleaseSockets()
{
    if (m_exchange.isOpen()) {
        m_exchange.sendEnd();
        m_exchange.close();
    }
    m_frontEnd.showStatus(u"ソケットリソースを解放しています･･･"_s);
    QString errorText;
    basWSock::CleanupSockets(errorText);
    m_frontEnd.showStatus(u"ソケットリソースが解放されました！"_s);
}

bool AgentConnection::SendCommand(const QString &host, int code, const QString &data)
{
    // The batch requests go through BatchRun.
    if (!Protocol::isSingleRequest(code))
        return false;
    if (m_busy) {
        // Interleaving two requests on one agent session would mix their replies.
        m_frontEnd.showStatus(u"前のコマンドの応答を待っています。しばらくしてから実行してください。"_s);
        return false;
    }
    m_busy = true;
    m_requestCode = code;
    m_request = RequestBuilder::text(Frame::Code(code), data);
    m_frontEnd.setBusy(true);
    // One command is one run: its name is looked up afresh, and the lookup of a command that
    // timed out cannot reach the next one.
    m_lookup = std::make_unique<NameLookup>(m_names, 1);
    QString errorText;
    if (!m_exchange.begin(*m_lookup, host, code, errorText)) {
        ShowApplicationError(m_frontEnd, errorText);
        m_frontEnd.showStatus(u"ソケットを生成できませんでした！"_s);
        m_exchange.closeQuietly();
        finish(0);
    }
    return true;
}

void AgentConnection::onConnected()
{
    m_exchange.send(m_request);
    m_frontEnd.showStatus(u"コマンド（"_s + codeText(m_requestCode) + u"）送信中･･･"_s);
}

void AgentConnection::onSent(qint64 bytes)
{
    m_frontEnd.showStatus(u"コマンド（"_s + codeText(m_requestCode) + u"）送信しました！（"_s
                          + QString::number(bytes) + u" bytes）"_s);
    m_frontEnd.setBusy(false);
}

void AgentConnection::onReply(const Frame::Message &message)
{
    m_replyCode = message.code;
    m_replyBody = message.payloadText();
    dispatch(m_replyCode, m_replyBody);
}

void AgentConnection::dispatch(int code, const QString &body)
{
    const QString time = timeText();
    const Outcome outcome = outcomeOf(code, body, time);
    using Protocol::successReply;
    if (code == successReply(Frame::GetParameters))
        Q_EMIT ShowParameters(body);
    else if (code == successReply(Frame::GetFileInfo))
        Q_EMIT ShowFileList(body);
    else if (code == successReply(Frame::GetDataFile))
        Q_EMIT ShowDataFile(body);
    else if (code == successReply(Frame::GetStatusLog))
        Q_EMIT ShowStatusLog(body);
    else if (code == successReply(Frame::EndSession))
        ShowInformation(m_frontEnd, u"接続が切断されました。"_s);
    else if (!outcome.box.isEmpty())
        ShowWarning(m_frontEnd, outcome.box + u"\r\n"_s + body);
    m_exchange.endAfterReply(code);
    if (!outcome.status.isEmpty())
        m_frontEnd.showStatus(outcome.status);
    finish(code);
}

AgentConnection::Outcome AgentConnection::outcomeOf(int replyCode, const QString &body,
                                                    const QString &time)
{
    // Each failure names the reply body where the agent puts its reason, and shows a box.
    struct Row { Frame::Code request; bool success; const char16_t *text; bool withBody; };
    static const Row rows[] = {
        {Frame::GetParameters, true, u"パラメータを表示しました！", false},
        {Frame::GetParameters, false, u"パラメータ取得に失敗しました！", true},
        {Frame::UpdateParameters, true, u"パラメータを更新しました！", false},
        {Frame::UpdateParameters, false, u"パラメータ更新に失敗しました！", false},
        {Frame::RestartAgent, true, u"エージェントを再起動しました！", false},
        {Frame::RestartAgent, false, u"エージェントの再起動に失敗しました！", false},
        {Frame::RunCollector, true, u"情報収集プログラムを実行しました！", false},
        {Frame::RunCollector, false, u"情報収集プログラムの実行に失敗しました！", false},
        {Frame::TerminateAgent, true, u"エージェントを終了しました！", false},
        {Frame::TerminateAgent, false, u"エージェントの終了に失敗しました！", false},
        {Frame::GetFileInfo, true, u"ファイル情報を表示しました！", false},
        {Frame::GetFileInfo, false, u"ファイル情報の取得に失敗しました！", true},
        {Frame::GetDataFile, true, u"データファイルを表示しました！", false},
        {Frame::GetDataFile, false, u"データファイルの取得に失敗しました！", true},
        {Frame::GetStatusLog, true, u"稼動ログを表示しました！", false},
        {Frame::GetStatusLog, false, u"稼動ログの取得に失敗しました！", true},
    };
    for (const Row &row : rows) {
        const int code = row.success ? Protocol::successReply(row.request)
                                     : Protocol::failureReply(row.request);
        if (code != replyCode)
            continue;
        const QString text = QString::fromUtf16(row.text);
        return {row.success ? QString() : text,
                text + u'(' + (row.withBody ? body : time) + u')', row.success};
    }
    return {}; // the end reply leaves the status as it is
}

void AgentConnection::onFailed(RequestExchange::Failure failure, int wsaError,
                               const QString &text)
{
    using Failure = RequestExchange::Failure;
    switch (failure) {
    case Failure::Connect:
        ShowInformation(m_frontEnd, u"接続できませんでした！"_s);
        m_frontEnd.showStatus(u"接続できませんでした！"_s);
        m_exchange.closeQuietly();
        break;
    case Failure::Handshake:
        ShowInformation(m_frontEnd, u"暗号化接続を確立できませんでした！"_s + u'\n' + text);
        m_frontEnd.showStatus(u"暗号化接続を確立できませんでした！ "_s + text);
        m_exchange.closeQuietly();
        break;
    case Failure::Send:
    case Failure::File: // not sent by the single connection
    case Failure::Receive:
        ShowApplicationError(m_frontEnd, text);
        m_exchange.close();
        break;
    case Failure::Notification:
        ShowApplicationError(m_frontEnd, u"データ受信エラーが発生しました！"_s);
        m_exchange.close();
        break;
    case Failure::TooLarge:
        m_exchange.close();
        m_frontEnd.showStatus(u"受信データが大きすぎるため、受信を中止しました！"_s);
        break;
    case Failure::Closed:
        ShowInformation(m_frontEnd, wsaError == basWSock::WsaEConnReset
                                        ? u"接続が切れました！"_s
                                        : u"切断されています！"_s);
        m_exchange.close();
        break;
    case Failure::Timeout:
        m_exchange.close();
        m_frontEnd.showStatus(u"タイムアウトしました！("_s + timeText() + u')');
        break;
    }
    finish(0);
}

void AgentConnection::finish(int replyCode)
{
    m_busy = false;
    m_frontEnd.setBusy(false);
    Q_EMIT commandFinished(m_requestCode, replyCode);
}

QString AgentConnection::timeText() const
{
    const QDateTime now = m_clock ? m_clock->now() : QDateTime::currentDateTime();
    return now.toString(u"HH:mm:ss"_s);
}
