#include "console/settings/consolesettings.h"

#include "common/codepage.h"
#include "common/profilefile.h"
#include "console/connection/consoletls.h"
#include "console/frontend.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>

using namespace Qt::StringLiterals;

namespace {

constexpr int MaxPort = 65535;
constexpr int MaxTimeoutSeconds = 86400;
constexpr int MaxControlLimit = 1000;
constexpr int ComputerNameChars = 15;

// The number in a settings text, or nullopt when it is not a whole number in [low, high].
std::optional<int> numberIn(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

QString section()
{
    return QString::fromUtf16(SettingsSection);
}

} // namespace

int ConsoleSettings::portNumber() const
{
    return numberIn(Port, 1, MaxPort).value_or(0);
}

QString ReadIniString(const QString &sectionName, const QString &key, const QString &file)
{
    return CodePage::fromAnsi(
        readProfileString(file, CodePage::toAnsi(sectionName), CodePage::toAnsi(key)));
}

int WriteIniString(const QString &sectionName, const QString &key, const QString &value,
                   const QString &file, ConsoleFrontEnd &frontEnd)
{
    if (writeProfileString(file, CodePage::toAnsi(sectionName), CodePage::toAnsi(key),
                           CodePage::toAnsi(value)))
        return 0;
    ShowWarning(frontEnd, file + u" ファイルの書き込み時にエラーが発生しました。"_s);
    return -1;
}

void RereadConsoleSettingsTexts(ConsoleSettings &settings)
{
    const QString &file = settings.IniFilePath;
    settings.Port = ReadIniString(section(), u"Port"_s, file);
    settings.Timeout = ReadIniString(section(), u"Timeout"_s, file);
    settings.MaxControl = ReadIniString(section(), u"MaxControl"_s, file);
    settings.SqlConnection = ReadIniString(section(), u"SqlConnection"_s, file);
    settings.SqlTable = ReadIniString(section(), u"SqlTable"_s, file);
    settings.SqlUserid = ReadIniString(section(), u"SqlUserid"_s, file);
    settings.SqlPassword = ReadIniString(section(), u"SqlPassword"_s, file);
    settings.WakeAddress = ReadIniString(section(), u"WakeAddress"_s, file);
    settings.WakePort = ReadIniString(section(), u"WakePort"_s, file);
    settings.QueueConnection = ReadIniString(section(), u"QueueConnection"_s, file);
    settings.TlsConnect = ReadIniString(section(), u"TlsConnect"_s, file);
    settings.TlsPskFile = ReadIniString(section(), u"TlsPskFile"_s, file);
}

void ComputeConsoleSettingsNumbers(ConsoleSettings &settings)
{
    // Out-of-range texts give 0, which CheckConsoleSettings reports before anything uses it.
    settings.TimeoutMs = numberIn(settings.Timeout, 1, MaxTimeoutSeconds).value_or(0) * 1000;
    settings.MaxControlCount = qint16(numberIn(settings.MaxControl, 1, MaxControlLimit).value_or(0));
}

ConsoleSettings LoadConsoleSettings(const QString &folder)
{
    ConsoleSettings settings;
    settings.IniFilePath = QDir(folder).filePath(QString::fromUtf16(SettingsFileName));
    RereadConsoleSettingsTexts(settings);
    ComputeConsoleSettingsNumbers(settings);
    // One context for every connection of the run; CheckConsoleSettings reports a bad key.
    if (const auto tls = ConsoleTls::load(settings, nullptr))
        settings.tlsContext = tls->context;
    return settings;
}

namespace {

// The message for the first of the three numeric fields that cannot be used.
std::optional<std::pair<SettingsField, QString>> firstUnusable(const QString &port,
                                                               const QString &timeout,
                                                               const QString &maxControl)
{
    if (port.trimmed().isEmpty())
        return std::pair{SettingsField::Port, u"ポート番号を指定してください。"_s};
    if (!numberIn(port, 1, MaxPort))
        return std::pair{SettingsField::Port,
                         u"ポート番号は1～65535の数値で指定してください。"_s};
    if (timeout.trimmed().isEmpty())
        return std::pair{SettingsField::Timeout, u"タイムアウト値（秒）を指定してください。"_s};
    if (!numberIn(timeout, 1, MaxTimeoutSeconds))
        return std::pair{SettingsField::Timeout,
                         u"タイムアウト値（秒）は1～86400の数値で指定してください。"_s};
    if (maxControl.trimmed().isEmpty())
        return std::pair{SettingsField::MaxControl, u"最大同時接続数を指定してください。"_s};
    if (!numberIn(maxControl, 1, MaxControlLimit))
        return std::pair{SettingsField::MaxControl,
                         u"最大同時接続数は1～1000の数値で指定してください。"_s};
    return std::nullopt;
}

} // namespace

std::optional<QString> CheckConsoleSettings(const ConsoleSettings &settings)
{
    if (const auto failure = firstUnusable(settings.Port, settings.Timeout, settings.MaxControl))
        return failure->second;
    QString error;
    if (!ConsoleTls::load(settings, &error))
        return error;
    return std::nullopt;
}

SettingsForm SettingsForm::from(const ConsoleSettings &settings)
{
    return {settings.Port,          settings.Timeout,  settings.MaxControl,
            settings.SqlConnection, settings.SqlTable, settings.SqlUserid,
            settings.SqlPassword};
}

SettingsSaveResult SaveConsoleSettings(const SettingsForm &form, ConsoleSettings &settings,
                                       ConsoleFrontEnd &frontEnd)
{
    if (const auto failure = firstUnusable(form.port, form.timeout, form.maxControl)) {
        ShowWarning(frontEnd, failure->second);
        return {false, failure->first};
    }
    const QString values[] = {form.port.trimmed(),          form.timeout.trimmed(),
                              form.maxControl.trimmed(),    form.sqlConnection.trimmed(),
                              form.sqlTable.trimmed(),      form.sqlUserid.trimmed(),
                              form.sqlPassword.trimmed()};
    const QString keys[] = {u"Port"_s,     u"Timeout"_s,   u"MaxControl"_s, u"SqlConnection"_s,
                            u"SqlTable"_s, u"SqlUserid"_s, u"SqlPassword"_s};
    for (int i = 0; i < 7; ++i)
        WriteIniString(section(), keys[i], values[i], settings.IniFilePath, frontEnd);
    settings.Port = values[0];
    settings.Timeout = values[1];
    settings.MaxControl = values[2];
    settings.SqlConnection = values[3];
    settings.SqlTable = values[4];
    settings.SqlUserid = values[5];
    settings.SqlPassword = values[6];
    ComputeConsoleSettingsNumbers(settings);
    return {true, SettingsField::Port};
}

QString Explanation::read(const QString &folder, const QString &file)
{
    QFile input(QDir(folder).filePath(file));
    if (!input.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = input.readAll();
    // Every line is shown with CR LF, the last one too, whether or not the file ends with one.
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    if (bytes.isEmpty())
        return {};
    QString text;
    for (const QByteArray &line : bytes.split('\n'))
        text += CodePage::fromAnsi(line.endsWith('\r') ? line.chopped(1) : line) + u"\r\n"_s;
    return text;
}

QString GetLocalComputerName()
{
    return QSysInfo::machineHostName().section(u'.', 0, 0).left(ComputerNameChars);
}
