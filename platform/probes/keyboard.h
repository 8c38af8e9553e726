#pragma once

#include "platform/probes/sysprobe.h"

#include <QByteArrayView>
#include <QString>

/// The keyboard items from the console keyboard configuration (/etc/default/keyboard).
namespace SysProbe {

struct KeyboardTexts
{
    QString keyboard;     // SysKeyboard
    QString functionKeys; // SysFunctionKeys
};

/// Windows keyboard type number of an XKB model and layout: 7 Japanese, 4 IBM enhanced,
/// 0 other; -1 when neither is set (nothing is known about the keyboard).
int keyboardTypeOf(const QString &model, const QString &layout);
/// The texts of /etc/default/keyboard's XKBMODEL and XKBLAYOUT.
KeyboardTexts keyboardTexts(QByteArrayView keyboardFile);

void probeKeyboard(ItemTexts &items);

} // namespace SysProbe
