#include "agent/ui/frmsettingsql.h"

#include "agent/settingsforms.h"

using namespace Qt::StringLiterals;

FrmSettingSql::FrmSettingSql(const QString &iniPath, const QString &programTitle, QWidget *parent)
    : SettingsDialog(SettingsForms::sql(iniPath), programTitle, parent)
{
    ui.setupUi(this);
    attach(u"SQLサーバ更新設定"_s, ui.cmdButton_0, ui.cmdButton_1);
}
