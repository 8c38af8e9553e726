#include "collector/registrytext.h"

#include "common/codepage.h"

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 RegSz = 1;
constexpr quint32 RegExpandSz = 2;
constexpr quint32 RegDword = 4;
constexpr quint32 RegMultiSz = 7;

QString hexByte(uchar byte)
{
    return QString::number(byte, 16).toUpper().rightJustified(2, u'0');
}

QString untilNul(const QByteArray &bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return CodePage::fromAnsi(nul < 0 ? QByteArrayView(bytes) : QByteArrayView(bytes).first(nul));
}

QString multiString(const QByteArray &bytes)
{
    QStringList strings;
    for (const QByteArray &part : bytes.split('\0')) {
        // An empty string ends the list (the terminating double NUL).
        if (part.isEmpty())
            break;
        strings.append(CodePage::fromAnsi(part));
    }
    return strings.join(u"\r\n"_s);
}

} // namespace

QString RegistryText::valueText(const RegistryValue &value)
{
    if (!value.found || value.bytes.size() > ValueBufferBytes)
        return u"取得できず"_s;
    QString text;
    switch (value.type) {
    case RegSz:
    case RegExpandSz:
        return untilNul(value.bytes);
    case RegMultiSz:
        return multiString(value.bytes);
    case RegDword:
        for (qsizetype i = value.bytes.size() - 1; i >= 0; --i)
            text += hexByte(uchar(value.bytes[i]));
        return text;
    default:
        for (char byte : value.bytes)
            text += hexByte(uchar(byte)) + u' ';
        return text;
    }
}
