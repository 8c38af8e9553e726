#include "agent/reply.h"

#include "common/codepage.h"

using namespace Qt::StringLiterals;

QString Reply::logText() const
{
    return QString::number(code) + u";nnnn;"_s + CodePage::fromAnsi(body);
}

Reply failureReply(int code, const QString &text)
{
    return {code, CodePage::toAnsi(text)};
}
