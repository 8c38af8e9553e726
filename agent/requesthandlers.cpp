#include "agent/requesthandlers.h"

#include "agent/agentcontext.h"
#include "agent/agentsettings.h"
#include "agent/datafile.h"
#include "agent/distribution.h"
#include "agent/fileinfo.h"
#include "agent/launcher.h"
#include "agent/statuslog.h"
#include "common/codepage.h"
#include "common/profilefile.h"
#include "net/frame.h"
#include "net/protocol.h"
#include "signing/updatesignature.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

const QByteArray CrLf = QByteArrayLiteral("\r\n");

} // namespace

Reply RequestHandlers::handle(int code, const QByteArray &payload, const QString &peerLabel,
                              std::optional<Distribution::Result> stored)
{
    m_peerLabel = peerLabel;
    if (stored) {
        switch (code) {
        case Frame::DistributeFile: return distributed(*stored);
        case Frame::DistributeAndRestart:
        case Frame::DistributeAndCollect: return distributedThen(code, *stored);
        default: break;
        }
    }
    switch (code) {
    case Frame::GetParameters: return GetParameters();
    case Frame::UpdateParameters: return UpdateParameters(payload);
    case Frame::RestartAgent: return RestartAgent();
    case Frame::RunCollector: return RunCollector();
    case Frame::TerminateAgent: return TerminateAgent();
    case Frame::GetFileInfo: return GetFileInfo();
    case Frame::GetDataFile: return GetDataFile(payload);
    case Frame::GetStatusLog: return GetStatusLog();
    case Frame::DistributeFile: return DistributeFile(payload);
    case Frame::DistributeAndRestart: return DistributeAndRestart(payload);
    case Frame::DistributeAndCollect: return DistributeAndCollect(payload);
    case Frame::EndSession: return EndSession();
    default: return {};
    }
}

QString RequestHandlers::guardedFile() const
{
    return m_encrypted ? QString() : m_context.settings.TlsPskFile;
}

Reply RequestHandlers::succeeded(int request, QByteArray body)
{
    return {Protocol::successReply(request), std::move(body)};
}

Reply RequestHandlers::failed(int request, const QString &text)
{
    return logged(failureReply(Protocol::failureReply(request), text));
}

Reply RequestHandlers::logged(Reply reply)
{
    if (reply.failed())
        m_context.log.AddLog(m_peerLabel + u' ' + reply.logText(), StatusLog::Main);
    return reply;
}

Reply RequestHandlers::passOn(int code, const Reply &failed)
{
    return {code, failed.body};
}

Reply RequestHandlers::GetParameters()
{
    ProfileFile ini(m_context.iniPath);
    const auto failure = [this] {
        return failed(Frame::GetParameters, u"パラメータの取得時にエラーが発生しました。"_s);
    };
    if (!ini.load())
        return failure();
    const QList<QByteArray> sections = ini.sectionNames();
    if (sections.isEmpty())
        return failure();
    QByteArray body;
    for (const QByteArray &section : sections) {
        const QList<QByteArray> entries = ini.sectionEntries(section);
        if (entries.isEmpty())
            return failure();
        body += '[' + section + "]=" + CrLf;
        for (const QByteArray &entry : entries)
            body += entry + CrLf;
    }
    return succeeded(Frame::GetParameters, body);
}

Reply RequestHandlers::UpdateParameters(const QByteArray &payload)
{
    // The lines change one copy of the file, saved once at the end: a faulty line still
    // keeps what the lines before it changed. As each write of a key, the save's result is
    // not checked.
    ProfileFile ini(m_context.iniPath);
    const bool loaded = ini.load();
    const QByteArray before = loaded ? ini.serialize() : QByteArray();
    const bool complete = applyParameterLines(ini, payload);
    if (loaded && ini.serialize() != before)
        ini.save();
    if (complete)
        return succeeded(Frame::UpdateParameters);
    return failed(Frame::UpdateParameters, u"パラメータの更新時にエラーが発生しました。"_s);
}

bool RequestHandlers::applyParameterLines(ProfileFile &ini, const QByteArray &payload)
{
    // Parsed as bytes: ";", "=" and CR LF never occur inside a CP932 character.
    qsizetype position = 0;
    while (true) {
        const qsizetype lineEnd = payload.indexOf(CrLf, position);
        if (lineEnd < 0)
            return false;
        if (lineEnd == position)
            return true;
        const QByteArray line = payload.mid(position, lineEnd - position);
        position = lineEnd + 2;
        const qsizetype semicolon = line.indexOf(';');
        const qsizetype equals = semicolon < 0 ? -1 : line.indexOf('=', semicolon + 1);
        if (equals < 0)
            return false;
        ini.setValue(line.left(semicolon), line.mid(semicolon + 1, equals - semicolon - 1),
                     line.mid(equals + 1));
    }
}

