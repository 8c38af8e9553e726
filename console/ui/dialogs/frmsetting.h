#pragma once

#include <QDialog>

#include <memory>

class ConsoleFrontEnd;
struct ConsoleSettings;

namespace Ui {
class frmSetting;
}

/// The console's settings dialog over TarvoControl.ini.
class frmSetting : public QDialog
{
    Q_OBJECT
public:
    frmSetting(ConsoleSettings &settings, ConsoleFrontEnd &frontEnd, QWidget *parent = nullptr);
    ~frmSetting() override;

private:
    void save();
    bool eventFilter(QObject *watched, QEvent *event) override;

    std::unique_ptr<Ui::frmSetting> m_ui;
    ConsoleSettings &m_settings;
    ConsoleFrontEnd &m_frontEnd;
};
