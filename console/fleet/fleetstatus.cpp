#include "console/fleet/fleetstatus.h"

#include "console/batch/agentprogram.h"
#include "console/batch/batchrun.h"
#include "console/connection/replyparsers.h"
#include "net/frame.h"
#include "net/protocol.h"

using namespace Qt::StringLiterals;

namespace {

const QString Unknown = u"-"_s;

// The collector's output files are named after the MAC text, which the file list does not
// give: they are told by their fixed endings.
constexpr const char16_t *CollectorSuffixes[] = {
    u".DAT", u".INSERT.SQL", u".UPDATE.SQL", u".SQL.LOG", u".FTP.LOG", u".MAIL.LOG",
};

bool isAgentProgram(const QString &name)
{
    // The Windows agents list their program with its extension.
    return name.compare(AgentProgramFileName(), Qt::CaseInsensitive) == 0
           || name.compare(AgentProgramFileName() + u".exe"_s, Qt::CaseInsensitive) == 0;
}

// "yyyy/mm/dd hh:mm:ss": zero-padded, so the text order is the time order.
bool isFileTime(const QString &text)
{
    static const QString pattern = u"0000/00/00 00:00:00"_s;
    if (text.size() != pattern.size())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if ((pattern[i] == u'0') != text[i].isDigit())
            return false;
    }
    return true;
}

} // namespace

QStringList FleetStatus::fields() const
{
    return {host, up ? u"up"_s : u"down"_s, roundTripMs < 0 ? Unknown : QString::number(roundTripMs),
            version.isEmpty() ? Unknown : version, lastPass.isEmpty() ? Unknown : lastPass};
}

bool IsCollectorOutputFile(const QString &fileName)
{
    // The definition file TarvoInfo.dat is no output, whatever the case of its name.
    if (fileName.compare(u"TarvoInfo.dat"_s, Qt::CaseInsensitive) == 0)
        return false;
    for (const char16_t *suffix : CollectorSuffixes) {
        const QStringView ending(suffix);
        if (fileName.size() > ending.size() && fileName.endsWith(ending))
            return true;
    }
    return false;
}

void ReadFileListStatus(const QString &body, FleetStatus &status)
{
    for (const FileRow &row : ParseFileList(body)) {
        if (isAgentProgram(row.name))
            status.version = row.fileVersion;
        else if (IsCollectorOutputFile(row.name) && isFileTime(row.lastWritten)
                 && (status.lastPass.isEmpty() || row.lastWritten > status.lastPass))
            status.lastPass = row.lastWritten;
    }
}

FleetStatus FleetStatusOf(const BatchResult &row)
{
    FleetStatus status;
    status.host = row.host;
    // A failure reply (302) still shows the agent is up; only its list is missing.
    status.up = Protocol::answers(row.replyCode, Frame::GetFileInfo);
    if (!status.up)
        return status;
    status.roundTripMs = row.roundTripMs;
    if (row.replyCode == Protocol::successReply(Frame::GetFileInfo))
        ReadFileListStatus(row.replyBody, status);
    return status;
}

QStringList FleetStatusHeaders()
{
    return {u"コンピュータ名"_s, u"状態"_s, u"応答時間(ms)"_s, u"バージョン"_s, u"最終収集"_s};
}
