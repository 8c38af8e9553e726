#include "common/profilefile.h"

#include "common/atomicfile.h"
#include "common/profiletext.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <utility>

using namespace Qt::StringLiterals;
using namespace ProfileText;

namespace {

/// What the Windows reader sees of a line: the text before its first NUL (a NUL ends the text it
/// is in, and NUL is never a trail byte), without the blanks around it.
QByteArrayView contentOf(QByteArrayView text)
{
    if (const qsizetype nul = text.indexOf('\0'); nul >= 0)
        text = text.first(nul);
    return trimmed(text);
}

/// The name of a header line: from "[" to the first "]" that is not a trail byte, or to the end
/// of the line when there is none ("[a]b]" names "a", "[S" names "S").
QByteArrayView headerName(QByteArrayView content)
{
    const QByteArrayView inside = content.sliced(1);
    const qsizetype close = indexOf(inside, ']');
    return trimmed(close < 0 ? inside : inside.first(close));
}

} // namespace

ProfileFile::ProfileFile(QString path)
    : m_path(std::move(path))
{
}

bool ProfileFile::load(QString *error)
{
    m_lines.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    parse(bytes);
    return true;
}

bool ProfileFile::save(QString *error) const
{
    if (m_path.isEmpty()) {
        if (error)
            *error = u"no file name"_s;
        return false;
    }
    std::optional<QFileDevice::Permissions> permissions;
    if (QFileInfo::exists(m_path))
        permissions = QFile::permissions(m_path);
    return writeFileAtomically(m_path, serialize(), error, permissions);
}

void ProfileFile::parse(QByteArrayView bytes)
{
    m_lines.clear();
    // CR LF, LF and a lone CR each end a line, as they do for the Windows reader.
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < bytes.size())
            next += (bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n') ? 2 : 1;
        m_lines.append(makeLine(bytes.sliced(start, end - start).toByteArray(),
                                bytes.sliced(end, next - end).toByteArray()));
        start = next;
    }
}

QByteArray ProfileFile::serialize() const
{
    QByteArray result;
    for (const Line &line : m_lines)
        result += line.text + line.eol;
    return result;
}

ProfileFile::Line ProfileFile::makeLine(QByteArray text, QByteArray eol)
{
    Line line;
    line.text = std::move(text);
    line.eol = std::move(eol);
    const QByteArrayView content = contentOf(line.text);
    if (content.isEmpty()) {
        line.kind = Line::Blank;
    } else if (content.front() == ';') {
        line.kind = Line::Comment;
    } else if (content.front() == '[') {
        line.kind = Line::Section;
        line.name = folded(headerName(content));
    } else if (const qsizetype equals = content.indexOf('='); equals >= 0) {
        // "=" never occurs as a trail byte, so a plain search is safe here.
        line.kind = Line::Entry;
        line.name = folded(trimmed(content.first(equals)));
    } else {
        line.kind = Line::Other;
    }
    return line;
}

ProfileFile::Range ProfileFile::findSection(QByteArrayView section) const
{
    const QByteArray name = folded(trimmed(section));
    Range range;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind != Line::Section)
            continue;
        if (range.header >= 0) {
            range.end = i;
            return range;
        }
        if (m_lines[i].name == name)
            range.header = i;
    }
    range.end = m_lines.size();
    return range;
}

qsizetype ProfileFile::findKey(Range range, QByteArrayView key) const
{
    if (range.header < 0)
        return -1;
    const QByteArray name = folded(trimmed(key));
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        if (m_lines[i].kind == Line::Entry && m_lines[i].name == name)
            return i;
    }
    return -1;
}

namespace {

QByteArrayView keyOf(QByteArrayView text)
{
    const QByteArrayView content = contentOf(text);
    return trimmed(content.first(content.indexOf('=')));
}

bool isOneLine(QByteArrayView name)
{
    return !name.contains('\r') && !name.contains('\n') && !name.contains('\0');
}

bool readsBackAs(const auto &line, auto kind, const QByteArray &name)
{
    return line.kind == kind && line.name == name;
}

QByteArrayView valueOf(QByteArrayView text)
{
    const QByteArrayView content = contentOf(text);
    return trimmed(content.sliced(content.indexOf('=') + 1));
}

} // namespace

QByteArray ProfileFile::value(QByteArrayView section, QByteArrayView key, int bufferChars) const
{
    const qsizetype index = findKey(findSection(section), key);
    if (index < 0)
        return {};
    return cut(unquoted(valueOf(m_lines[index].text)), qsizetype(bufferChars) - 1).toByteArray();
}

bool ProfileFile::containsKey(QByteArrayView section, QByteArrayView key) const
{
    return findKey(findSection(section), key) >= 0;
}

bool ProfileFile::containsSection(QByteArrayView section) const
{
    return findSection(section).header >= 0;
}

QByteArray ProfileFile::defaultEol() const
{
    for (const Line &line : m_lines) {
        if (!line.eol.isEmpty())
            return line.eol;
    }
    return "\r\n"_ba;
}

