#include "agent/ui/frmagentsetting.h"

#include "agent/settingsforms.h"
#include "agent/ui/frmsettingftp.h"
#include "agent/ui/frmsettingmail.h"
#include "agent/ui/frmsettingsql.h"
#include "ui_frmagentsetting.h"

#include <memory>

using namespace Qt::StringLiterals;

frmAgentSetting::frmAgentSetting(const QString &iniPath, const QString &programTitle,
                                 QWidget *parent)
    : SettingsDialog(SettingsForms::agent(iniPath), programTitle, parent),
      m_ui(std::make_unique<Ui::frmAgentSetting>()), m_iniPath(iniPath)
{
    m_ui->setupUi(this);
    // Each "する" enables its detail button, also while the stored flags are being shown.
    const QList<std::pair<QRadioButton *, QPushButton *>> pairs = {
        {m_ui->optMail_0, m_ui->cmdDetail_0},
        {m_ui->optFtp_0, m_ui->cmdDetail_1},
        {m_ui->optSql_0, m_ui->cmdDetail_2}};
    for (int index = 0; index < pairs.size(); ++index) {
        const auto [option, detail] = pairs.at(index);
        detail->setEnabled(false);
        connect(option, &QRadioButton::toggled, detail, &QPushButton::setEnabled);
        connect(detail, &QPushButton::clicked, this, [this, index] { openDetail(index); });
    }
    attach(u"設定"_s, m_ui->cmdButton_0, m_ui->cmdButton_1);
    const QStringList labels = SettingsForms::scheduleLabels(form().value(u"lblTimer"_s));
    const QList<QLabel *> timers = {m_ui->lblTimer_0, m_ui->lblTimer_1, m_ui->lblTimer_2};
    for (int index = 0; index < timers.size(); ++index)
        timers.at(index)->setText(labels.at(index));
}

frmAgentSetting::~frmAgentSetting() = default;

void frmAgentSetting::openDetail(int index)
{
    std::unique_ptr<SettingsDialog> dialog;
    if (index == 0)
        dialog = std::make_unique<frmSettingMail>(m_iniPath, programTitle(), this);
    else if (index == 1)
        dialog = std::make_unique<frmSettingFtp>(m_iniPath, programTitle(), this);
    else
        dialog = std::make_unique<frmSettingSql>(m_iniPath, programTitle(), this);
    dialog->exec();
}
