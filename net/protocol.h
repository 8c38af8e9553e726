#pragma once

#include <QList>

/// The command protocol as one table: for every request its reply codes and how a session goes
/// on after each reply. The agent's server and handlers and the console read it instead of
/// carrying reply codes as bare numbers.
namespace Protocol {

/// What follows the header of a request.
enum class Payload {
    Empty, // nothing but the final CR LF
    Text,  // a text (parameter lines, a file name) and the final CR LF
    File,  // the file sub-header and the file bytes, no final CR LF
};

/// One request and its two replies.
struct Request
{
    int code = 0;
    int success = 0;        // reply when the agent did what was asked
    int failure = 0;        // reply carrying the agent's reason; 0 when there is none (900)
    Payload payload = Payload::Empty;
    bool replyEndsWithCrLf = false; // the agent puts CR LF after the reply body
    bool single = false;            // the console's single connection sends it
    bool batch = false;             // a batch run sends it to many computers
};

/// One reply and what happens after it.
struct Reply
{
    int code = 0;
    int request = 0;
    bool success = false;
    /// The agent ends itself once the reply has gone: the connection simply ends.
    bool agentEnds = false;
    /// The console sends the end request 900 after it (single connection and batch workers
    /// alike): always while the agent stays up, so that its one console session is freed at
    /// once instead of at its idle time-out.
    bool consoleSendsEnd = false;
};

/// Every request, in code order.
const QList<Request> &requests();
/// Every reply, in code order.
const QList<Reply> &replies();

/// The entry of a request or reply code; nullptr for a code the protocol does not have.
const Request *findRequest(int code);
const Reply *findReply(int code);

/// Shorthands over the table; 0 or false for a code the protocol does not have.
int successReply(int request);
int failureReply(int request);
bool replyEndsWithCrLf(int request);
bool agentEndsAfter(int reply);
bool consoleSendsEndAfter(int reply);
/// True when `reply` answers `request` (success or failure).
bool answers(int reply, int request);
/// What the console sends where: requests of the single connection, of a batch run, and those
/// that carry a file (all of them batch requests).
bool isSingleRequest(int request);
bool isBatchRequest(int request);
bool isFileRequest(int request);

} // namespace Protocol
