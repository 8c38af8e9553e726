#include "console/batch/wakingbatchrun.h"

#include "console/batch/wakerun.h"

#include <numeric>

using namespace Qt::StringLiterals;

WakingBatchRun::WakingBatchRun(const ConsoleSettings &settings, const NameTable &names,
                               ConsoleFrontEnd &frontEnd, MacDirectory &macs, int wakeSeconds,
                               QObject *parent)
    : QObject(parent), m_settings(settings), m_names(names), m_frontEnd(frontEnd), m_macs(macs),
      m_wakeSeconds(wakeSeconds)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] { startRound(m_unanswered); });
}

WakingBatchRun::~WakingBatchRun() = default;

bool WakingBatchRun::start(const QStringList &hosts, int code, const QString &filePath,
                           QString &errorText)
{
    if (m_running)
        return false;
    if (m_wakeSeconds > 0) {
        m_wake = new WakeRun(m_settings, m_macs, this);
        connect(m_wake, &WakeRun::finished, this, &WakingBatchRun::onWoken);
        if (!m_wake->open(errorText))
            return false;
    }
    m_code = code;
    m_filePath = filePath;
    m_rows = BatchRowsFor(hosts);
    m_final = QList<bool>(m_rows.size(), false);
    m_round = new BatchRun(m_settings, m_names, m_frontEnd, 0, this);
    connect(m_round, &BatchRun::rowFinished, this, &WakingBatchRun::onRoundRow);
    connect(m_round, &BatchRun::finished, this, &WakingBatchRun::onRoundFinished);
    QList<int> all(m_rows.size());
    std::iota(all.begin(), all.end(), 0);
    m_roundRows = all;
    m_running = true;
    if (!m_round->start(hosts, code, filePath)) {
        m_running = false;
        return false;
    }
    return true;
}

void WakingBatchRun::startRound(const QList<int> &rows)
{
    QStringList hosts;
    for (const int row : rows)
        hosts.append(m_rows[row].host);
    m_roundRows = rows;
    m_unanswered.clear();
    m_round->start(hosts, m_code, m_filePath);
}

void WakingBatchRun::onRoundRow(int roundRow)
{
    const int row = m_roundRows.value(roundRow, -1);
    if (row < 0)
        return;
    m_rows[row] = m_round->rows().at(roundRow);
    if (m_wakeSeconds > 0 && !m_rows[row].connected) {
        m_unanswered.append(row);
        return;
    }
    finalize(row, m_woken ? u" (Wake-on-LAN後に応答)"_s : QString());
}

void WakingBatchRun::onRoundFinished()
{
    if (m_unanswered.isEmpty()) {
        finishIfDone();
        return;
    }
    if (!m_woken) {
        m_woken = true;
        QStringList hosts;
        for (const int row : std::as_const(m_unanswered))
            hosts.append(m_rows[row].host);
        m_wake->start(hosts);
        return;
    }
    if (m_sinceWake.elapsed() >= qint64(m_wakeSeconds) * 1000) {
        for (const int row : std::as_const(m_unanswered))
            finalize(row, u" (Wake-on-LAN後も応答なし)"_s);
        m_unanswered.clear();
        finishIfDone();
        return;
    }
    m_retry.start(RetryIntervalMs);
}

void WakingBatchRun::onWoken()
{
    // Only the computers a packet went to are worth waiting for.
    QList<int> woken;
    for (qsizetype i = 0; i < m_wake->rows().size(); ++i) {
        const WakeResult &result = m_wake->rows().at(i);
        const int row = m_unanswered.at(i);
        if (result.result == u"OK")
            woken.append(row);
        else
            finalize(row, u" (Wake-on-LAN: "_s + result.status + u')');
    }
    m_unanswered = woken;
    m_sinceWake.start();
    if (m_unanswered.isEmpty())
        finishIfDone();
    else
        m_retry.start(RetryIntervalMs);
}

void WakingBatchRun::finalize(int row, const QString &note)
{
    m_rows[row].status += note;
    m_final[row] = true;
    Q_EMIT rowFinished(row);
}

void WakingBatchRun::finishIfDone()
{
    if (!m_running || m_final.contains(false))
        return;
    m_running = false;
    Q_EMIT finished();
}
