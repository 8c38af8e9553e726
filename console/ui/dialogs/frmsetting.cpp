#include "console/ui/dialogs/frmsetting.h"

#include "console/settings/consolesettings.h"
#include "console/connection/consoletls.h"
#include "console/frontend.h"
#include "ui_frmsetting.h"

#include <QFocusEvent>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

frmSetting::frmSetting(ConsoleSettings &settings, ConsoleFrontEnd &frontEnd, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmSetting>()), m_settings(settings),
      m_frontEnd(frontEnd)
{
    m_ui->setupUi(this);
    setWindowTitle(u"設定 - "_s + ApplicationTitle());
    RereadConsoleSettingsTexts(m_settings);
    const SettingsForm form = SettingsForm::from(m_settings);
    m_ui->txtPort->setText(form.port);
    m_ui->txtTimeOut->setText(form.timeout);
    m_ui->txtMaxControl->setText(form.maxControl);
    m_ui->txtSqlConnection->setText(form.sqlConnection);
    m_ui->txtSqlTable->setText(form.sqlTable);
    m_ui->txtSqlUserid->setText(form.sqlUserid);
    m_ui->txtSqlPassword->setText(form.sqlPassword);
    m_ui->lblTlsMode->setText(ConsoleTlsModeText(m_settings));
    for (QLineEdit *box : findChildren<QLineEdit *>())
        box->installEventFilter(this);
    connect(m_ui->cmdButton_0, &QPushButton::clicked, this, &frmSetting::save);
    connect(m_ui->cmdButton_1, &QPushButton::clicked, this, &QDialog::reject);
}

frmSetting::~frmSetting() = default;

bool frmSetting::eventFilter(QObject *watched, QEvent *event)
{
    // Each box selects its whole text when it takes the focus.
    if (event->type() == QEvent::FocusIn) {
        if (auto *box = qobject_cast<QLineEdit *>(watched))
            QTimer::singleShot(0, box, &QLineEdit::selectAll);
    }
    return QDialog::eventFilter(watched, event);
}

void frmSetting::save()
{
    SettingsForm form;
    form.port = m_ui->txtPort->text();
    form.timeout = m_ui->txtTimeOut->text();
    form.maxControl = m_ui->txtMaxControl->text();
    form.sqlConnection = m_ui->txtSqlConnection->text();
    form.sqlTable = m_ui->txtSqlTable->text();
    form.sqlUserid = m_ui->txtSqlUserid->text();
    form.sqlPassword = m_ui->txtSqlPassword->text();
    const SettingsSaveResult result = SaveConsoleSettings(form, m_settings, m_frontEnd);
    if (result.saved) {
        accept();
        return;
    }
    QLineEdit *const boxes[] = {m_ui->txtPort, m_ui->txtTimeOut, m_ui->txtMaxControl,
                                m_ui->txtSqlConnection, m_ui->txtSqlTable, m_ui->txtSqlUserid,
                                m_ui->txtSqlPassword};
    boxes[int(result.focus)]->setFocus();
}
