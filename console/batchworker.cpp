#include "console/batchworker.h"

#include "console/agentsession.h"
#include "console/batchrun.h"
#include "console/consolesettings.h"
#include "console/consoletls.h"
#include "console/frontend.h"
#include "console/namelookup.h"
#include "net/baswsock.h"
#include "net/protocol.h"
#include "net/requestbuilder.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QString fileTime(const QDateTime &when)
{
    return when.toLocalTime().toString(u"yyyy/MM/dd HH:mm:ss"_s);
}

} // namespace

BatchWorker::BatchWorker(const BatchJob &job, const ConsoleSettings &settings,
                         NameLookup &lookup, ConsoleFrontEnd &frontEnd, int startDelayMs,
                         QObject *parent)
    : QObject(parent), m_job(job), m_settings(settings), m_lookup(lookup), m_frontEnd(frontEnd),
      m_lblClient(u"処理待ち･･･"_s), m_lblClientResult(u"NG"_s)
{
    m_tmrStart.setSingleShot(true);
    m_tmrStart.setInterval(startDelayMs);
    connect(&m_tmrStart, &QTimer::timeout, this, &BatchWorker::run);
    // The time-out counts from the worker's creation, the wait for the start included.
    connect(&m_tmrTimeout, &TransferDeadline::expired, this, &BatchWorker::onTimeout);
    m_tmrTimeout.start(m_settings.TimeoutMs);
}

BatchWorker::~BatchWorker() = default;

void BatchWorker::start()
{
    m_tmrStart.start();
}

QString BatchWorker::caption() const
{
    return ApplicationTitle() + u" - "_s + m_job.host;
}

QString BatchWorker::replyStatusText(int replyCode)
{
    struct Row { Frame::Code request; const char16_t *success; const char16_t *failure; };
    static const Row rows[] = {
        {Frame::RestartAgent, u"エージェント再起動！", u"エージェントの再起動失敗！"},
        {Frame::RunCollector, u"情報収集プログラム実行！", u"情報収集プログラムの実行失敗！"},
        {Frame::TerminateAgent, u"エージェント終了！", u"エージェントの終了失敗！"},
        {Frame::DistributeFile, u"ファイル配信！", u"ファイル配信失敗！"},
        {Frame::DistributeAndRestart, u"ファイル配信＆再起動！", u"ファイル配信＆再起動失敗！"},
        {Frame::DistributeAndCollect, u"ファイル配信＆情報収集！", u"ファイル配信＆情報収集失敗！"},
        {Frame::GetFileInfo, u"ファイル情報取得！", u"ファイル情報の取得失敗！"},
    };
    if (replyCode == Protocol::successReply(Frame::EndSession))
        return u"接続切断！"_s;
    for (const Row &row : rows) {
        if (replyCode == Protocol::successReply(row.request))
            return QString::fromUtf16(row.success);
        if (replyCode == Protocol::failureReply(row.request))
            return QString::fromUtf16(row.failure);
    }
    return {};
}

void BatchWorker::run()
{
    // Any other code does nothing but end the worker, so that its slot is freed.
    if (!IsBatchRequest(m_job.code)) {
        closeSockets();
        finish();
        return;
    }
    connectAgent();
}

void BatchWorker::connectAgent()
{
    setStatus(u"接続中･･･"_s);
    setProgress(10);
    if (!m_tmrTimeout.isActive())
        m_tmrTimeout.start(m_settings.TimeoutMs);
    m_session = new AgentSession(MaxReplyBytes, this);
    connect(m_session, &AgentSession::connected, this, &BatchWorker::onConnected);
    connect(m_session, &AgentSession::connectFailed, this, &BatchWorker::onConnectFailed);
    connect(m_session, &AgentSession::handshakeFailed, this, [this](const QString &reason) {
        setStatus(u"暗号化接続を確立できませんでした！（"_s + reason + u'）');
        m_state = Failed;
        closeSockets();
        finish();
    });
    m_session->setTransportFactory(ConsoleTransportFactory(m_settings));
    connect(m_session, &AgentSession::sent, this, &BatchWorker::onSent);
    connect(m_session, &AgentSession::sendFailed, this,
            [this](int, const QString &text) { onSendFailed(text); });
    connect(m_session, &AgentSession::fileFailed, this, &BatchWorker::onFileFailed);
    connect(m_session, &AgentSession::receiving, this, &BatchWorker::onReceiving);
    connect(m_session, &AgentSession::replyReceived, this, &BatchWorker::onReply);
    connect(m_session, &AgentSession::replyTooLarge, this, [this] {
        setStatus(u"受信データが大きすぎます！"_s);
        m_state = Failed;
        closeSockets();
        finish();
    });
    connect(m_session, &AgentSession::closedByAgent, this, &BatchWorker::onClosedByAgent);
    connect(m_session, &AgentSession::receiveFailed, this, &BatchWorker::onReceiveFailed);
    connect(m_session, &AgentSession::notificationFailed, this, [this] {
        setStatus(u"データ受信エラーが発生しました！"_s);
        onReceiveFailed();
    });
    QString errorText;
    if (!m_session->create(errorText)) {
        Q_EMIT socketStatus(u"ソケットを生成できませんでした！"_s);
        closeSockets();
        finish();
        return;
    }
    Q_EMIT socketStatus(u"ソケットが生成されました！"_s);
    m_state = Connecting;
    m_lookup.find(m_job.host, this, [this](const NameLookup::Target &target) {
        onTargetFound(target.address, target.wsaError);
    });
    Q_EMIT socketStatus(u"接続しています･･･"_s);
}

void BatchWorker::onTargetFound(const QString &address, int wsaError)
{
    // An answer after the time-out finds the worker ended: it is dropped.
    if (m_finished || m_state != Connecting)
        return;
    m_roundTrip.start();
    if (address.isEmpty())
        m_session->failConnect(wsaError);
    else
        m_session->connectTo(address, m_settings.Port);
}

