#include "agent/agentsettings.h"

#include "common/agentinikeys.h"
#include "common/codepage.h"
#include "common/profilefile.h"
#include "net/frame.h"
#include "net/pskkeyfile.h"
#include "net/tlscontext.h"

#include <QDir>
#include <QFileInfo>

#include <limits>

using namespace Qt::StringLiterals;
using namespace AgentIni;

namespace {

std::optional<qint64> parseInteger(const QString &text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return value;
}

std::optional<AgentSettings> refuse(QString *reason, const QString &why)
{
    if (reason)
        *reason = why;
    return std::nullopt;
}

// The key file is named relative to the program folder, or absolute.
QString keyFilePath(const QString &iniPath, const QString &name)
{
    if (name.isEmpty())
        return {};
    return QDir::cleanPath(QFileInfo(iniPath).absoluteDir().absoluteFilePath(name));
}

} // namespace

std::optional<TlsAcceptModes> TlsAcceptModes::parse(const QString &text)
{
    if (text.trimmed().isEmpty())
        return TlsAcceptModes{};
    TlsAcceptModes modes{false, false};
    for (const QString &part : text.split(u',')) {
        const QString word = part.trimmed().toLower();
        if (word == u"plain")
            modes.plain = true;
        else if (word == u"psk")
            modes.psk = true;
        else
            return std::nullopt;
    }
    return modes;
}

bool AgentSettings::autoStart() const { return AutoStart == u"1"_s; }
bool AgentSettings::autoExit() const { return AutoExit == u"1"_s; }

std::optional<AgentSettings> LoadAgentSettings(const QString &iniPath, QString *reason)
{
    ProfileFile ini(iniPath);
    if (!ini.load(reason))
        return std::nullopt;
    auto read = [&ini](const char *key) {
        return CodePage::fromAnsi(ini.value(AgentSection, key));
    };
    // Keys of our own are read whole: cut at 254 bytes, an address list would change its
    // meaning without a word (10.0.0.0/16 becoming 10.0.0.0/1).
    auto readWhole = [&ini](const char *key) {
        return CodePage::fromAnsi(ini.value(AgentSection, key, std::numeric_limits<int>::max()));
    };

    AgentSettings settings;
    const QString port = read(AgentKey::Port);
    const QString timeOut = read(AgentKey::TimeOut);
    const QString statusLog = read(AgentKey::StatusLog);
    settings.AutoStart = read(AgentKey::AutoStart);
    settings.AutoExit = read(AgentKey::AutoExit);
    settings.ExeFile = read(AgentKey::ExeFile);
    const auto schedule = Schedule::parse(read(AgentKey::TimeStart));
    if (!schedule)
        return refuse(reason, u"TimeStart needs two commas"_s);
    settings.schedule = *schedule;
    settings.DebugMode = read(AgentKey::DebugMode);

    const auto portValue = parseInteger(port);
    const auto timeOutValue = parseInteger(timeOut);
    const auto statusLogValue = parseInteger(statusLog);
    if (!portValue || !timeOutValue || !statusLogValue)
        return refuse(reason, u"Port, TimeOut and StatusLog must be numbers"_s);
    if (!timeOutFitsMilliseconds(*timeOutValue))
        return refuse(reason, u"TimeOut is too large"_s);
    settings.Port = int(*portValue);
    settings.TimeOut = int(*timeOutValue * 1000);
    settings.StatusLog = int(*statusLogValue);

    settings.ListenAddress = readWhole(AgentKey::ListenAddress).trimmed();
    const auto allowFrom = AllowList::parse(readWhole(AgentKey::AllowFrom));
    if (!allowFrom)
        return refuse(reason, u"AllowFrom holds an entry that is no IPv4 address or range, "
                              "or names no address at all"_s);
    settings.AllowFrom = *allowFrom;
    const QString maxFrame = readWhole(AgentKey::MaxFrameBytes).trimmed();
    settings.MaxFrameBytes = Frame::DefaultMaxBytes;
    if (!maxFrame.isEmpty()) {
        bool ok = false;
        const qulonglong value = maxFrame.toULongLong(&ok);
        if (!ok || value < Frame::HeaderSize || value > std::numeric_limits<quint32>::max())
            return refuse(reason, u"MaxFrameBytes must be a number of bytes"_s);
        settings.MaxFrameBytes = quint32(value);
    }
    settings.UpdateKeyFile = readWhole(AgentKey::UpdateKeyFile).trimmed();
    const auto tlsAccept = TlsAcceptModes::parse(readWhole(AgentKey::TlsAccept));
    if (!tlsAccept)
        return refuse(reason, u"TlsAccept must be plain, psk or plain,psk"_s);
    settings.TlsAccept = *tlsAccept;
    settings.TlsPskFile = keyFilePath(iniPath, readWhole(AgentKey::TlsPskFile).trimmed());
    if (settings.TlsAccept.psk) {
        QString fault;
        auto keys = PskKeyFile::read(settings.TlsPskFile, &fault);
        if (keys)
            settings.tls = TlsContext::create(TlsContext::Role::Server, std::move(*keys), &fault);
        if (!settings.tls)
            return refuse(reason, u"TlsPskFile: "_s + fault);
    }
    return settings;
}
