#pragma once

#include "agent/ui/settingsdialog.h"
#include "ui_frmsettingsql.h"

/// The SQL step's settings, behind "設定(&Q)".
class FrmSettingSql : public SettingsDialog
{
    Q_OBJECT
public:
    FrmSettingSql(const QString &iniPath, const QString &programTitle, QWidget *parent = nullptr);

private:
    Ui::frmSettingSql ui;
};
