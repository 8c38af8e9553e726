#include "net/requestbuilder.h"

#include "common/codepage.h"

#include <QtEndian>

namespace RequestBuilder {

QByteArray text(Frame::Code code, QStringView text)
{
    // Every request that is not a file request ends with CR LF, an empty one too.
    QByteArray payload = CodePage::toAnsi(text);
    payload.append("\r\n");
    return Frame::build(code, payload);
}

std::optional<QByteArray> fileHead(Frame::Code code, const Frame::FileHeader &header,
                                   quint64 fileBytes)
{
    QByteArray head = Frame::build(code, Frame::encodeFilePayload(header, {}));
    const quint64 total = quint64(head.size()) + fileBytes;
    if (total > 0xFFFFFFFFu)
        return std::nullopt;
    qToLittleEndian(quint32(total), head.data() + 4);
    return head;
}

} // namespace RequestBuilder
