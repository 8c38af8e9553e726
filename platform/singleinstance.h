#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QLocalServer;
class QLocalSocket;

/// One running instance per program name and program folder. The first instance holds a lock
/// file and serves a local socket named after the program and its folder; a second instance
/// asks the first to show its window and ends. The updater finds the running program's
/// process through the same socket ("finding the window by its caption").
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    SingleInstance(QString programName, QString folder, QObject *parent = nullptr);
    ~SingleInstance() override;

    /// True when this process is now the only instance. False when another instance holds the
    /// program and folder (that instance has then been asked to show itself), or when this user
    /// cannot even open the folder's lock file and so could not tell.
    bool acquire();
    /// Gives the instance up (lock released, socket closed), e.g. just before the program ends.
    void release();

    /// The process id of the instance running `programName` in `folder`, if any.
    static std::optional<qint64> findRunning(const QString &programName, const QString &folder);

Q_SIGNALS:
    /// Another start of the same program asked this instance to show its window.
    void activationRequested();

private:
    void startServer();
    void serveConnection(QLocalSocket *socket);

    QString m_programName;
    QString m_folder;
    int m_lockFd = -1;
    QLocalServer *m_server = nullptr;
};
