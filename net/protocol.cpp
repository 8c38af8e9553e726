#include "net/protocol.h"

#include "net/frame.h"

#include <algorithm>

namespace Protocol {

namespace {

using enum Payload;

const QList<Request> RequestTable = {
    // code                           success failure payload crlf   single batch
    {Frame::GetParameters,            101, 102, Empty, true,  true,  false},
    {Frame::UpdateParameters,         111, 112, Text,  true,  true,  false},
    {Frame::RestartAgent,             131, 132, Empty, true,  true,  true},
    {Frame::RunCollector,             141, 142, Empty, true,  true,  true},
    {Frame::TerminateAgent,           151, 152, Empty, true,  true,  true},
    {Frame::GetFileInfo,              301, 302, Empty, true,  true,  false},
    {Frame::GetDataFile,              311, 312, Text,  false, true,  false},
    {Frame::GetStatusLog,             401, 402, Empty, true,  true,  false},
    {Frame::DistributeFile,           501, 502, File,  false, false, true},
    {Frame::DistributeAndRestart,     511, 512, File,  false, false, true},
    {Frame::DistributeAndCollect,     521, 522, File,  false, false, true},
    {Frame::EndSession,               901, 0,   Empty, true,  false, false},
};

// The agent ends only after a successful restart, terminate or distribution with restart; after
// a failed one it carries on serving, so the console ends the session itself.
const QList<int> AgentEndingReplies = {131, 151, 511};

QList<Reply> buildReplies()
{
    QList<Reply> replies;
    for (const Request &request : RequestTable) {
        for (const int code : {request.success, request.failure}) {
            if (code == 0)
                continue;
            Reply reply;
            reply.code = code;
            reply.request = request.code;
            reply.success = code == request.success;
            reply.agentEnds = AgentEndingReplies.contains(code);
            // 901 closes the session from the agent's side: nothing is left to end.
            reply.consoleSendsEnd = !reply.agentEnds && request.code != Frame::EndSession;
            replies.append(reply);
        }
    }
    std::sort(replies.begin(), replies.end(),
              [](const Reply &a, const Reply &b) { return a.code < b.code; });
    return replies;
}

} // namespace

const QList<Request> &requests()
{
    return RequestTable;
}

const QList<Reply> &replies()
{
    static const QList<Reply> table = buildReplies();
    return table;
}

const Request *findRequest(int code)
{
    for (const Request &request : RequestTable) {
        if (request.code == code)
            return &request;
    }
    return nullptr;
}

const Reply *findReply(int code)
{
    for (const Reply &reply : replies()) {
        if (reply.code == code)
            return &reply;
    }
    return nullptr;
}

int successReply(int request)
{
    const Request *entry = findRequest(request);
    return entry ? entry->success : 0;
}

int failureReply(int request)
{
    const Request *entry = findRequest(request);
    return entry ? entry->failure : 0;
}

bool replyEndsWithCrLf(int request)
{
    const Request *entry = findRequest(request);
    return entry && entry->replyEndsWithCrLf;
}

bool agentEndsAfter(int reply)
{
    const Reply *entry = findReply(reply);
    return entry && entry->agentEnds;
}

bool consoleSendsEndAfter(int reply)
{
    const Reply *entry = findReply(reply);
    return entry && entry->consoleSendsEnd;
}

bool answers(int reply, int request)
{
    const Reply *entry = findReply(reply);
    return entry && entry->request == request;
}

bool isSingleRequest(int request)
{
    const Request *entry = findRequest(request);
    return entry && entry->single;
}

bool isBatchRequest(int request)
{
    const Request *entry = findRequest(request);
    return entry && entry->batch;
}

bool isFileRequest(int request)
{
    const Request *entry = findRequest(request);
    return entry && entry->payload == Payload::File;
}

} // namespace Protocol
