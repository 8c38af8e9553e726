#include "common/codepage.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr char Utf16[] = "UTF-16LE";
#else
constexpr char Utf16[] = "UTF-16BE";
#endif
// glibc's CP932 is Windows-31J: both 〜 (U+301C) and ～ (U+FF5E) encode to 81 60, and 5C/7E stay
// backslash and tilde ("SHIFT_JIS" would turn them into ¥ and ‾).
constexpr char Ansi[] = "CP932";

/// The two conversion descriptors, opened once per thread: opening one costs far more than
/// converting a short text, and a descriptor must not be shared between threads.
struct Converters
{
    iconv_t toAnsi = iconv_open(Ansi, Utf16);
    iconv_t fromAnsi = iconv_open(Utf16, Ansi);
    Converters() = default;
    Converters(const Converters &) = delete;
    Converters &operator=(const Converters &) = delete;
    ~Converters()
    {
        if (toAnsi != iconv_t(-1))
            iconv_close(toAnsi);
        if (fromAnsi != iconv_t(-1))
            iconv_close(fromAnsi);
    }
};

Converters &converters()
{
    thread_local Converters instance;
    return instance;
}

bool isAscii(const char *data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        if (static_cast<unsigned char>(data[i]) >= 0x80)
            return false;
    }
    return true;
}

bool isAscii(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

} // namespace

namespace CodePage {

QByteArray toAnsi(QStringView text, bool *ok)
{
    if (ok)
        *ok = true;
    if (isAscii(text))
        return text.toLatin1();
    iconv_t cd = converters().toAnsi;
    if (cd == iconv_t(-1)) {
        if (ok)
            *ok = false;
        return QByteArray(text.size(), '?');
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    // A UTF-16 unit never needs more than two CP932 bytes.
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    char *in = reinterpret_cast<char *>(const_cast<QChar *>(text.data()));
    size_t inLeft = size_t(text.size()) * 2;
    char *outPos = out.data();
    size_t outLeft = size_t(out.size());
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPos, &outLeft) != size_t(-1))
            break;
        if (ok)
            *ok = false;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // Not representable (or a broken surrogate): one "?" for the whole character.
        *outPos++ = '?';
        --outLeft;
        const auto *unit = reinterpret_cast<const char16_t *>(in);
        size_t skip = 2;
        if (QChar::isHighSurrogate(unit[0]) && inLeft >= 4 && QChar::isLowSurrogate(unit[1]))
            skip = 4;
        in += skip;
        inLeft -= skip;
    }
    out.truncate(outPos - out.data());
    return out;
}

QString fromAnsi(QByteArrayView bytes, bool *ok)
{
    if (ok)
        *ok = true;
    if (isAscii(bytes.data(), bytes.size()))
        return QString::fromLatin1(bytes);
    iconv_t cd = converters().fromAnsi;
    if (cd == iconv_t(-1)) {
        if (ok)
            *ok = false;
        return QString(bytes.size(), QChar::ReplacementCharacter);
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    // Every byte gives at most one UTF-16 unit (CP932 lies wholly in the BMP).
    QString out(bytes.size(), Qt::Uninitialized);
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    char *outPos = reinterpret_cast<char *>(out.data());
    size_t outLeft = size_t(out.size()) * 2;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPos, &outLeft) != size_t(-1))
            break;
        if (ok)
            *ok = false;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        const char16_t replacement = QChar::ReplacementCharacter;
        std::memcpy(outPos, &replacement, 2);
        outPos += 2;
        outLeft -= 2;
        // Skip the bad byte only: a stray lead byte must not swallow the ASCII byte after it.
        ++in;
        --inLeft;
    }
    out.truncate((outPos - reinterpret_cast<char *>(out.data())) / 2);
    return out;
}

} // namespace CodePage
