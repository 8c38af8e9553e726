#pragma once

#include "agent/ui/settingsdialog.h"

#include <memory>

namespace Ui {
class frmAgentSetting;
}

/// The agent's settings dialog `frmSetting`, behind Option > "設定(&P)...".
class frmAgentSetting : public SettingsDialog
{
    Q_OBJECT
public:
    frmAgentSetting(const QString &iniPath, const QString &programTitle,
                    QWidget *parent = nullptr);
    ~frmAgentSetting() override;

private:
    void openDetail(int index);

    std::unique_ptr<Ui::frmAgentSetting> m_ui;
    QString m_iniPath;
};
