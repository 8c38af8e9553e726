#pragma once

#include "agent/settingsform.h"

#include <QStringList>

/// The agent's four settings dialogs as forms over TarvoAgent.ini: the keys each shows, its
/// required fields in the order they are checked, and its keys in the order they are written.
namespace SettingsForms {

SettingsForm agent(const QString &iniPath);  // frmSetting
SettingsForm mail(const QString &iniPath);   // frmSettingMail
SettingsForm ftp(const QString &iniPath);    // frmSettingFtp
SettingsForm sql(const QString &iniPath);    // frmSettingSql

/// The three schedule labels `lblTimer` 0, 1, 2 of `TimeStart`: "毎週" or "日付指定", the day
/// list, "起動時刻 " + the start time; three empty texts for any other mode.
QStringList scheduleLabels(const QString &timeStart);

/// "変更を有効にするためにプログラムを再起動してください。"
QString restartReminder();

} // namespace SettingsForms
