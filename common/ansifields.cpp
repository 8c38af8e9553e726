#include "common/ansifields.h"

#include "common/codepage.h"

using namespace Qt::StringLiterals;

namespace AnsiFields {

QString unholdable(QStringView text)
{
    bool ok = true;
    CodePage::toAnsi(text, &ok);
    if (ok)
        return {};
    QString found;
    for (qsizetype at = 0; at < text.size();) {
        // A character outside the BMP is a surrogate pair: tried and named as one.
        const bool pair = at + 1 < text.size() && text[at].isHighSurrogate()
                          && text[at + 1].isLowSurrogate();
        const QStringView character = text.sliced(at, pair ? 2 : 1);
        at += character.size();
        CodePage::toAnsi(character, &ok);
        if (!ok && !found.contains(character))
            found += character;
    }
    return found;
}

std::optional<Refusal> check(const QList<AnsiField> &fields)
{
    for (const AnsiField &field : fields) {
        const QString characters = unholdable(field.text);
        if (characters.isEmpty())
            continue;
        const QString shown = field.secret ? QString() : u"（"_s + characters + u"）"_s;
        return Refusal{field.control, u"「"_s + field.caption + u"」にShift-JISで保存できない文字"_s
                                          + shown + u"があります。別の文字に変えてください。"_s};
    }
    return std::nullopt;
}

} // namespace AnsiFields
