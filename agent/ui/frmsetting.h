#pragma once

#include "agent/ui/settingsdialog.h"
#include "ui_frmsetting.h"

/// The agent's settings dialog behind Option > "設定(&P)...".
class FrmSetting : public SettingsDialog
{
    Q_OBJECT
public:
    FrmSetting(const QString &iniPath, const QString &programTitle, QWidget *parent = nullptr);

private:
    void openDetail(int index);

    Ui::frmSetting ui;
    QString m_iniPath;
};
