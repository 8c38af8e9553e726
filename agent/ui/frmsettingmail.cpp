#include "agent/ui/frmsettingmail.h"

#include "agent/settingsforms.h"
#include "ui_frmsettingmail.h"

using namespace Qt::StringLiterals;

frmSettingMail::frmSettingMail(const QString &iniPath, const QString &programTitle,
                               QWidget *parent)
    : SettingsDialog(SettingsForms::mail(iniPath), programTitle, parent),
      m_ui(std::make_unique<Ui::frmSettingMail>())
{
    m_ui->setupUi(this);
    attach(u"メール送信設定"_s, m_ui->cmdButton_0, m_ui->cmdButton_1);
}

frmSettingMail::~frmSettingMail() = default;
