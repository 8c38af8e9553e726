#include "console/ui/dialogs/frmfleetstatus.h"

#include "console/fleet/fleetmonitor.h"
#include "console/frontend.h"
#include "console/batch/resultcsv.h"
#include "ui_frmfleetstatus.h"

#include <QHeaderView>

using namespace Qt::Literals::StringLiterals;

frmFleetStatus::frmFleetStatus(FleetMonitor &monitor, QString programFolder,
                               ConsoleFrontEnd &frontEnd, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmFleetStatus>()), m_monitor(monitor),
      m_programFolder(std::move(programFolder)), m_frontEnd(frontEnd)
{
    m_ui->setupUi(this);
    setModal(false);
    setWindowTitle(ApplicationTitle() + u" - 状態の確認"_s);
    m_ui->lvwFleetStatus->setModel(&m_monitor.model());
    m_ui->lvwFleetStatus->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(&m_monitor.model(), &QAbstractItemModel::dataChanged, this,
            &frmFleetStatus::updateSummary);
    connect(&m_monitor.model(), &QAbstractItemModel::modelReset, this,
            &frmFleetStatus::updateSummary);
    connect(m_ui->cmdFleetSave, &QPushButton::clicked, this, &frmFleetStatus::save);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::close);
    updateSummary();
}

frmFleetStatus::~frmFleetStatus() = default;

void frmFleetStatus::updateSummary()
{
    int up = 0;
    int down = 0;
    for (const QStringList &row : m_monitor.model().textRows()) {
        up += row.value(1) == u"up";
        down += row.value(1) == u"down";
    }
    const qsizetype waiting = m_monitor.model().textRows().size() - up - down;
    m_ui->lblFleetSummary->setText(QString::number(up) + u" up, "_s + QString::number(down)
                                   + u" down"_s
                                   + (waiting > 0 ? u"（応答待ち "_s + QString::number(waiting)
                                                        + u"台）"_s
                                                  : QString()));
}

void frmFleetStatus::save()
{
    ExportListToCsv(FleetStatusHeaders(), m_monitor.model().textRows(), m_programFolder,
                    m_frontEnd);
}
