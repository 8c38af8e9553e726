#include "console/settings/agentsettingspage.h"

#include "common/agentinikeys.h"
#include "common/ansifields.h"
#include "common/codepage.h"
#include "common/profilefile.h"

using namespace Qt::StringLiterals;
using namespace AgentIni;

namespace {

enum class Kind {
    Text,      // text box: shown as read, written trimmed
    Option,    // option pair <control>_0 / _1: "1" selects _0
    Flag,      // check box: "1" checks it
    Passive,   // check box: checked unless exactly "0"
    Proxy,     // text box with its check box: checked when the text is not empty
    Transfer,  // Binary when the number is 2, else ASCII
    Choice,    // list box: its index "0", "1" or "2"; anything else shows as "0"
    Schedule,  // TimeStart: the three schedule labels
};

struct Binding
{
    QByteArrayView section;
    QByteArrayView key;
    QString control;
    Kind kind;
    QString caption = {}; // of a text box: how the user knows it
};

// In the order a save writes the keys.
const QList<Binding> &bindings()
{
    static const QList<Binding> table = {
        {AgentSection, AgentKey::Port, u"txtFunc6Port"_s, Kind::Text, u"ポート"_s},
        {AgentSection, AgentKey::TimeOut, u"txtFunc6TimeOut"_s, Kind::Text, u"タイムアウト（秒）"_s},
        {AgentSection, AgentKey::StatusLog, u"txtFunc6StatusLog"_s, Kind::Text, u"表示行数"_s},
        {AgentSection, AgentKey::DebugMode, u"optFunc6DebugMode"_s, Kind::Option},
        {AgentSection, AgentKey::AutoStart, u"optFunc6AutoStart"_s, Kind::Option},
        {AgentSection, AgentKey::AutoExit, u"optFunc6AutoExit"_s, Kind::Option},
        {AgentSection, AgentKey::ExeFile, u"txtFunc6Program"_s, Kind::Text, u"プログラム"_s},
        {AgentSection, AgentKey::TimeStart, u"lblFunc6Timer"_s, Kind::Schedule},
        {InfoSection, InfoKey::SqlConnection, u"txtFunc6SqlConnection"_s, Kind::Text, u"接続文字列"_s},
        {InfoSection, InfoKey::SqlTable, u"txtFunc6SqlTable"_s, Kind::Text, u"接続テーブル名"_s},
        {InfoSection, InfoKey::SqlUserid, u"txtFunc6SqlUserid"_s, Kind::Text, u"接続ユーザID"_s},
        {InfoSection, InfoKey::SqlPassword, u"txtFunc6SqlPassword"_s, Kind::Text, u"接続パスワード"_s},
        {InfoSection, InfoKey::FtpAddress, u"txtFunc6FtpAddress"_s, Kind::Text, u"FTPアドレス"_s},
        {InfoSection, InfoKey::FtpPort, u"txtFunc6FtpPort"_s, Kind::Text, u"ポート"_s},
        {InfoSection, InfoKey::FtpUser, u"txtFunc6FtpUser"_s, Kind::Text, u"ユーザＩＤ"_s},
        {InfoSection, InfoKey::FtpPassword, u"txtFunc6FtpPassword"_s, Kind::Text, u"パスワード"_s},
        {InfoSection, InfoKey::FtpProxy, u"txtFunc6Proxy"_s, Kind::Proxy, u"Proxy"_s},
        {InfoSection, InfoKey::FtpDirectory, u"txtFunc6FtpDirectory"_s, Kind::Text, u"ディレクトリ"_s},
        {InfoSection, InfoKey::FtpPassive, u"chkFunc6Passive"_s, Kind::Passive},
        {InfoSection, InfoKey::FtpType, u"optFunc6Bin"_s, Kind::Transfer},
        {InfoSection, InfoKey::FtpTls, u"chkFunc6FtpTls"_s, Kind::Flag},
        {InfoSection, InfoKey::FtpCaFile, u"txtFunc6FtpCaFile"_s, Kind::Text, u"CA証明書ファイル"_s},
        {InfoSection, InfoKey::SmtpServer, u"txtFunc6SmtpServer"_s, Kind::Text, u"SMTPサーバ"_s},
        {InfoSection, InfoKey::SmtpPort, u"txtFunc6SmtpPort"_s, Kind::Text, u"SMTPポート"_s},
        {InfoSection, InfoKey::From, u"txtFunc6From"_s, Kind::Text, u"送信者アドレス"_s},
        {InfoSection, InfoKey::To, u"txtFunc6To"_s, Kind::Text, u"宛先アドレス"_s},
        {InfoSection, InfoKey::Subject, u"txtFunc6Subject"_s, Kind::Text, u"件名"_s},
        {InfoSection, InfoKey::SmtpTls, u"cboFunc6SmtpTls"_s, Kind::Choice},
        {InfoSection, InfoKey::SmtpUser, u"txtFunc6SmtpUser"_s, Kind::Text, u"SMTPユーザＩＤ"_s},
        {InfoSection, InfoKey::SmtpPassword, u"txtFunc6SmtpPassword"_s, Kind::Text, u"SMTPパスワード"_s},
        {InfoSection, InfoKey::SmtpCaFile, u"txtFunc6SmtpCaFile"_s, Kind::Text, u"SMTP CA証明書ファイル"_s},
        {InfoSection, InfoKey::SqlUpdate, u"chkFunc6Sql"_s, Kind::Flag},
        {InfoSection, InfoKey::FtpUploadOfConsole, u"chkFunc6Ftp"_s, Kind::Flag},
        {InfoSection, InfoKey::SmtpMail, u"chkFunc6Mail"_s, Kind::Flag},
    };
    return table;
}

struct Check
{
    QString condition; // the section box that must be checked; empty: always
    QString control;
    QString message;
};

const QList<Check> &checks()
{
    static const QList<Check> table = {
        {{}, u"txtFunc6Port"_s, u"ポート番号を指定してください。"_s},
        {{}, u"txtFunc6TimeOut"_s, u"タイムアウト値（秒）を指定してください。"_s},
        {{}, u"txtFunc6StatusLog"_s, u"稼動ログの表示行数を指定してください。"_s},
        {{}, u"txtFunc6Program"_s, u"情報収集プログラム名を指定してください。"_s},
        {u"chkFunc6Sql"_s, u"txtFunc6SqlConnection"_s, u"SQLサーバ接続文字列を指定してください。"_s},
        {u"chkFunc6Sql"_s, u"txtFunc6SqlTable"_s, u"SQLサーバテーブル名を指定してください。"_s},
        {u"chkFunc6Ftp"_s, u"txtFunc6FtpAddress"_s, u"FTPサーバアドレスを指定してください。"_s},
        {u"chkFunc6Ftp"_s, u"txtFunc6FtpDirectory"_s, u"ディレクトリを指定してください。"_s},
        {u"chkFunc6Ftp"_s, u"txtFunc6FtpPort"_s, u"ポートを指定してください。"_s},
        {u"chkFunc6Ftp"_s, u"txtFunc6FtpUser"_s, u"ユーザIDを指定してください。"_s},
        {u"chkFunc6Mail"_s, u"txtFunc6SmtpServer"_s, u"SMTPサーバを指定してください。"_s},
        {u"chkFunc6Mail"_s, u"txtFunc6SmtpPort"_s, u"サーバのポートを指定してください。"_s},
        {u"chkFunc6Mail"_s, u"txtFunc6To"_s, u"宛先アドレスを指定してください。"_s},
        {u"chkFunc6Mail"_s, u"txtFunc6From"_s, u"送信者アドレスを指定してください。"_s},
        {u"chkFunc6Mail"_s, u"txtFunc6Subject"_s, u"件名を指定してください。"_s},
    };
    return table;
}

QString flag(bool on)
{
    return on ? u"1"_s : u"0"_s;
}

// The value a binding writes, by the mapping table.
QString valueOf(const Binding &binding, const AgentSettingsValues &values)
{
    switch (binding.kind) {
    case Kind::Text:
    case Kind::Proxy:
        return values.text(binding.control).trimmed();
    case Kind::Option:
        return flag(values.isChecked(binding.control + u"_0"_s));
    case Kind::Flag:
    case Kind::Passive:
        return flag(values.isChecked(binding.control));
    case Kind::Transfer:
        return values.isChecked(binding.control) ? u"2"_s : u"1"_s;
    case Kind::Choice:
        return choiceIndex(values.text(binding.control));
    case Kind::Schedule:
        return AgentSettingsPage::composeTimeStart(values.timer);
    }
    return {};
}

void show(const Binding &binding, const QString &value, AgentSettingsValues *values)
{
    switch (binding.kind) {
    case Kind::Text:
        values->texts[binding.control] = value;
        break;
    case Kind::Option:
        values->checks[binding.control + u"_0"_s] = value == u"1";
        values->checks[binding.control + u"_1"_s] = value != u"1";
        break;
    case Kind::Flag:
        values->checks[binding.control] = value == u"1";
        break;
    case Kind::Passive:
        values->checks[binding.control] = value != u"0";
        break;
    case Kind::Proxy:
        values->texts[binding.control] = value;
        values->checks[u"chkFunc6Proxy"_s] = !value.isEmpty();
        break;
    case Kind::Transfer: {
        const bool binary = value.trimmed().toInt() == 2; // not a number counts as 0
        values->checks[u"optFunc6Bin"_s] = binary;
        values->checks[u"optFunc6Ascii"_s] = !binary;
        break;
    }
    case Kind::Choice:
        values->texts[binding.control] = choiceIndex(value);
        break;
    case Kind::Schedule:
        if (const auto timer = AgentSettingsPage::parseTimeStart(value))
            values->timer = *timer;
        break;
    }
}

bool isDigit(QChar c)
{
    return c.isDigit() && c.digitValue() >= 0;
}

} // namespace

