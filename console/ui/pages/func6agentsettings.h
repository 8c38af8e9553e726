#pragma once

#include "console/settings/agentsettingspage.h"

#include <QWidget>

#include <memory>

namespace Ui {
class Func6AgentSettings;
}
class PageDialogs;

/// Page 6, section "TarvoAgent.iniの管理": the five tabs of an opened TarvoAgent.ini.
class Func6AgentSettings : public QWidget
{
    Q_OBJECT

public:
    explicit Func6AgentSettings(PageDialogs &dialogs, QWidget *parent = nullptr);
    ~Func6AgentSettings() override;

    /// Shows a file as the open button does once a file is chosen.
    void openFile(const QString &path);
    const QString &agentIniPath() const { return m_path; }
    /// What the controls hold now.
    AgentSettingsValues values() const;

Q_SIGNALS:
    /// The explanation button: the main window shows frmInformation with this file.
    void explanationRequested(const QString &file);

private:
    void chooseFile();
    void apply();
    void editTiming();
    void showValues(const AgentSettingsValues &values);
    void applySectionStates();
    void proxyClicked(bool checked);

    std::unique_ptr<Ui::Func6AgentSettings> m_ui;
    PageDialogs &m_dialogs;
    QString m_path;
};
