#include "agent/ui/frmsettingmail.h"

#include "agent/settingsforms.h"

using namespace Qt::StringLiterals;

FrmSettingMail::FrmSettingMail(const QString &iniPath, const QString &programTitle,
                               QWidget *parent)
    : SettingsDialog(SettingsForms::mail(iniPath), programTitle, parent)
{
    ui.setupUi(this);
    attach(u"メール送信設定"_s, ui.cmdButton_0, ui.cmdButton_1);
}