void BatchWorker::onConnected()
{
    m_state = Idle;
    m_connected = true;
    Q_EMIT socketStatus(u"接続しました！"_s);
    setStatus(u"接続完了！"_s);
    if (isFileRequest())
        sendFileRequest();
    else
        sendTextRequest();
}

void BatchWorker::onConnectFailed()
{
    m_state = Failed;
    Q_EMIT socketStatus(u"接続できませんでした！"_s);
    closeSockets();
    finish();
}

bool BatchWorker::isFileRequest() const
{
    return IsFileRequest(m_job.code);
}

void BatchWorker::sendTextRequest()
{
    setProgress(20);
    m_tmrTimeout.stop();
    m_session->send(RequestBuilder::text(Frame::Code(m_job.code)));
    setStatus(u"コマンド送信中･･･ ("_s + QString::number(m_job.code) + u')');
    setProgress(30);
}

void BatchWorker::sendFileRequest()
{
    const QFileInfo info(m_job.filePath);
    QFile probe(m_job.filePath);
    if (!probe.open(QIODevice::ReadOnly)) {
        onFileFailed();
        return;
    }
    probe.close();
    const QDateTime created = info.birthTime().isValid() ? info.birthTime() : info.lastModified();
    Frame::FileHeader header{m_job.fileName.trimmed(), fileTime(created),
                             fileTime(info.lastModified()), fileTime(info.lastRead())};
    std::optional<QByteArray> head =
        RequestBuilder::fileHead(Frame::Code(m_job.code), header, quint64(info.size()));
    if (!head) {
        // The length field cannot describe the frame: refuse rather than send a wrong one.
        onFileFailed();
        return;
    }
    // A stalled or trickling transfer must not hold its slot for ever: the time-out runs while
    // sending, and only a steady rate earns more time.
    m_tmrTimeout.start(m_settings.TimeoutMs);
    connect(m_session, &AgentSession::chunkSent, &m_tmrTimeout, &TransferDeadline::addBytes);
    m_session->sendWithFile(std::move(*head), m_job.filePath, info.size());
    setStatus(u"コマンド送信中･･･ ("_s + QString::number(m_job.code) + u')');
}

void BatchWorker::onFileFailed()
{
    ShowWarning(m_frontEnd, u"ファイル情報の取得に失敗しました！"_s);
    closeSockets();
    finish();
}

void BatchWorker::onSent()
{
    const bool text = !isFileRequest();
    setStatus(u"コマンド送信完了！ ("_s + QString::number(m_job.code) + u')');
    if (text)
        setProgress(40);
    m_state = WaitingForReply;
    m_session->startReading();
    setStatus(u"データ受信待ち･･･"_s);
    if (text)
        setProgress(50);
    m_tmrTimeout.start(m_settings.TimeoutMs);
}

void BatchWorker::onSendFailed(const QString &errorText)
{
    Q_EMIT socketStatus(errorText);
    closeSockets();
    finish();
}

void BatchWorker::onReceiving(qint64 bytes)
{
    // The reply's time-out is not restarted by what arrives: a trickle ends by it all the same.
    m_tmrTimeout.addBytes(bytes);
    setStatus(u"データ受信中･･･"_s);
    setProgress(60);
}

void BatchWorker::onReply(const Frame::Message &message)
{
    onReceiving(0);
    const int endReply = Protocol::successReply(Frame::EndSession);
    if (!Protocol::answers(message.code, m_job.code) && message.code != endReply) {
        // Not an answer to this request: the worker waits on, until its time-out.
        m_session->startReading();
        return;
    }
    m_roundTripMs = m_roundTrip.elapsed();
    m_replyCode = message.code;
    m_replyBody = message.payloadText();
    setStatus(u"データ受信完了!"_s);
    setProgress(70);
    m_state = message.code == endReply ? ClosedByAgent : Idle;
    setStatus(replyStatusText(message.code));
    setProgress(80);
    if (Protocol::consoleSendsEndAfter(message.code))
        m_session->send(RequestBuilder::text(Frame::EndSession));
    closeSockets();
    setProgress(100);
    const Protocol::Reply *reply = Protocol::findReply(message.code);
    if (reply->success)
        m_lblClientResult = u"OK"_s;
    finish();
}

void BatchWorker::onClosedByAgent(int wsaError)
{
    setStatus(wsaError == basWSock::WsaEConnReset ? u"接続が切れました！"_s
                                                   : u"切断されています！"_s);
    m_state = ClosedByAgent;
    closeSockets();
    finish();
}

void BatchWorker::onReceiveFailed()
{
    m_state = Failed;
    closeSockets();
    finish();
}

void BatchWorker::onTimeout()
{
    if (m_finished)
        return;
    setStatus(u"タイムアウト！"_s);
    closeSockets();
    finish();
}

void BatchWorker::closeSockets()
{
    m_tmrTimeout.stop();
    m_tmrStart.stop();
    Q_EMIT socketStatus(u"ソケットをクローズしています･･･"_s);
    if (m_session)
        m_session->close();
    Q_EMIT socketStatus(u"ソケットのクローズが完了しました！"_s);
}

void BatchWorker::cancel()
{
    if (m_finished)
        return;
    setStatus(u"中止しました！"_s);
    m_state = Failed;
    closeSockets();
    finish();
}

void BatchWorker::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    Q_EMIT finished(this);
}

void BatchWorker::setStatus(const QString &text)
{
    m_lblClient = text;
    Q_EMIT statusTextChanged(text);
}

void BatchWorker::setProgress(int value)
{
    m_progress = value;
    Q_EMIT progressChanged(value);
}
