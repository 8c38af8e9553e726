#include "console/ui/dialogs/frmtiming.h"

#include "console/settings/agentsettingspage.h"
#include "console/ui/pages/pagedialogs.h"
#include "ui_frmtiming.h"

#include <QCheckBox>

using namespace Qt::StringLiterals;

frmTiming::frmTiming(PageDialogs &dialogs, const std::array<QString, 3> &timer, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::frmTiming>())
    , m_dialogs(dialogs)
    , m_timer(timer)
{
    m_ui->setupUi(this);
    setWindowTitle(u"タイミング設定 - "_s + PageDialogs::title());
    const TimingChoice choice = TimingChoice::fromTimer(timer);
    m_ui->comboCondition->setCurrentIndex(choice.condition);
    showCondition(choice.condition);
    const QList<QCheckBox *> week = controlArray<QCheckBox>(this, u"chkWeek"_s);
    const QList<QCheckBox *> day = controlArray<QCheckBox>(this, u"chkDay"_s);
    for (qsizetype i = 0; i < week.size(); ++i)
        week.at(i)->setChecked(choice.week.at(i));
    for (qsizetype i = 0; i < day.size(); ++i)
        day.at(i)->setChecked(choice.day.at(i));
    m_ui->txtWeekTime->setText(choice.weekTime);
    m_ui->txtDayTime->setText(choice.dayTime);

    connect(m_ui->comboCondition, &QComboBox::currentIndexChanged, this, &frmTiming::showCondition);
    connect(m_ui->cmdButton_0, &QAbstractButton::clicked, this, &frmTiming::acceptChoice);
    connect(m_ui->cmdButton_1, &QAbstractButton::clicked, this, &QDialog::reject);
}

frmTiming::~frmTiming() = default;

void frmTiming::showCondition(int index)
{
    m_ui->frameWeek->setVisible(index == 0);
    m_ui->frameDay->setVisible(index == 1);
}

void frmTiming::acceptChoice()
{
    TimingChoice choice;
    choice.condition = m_ui->comboCondition->currentIndex();
    const QList<QCheckBox *> week = controlArray<QCheckBox>(this, u"chkWeek"_s);
    const QList<QCheckBox *> day = controlArray<QCheckBox>(this, u"chkDay"_s);
    for (qsizetype i = 0; i < week.size(); ++i)
        choice.week[i] = week.at(i)->isChecked();
    for (qsizetype i = 0; i < day.size(); ++i)
        choice.day[i] = day.at(i)->isChecked();
    choice.weekTime = m_ui->txtWeekTime->text();
    choice.dayTime = m_ui->txtDayTime->text();
    if (const auto refusal = choice.accept(&m_timer)) {
        m_dialogs.message(refusal->message);
        focusControl(this, refusal->control);
        return;
    }
    accept();
}
