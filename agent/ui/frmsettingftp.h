#pragma once

#include "agent/ui/settingsdialog.h"

#include <memory>

namespace Ui {
class frmSettingFtp;
}

/// The FTP step's settings, behind "設定(&F)".
class frmSettingFtp : public SettingsDialog
{
    Q_OBJECT
public:
    frmSettingFtp(const QString &iniPath, const QString &programTitle, QWidget *parent = nullptr);
    ~frmSettingFtp() override;

private:
    void showProxy(bool checked);

    std::unique_ptr<Ui::frmSettingFtp> m_ui;
};
