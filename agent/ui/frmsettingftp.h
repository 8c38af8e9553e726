#pragma once

#include "agent/ui/settingsdialog.h"
#include "ui_frmsettingftp.h"

/// The FTP step's settings, behind "設定(&F)".
class FrmSettingFtp : public SettingsDialog
{
    Q_OBJECT
public:
    FrmSettingFtp(const QString &iniPath, const QString &programTitle, QWidget *parent = nullptr);

private:
    void showProxy(bool checked);

    Ui::frmSettingFtp ui;
};
