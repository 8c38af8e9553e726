#pragma once

#include <QObject>

class QSocketNotifier;

/// Turns SIGTERM and SIGINT into a signal on the event loop (a self-pipe: the handler only
/// writes a byte), so a service stop runs the program's ordinary exit; one second later the
/// program ends regardless. SIGPIPE is ignored: writes to a closed pipe fail instead of ending
/// the program.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

Q_SIGNALS:
    void terminationRequested();

private:
    QSocketNotifier *m_notifier = nullptr;
};
