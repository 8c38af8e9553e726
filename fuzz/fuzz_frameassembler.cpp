// Feeds arbitrary bytes to the frame assembler in chunks of fuzzer-chosen sizes and checks it
// against a plain model of the stream: frames come out with exactly their declared length,
// out-of-bounds lengths are Bad, memory follows the bytes held, and the file sub-header
// decoder stays inside every payload it is given.
#include "net/frame.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_frameassembler: %s\n", what);
    std::abort();
}

void check(bool ok, const char *what)
{
    if (!ok)
        fail(what);
}

quint32 lengthField(const QByteArray &bytes)
{
    return quint32(quint8(bytes[4])) | quint32(quint8(bytes[5])) << 8
           | quint32(quint8(bytes[6])) << 16 | quint32(quint8(bytes[7])) << 24;
}

// What the assembler should say about the bytes it holds.
FrameAssembler::Status expectedStatus(const QByteArray &held, quint32 bound)
{
    if (held.size() < 8)
        return FrameAssembler::Status::Incomplete;
    const quint32 length = lengthField(held);
    if (length < 9 || length > bound)
        return FrameAssembler::Status::Bad;
    return quint64(held.size()) >= length ? FrameAssembler::Status::Complete
                                          : FrameAssembler::Status::Incomplete;
}

void checkFileHeader(QByteArrayView payload)
{
    QByteArrayView fileBytes;
    const auto header = Frame::decodeFileHeader(payload, &fileBytes);
    if (!header)
        return;
    const quint32 h = Frame::readUInt32(payload, 0);
    check(h >= 5 && h <= quint64(payload.size()), "file header accepted with H out of range");
    check(fileBytes.data() == payload.data() + h, "file data do not start at H");
    check(fileBytes.size() == payload.size() - qsizetype(h), "file data do not end the payload");
    // Re-encoding what was decoded gives a header of the same shape.
    const QByteArray again = Frame::encodeFilePayload(*header, fileBytes);
    check(Frame::decodeFileHeader(again, nullptr).has_value(), "re-encoded header rejected");
}

void checkMessage(const Frame::Message &message, const QByteArray &frame)
{
    check(message.codeText == frame.first(3), "code text differs");
    check(message.payload.size() == frame.size() - Frame::HeaderSize, "payload size differs");
    check(message.payload == frame.sliced(Frame::HeaderSize), "payload bytes differ");
    bool digits = true;
    for (char c : message.codeText)
        digits = digits && c >= '0' && c <= '9';
    check(digits ? message.code == message.codeText.toInt() : message.code == 0, "code wrong");
    (void)message.payloadText();
    checkFileHeader(message.payload);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    // Small bounds make the Bad path reachable with short inputs.
    static constexpr quint32 bounds[] = {9, 16, 64, 1000, 5000, 65536, Frame::DefaultMaxBytes};
    const quint32 bound = input.PickValueInArray(bounds);
    FrameAssembler assembler(bound);
    QByteArray held; // the model: bytes the assembler should hold

    while (input.remaining_bytes() > 0) {
        const size_t want = input.ConsumeIntegralInRange<size_t>(1, 2 * Frame::ChunkSize);
        const std::string chunk = input.ConsumeBytesAsString(want);
        const QByteArrayView view(chunk.data(), qsizetype(chunk.size()));
        checkFileHeader(view);

        const bool wasBad = expectedStatus(held, bound) == FrameAssembler::Status::Bad;
        FrameAssembler::Status status = assembler.feed(view);
        if (!wasBad)
            held.append(view);
        check(assembler.bytesHeld() == held.size(), "bytes held differ from bytes fed");
        check(assembler.bytesReserved() <= held.size() + held.size() / 2,
              "more memory reserved than the bytes held call for");
        check(status == expectedStatus(held, bound), "status differs");
        check(assembler.declaredLength() == (held.size() >= 8 ? lengthField(held) : 0u),
              "declared length differs");

        while (status == FrameAssembler::Status::Complete) {
            const qsizetype length = lengthField(held);
            const Frame::Message message = assembler.takeMessage();
            checkMessage(message, held.first(length));
            held.remove(0, length);
            status = assembler.status();
            check(assembler.bytesHeld() == held.size(), "surplus differs");
            check(status == expectedStatus(held, bound), "status after take differs");
        }
        if (status == FrameAssembler::Status::Bad && input.ConsumeBool()) {
            check(assembler.takeMessage().payload.isEmpty(), "message taken from a bad frame");
            assembler.reset();
            held.clear();
            check(assembler.expectNewMessage(), "reset left bytes");
        }
    }
    return 0;
}
