#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class MacDirectory;
class WakeSender;
struct ConsoleSettings;

/// One computer of a wake run: "OK" once its packet went, "NG" otherwise, the MAC text used and
/// what happened.
struct WakeResult
{
    QString host;
    QString result;
    QString mac;
    QString status;

    QStringList fields() const { return {host, result, mac, status}; }
};

/// Sends a magic packet to every computer whose MAC address is known, to the settings'
/// WakeAddress and WakePort, at most MaxControlCount packets a second. A computer without a
/// usable MAC address is reported and skipped.
class WakeRun : public QObject
{
    Q_OBJECT
public:
    WakeRun(const ConsoleSettings &settings, MacDirectory &macs, QObject *parent = nullptr);
    ~WakeRun() override;

    /// Checks WakeAddress and WakePort and opens the socket; false with `errorText` when they
    /// are unusable (nothing is sent then).
    bool open(QString &errorText);
    /// Wakes `hosts` (open() first); rowFinished() per computer, then finished().
    void start(const QStringList &hosts);

    const QList<WakeResult> &rows() const { return m_rows; }
    bool isRunning() const { return m_left > 0; }

    static QStringList headers();

Q_SIGNALS:
    void rowFinished(int row);
    void finished();

private:
    void finishRow(int row, bool sent, const QString &status);

    const ConsoleSettings &m_settings;
    MacDirectory &m_macs;
    WakeSender *m_sender = nullptr;
    QList<WakeResult> m_rows;
    int m_left = 0;
};
