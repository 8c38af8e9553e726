#include "collector/mail/smtpreplyreader.h"

#include <cctype>

namespace {

// "ddd-": more lines of the same reply follow.
bool isContinuation(QByteArrayView line)
{
    return line.size() >= 4 && line[3] == '-' && std::isdigit(quint8(line[0]))
        && std::isdigit(quint8(line[1])) && std::isdigit(quint8(line[2]));
}

SmtpReply replyOf(const QByteArray &text, qsizetype lastLineStart)
{
    return {text, text.mid(lastLineStart, 3)};
}

} // namespace

std::optional<SmtpReply> SmtpReplyReader::takeReply()
{
    qsizetype lineStart = 0;
    while (lineStart < m_buffer.size()) {
        const qsizetype end = m_buffer.indexOf('\n', lineStart);
        if (end < 0)
            break;
        const QByteArrayView line = QByteArrayView(m_buffer).sliced(lineStart, end - lineStart);
        if (!isContinuation(line)) {
            const QByteArray text = m_buffer.left(end + 1);
            m_buffer.remove(0, end + 1);
            return replyOf(text, lineStart);
        }
        lineStart = end + 1;
    }
    if (m_buffer.size() > MaxReplyBytes) {
        const QByteArray text = m_buffer;
        m_buffer.clear();
        return replyOf(text, lineStart < text.size() ? lineStart : 0);
    }
    return std::nullopt;
}
