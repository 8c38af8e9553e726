#include "platform/probes/keyboard.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace SysProbe {

int keyboardTypeOf(const QString &model, const QString &layout)
{
    if (model.isEmpty() && layout.isEmpty())
        return -1;
    // The first layout decides: a Japanese layout means a 106/109-key board even where the
    // installer wrote the generic pc105 model.
    const QString firstLayout = layout.section(u',', 0, 0).trimmed();
    if (model.startsWith(u"jp10"_s) || firstLayout == u"jp"_s)
        return 7;
    static const QRegularExpression enhanced(u"^pc10[1-5]$"_s);
    if (enhanced.match(model).hasMatch())
        return 4;
    return 0;
}

KeyboardTexts keyboardTexts(QByteArrayView keyboardFile)
{
    const int type = keyboardTypeOf(shellVariable(keyboardFile, "XKBMODEL"),
                                    shellVariable(keyboardFile, "XKBLAYOUT"));
    KeyboardTexts texts;
    switch (type) {
    case 7:
        texts.keyboard = u"日本語(106 or 109)キーボード"_s;
        break;
    case 4:
        texts.keyboard = u"IBM 拡張(101 or 102)キーボード"_s;
        break;
    case 0:
        texts.keyboard = u"その他のキーボード"_s;
        break;
    default:
        break;
    }
    // Both PC board families carry F1 to F12; for any other board the count is not known.
    if (type == 7 || type == 4)
        texts.functionKeys = u"12"_s;
    return texts;
}

void probeKeyboard(ItemTexts &items)
{
    const KeyboardTexts texts = keyboardTexts(readSmallFile(u"/etc/default/keyboard"_s));
    items[u"SysKeyboard"_s] = texts.keyboard;
    items[u"SysFunctionKeys"_s] = texts.functionKeys;
}

} // namespace SysProbe
