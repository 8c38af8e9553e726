#include "agent/ui/frmsettingsql.h"

#include "agent/settingsforms.h"
#include "ui_frmsettingsql.h"

using namespace Qt::StringLiterals;

frmSettingSql::frmSettingSql(const QString &iniPath, const QString &programTitle, QWidget *parent)
    : SettingsDialog(SettingsForms::sql(iniPath), programTitle, parent),
      m_ui(std::make_unique<Ui::frmSettingSql>())
{
    m_ui->setupUi(this);
    attach(u"SQLサーバ更新設定"_s, m_ui->cmdButton_0, m_ui->cmdButton_1);
}

frmSettingSql::~frmSettingSql() = default;
