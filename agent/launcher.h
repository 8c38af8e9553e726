#pragma once

#include <QString>
#include <QStringList>

/// Starts the programs the agent hands work to: the collector and the updater.
class ProgramLauncher
{
public:
    virtual ~ProgramLauncher() = default;
    /// `LaunchCollector`: starts `file` (relative to the agent folder, or a path) with
    /// `arguments` in the agent folder without waiting. True when it started.
    virtual bool launchCollector(const QString &file, const QString &arguments) = 0;
    /// Starts the updater with `arguments` and waits up to 10 seconds for it to be ready.
    virtual bool startUpdater(const QStringList &arguments) = 0;
};

/// The launcher of a real agent: programs in `folder`.
class SystemLauncher : public ProgramLauncher
{
public:
    explicit SystemLauncher(QString folder) : m_folder(std::move(folder)) {}
    bool launchCollector(const QString &file, const QString &arguments) override;
    bool startUpdater(const QStringList &arguments) override;

    static constexpr int UpdaterReadyTimeoutMs = 10000;

private:
    QString m_folder;
};
