#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

/// Byte-level helpers for CP932 profile text. A CP932 trail byte may look like ASCII ("ゾ" is
/// 83 5D, the second byte being "]"), so every scan here steps over double-byte characters.
namespace ProfileText {

/// A first byte of a CP932 double-byte character.
constexpr bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
/// The blanks that the profile rules drop around names and values.
constexpr bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

QByteArrayView trimmed(QByteArrayView text);
/// ASCII letters lower-cased, double-byte characters untouched: the key for name comparisons.
QByteArray folded(QByteArrayView name);
/// At most `maxBytes` bytes, never ending in the first half of a double-byte character.
QByteArrayView cut(QByteArrayView text, qsizetype maxBytes);
/// Position of the first single-byte `c` (not a trail byte), or -1.
qsizetype indexOf(QByteArrayView text, char c);
/// Drops one matching pair of enclosing double or single quotes, as the Windows reader does.
QByteArrayView unquoted(QByteArrayView value);
/// Packs texts as the Windows list calls fill a buffer of `bufferChars` characters: each text and
/// its NUL, then a final NUL. A text that does not fit whole is cut to the room left (at least one
/// character) and ends the list; nothing after it is returned.
QList<QByteArray> packed(const QList<QByteArray> &texts, int bufferChars);
/// Makes a text safe to write on one profile line: cut at a NUL, CR and LF become blanks.
QByteArray oneLine(QByteArrayView text);

} // namespace ProfileText
