#include "agent/ui/frmsettingftp.h"

#include "agent/settingsforms.h"

using namespace Qt::StringLiterals;

FrmSettingFtp::FrmSettingFtp(const QString &iniPath, const QString &programTitle,
                             QWidget *parent)
    : SettingsDialog(SettingsForms::ftp(iniPath), programTitle, parent)
{
    ui.setupUi(this);
    connect(ui.chkProxy, &QCheckBox::toggled, this, &FrmSettingFtp::showProxy);
    attach(u"FTP送信設定"_s, ui.cmdButton_0, ui.cmdButton_1);
    ui.chkProxy->setChecked(!ui.txtProxy->text().isEmpty());
    showProxy(ui.chkProxy->isChecked());
    ui.optAscii->setChecked(!ui.optBin->isChecked());
}

void FrmSettingFtp::showProxy(bool checked)
{
    if (!checked)
        ui.txtProxy->clear();
    ui.txtProxy->setEnabled(checked);
    QPalette palette = ui.txtProxy->palette();
    palette.setColor(QPalette::Base, checked ? QColor(Qt::white) : palette.color(QPalette::Button));
    ui.txtProxy->setPalette(palette);
}
