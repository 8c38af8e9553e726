#pragma once

#include <QByteArray>
#include <QString>

/// A handler's reply: the reply code and its body in CP932 (without the final CR LF that the
/// server adds for the text requests).
struct Reply
{
    int code = 0;
    QByteArray body;

    /// Whether the code is a failure reply of the protocol.
    bool failed() const;
    /// The reply as the log shows it: code, length placeholder, body.
    QString logText() const;
};

Reply failureReply(int code, const QString &text);
