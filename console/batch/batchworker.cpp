#include "console/batch/batchworker.h"

#include "console/batch/batchrun.h"
#include "console/frontend.h"
#include "console/connection/namelookup.h"
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
    : QObject(parent), m_job(job), m_lookup(lookup), m_frontEnd(frontEnd),
      m_exchange(settings, MaxReplyBytes), m_lblClient(u"処理待ち･･･"_s),
      m_lblClientResult(u"NG"_s)
{
    m_tmrStart.setSingleShot(true);
    m_tmrStart.setInterval(startDelayMs);
    connect(&m_tmrStart, &QTimer::timeout, this, &BatchWorker::run);
    connect(&m_exchange, &RequestExchange::socketStatus, this, &BatchWorker::socketStatus);
    connect(&m_exchange, &RequestExchange::connected, this, &BatchWorker::onConnected);
    connect(&m_exchange, &RequestExchange::sent, this, &BatchWorker::onSent);
    connect(&m_exchange, &RequestExchange::receiving, this, &BatchWorker::onReceiving);
    connect(&m_exchange, &RequestExchange::replied, this, &BatchWorker::onReply);
    connect(&m_exchange, &RequestExchange::failed, this, &BatchWorker::onFailed);
    // The time-out counts from the worker's creation, the wait for the start included.
    m_exchange.startTimeout();
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
    QString errorText;
    if (!m_exchange.begin(m_lookup, m_job.host, m_job.code, errorText)) {
        Q_EMIT socketStatus(u"ソケットを生成できませんでした！"_s);
        closeSockets();
        finish();
    }
}

void BatchWorker::onConnected()
{
    m_connected = true;
    setStatus(u"接続完了！"_s);
    if (isFileRequest())
        sendFileRequest();
    else
        sendTextRequest();
}

bool BatchWorker::isFileRequest() const
{
    return IsFileRequest(m_job.code);
}

void BatchWorker::sendTextRequest()
{
    setProgress(20);
    m_exchange.send(RequestBuilder::text(Frame::Code(m_job.code)));
    setStatus(u"コマンド送信中･･･ ("_s + QString::number(m_job.code) + u')');
    setProgress(30);
}

void BatchWorker::sendFileRequest()
{
    const QFileInfo info(m_job.filePath);
    QFile probe(m_job.filePath);
    if (!probe.open(QIODevice::ReadOnly)) {
        onFailed(RequestExchange::Failure::File, 0, {});
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
        onFailed(RequestExchange::Failure::File, 0, {});
        return;
    }
    m_exchange.sendWithFile(std::move(*head), m_job.filePath, info.size());
    setStatus(u"コマンド送信中･･･ ("_s + QString::number(m_job.code) + u')');
}

void BatchWorker::onSent()
{
    const bool text = !isFileRequest();
    setStatus(u"コマンド送信完了！ ("_s + QString::number(m_job.code) + u')');
    if (text)
        setProgress(40);
    setStatus(u"データ受信待ち･･･"_s);
    if (text)
        setProgress(50);
}

void BatchWorker::onReceiving()
{
    setStatus(u"データ受信中･･･"_s);
    setProgress(60);
}

void BatchWorker::onReply(const Frame::Message &message)
{
    m_replyCode = message.code;
    m_replyBody = message.payloadText();
    setStatus(u"データ受信完了!"_s);
    setProgress(70);
    setStatus(replyStatusText(message.code));
    setProgress(80);
    m_exchange.endAfterReply(message.code);
    setProgress(100);
    const Protocol::Reply *reply = Protocol::findReply(message.code);
    if (reply->success)
        m_lblClientResult = u"OK"_s;
    finish();
}

void BatchWorker::onFailed(RequestExchange::Failure failure, int wsaError, const QString &text)
{
    using Failure = RequestExchange::Failure;
    switch (failure) {
    case Failure::Connect:
        Q_EMIT socketStatus(u"接続できませんでした！"_s);
        break;
    case Failure::Handshake:
        setStatus(u"暗号化接続を確立できませんでした！（"_s + text + u'）');
        break;
    case Failure::Send:
        Q_EMIT socketStatus(text);
        break;
    case Failure::File:
        ShowWarning(m_frontEnd, u"ファイル情報の取得に失敗しました！"_s);
        break;
    case Failure::TooLarge:
        setStatus(u"受信データが大きすぎます！"_s);
        break;
    case Failure::Closed:
        setStatus(wsaError == basWSock::WsaEConnReset ? u"接続が切れました！"_s
                                                       : u"切断されています！"_s);
        break;
    case Failure::Receive: // the row keeps the step it had reached
        break;
    case Failure::Notification:
        setStatus(u"データ受信エラーが発生しました！"_s);
        break;
    case Failure::Timeout:
        setStatus(u"タイムアウト！"_s);
        break;
    }
    closeSockets();
    finish();
}

void BatchWorker::closeSockets()
{
    m_tmrStart.stop();
    m_exchange.close();
}

void BatchWorker::cancel()
{
    if (m_finished)
        return;
    setStatus(u"中止しました！"_s);
    m_tmrStart.stop();
    m_exchange.cancel();
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