void ProfileFile::insertLine(qsizetype index, QByteArray text)
{
    const QByteArray eol = defaultEol();
    // A last line without a line end gets one before anything is written after it.
    if (index > 0 && m_lines[index - 1].eol.isEmpty())
        m_lines[index - 1].eol = eol;
    m_lines.insert(index, makeLine(std::move(text), eol));
}

qsizetype ProfileFile::insertionPoint(Range range) const
{
    // After the section's last entry (or unknown line), so that blank lines and the comments
    // that introduce the next section stay where they are.
    qsizetype last = range.header;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        if (m_lines[i].kind == Line::Entry || m_lines[i].kind == Line::Other)
            last = i;
    }
    return last + 1;
}

void ProfileFile::setValue(QByteArrayView section, QByteArrayView key,
                           std::optional<QByteArray> value)
{
    const QByteArray sectionName = trimmed(section).toByteArray();
    const QByteArray keyName = trimmed(key).toByteArray();
    // A name that cannot stand on one line, or an empty key name, could never be read back.
    if (!isOneLine(sectionName) || !isOneLine(keyName) || (value && keyName.isEmpty()))
        return;
    const Range range = findSection(sectionName);
    if (!value) {
        if (range.header < 0)
            return;
        const QByteArray name = folded(keyName);
        for (qsizetype i = range.end - 1; i > range.header; --i) {
            if (m_lines[i].kind == Line::Entry && m_lines[i].name == name)
                m_lines.removeAt(i);
        }
        return;
    }
    const QByteArray text = oneLine(*value);
    const qsizetype index = findKey(range, keyName);
    // The key keeps the spelling it has in the file.
    const QByteArray entry = (index >= 0 ? keyOf(m_lines[index].text).toByteArray() : keyName)
                           + '=' + text;
    const QByteArray header = '[' + sectionName + ']';
    // A name or value that would not read back as written (a key starting with "[" or ";" or
    // holding "=", a name ending in half a double-byte character, ...) would change what other
    // keys read: such a write is refused.
    if (!readsBackAs(makeLine(entry, {}), Line::Entry, folded(keyName))
        || (range.header < 0 && !readsBackAs(makeLine(header, {}), Line::Section, folded(sectionName))))
        return;
    if (range.header < 0) {
        insertLine(m_lines.size(), header);
        insertLine(m_lines.size(), entry);
    } else if (index >= 0) {
        m_lines[index] = makeLine(entry, m_lines[index].eol);
    } else {
        insertLine(insertionPoint(range), entry);
    }
}

void ProfileFile::removeSection(QByteArrayView section)
{
    for (Range range = findSection(section); range.header >= 0; range = findSection(section))
        m_lines.remove(range.header, range.end - range.header);
}

QList<QByteArray> ProfileFile::sectionNames(int bufferChars) const
{
    QList<QByteArray> names;
    for (const Line &line : m_lines) {
        // A repeated header is listed again, in its own spelling, as the Windows call lists it
        // (reads still see only the first occurrence). An empty name would end the list early.
        if (line.kind != Line::Section || line.name.isEmpty())
            continue;
        names.append(headerName(contentOf(line.text)).toByteArray());
    }
    return packed(names, bufferChars);
}

QList<QByteArray> ProfileFile::sectionEntries(QByteArrayView section, int bufferChars) const
{
    const Range range = findSection(section);
    QList<QByteArray> entries;
    for (qsizetype i = range.header + 1; range.header >= 0 && i < range.end; ++i) {
        const Line &line = m_lines[i];
        if (line.kind == Line::Entry)
            entries.append(keyOf(line.text).toByteArray() + '=' + valueOf(line.text).toByteArray());
        else if (line.kind == Line::Other)
            entries.append(contentOf(line.text).toByteArray());
    }
    return packed(entries, bufferChars);
}

QList<QByteArray> ProfileFile::keyNames(QByteArrayView section, int bufferChars) const
{
    const Range range = findSection(section);
    QList<QByteArray> keys;
    QSet<QByteArray> seen;
    for (qsizetype i = range.header + 1; range.header >= 0 && i < range.end; ++i) {
        const Line &line = m_lines[i];
        // A repeated key is listed once (reads see its first line); an empty name would end
        // the NUL-separated list early.
        if (line.kind != Line::Entry || line.name.isEmpty() || seen.contains(line.name))
            continue;
        seen.insert(line.name);
        keys.append(keyOf(line.text).toByteArray());
    }
    return packed(keys, bufferChars);
}

QByteArray readProfileString(const QString &path, QByteArrayView section, QByteArrayView key)
{
    ProfileFile file(path);
    if (!file.load())
        return {};
    return file.value(section, key);
}

bool writeProfileString(const QString &path, QByteArrayView section, QByteArrayView key,
                        std::optional<QByteArray> value)
{
    ProfileFile file(path);
    if (!file.load())
        return false;
    const QByteArray before = file.serialize();
    file.setValue(section, key, std::move(value));
    // Deleting what is not there, or writing the value already stored, leaves the file (or its
    // absence) untouched.
    if (file.serialize() == before)
        return true;
    return file.save();
}
