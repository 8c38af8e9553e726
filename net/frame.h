#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

/// The command protocol's frame: code (three ASCII digits) ";" total length (uint32 LE) ";"
/// payload. The length counts bytes after encoding, header included.
namespace Frame {

constexpr int HeaderSize = 9;
constexpr int ChunkSize = 2048;               // what one read notification takes
constexpr quint32 DefaultMaxBytes = 256u << 20; // bound on a declared frame length

/// Request and reply codes.
enum Code {
    GetParameters = 100, UpdateParameters = 110, RestartAgent = 130, RunCollector = 140,
    TerminateAgent = 150, GetFileInfo = 300, GetDataFile = 310, GetStatusLog = 400,
    DistributeFile = 500, DistributeAndRestart = 510, DistributeAndCollect = 520,
    EndSession = 900,
};
bool isRequestCode(int code);

/// Encodes `text` (code ";" "nnnn" ";" body, CP932), appends `tail` (raw file bytes) and writes
/// the total length over "nnnn".
QByteArray encode(QStringView text, QByteArrayView tail = {});
/// A frame from a code and raw payload bytes.
QByteArray build(int code, QByteArrayView payload);
/// A frame as log lines show it: the code, the length placeholder and the payload text.
QString logText(int code, QByteArrayView payload);
/// Writes the total length of `frame` at offset 4.
void writeLength(QByteArray &frame);
quint32 readUInt32(QByteArrayView bytes, qsizetype offset);

/// A received frame: the code and the payload bytes from offset 9.
struct Message
{
    int code = 0;         // 0 when the first three bytes are not digits
    QByteArray codeText;  // the first three bytes as received
    QByteArray payload;
    QString payloadText() const; // CP932-decoded payload
};

/// The number of three ASCII digits; 0 when `code` holds anything else.
int codeOf(QByteArrayView code);

/// The sub-header of the file requests (500, 510, 520).
struct FileHeader
{
    QString name;
    QString created;
    QString lastWritten;
    QString lastAccessed;
};
/// The payload of a file request: H, ";", name ";" three times ";", then the file bytes.
QByteArray encodeFilePayload(const FileHeader &header, QByteArrayView fileBytes);
/// Splits a file-request payload; nullopt when H is out of range or fewer than four ";" follow.
std::optional<FileHeader> decodeFileHeader(QByteArrayView payload, QByteArrayView *fileBytes);

} // namespace Frame

/// Reassembles frames from received chunks. A bounded parser: a declared length below the
/// header size or above the bound is Bad, and memory grows only with the bytes received.
class FrameAssembler
{
public:
    enum class Status { Incomplete, Complete, Bad };

    explicit FrameAssembler(quint32 maxBytes = Frame::DefaultMaxBytes) : m_maxBytes(maxBytes) {}

    /// Adds a chunk. Complete: takeMessage() returns the frame; bytes beyond it are kept for
    /// the next frame. Bad: the declared length is out of bounds; reset() before reuse.
    Status feed(QByteArrayView chunk);
    /// Looks again at the bytes held (after takeMessage(), a following frame may be complete).
    Status status() const;
    Frame::Message takeMessage();
    void reset();

    bool expectNewMessage() const { return m_buffer.isEmpty(); }
    qsizetype bytesHeld() const { return m_buffer.size(); }
    /// The bytes of the frame being assembled, header included.
    QByteArrayView held() const { return m_buffer; }
    /// Memory reserved for the bytes held: at most half as much again as they need.
    qsizetype bytesReserved() const { return m_buffer.capacity(); }
    /// The length field of the frame being assembled; 0 while fewer than 8 bytes are held.
    quint32 declaredLength() const;

private:
    QByteArray m_buffer;
    quint32 m_maxBytes;
};
