#include "agent/ui/frmsettingftp.h"

#include "agent/settingsforms.h"
#include "ui_frmsettingftp.h"

using namespace Qt::StringLiterals;

frmSettingFtp::frmSettingFtp(const QString &iniPath, const QString &programTitle,
                             QWidget *parent)
    : SettingsDialog(SettingsForms::ftp(iniPath), programTitle, parent),
      m_ui(std::make_unique<Ui::frmSettingFtp>())
{
    m_ui->setupUi(this);
    connect(m_ui->chkProxy, &QCheckBox::toggled, this, &frmSettingFtp::showProxy);
    attach(u"FTP送信設定"_s, m_ui->cmdButton_0, m_ui->cmdButton_1);
    m_ui->chkProxy->setChecked(!m_ui->txtProxy->text().isEmpty());
    showProxy(m_ui->chkProxy->isChecked());
    m_ui->optAscii->setChecked(!m_ui->optBin->isChecked());
}

frmSettingFtp::~frmSettingFtp() = default;

void frmSettingFtp::showProxy(bool checked)
{
    if (!checked)
        m_ui->txtProxy->clear();
    m_ui->txtProxy->setEnabled(checked);
    QPalette palette = m_ui->txtProxy->palette();
    palette.setColor(QPalette::Base, checked ? QColor(Qt::white) : palette.color(QPalette::Button));
    m_ui->txtProxy->setPalette(palette);
}
