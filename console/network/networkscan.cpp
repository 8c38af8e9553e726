#include "console/network/networkscan.h"

#include "net/protocol.h"
#include "net/requestbuilder.h"
#include "net/streamconnection.h"

#include <QRegularExpression>
#include <QTimer>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {
constexpr int NarrowestGentlePrefix = 16;
}

std::optional<ScanRange> ScanRange::parse(const QString &text)
{
    const QString trimmed = text.trimmed();
    const qsizetype slash = trimmed.indexOf(u'/');
    QHostAddress base;
    if (!base.setAddress(trimmed.left(slash < 0 ? trimmed.size() : slash))
        || base.protocol() != QAbstractSocket::IPv4Protocol)
        return std::nullopt;
    int prefix = 32;
    if (slash >= 0) {
        bool ok = false;
        prefix = trimmed.mid(slash + 1).toInt(&ok);
        if (!ok || prefix < NarrowestGentlePrefix || prefix > 32)
            return std::nullopt;
    }
    const quint32 mask = prefix == 0 ? 0 : ~quint32(0) << (32 - prefix);
    ScanRange range;
    range.first = base.toIPv4Address() & mask;
    range.last = range.first | ~mask;
    // The network and broadcast addresses of a real subnet are never computers.
    if (prefix <= 30) {
        ++range.first;
        --range.last;
    }
    range.text = trimmed;
    return range;
}

QList<ScanRange> ScanRange::parseList(const QString &text)
{
    QList<ScanRange> ranges;
    for (const QString &part : text.split(QRegularExpression(u"[,\\s]+"_s), Qt::SkipEmptyParts)) {
        if (const auto range = parse(part))
            ranges.append(*range);
    }
    return ranges;
}

NetworkScan::NetworkScan(ScanRange range, quint16 port, int timeoutMs, QObject *parent)
    : QObject(parent), m_range(std::move(range)), m_port(port), m_timeoutMs(timeoutMs),
      m_next(m_range.first)
{
}

NetworkScan::~NetworkScan() = default; // probes' connections are children: they close with us

void NetworkScan::start()
{
    if (m_running)
        return;
    m_running = true;
    m_next = m_range.first;
    m_answered.clear();
    m_found.clear();
    launchMore();
}

void NetworkScan::launchMore()
{
    while (m_open < MaxConnections && m_next <= m_range.last)
        launch(quint32(m_next++));
    if (m_open == 0 && m_running) {
        m_running = false;
        std::sort(m_answered.begin(), m_answered.end());
        for (quint32 address : std::as_const(m_answered))
            m_found.append(QHostAddress(address).toString());
        Q_EMIT finished(m_found);
    }
}

void NetworkScan::launch(quint32 address)
{
    auto *probe = new Probe;
    probe->connection = new StreamConnection(this);
    probe->connection->setTransportFactory(m_factory);
    probe->timer = new QTimer(this);
    probe->timer->setSingleShot(true);
    ++m_open;
    m_peak = std::max(m_peak, m_open);
    StreamConnection *connection = probe->connection;
    connect(connection, &StreamConnection::connected, this, [connection] {
        connection->write(RequestBuilder::text(Frame::EndSession));
        connection->setReading(true);
    });
    connect(connection, &StreamConnection::received, this,
            [this, probe, address](QByteArrayView chunk) { onReceived(probe, address, chunk); });
    const auto giveUp = [this, probe, address] { endProbe(probe, address, false); };
    connect(connection, &StreamConnection::closed, this, giveUp);
    connect(connection, &StreamConnection::failed, this, giveUp);
    connect(probe->timer, &QTimer::timeout, this, giveUp);
    probe->timer->start(m_timeoutMs);
    QString errorText;
    if (!connection->create(errorText)
        || !connection->connectTo(QHostAddress(address).toString(), QString::number(m_port),
                                  errorText))
        QTimer::singleShot(0, this, giveUp); // as a refused connect would: from the event loop
}

void NetworkScan::onReceived(Probe *probe, quint32 address, QByteArrayView chunk)
{
    const auto status = probe->assembler.feed(chunk);
    if (status == FrameAssembler::Status::Incomplete)
        return;
    const bool answered = status == FrameAssembler::Status::Complete
        && probe->assembler.takeMessage().code == Protocol::successReply(Frame::EndSession);
    endProbe(probe, address, answered);
}

void NetworkScan::endProbe(Probe *probe, quint32 address, bool answered)
{
    if (!probe->connection)
        return; // a second outcome of a probe already ended (error after the time-out)
    if (answered)
        m_answered.append(address);
    probe->timer->stop();
    probe->connection->disconnect(this);
    probe->connection->close();
    probe->connection->deleteLater();
    probe->timer->deleteLater();
    probe->connection = nullptr;
    --m_open;
    // The probe itself is freed once no queued signal can name it any more.
    QTimer::singleShot(0, this, [probe] { delete probe; });
    QTimer::singleShot(0, this, [this] { launchMore(); });
}
