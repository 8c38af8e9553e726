#pragma once

#include "agent/ui/settingsdialog.h"

#include <memory>

namespace Ui {
class frmSettingMail;
}

/// The mail step's settings, behind "設定(&M)".
class frmSettingMail : public SettingsDialog
{
    Q_OBJECT
public:
    frmSettingMail(const QString &iniPath, const QString &programTitle, QWidget *parent = nullptr);
    ~frmSettingMail() override;

private:
    std::unique_ptr<Ui::frmSettingMail> m_ui;
};
