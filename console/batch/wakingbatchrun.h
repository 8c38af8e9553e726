#pragma once

#include "console/batch/batchrun.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

class MacDirectory;
class WakeRun;

/// A batch run that, when asked to, wakes the computers it could not connect to and tries them
/// again every few seconds until they answer or the wake time has passed. Rows of computers it
/// woke say whether they answered after the packet. Without waking it is the plain batch run.
class WakingBatchRun : public QObject
{
    Q_OBJECT
public:
    static constexpr int RetryIntervalMs = 2000;

    /// `wakeSeconds` below 1: no waking.
    WakingBatchRun(const ConsoleSettings &settings, const NameTable &names,
                   ConsoleFrontEnd &frontEnd, MacDirectory &macs, int wakeSeconds,
                   QObject *parent = nullptr);
    ~WakingBatchRun() override;

    /// As BatchRun::start; with waking, also false with `errorText` when the wake settings are
    /// unusable.
    bool start(const QStringList &hosts, int code, const QString &filePath, QString &errorText);
    bool isRunning() const { return m_running; }
    /// The rows, in the order of the hosts; a row is final once rowFinished() named it.
    const QList<BatchResult> &rows() const { return m_rows; }

Q_SIGNALS:
    void rowFinished(int row);
    void finished();

private:
    void startRound(const QList<int> &rows);
    void onRoundRow(int roundRow);
    void onRoundFinished();
    void onWoken();
    void finalize(int row, const QString &note);
    void finishIfDone();

    const ConsoleSettings &m_settings;
    const NameTable &m_names;
    ConsoleFrontEnd &m_frontEnd;
    MacDirectory &m_macs;
    int m_wakeSeconds;
    int m_code = 0;
    QString m_filePath;
    QList<BatchResult> m_rows;
    QList<bool> m_final;
    BatchRun *m_round = nullptr;
    QList<int> m_roundRows;  // the rows of the run in progress, by its own row number
    QList<int> m_unanswered; // rows whose connection failed in the last round
    bool m_woken = false;
    WakeRun *m_wake = nullptr;
    QElapsedTimer m_sinceWake;
    QTimer m_retry;
    bool m_running = false;
};
