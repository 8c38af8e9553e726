#include "agent/settingsforms.h"

#include "agent/schedule.h"

using namespace Qt::StringLiterals;

namespace {

const QByteArray Agent = "TarvoAgent"_ba;
const QByteArray Info = "TarvoInfo"_ba;

constexpr qint64 MaxPort = 65535;
constexpr qint64 MaxTimeOutSeconds = 2147483; // × 1000 still fits a signed 32-bit integer
constexpr qint64 MaxStatusLogLines = 100000;

FormCheck portCheck(const QString &control, const QString &emptyMessage, const QString &name)
{
    return {control, emptyMessage, MaxPort, name + u"は1から65535までの数字で指定してください。"_s};
}

} // namespace

namespace SettingsForms {

SettingsForm agent(const QString &iniPath)
{
    return SettingsForm(
        iniPath,
        {
            {u"txtPort"_s, Agent, "Port"_ba},
            {u"txtTimeOut"_s, Agent, "TimeOut"_ba},
            {u"txtStatusLog"_s, Agent, "StatusLog"_ba},
            {u"optAutoStart"_s, Agent, "AutoStart"_ba, FormBinding::Flag},
            {u"optAutoExit"_s, Agent, "AutoExit"_ba, FormBinding::Flag},
            {u"lblTimer"_s, Agent, "TimeStart"_ba, FormBinding::Shown},
            {u"optDebugMode"_s, Agent, "DebugMode"_ba, FormBinding::Flag},
            {u"optMail"_s, Info, "SmtpMail"_ba, FormBinding::Flag},
            {u"optFtp"_s, Info, "FtpUpload"_ba, FormBinding::Flag},
            {u"optSql"_s, Info, "SQLUpdate"_ba, FormBinding::Flag},
            {u"lblProgram"_s, Agent, "ExeFile"_ba, FormBinding::Shown},
        },
        {
            portCheck(u"txtPort"_s, u"ポート番号を指定してください。"_s, u"ポート番号"_s),
            {u"txtTimeOut"_s, u"タイムアウト値（秒）を指定してください。"_s, MaxTimeOutSeconds,
             u"タイムアウト値（秒）は1から2147483までの整数で指定してください。"_s},
            {u"txtStatusLog"_s, u"稼動ステータスのイベントの最大行数を指定してください。"_s,
             MaxStatusLogLines,
             u"稼動ステータスのイベントの最大行数は1から100000までの整数で指定してください。"_s},
        },
        {{u"txtPort"_s, u"ポート"_s}, {u"txtTimeOut"_s, u"タイムアウト（秒）"_s},
         {u"txtStatusLog"_s, u"表示行数"_s}});
}

SettingsForm mail(const QString &iniPath)
{
    return SettingsForm(
        iniPath,
        {
            {u"txtSmtpServer"_s, Info, "SmtpServer"_ba},
            {u"txtSmtpPort"_s, Info, "SmtpPort"_ba},
            {u"txtTo"_s, Info, "To"_ba},
            {u"txtFrom"_s, Info, "From"_ba},
            {u"txtSubject"_s, Info, "Subject"_ba},
            {u"cboSmtpTls"_s, Info, "SmtpTls"_ba, FormBinding::Choice},
            {u"txtSmtpUser"_s, Info, "SmtpUser"_ba},
            {u"txtSmtpPassword"_s, Info, "SmtpPassword"_ba},
            {u"txtSmtpCaFile"_s, Info, "SmtpCaFile"_ba},
        },
        {
            {u"txtSmtpServer"_s, u"SMTPサーバを指定してください。"_s},
            portCheck(u"txtSmtpPort"_s, u"SMTPポート番号を指定してください。"_s,
                      u"SMTPポート番号"_s),
            {u"txtTo"_s, u"宛先アドレスを指定してください。"_s},
            {u"txtFrom"_s, u"送信者アドレスを指定してください。"_s},
            {u"txtSubject"_s, u"件名を指定してください。"_s},
        },
        {{u"txtSmtpServer"_s, u"SMTPサーバ"_s}, {u"txtSmtpPort"_s, u"SMTPポート"_s},
         {u"txtTo"_s, u"宛先アドレス"_s}, {u"txtFrom"_s, u"送信者アドレス"_s},
         {u"txtSubject"_s, u"件名"_s}, {u"txtSmtpUser"_s, u"ユーザＩＤ"_s},
         {u"txtSmtpPassword"_s, u"パスワード"_s}, {u"txtSmtpCaFile"_s, u"CA証明書ファイル"_s}});
}

SettingsForm ftp(const QString &iniPath)
{
    return SettingsForm(
        iniPath,
        {
            {u"txtFtpAddress"_s, Info, "FtpAddress"_ba},
            {u"txtFtpPort"_s, Info, "FtpPort"_ba},
            {u"txtFtpUser"_s, Info, "FtpUser"_ba},
            {u"txtFtpPassword"_s, Info, "FtpPassword"_ba},
            {u"txtProxy"_s, Info, "FtpProxy"_ba, FormBinding::Text, u"chkProxy"_s},
            {u"txtFtpDirectory"_s, Info, "FtpDirectory"_ba},
            {u"chkPassive"_s, Info, "FtpPassive"_ba, FormBinding::PassiveFlag},
            {u"optBin"_s, Info, "FtpType"_ba, FormBinding::BinaryType},
            {u"chkFtpTls"_s, Info, "FtpTls"_ba, FormBinding::Flag},
            {u"txtFtpCaFile"_s, Info, "FtpCaFile"_ba},
        },
        {
            {u"txtFtpAddress"_s, u"FTPサーバアドレスを指定してください。"_s},
            portCheck(u"txtFtpPort"_s, u"FTPポート番号を指定してください。"_s,
                      u"FTPポート番号"_s),
            {u"txtFtpDirectory"_s, u"FTPサーバディレクトリを指定してください。"_s},
            {u"txtFtpUser"_s, u"FTPユーザIDを指定してください。"_s},
        },
        {{u"txtFtpAddress"_s, u"FTPアドレス"_s}, {u"txtFtpPort"_s, u"ポート"_s},
         {u"txtFtpUser"_s, u"ユーザＩＤ"_s}, {u"txtFtpPassword"_s, u"パスワード"_s},
         {u"txtProxy"_s, u"Proxy"_s}, {u"txtFtpDirectory"_s, u"ディレクトリ"_s},
         {u"txtFtpCaFile"_s, u"CA証明書ファイル"_s}});
}

SettingsForm sql(const QString &iniPath)
{
    return SettingsForm(
        iniPath,
        {
            {u"txtSqlConnection"_s, Info, "SqlConnection"_ba},
            {u"txtSqlTable"_s, Info, "SqlTable"_ba},
            {u"txtSqlUserid"_s, Info, "SqlUserid"_ba},
            {u"txtSqlPassword"_s, Info, "SqlPassword"_ba},
        },
        {
            {u"txtSqlConnection"_s, u"SQLサーバ接続文字列を指定してください。"_s},
            {u"txtSqlTable"_s, u"SQLサーバテーブル名を指定してください。"_s},
        },
        {{u"txtSqlConnection"_s, u"接続文字列"_s}, {u"txtSqlTable"_s, u"接続テーブル名"_s},
         {u"txtSqlUserid"_s, u"接続ユーザID"_s}, {u"txtSqlPassword"_s, u"接続パスワード"_s}});
}

QStringList scheduleLabels(const QString &timeStart)
{
    QStringList labels(3);
    const std::optional<Schedule> schedule = Schedule::parse(timeStart);
    if (!schedule || (schedule->mode != u"WEEK"_s && schedule->mode != u"DAY"_s))
        return labels;
    labels[0] = schedule->mode == u"WEEK"_s ? u"毎週"_s : u"日付指定"_s;
    labels[1] = schedule->dayList.join(u',');
    labels[2] = u"起動時刻 "_s + schedule->startTime;
    return labels;
}

QString restartReminder()
{
    return u"変更を有効にするためにプログラムを再起動してください。"_s;
}

} // namespace SettingsForms
