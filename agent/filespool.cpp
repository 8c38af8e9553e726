#include "agent/filespool.h"

#include "net/protocol.h"

#include <QtEndian>

namespace {

bool isFileRequest(int code)
{
    const Protocol::Request *request = Protocol::findRequest(code);
    return request && request->payload == Protocol::Payload::File;
}

} // namespace

std::unique_ptr<FileSpool> FileSpool::begin(const QString &folder, const QString &programName,
                                            QByteArrayView held, quint32 declaredLength,
                                            const QString &guarded)
{
    constexpr qsizetype SubHeaderLengthEnd = Frame::HeaderSize + 4;
    if (declaredLength < MinimumFrameBytes || held.size() < SubHeaderLengthEnd)
        return nullptr;
    const int code = Frame::codeOf(held.first(3));
    if (!isFileRequest(code))
        return nullptr;
    const quint32 h = qFromLittleEndian<quint32>(held.constData() + Frame::HeaderSize);
    // A sub-header that is not all there yet (or never fits the frame) is left to the
    // in-memory path, which refuses what is malformed.
    if (h > declaredLength - Frame::HeaderSize || held.size() < qsizetype(Frame::HeaderSize + h))
        return nullptr;

    const QByteArrayView subHeader = held.sliced(Frame::HeaderSize, h);
    std::unique_ptr<FileSpool> spool(new FileSpool);
    spool->m_message.code = code;
    spool->m_message.codeText = held.first(3).toByteArray();
    spool->m_message.payload = subHeader.toByteArray();
    spool->m_remaining = qint64(declaredLength) - Frame::HeaderSize - h;

    const auto header = Frame::decodeFileHeader(subHeader, nullptr);
    if (!header) {
        spool->m_refusal = Distribution::Result::Failed;
    } else {
        auto planned = Distribution::plan(folder, programName, *header, guarded);
        if (const auto *refusal = std::get_if<Distribution::Result>(&planned)) {
            spool->m_refusal = *refusal;
        } else {
            spool->m_target = std::get<Distribution::Target>(std::move(planned));
            spool->m_file = std::make_unique<AtomicFile::Writer>(spool->m_target->path,
                                                                 spool->m_target->permissions);
            if (!spool->m_file->open())
                spool->m_refusal = Distribution::Result::Failed;
        }
    }
    spool->write(held.sliced(Frame::HeaderSize + h));
    return spool;
}

void FileSpool::write(QByteArrayView bytes)
{
    const qint64 taken = qMin<qint64>(bytes.size(), m_remaining);
    m_remaining -= taken;
    if (m_refusal || taken == 0)
        return;
    if (!m_file->write(bytes.first(taken)))
        m_refusal = Distribution::Result::Failed;
}

Distribution::Result FileSpool::finish()
{
    if (m_remaining > 0 && !m_refusal)
        m_refusal = Distribution::Result::Failed;
    if (m_refusal) {
        if (m_file)
            m_file->cancel();
        return *m_refusal;
    }
    if (!m_file->commit())
        return Distribution::Result::Failed;
    return Distribution::finish(*m_target);
}