Reply RequestHandlers::RestartAgent()
{
    const QString name = m_context.programName;
    QStringList arguments;
    if (m_context.UpdatePending)
        arguments = {u"update"_s, name, name, name + u".new"_s};
    else
        arguments = {u"restart"_s, name, name};
    const bool updatePending = m_context.UpdatePending;
    m_context.UpdatePending = false;
    if (updatePending) {
        if (const auto refusal = refusedUpdate())
            return failed(Frame::RestartAgent, *refusal);
    }
    if (m_context.launcher.startUpdater(arguments))
        return succeeded(Frame::RestartAgent);
    // The agent stays after a failed restart: the new program still waits to be swapped in.
    m_context.UpdatePending = updatePending;
    return failed(Frame::RestartAgent, u"再起動に失敗しました。"_s);
}

std::optional<QString> RequestHandlers::refusedUpdate()
{
    const QString keySetting = m_context.settings.UpdateKeyFile;
    if (keySetting.isEmpty())
        return std::nullopt;
    const QString newProgram = m_context.programName + u".new"_s;
    const auto files = UpdateSignature::updateFiles(m_context.folder, keySetting,
                                                    m_context.programName, newProgram);
    const auto refusal =
        UpdateSignature::checkFile(QDir(m_context.folder).filePath(newProgram), files);
    if (!refusal)
        return std::nullopt;
    // The refused program and its signature go; the running program stays as it is.
    QFile::remove(QDir(m_context.folder).filePath(newProgram));
    QFile::remove(files.signatureFile);
    return u"更新プログラムを拒否しました。"_s + refusalText(*refusal);
}

Reply RequestHandlers::RunCollector()
{
    if (!m_context.launcher.launchCollector(m_context.settings.ExeFile, u"ALL"_s))
        return failed(Frame::RunCollector, u"情報収集プログラムの実行時にエラーが発生しました。"_s);
    m_context.log.AddLog(u"情報収集プログラムを実行しました。"_s, StatusLog::Main);
    return succeeded(Frame::RunCollector);
}

Reply RequestHandlers::TerminateAgent()
{
    return succeeded(Frame::TerminateAgent);
}

Reply RequestHandlers::GetFileInfo()
{
    const auto listing = FileInfo::listFolder(m_context.folder, m_context.settings.TlsPskFile);
    if (!listing)
        return failed(Frame::GetFileInfo, u"ファイル情報の取得時にエラーが発生しました。"_s);
    return succeeded(Frame::GetFileInfo, *listing);
}

Reply RequestHandlers::GetDataFile(const QByteArray &payload)
{
    const auto content = DataFile::read(m_context.folder, payload, m_context.settings.TlsPskFile);
    if (!content)
        return failed(Frame::GetDataFile, u"ファイルのオープン時にエラーが発生しました。"_s);
    return succeeded(Frame::GetDataFile, *content);
}

Reply RequestHandlers::GetStatusLog()
{
    const QList<QByteArray> &lines = m_context.log.ansiLines();
    qsizetype size = 0;
    for (const QByteArray &line : lines)
        size += line.size() + 2;
    QByteArray body;
    body.reserve(size);
    for (const QByteArray &line : lines)
        body += line + CrLf;
    return succeeded(Frame::GetStatusLog, body);
}

Reply RequestHandlers::DistributeFile(const QByteArray &payload)
{
    return distributed(Distribution::store(m_context.folder, m_context.programName, payload, guardedFile()));
}

Reply RequestHandlers::distributed(Distribution::Result result)
{
    switch (result) {
    case Distribution::Result::Stored:
        return succeeded(Frame::DistributeFile);
    case Distribution::Result::StoredAgentProgram:
        m_context.UpdatePending = true;
        return succeeded(Frame::DistributeFile);
    case Distribution::Result::BadName:
        return failed(Frame::DistributeFile, u"ファイル名が不正です。"_s);
    case Distribution::Result::KeyFile:
        return failed(Frame::DistributeFile, u"鍵ファイルは暗号化されていない接続では配信できません。"_s);
    case Distribution::Result::Failed:
        break;
    }
    return failed(Frame::DistributeFile, u"ファイルの配信時にエラーが発生しました。"_s);
}

Reply RequestHandlers::DistributeAndRestart(const QByteArray &payload)
{
    return distributedThen(Frame::DistributeAndRestart,
                           Distribution::store(m_context.folder, m_context.programName, payload, guardedFile()));
}

Reply RequestHandlers::DistributeAndCollect(const QByteArray &payload)
{
    return distributedThen(Frame::DistributeAndCollect,
                           Distribution::store(m_context.folder, m_context.programName, payload, guardedFile()));
}

Reply RequestHandlers::distributedThen(int requestCode, Distribution::Result result)
{
    // 510 restarts and 520 runs the collector once the file is in place; a failed step's
    // body is passed on under the request's own failure code.
    const int failureCode = Protocol::failureReply(requestCode);
    const Reply stored = distributed(result);
    if (stored.failed())
        return passOn(failureCode, stored);
    const Reply followed =
        requestCode == Frame::DistributeAndRestart ? RestartAgent() : RunCollector();
    if (followed.failed())
        return passOn(failureCode, followed);
    return succeeded(requestCode);
}

Reply RequestHandlers::EndSession()
{
    return succeeded(Frame::EndSession, CrLf);
}
