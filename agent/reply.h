#pragma once

#include <QByteArray>
#include <QString>

/// A handler's reply: the reply code and its body in CP932 (without the final CR LF that the
/// server adds for the text requests).
struct Reply
{
    int code = 0;
    QByteArray body;

    /// Success is the request code + 1, failure + 2.
    bool failed() const { return code % 10 == 2; }
    /// The reply as the log shows it: code ";nnnn;" body.
    QString logText() const;
};

Reply failureReply(int code, const QString &text);
