#include "agent/ui/frmsetting.h"

#include "agent/settingsforms.h"
#include "agent/ui/frmsettingftp.h"
#include "agent/ui/frmsettingmail.h"
#include "agent/ui/frmsettingsql.h"

#include <memory>

using namespace Qt::StringLiterals;

FrmSetting::FrmSetting(const QString &iniPath, const QString &programTitle, QWidget *parent)
    : SettingsDialog(SettingsForms::agent(iniPath), programTitle, parent), m_iniPath(iniPath)
{
    ui.setupUi(this);
    // Each "する" enables its detail button, also while the stored flags are being shown.
    const QList<std::pair<QRadioButton *, QPushButton *>> pairs = {
        {ui.optMail_0, ui.cmdDetail_0}, {ui.optFtp_0, ui.cmdDetail_1}, {ui.optSql_0, ui.cmdDetail_2}};
    for (int index = 0; index < pairs.size(); ++index) {
        const auto [option, detail] = pairs.at(index);
        detail->setEnabled(false);
        connect(option, &QRadioButton::toggled, detail, &QPushButton::setEnabled);
        connect(detail, &QPushButton::clicked, this, [this, index] { openDetail(index); });
    }
    attach(u"設定"_s, ui.cmdButton_0, ui.cmdButton_1);
    const QStringList labels = SettingsForms::scheduleLabels(form().value(u"lblTimer"_s));
    const QList<QLabel *> timers = {ui.lblTimer_0, ui.lblTimer_1, ui.lblTimer_2};
    for (int index = 0; index < timers.size(); ++index)
        timers.at(index)->setText(labels.at(index));
}

void FrmSetting::openDetail(int index)
{
    std::unique_ptr<SettingsDialog> dialog;
    if (index == 0)
        dialog = std::make_unique<FrmSettingMail>(m_iniPath, programTitle(), this);
    else if (index == 1)
        dialog = std::make_unique<FrmSettingFtp>(m_iniPath, programTitle(), this);
    else
        dialog = std::make_unique<FrmSettingSql>(m_iniPath, programTitle(), this);
    dialog->exec();
}
