#include "net/frame.h"

namespace {

constexpr qsizetype LengthEnd = 8; // the length field ends at offset 8

} // namespace

FrameAssembler::Status FrameAssembler::feed(QByteArrayView chunk)
{
    // Once the length is out of bounds nothing more is kept: a hostile peer cannot make the
    // buffer grow by sending on.
    if (status() == Status::Bad)
        return Status::Bad;
    // Grow with what arrives, never with what the header claims: a peer declaring a huge
    // frame costs only about the bytes it really sends. Growth by half of what is held keeps
    // the copying linear; it never goes past the declared length.
    const qsizetype needed = m_buffer.size() + chunk.size();
    if (needed > m_buffer.capacity()) {
        qsizetype target = qMax(needed, m_buffer.size() + m_buffer.size() / 2);
        const quint32 length = declaredLength();
        if (length >= quint32(Frame::HeaderSize) && length <= m_maxBytes)
            target = qMin(target, qMax<qsizetype>(needed, length));
        m_buffer.reserve(target);
    }
    m_buffer.append(chunk);
    return status();
}

FrameAssembler::Status FrameAssembler::status() const
{
    if (m_buffer.size() < LengthEnd)
        return Status::Incomplete;
    const quint32 length = declaredLength();
    if (length < quint32(Frame::HeaderSize) || length > m_maxBytes)
        return Status::Bad;
    return quint64(m_buffer.size()) >= length ? Status::Complete : Status::Incomplete;
}

quint32 FrameAssembler::declaredLength() const
{
    if (m_buffer.size() < LengthEnd)
        return 0;
    return Frame::readUInt32(m_buffer, 4);
}

Frame::Message FrameAssembler::takeMessage()
{
    if (status() != Status::Complete)
        return {};
    const qsizetype length = declaredLength();
    Frame::Message message;
    message.codeText = m_buffer.first(3);
    message.code = Frame::codeOf(message.codeText);
    // Bytes beyond the declared length are kept as the start of the next frame. Our peers
    // never send them (each side waits for the answer before it sends again), but a peer that
    // does must not have its next request silently dropped; status() tells whether that next
    // frame is complete as well.
    QByteArray surplus;
    if (m_buffer.size() > length) {
        surplus = m_buffer.sliced(length);
        m_buffer.truncate(length);
    }
    // Dropping the header from the front moves no bytes, so a large payload is not copied.
    m_buffer.remove(0, Frame::HeaderSize);
    message.payload = std::move(m_buffer);
    m_buffer = std::move(surplus);
    return message;
}

void FrameAssembler::reset()
{
    m_buffer = QByteArray();
}
