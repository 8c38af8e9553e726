#include "agent/settingsforms.h"

#include "agent/schedule.h"
#include "common/agentinikeys.h"

using namespace Qt::StringLiterals;
using namespace AgentIni;

namespace {

const QByteArray Agent = AgentSection;
const QByteArray Info = InfoSection;

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
            {u"txtPort"_s, Agent, AgentKey::Port},
            {u"txtTimeOut"_s, Agent, AgentKey::TimeOut},
            {u"txtStatusLog"_s, Agent, AgentKey::StatusLog},
            {u"optAutoStart"_s, Agent, AgentKey::AutoStart, FormBinding::Flag},
            {u"optAutoExit"_s, Agent, AgentKey::AutoExit, FormBinding::Flag},
            {u"lblTimer"_s, Agent, AgentKey::TimeStart, FormBinding::Shown},
            {u"optDebugMode"_s, Agent, AgentKey::DebugMode, FormBinding::Flag},
            {u"optMail"_s, Info, InfoKey::SmtpMail, FormBinding::Flag},
            {u"optFtp"_s, Info, InfoKey::FtpUpload, FormBinding::Flag},
            {u"optSql"_s, Info, InfoKey::SqlUpdate, FormBinding::Flag},
            {u"lblProgram"_s, Agent, AgentKey::ExeFile, FormBinding::Shown},
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
            {u"txtSmtpServer"_s, Info, InfoKey::SmtpServer},
            {u"txtSmtpPort"_s, Info, InfoKey::SmtpPort},
            {u"txtTo"_s, Info, InfoKey::To},
            {u"txtFrom"_s, Info, InfoKey::From},
            {u"txtSubject"_s, Info, InfoKey::Subject},
            {u"cboSmtpTls"_s, Info, InfoKey::SmtpTls, FormBinding::Choice},
            {u"txtSmtpUser"_s, Info, InfoKey::SmtpUser},
            {u"txtSmtpPassword"_s, Info, InfoKey::SmtpPassword},
            {u"txtSmtpCaFile"_s, Info, InfoKey::SmtpCaFile},
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
            {u"txtFtpAddress"_s, Info, InfoKey::FtpAddress},
            {u"txtFtpPort"_s, Info, InfoKey::FtpPort},
            {u"txtFtpUser"_s, Info, InfoKey::FtpUser},
            {u"txtFtpPassword"_s, Info, InfoKey::FtpPassword},
            {u"txtProxy"_s, Info, InfoKey::FtpProxy, FormBinding::Text, u"chkProxy"_s},
            {u"txtFtpDirectory"_s, Info, InfoKey::FtpDirectory},
            {u"chkPassive"_s, Info, InfoKey::FtpPassive, FormBinding::PassiveFlag},
            {u"optBin"_s, Info, InfoKey::FtpType, FormBinding::BinaryType},
            {u"chkFtpTls"_s, Info, InfoKey::FtpTls, FormBinding::Flag},
            {u"txtFtpCaFile"_s, Info, InfoKey::FtpCaFile},
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
            {u"txtSqlConnection"_s, Info, InfoKey::SqlConnection},
            {u"txtSqlTable"_s, Info, InfoKey::SqlTable},
            {u"txtSqlUserid"_s, Info, InfoKey::SqlUserid},
            {u"txtSqlPassword"_s, Info, InfoKey::SqlPassword},
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
