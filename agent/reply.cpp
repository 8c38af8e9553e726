#include "agent/reply.h"

#include "common/codepage.h"
#include "net/frame.h"
#include "net/protocol.h"

using namespace Qt::StringLiterals;

bool Reply::failed() const
{
    const Protocol::Reply *entry = Protocol::findReply(code);
    return entry && !entry->success;
}

QString Reply::logText() const
{
    return Frame::logText(code, body);
}

Reply failureReply(int code, const QString &text)
{
    return {code, CodePage::toAnsi(text)};
}
