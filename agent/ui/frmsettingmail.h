#pragma once

#include "agent/ui/settingsdialog.h"
#include "ui_frmsettingmail.h"

/// The mail step's settings, behind "設定(&M)".
class FrmSettingMail : public SettingsDialog
{
    Q_OBJECT
public:
    FrmSettingMail(const QString &iniPath, const QString &programTitle, QWidget *parent = nullptr);

private:
    Ui::frmSettingMail ui;
};
