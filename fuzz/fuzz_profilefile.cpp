// Parses arbitrary bytes as a profile file, reads everything, writes one key, and checks that
// the written key reads back and that no other key changed its value.
#include "common/profilefile.h"
#include "common/profiletext.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

using Values = QMap<QPair<QByteArray, QByteArray>, QByteArray>; // (folded section, folded key)

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_profilefile: %s\n", what);
    std::abort();
}

// A NUL ends the text it is in, and CR and LF end lines: none of them is ever part of what a
// reader gets.
bool isOneText(const QByteArray &text)
{
    return !text.contains('\0') && !text.contains('\r') && !text.contains('\n');
}

// Everything a reader can see: each listed section, each listed key and its value.
Values readAll(const ProfileFile &profile)
{
    Values values;
    for (const QByteArray &section : profile.sectionNames(INT_MAX)) {
        if (!profile.containsSection(section))
            fail("listed section not found");
        for (const QByteArray &key : profile.keyNames(section, INT_MAX)) {
            if (!profile.containsKey(section, key))
                fail("listed key not found");
            const QByteArray value = profile.value(section, key);
            if (value.size() > ProfileFile::ValueBufferChars - 1)
                fail("value longer than the buffer");
            if (!isOneText(value))
                fail("line end or NUL inside a value");
            values.insert({ProfileText::folded(section), ProfileText::folded(key)}, value);
        }
    }
    return values;
}

// The Windows list calls never return more than their buffer holds.
void checkPacking(const QList<QByteArray> &items, int bufferChars)
{
    qsizetype used = 1;
    for (const QByteArray &item : items) {
        if (item.isEmpty())
            fail("empty item in a list");
        if (!isOneText(item))
            fail("line end or NUL inside a listed name or entry");
        used += item.size() + 1;
    }
    if (bufferChars > 0 && used > bufferChars)
        fail("list overflows its buffer");
}

QByteArray take(const uint8_t *&data, size_t &size, size_t count)
{
    count = count < size ? count : size;
    QByteArray part(reinterpret_cast<const char *>(data), qsizetype(count));
    data += count;
    size -= count;
    return part;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    // Four control bytes: lengths of section, key and value, the buffer size and the operation.
    const uint8_t control[4] = {data[0], data[1], data[2], data[3]};
    data += 4;
    size -= 4;
    const QByteArray section = take(data, size, control[0] % 16);
    const QByteArray key = take(data, size, control[1] % 16);
    const QByteArray value = take(data, size, control[2] % 8 == 0 ? 300 : control[2] % 32);
    const bool remove = control[3] & 1;
    const int bufferChars = 1 + (control[3] >> 1) * 9;

    ProfileFile profile;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    profile.parse(bytes);
    if (profile.serialize() != bytes)
        fail("parse and serialize are not byte-exact");

    checkPacking(profile.sectionNames(bufferChars), bufferChars);
    checkPacking(profile.sectionEntries(section, bufferChars), bufferChars);
    checkPacking(profile.keyNames(section, bufferChars), bufferChars);
    const Values before = readAll(profile);
    const bool hadSection = profile.containsSection(section);

    if (remove)
        profile.setValue(section, key, std::nullopt);
    else
        profile.setValue(section, key, value);

    ProfileFile reread;
    reread.parse(profile.serialize());
    const Values after = readAll(reread);
    const auto target = qMakePair(ProfileText::folded(ProfileText::trimmed(section)),
                                  ProfileText::folded(ProfileText::trimmed(key)));

    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (it.key() == target)
            continue;
        if (after.value(it.key(), "\x01<gone>"_ba) != it.value())
            fail("an untouched key changed");
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (it.key() != target && !before.contains(it.key()))
            fail("a key appeared that was not written");
    }

    const bool written = reread.containsKey(section, key);
    if (remove) {
        if (written)
            fail("deleted key still there");
        if (reread.containsSection(section) != hadSection)
            fail("deleting a key changed the sections");
    } else if (profile.serialize() != bytes) {
        // The file changed, so the write was taken (a refused one changes nothing).
        const QByteArray stored = ProfileText::oneLine(value);
        const QByteArrayView expected = ProfileText::cut(
            ProfileText::unquoted(ProfileText::trimmed(stored)), ProfileFile::ValueBufferChars - 1);
        if (!written || reread.value(section, key) != expected)
            fail("written value does not read back");
    }
    return 0;
}
