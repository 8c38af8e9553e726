#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

/// What the agent-settings page shows: the text of every text box and the state of every check
/// box and option button, keyed by the control's objectName, and the three schedule labels.
struct AgentSettingsValues
{
    QMap<QString, QString> texts;
    QMap<QString, bool> checks;
    std::array<QString, 3> timer; // lblFunc6Timer 0 (condition), 1 (days), 2 ("起動時刻 " + time)

    QString text(const QString &control) const { return texts.value(control); }
    bool isChecked(const QString &control) const { return checks.value(control); }
};

/// A check that failed: the message to show and the control that gets the focus.
struct PageRefusal
{
    QString control;
    QString message;
};

/// The agent-settings page without widgets: loading a TarvoAgent.ini into page values by the
/// mapping table, the enabled states that follow the check boxes, the checks before saving and
/// the save itself.
namespace AgentSettingsPage {

inline constexpr char16_t WeekCaption[] = u"曜日指定";
inline constexpr char16_t DayCaption[] = u"日付指定";
inline constexpr char16_t TimeCaption[] = u"起動時刻 ";

/// The page filled from `path`. The schedule labels keep `previousTimer` when the file's
/// `TimeStart` names neither condition.
AgentSettingsValues load(const QString &path, const std::array<QString, 3> &previousTimer = {});

/// The enabled state of the section frames and of the proxy box after a load or a click on one
/// of the three section boxes: the proxy box is a direct child of the FTP frame, so it follows
/// "FTPサーバへアップロードする" whatever "Proxy" shows.
QMap<QString, bool> sectionStates(const AgentSettingsValues &values);

/// The first of the fifteen checks that fails, then the first text CP932 cannot hold (a "?"
/// in its place would be saved without a word); nothing when the page may be saved.
std::optional<PageRefusal> check(const AgentSettingsValues &values);

/// The schedule labels of a `TimeStart` text, or nothing when it names neither condition.
std::optional<std::array<QString, 3>> parseTimeStart(const QString &timeStart);
/// `TimeStart` composed from the schedule labels ("WEEK,08:30,MON,WED,FRI").
QString composeTimeStart(const std::array<QString, 3> &timer);

/// The time shown by the third schedule label: its last five characters after the caption
/// (empty when the label holds the caption alone).
QString timeOfLabel(const QString &label);

/// The keys and values a save writes, in the order it writes them.
QList<std::pair<QString, QString>> keysToWrite(const AgentSettingsValues &values);

/// Writes every key into `path` in one atomic replacement; unknown keys and sections stay.
/// On failure `error` gets the text to show.
bool save(const QString &path, const AgentSettingsValues &values, QString *error = nullptr);

/// "hh:mm" from a typed time, or the empty text: five characters, ":" or "：" in the middle,
/// two digits either side; minutes above 59 carry into the hour, and the hour must stay below 24.
QString NormalizeTime(const QString &text);

} // namespace AgentSettingsPage

/// The schedule dialog frmTiming without widgets.
struct TimingChoice
{
    int condition = -1; // 0 weekdays, 1 days of the month, -1 neither
    std::array<bool, 7> week{};
    std::array<bool, 31> day{};
    QString weekTime;
    QString dayTime;

    /// The dialog preset from the page's schedule labels.
    static TimingChoice fromTimer(const std::array<QString, 3> &timer);
    /// The labels the dialog gives back on "設定(&S)", or the refusal to show.
    std::optional<PageRefusal> accept(std::array<QString, 3> *timer) const;

    static const QStringList &dayNames(); // SUN .. SAT
};
