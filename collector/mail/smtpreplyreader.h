#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

/// One whole SMTP reply: all its lines, and the code of its last line.
struct SmtpReply
{
    QByteArray text; // the lines as received, line ends included
    QByteArray code; // the first three characters of the last line
};

/// Collects received bytes into whole SMTP replies: a reply may arrive over several reads, and a
/// multi-line reply ("250-..." lines up to a "250 ..." line) is one reply.
class SmtpReplyReader
{
public:
    /// A server that never ends its reply line is cut off here; what came is taken as the reply.
    static constexpr qsizetype MaxReplyBytes = 64 * 1024;

    void feed(QByteArrayView bytes) { m_buffer.append(bytes); }
    /// The next whole reply, if one has arrived.
    std::optional<SmtpReply> takeReply();
    bool hasPartialReply() const { return !m_buffer.isEmpty(); }

private:
    QByteArray m_buffer;
};
