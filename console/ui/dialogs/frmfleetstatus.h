#pragma once

#include <QDialog>

#include <memory>

class ConsoleFrontEnd;
class FleetMonitor;

namespace Ui {
class frmFleetStatus;
}

/// The status list of a status run: one row per computer, filled as the answers arrive, and
/// "結果を保存" to write it as CSV.
class frmFleetStatus : public QDialog
{
    Q_OBJECT
public:
    frmFleetStatus(FleetMonitor &monitor, QString programFolder, ConsoleFrontEnd &frontEnd,
                   QWidget *parent = nullptr);
    ~frmFleetStatus() override;

private:
    void updateSummary();
    void save();

    std::unique_ptr<Ui::frmFleetStatus> m_ui;
    FleetMonitor &m_monitor;
    QString m_programFolder;
    ConsoleFrontEnd &m_frontEnd;
};
