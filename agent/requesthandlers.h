#pragma once

#include "agent/distribution.h"
#include "agent/reply.h"

#include <QByteArray>

struct AgentContext;
class ProfileFile;

/// One handler per request code. Each turns every failure of its own work into its failure
/// reply and a main status line: a request never ends the agent by accident.
class RequestHandlers
{
public:
    explicit RequestHandlers(AgentContext &context) : m_context(context) {}

    /// Whether the session of the next requests is encrypted: only then may a file request
    /// replace the key file.
    void setSessionEncrypted(bool encrypted) { m_encrypted = encrypted; }

    /// Handles a complete request; `peerLabel` prefixes the failure line in the status log.
    /// `stored`: for a file request whose file was received straight into place, the outcome.
    Reply handle(int code, const QByteArray &payload, const QString &peerLabel,
                 std::optional<Distribution::Result> stored = std::nullopt);

    Reply GetParameters();
    Reply UpdateParameters(const QByteArray &payload);
    Reply RestartAgent();
    Reply RunCollector();
    Reply TerminateAgent();
    Reply GetFileInfo();
    Reply GetDataFile(const QByteArray &payload);
    Reply GetStatusLog();
    Reply DistributeFile(const QByteArray &payload);
    Reply DistributeAndRestart(const QByteArray &payload);
    Reply DistributeAndCollect(const QByteArray &payload);
    /// The replies of requests 500/510/520 once the file is stored (or refused).
    Reply distributed(Distribution::Result result);
    Reply distributedThen(int requestCode, Distribution::Result result);
    Reply EndSession();

private:
    /// Applies the lines of a 110 payload to `ini`; false at a faulty line or a missing end.
    static bool applyParameterLines(ProfileFile &ini, const QByteArray &payload);
    /// The refusal of the pending new program when updates are signed: its reason, after the
    /// program and its signature have been removed. nullopt when it may be swapped in.
    std::optional<QString> refusedUpdate();
    /// The success reply of `request` (from the protocol table).
    static Reply succeeded(int request, QByteArray body = {});
    /// The failure reply of `request` with `text`, logged as a main line.
    Reply failed(int request, const QString &text);
    /// Logs a failure reply as a main line, then returns it.
    Reply logged(Reply reply);
    /// The body of a failed step's reply under another code (510 and 520 pass 502/132/142 on).
    static Reply passOn(int code, const Reply &failed);

    /// The key file while a plain session must not replace it; "" otherwise.
    QString guardedFile() const;

    AgentContext &m_context;
    QString m_peerLabel;
    bool m_encrypted = false;
};