namespace AgentSettingsPage {

AgentSettingsValues load(const QString &path, const std::array<QString, 3> &previousTimer)
{
    ProfileFile file(path);
    file.load(); // an unreadable file shows as empty, as a missing one does
    AgentSettingsValues values;
    values.timer = previousTimer;
    for (const Binding &binding : bindings())
        show(binding, CodePage::fromAnsi(file.value(binding.section, binding.key)), &values);
    return values;
}

QMap<QString, bool> sectionStates(const AgentSettingsValues &values)
{
    const bool ftp = values.isChecked(u"chkFunc6Ftp"_s);
    return {{u"frameFunc6Sql"_s, values.isChecked(u"chkFunc6Sql"_s)},
            {u"frameFunc6Ftp"_s, ftp},
            {u"txtFunc6Proxy"_s, ftp},
            {u"frameFunc6Mail"_s, values.isChecked(u"chkFunc6Mail"_s)}};
}

std::optional<PageRefusal> check(const AgentSettingsValues &values)
{
    for (const Check &item : checks()) {
        if (!item.condition.isEmpty() && !values.isChecked(item.condition))
            continue;
        if (values.text(item.control).trimmed().isEmpty())
            return PageRefusal{item.control, item.message};
    }
    QList<AnsiField> texts;
    for (const Binding &binding : bindings()) {
        if (!binding.caption.isEmpty())
            texts.append({binding.control, binding.caption, valueOf(binding, values),
                          binding.key.endsWith("Password")});
    }
    if (const auto refusal = AnsiFields::check(texts))
        return PageRefusal{refusal->control, refusal->message};
    return std::nullopt;
}

std::optional<std::array<QString, 3>> parseTimeStart(const QString &timeStart)
{
    const qsizetype comma = timeStart.indexOf(u',');
    if (comma < 0)
        return std::nullopt;
    const QString condition = timeStart.left(comma);
    QString caption;
    if (condition == u"WEEK")
        caption = QString::fromUtf16(WeekCaption);
    else if (condition == u"DAY")
        caption = QString::fromUtf16(DayCaption);
    else
        return std::nullopt;
    // A condition with only one comma shows an empty time and an empty list.
    const QString rest = timeStart.mid(comma + 1);
    const qsizetype second = rest.indexOf(u',');
    const QString time = second < 0 ? QString() : rest.left(second);
    const QString days = second < 0 ? QString() : rest.mid(second + 1);
    return std::array<QString, 3>{caption, days, QString::fromUtf16(TimeCaption) + time};
}

QString composeTimeStart(const std::array<QString, 3> &timer)
{
    QString prefix;
    if (timer[0] == QStringView(WeekCaption))
        prefix = u"WEEK,"_s;
    else if (timer[0] == QStringView(DayCaption))
        prefix = u"DAY,"_s;
    return prefix + timeOfLabel(timer[2]) + u',' + timer[1];
}

QString timeOfLabel(const QString &label)
{
    // A label holding only "起動時刻 " must not put the caption into the schedule.
    const QStringView caption(TimeCaption);
    const QString time = label.startsWith(caption) ? label.mid(caption.size()) : label;
    return time.right(5);
}

QList<std::pair<QString, QString>> keysToWrite(const AgentSettingsValues &values)
{
    QList<std::pair<QString, QString>> keys;
    for (const Binding &binding : bindings())
        keys.append({QString::fromLatin1(binding.key), valueOf(binding, values)});
    return keys;
}

bool save(const QString &path, const AgentSettingsValues &values, QString *error)
{
    ProfileFile file(path);
    QString reason;
    bool ok = file.load(&reason);
    if (ok) {
        for (const Binding &binding : bindings())
            file.setValue(binding.section, binding.key, CodePage::toAnsi(valueOf(binding, values)));
        ok = file.save(&reason);
    }
    if (!ok && error)
        *error = path + u" ファイルの書き込み時にエラーが発生しました。"_s;
    return ok;
}

QString NormalizeTime(const QString &text)
{
    if (text.size() != 5 || (text[2] != u':' && text[2] != u'：'))
        return {};
    for (int i : {0, 1, 3, 4}) {
        if (!isDigit(text[i]))
            return {};
    }
    const int h = text[0].digitValue() * 10 + text[1].digitValue();
    const int m = text[3].digitValue() * 10 + text[4].digitValue();
    const int hour = h + m / 60;
    if (hour >= 24)
        return {};
    return u"%1:%2"_s.arg(hour, 2, 10, QChar(u'0')).arg(m % 60, 2, 10, QChar(u'0'));
}

} // namespace AgentSettingsPage
