#pragma once

#include "agent/ui/settingsdialog.h"

#include <memory>

namespace Ui {
class frmSettingSql;
}

/// The SQL step's settings, behind "設定(&Q)".
class frmSettingSql : public SettingsDialog
{
    Q_OBJECT
public:
    frmSettingSql(const QString &iniPath, const QString &programTitle, QWidget *parent = nullptr);
    ~frmSettingSql() override;

private:
    std::unique_ptr<Ui::frmSettingSql> m_ui;
};
