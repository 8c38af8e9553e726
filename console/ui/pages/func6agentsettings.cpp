#include "console/ui/pages/func6agentsettings.h"

#include "console/ui/dialogs/frmtiming.h"
#include "console/ui/pages/pagedialogs.h"
#include "ui_func6agentsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QRadioButton>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace {

QList<QLabel *> timerLabels(const QWidget *root)
{
    return controlArray<QLabel>(root, u"lblFunc6Timer"_s);
}

} // namespace

Func6AgentSettings::Func6AgentSettings(PageDialogs &dialogs, QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::Func6AgentSettings>())
    , m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    m_ui->cmdFunc6Ini_0->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    m_ui->cmdFunc6Ini_1->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
    m_ui->sstabFunc6->setUsesScrollButtons(false); // every tab caption stays in sight
    m_ui->cmdFunc6IniEdit->setEnabled(false);
    m_ui->cmdFunc6Timing->setVisible(false);

    connect(m_ui->cmdFunc6Ini_0, &QAbstractButton::clicked, this, &Func6AgentSettings::chooseFile);
    connect(m_ui->cmdFunc6Ini_1, &QAbstractButton::clicked, this,
            [this] { Q_EMIT explanationRequested(u"TarvoControl.mm2"_s); });
    connect(m_ui->cmdFunc6IniEdit, &QAbstractButton::clicked, this, &Func6AgentSettings::apply);
    connect(m_ui->cmdFunc6Timing, &QAbstractButton::clicked, this, &Func6AgentSettings::editTiming);
    for (QCheckBox *box : {m_ui->chkFunc6Sql, m_ui->chkFunc6Ftp, m_ui->chkFunc6Mail})
        connect(box, &QAbstractButton::clicked, this, &Func6AgentSettings::applySectionStates);
    connect(m_ui->chkFunc6Proxy, &QAbstractButton::clicked, this,
            &Func6AgentSettings::proxyClicked);
    applySectionStates();
}

Func6AgentSettings::~Func6AgentSettings() = default;

void Func6AgentSettings::chooseFile()
{
    const QString path = m_dialogs.openFile(u"TarvoAgent.iniファイルを開く..."_s,
                                            u"TarvoAgent.iniﾌｧｲﾙ (TarvoAgent.ini)|TarvoAgent.ini"_s);
    if (!path.isEmpty())
        openFile(path);
}

void Func6AgentSettings::openFile(const QString &path)
{
    m_path = path;
    m_ui->lblFunc6IniFile->setText(path);
    m_ui->cmdFunc6Timing->setVisible(true);
    showValues(AgentSettingsPage::load(path, values().timer));
    m_ui->cmdFunc6IniEdit->setEnabled(true);
}

AgentSettingsValues Func6AgentSettings::values() const
{
    AgentSettingsValues values;
    for (const QLineEdit *box : findChildren<QLineEdit *>())
        values.texts[box->objectName()] = box->text();
    for (const QComboBox *list : findChildren<QComboBox *>())
        values.texts[list->objectName()] = QString::number(list->currentIndex());
    for (const QAbstractButton *button : findChildren<QAbstractButton *>()) {
        if (button->isCheckable())
            values.checks[button->objectName()] = button->isChecked();
    }
    const QList<QLabel *> labels = timerLabels(this);
    for (int i = 0; i < 3 && i < labels.size(); ++i)
        values.timer[i] = labels.at(i)->text();
    return values;
}

void Func6AgentSettings::showValues(const AgentSettingsValues &values)
{
    for (auto it = values.texts.cbegin(); it != values.texts.cend(); ++it) {
        if (auto *box = findChild<QLineEdit *>(it.key()))
            box->setText(it.value());
        else if (auto *list = findChild<QComboBox *>(it.key()))
            list->setCurrentIndex(it.value().toInt());
    }
    for (auto it = values.checks.cbegin(); it != values.checks.cend(); ++it) {
        if (auto *button = findChild<QAbstractButton *>(it.key()))
            button->setChecked(it.value());
    }
    const QList<QLabel *> labels = timerLabels(this);
    for (int i = 0; i < 3 && i < labels.size(); ++i)
        labels.at(i)->setText(values.timer[i]);
    applySectionStates();
}

void Func6AgentSettings::applySectionStates()
{
    // The frames first: the proxy box inside the FTP frame then takes its own state.
    const QMap<QString, bool> states = AgentSettingsPage::sectionStates(values());
    for (auto it = states.cbegin(); it != states.cend(); ++it) {
        if (auto *control = findChild<QWidget *>(it.key()))
            control->setEnabled(it.value());
    }
}

void Func6AgentSettings::proxyClicked(bool checked)
{
    if (!checked)
        m_ui->txtFunc6Proxy->clear();
    m_ui->txtFunc6Proxy->setEnabled(checked);
}

void Func6AgentSettings::apply()
{
    const AgentSettingsValues current = values();
    if (const auto refusal = AgentSettingsPage::check(current)) {
        m_dialogs.message(refusal->message);
        focusControl(this, refusal->control);
        return;
    }
    QString error;
    if (!AgentSettingsPage::save(m_path, current, &error))
        m_dialogs.message(error);
}

void Func6AgentSettings::editTiming()
{
    frmTiming dialog(m_dialogs, values().timer, this);
    if (m_dialogs.runModal(&dialog) != QDialog::Accepted)
        return;
    const QList<QLabel *> labels = timerLabels(this);
    for (int i = 0; i < 3 && i < labels.size(); ++i)
        labels.at(i)->setText(dialog.timer()[i]);
}
