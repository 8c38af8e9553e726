#include "net/frame.h"

#include "common/codepage.h"
#include "net/protocol.h"

using namespace Qt::StringLiterals;

namespace Frame {

namespace {

constexpr qsizetype LengthOffset = 4;
constexpr qsizetype FileHeaderMin = 5; // H itself and the ";" after it

void putUInt32(QByteArray &bytes, qsizetype offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char((value >> (8 * i)) & 0xFF);
}

} // namespace

bool isRequestCode(int code)
{
    return Protocol::findRequest(code) != nullptr;
}

QByteArray encode(QStringView text, QByteArrayView tail)
{
    QByteArray frame = CodePage::toAnsi(text);
    frame.append(tail);
    writeLength(frame);
    return frame;
}

QByteArray build(int code, QByteArrayView payload)
{
    QByteArray frame = QByteArray::number(code).rightJustified(3, '0');
    frame.reserve(HeaderSize + payload.size());
    frame.append(";nnnn;");
    frame.append(payload);
    writeLength(frame);
    return frame;
}

QString logText(int code, QByteArrayView payload)
{
    return QString::number(code) + u";nnnn;"_s + CodePage::fromAnsi(payload);
}

void writeLength(QByteArray &frame)
{
    // A text too short to hold the placeholder has no length field to write.
    if (frame.size() >= LengthOffset + 4)
        putUInt32(frame, LengthOffset, quint32(frame.size()));
}

quint32 readUInt32(QByteArrayView bytes, qsizetype offset)
{
    if (offset < 0 || offset > bytes.size() - 4)
        return 0;
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(bytes[offset + i]);
    return value;
}

QString Message::payloadText() const
{
    return CodePage::fromAnsi(payload);
}

QByteArray encodeFilePayload(const FileHeader &header, QByteArrayView fileBytes)
{
    // H counts bytes after conversion, so it is written over the placeholder afterwards.
    const QString text = u"nnnn;"_s + header.name + u';' + header.created + u';'
                         + header.lastWritten + u';' + header.lastAccessed + u';';
    QByteArray payload = CodePage::toAnsi(text);
    putUInt32(payload, 0, quint32(payload.size()));
    payload.append(fileBytes);
    return payload;
}

std::optional<FileHeader> decodeFileHeader(QByteArrayView payload, QByteArrayView *fileBytes)
{
    if (payload.size() < FileHeaderMin)
        return std::nullopt;
    const quint32 h = readUInt32(payload, 0);
    if (h < FileHeaderMin || h > quint64(payload.size()))
        return std::nullopt;
    // ";" never occurs as the second byte of a CP932 character: splitting bytes is safe.
    const QByteArrayView text = payload.sliced(FileHeaderMin, h - FileHeaderMin);
    QByteArrayView fields[4];
    qsizetype start = 0;
    for (auto &field : fields) {
        const qsizetype end = text.indexOf(';', start);
        if (end < 0)
            return std::nullopt;
        field = text.sliced(start, end - start);
        start = end + 1;
    }
    if (fileBytes)
        *fileBytes = payload.sliced(h);
    return FileHeader{CodePage::fromAnsi(fields[0]), CodePage::fromAnsi(fields[1]),
                      CodePage::fromAnsi(fields[2]), CodePage::fromAnsi(fields[3])};
}

int codeOf(QByteArrayView code)
{
    int value = 0;
    for (const char c : code) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace Frame
