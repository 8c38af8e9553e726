#include "console/settings/agentsettingspage.h"

using namespace Qt::StringLiterals;

const QStringList &TimingChoice::dayNames()
{
    static const QStringList names = {u"SUN"_s, u"MON"_s, u"TUE"_s, u"WED"_s,
                                      u"THU"_s, u"FRI"_s, u"SAT"_s};
    return names;
}

TimingChoice TimingChoice::fromTimer(const std::array<QString, 3> &timer)
{
    TimingChoice choice;
    const QStringList pieces = timer[1].split(u',');
    if (timer[0] == QStringView(AgentSettingsPage::WeekCaption)) {
        choice.condition = 0;
        for (const QString &piece : pieces) {
            if (const qsizetype index = dayNames().indexOf(piece); index >= 0)
                choice.week[index] = true;
        }
        choice.weekTime = AgentSettingsPage::timeOfLabel(timer[2]);
    } else if (timer[0] == QStringView(AgentSettingsPage::DayCaption)) {
        choice.condition = 1;
        for (const QString &piece : pieces) {
            bool number = false;
            const int n = piece.trimmed().toInt(&number); // a day that is no number is skipped
            if (number && n >= 1 && n <= 31)
                choice.day[n - 1] = true;
        }
        choice.dayTime = AgentSettingsPage::timeOfLabel(timer[2]);
    }
    return choice;
}

std::optional<PageRefusal> TimingChoice::accept(std::array<QString, 3> *timer) const
{
    QString caption;
    QString time;
    QStringList days;
    if (condition == 0) {
        for (int i = 0; i < 7; ++i) {
            if (week[i])
                days.append(dayNames().at(i));
        }
        if (days.isEmpty())
            return PageRefusal{u"chkWeek_0"_s, u"曜日を指定してください！"_s};
        time = AgentSettingsPage::NormalizeTime(weekTime);
        if (time.isEmpty())
            return PageRefusal{u"txtWeekTime"_s, u"時刻のフォーマットが正しくありません！"_s};
        caption = QString::fromUtf16(AgentSettingsPage::WeekCaption);
    } else if (condition == 1) {
        for (int i = 0; i < 31; ++i) {
            if (day[i])
                days.append(QString::number(i + 1));
        }
        if (days.isEmpty())
            return PageRefusal{u"chkDay_0"_s, u"日付を指定してください！"_s};
        time = AgentSettingsPage::NormalizeTime(dayTime);
        if (time.isEmpty())
            return PageRefusal{u"txtDayTime"_s, u"時刻のフォーマットが正しくありません！"_s};
        caption = QString::fromUtf16(AgentSettingsPage::DayCaption);
    }
    *timer = {caption, days.join(u','), QString::fromUtf16(AgentSettingsPage::TimeCaption) + time};
    return std::nullopt;
}
