#include "common/profiletext.h"

namespace ProfileText {

QByteArrayView trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QByteArray folded(QByteArrayView name)
{
    QByteArray result(name.data(), name.size());
    for (qsizetype i = 0; i < result.size(); ++i) {
        const auto c = static_cast<unsigned char>(result[i]);
        if (isLeadByte(c))
            ++i;
        else if (c >= 'A' && c <= 'Z')
            result[i] = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

QByteArrayView cut(QByteArrayView text, qsizetype maxBytes)
{
    if (maxBytes <= 0)
        return {};
    if (text.size() <= maxBytes)
        return text;
    qsizetype i = 0;
    while (i < maxBytes) {
        const qsizetype width = isLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + width > maxBytes)
            break;
        i += width;
    }
    return text.first(i);
}

qsizetype indexOf(QByteArrayView text, char c)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == c)
            return i;
        if (isLeadByte(static_cast<unsigned char>(text[i])))
            ++i;
    }
    return -1;
}

QByteArrayView unquoted(QByteArrayView value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
        && value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

QList<QByteArray> packed(const QList<QByteArray> &texts, int bufferChars)
{
    QList<QByteArray> result;
    // One character stays reserved for the final NUL of the list.
    qsizetype room = qsizetype(bufferChars) - 1;
    for (const QByteArray &text : texts) {
        if (text.size() + 1 <= room) {
            result.append(text);
            room -= text.size() + 1;
            continue;
        }
        const QByteArrayView part = cut(text, room - 1);
        if (!part.isEmpty())
            result.append(part.toByteArray());
        break;
    }
    return result;
}

QByteArray oneLine(QByteArrayView text)
{
    const qsizetype nul = text.indexOf('\0');
    QByteArray result = (nul >= 0 ? text.first(nul) : text).toByteArray();
    result.replace('\r', ' ').replace('\n', ' ');
    return result;
}

} // namespace ProfileText
