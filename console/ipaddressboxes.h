#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

/// The rules of the four IP address boxes: which keys they take, the range of each box and the
/// address they form.
namespace IpAddressBoxes {
constexpr int BoxCount = 4;

enum class KeyAction { Accept, Discard, DiscardAndNextBox };

/// Backspace and the digits are taken; "." moves to the next box (nothing in the last box);
/// every other key is discarded.
KeyAction keyAction(int box, QChar key);
/// A box holding a number above 255 is set to "255" (the caret then goes to position 3).
/// Returns the corrected text, or `text` unchanged.
QString clampBox(const QString &text);
/// The typed target: the four trimmed boxes joined by ".".
QString targetHost(const QStringList &boxes);
/// All four boxes hold something: the typed address may be used. An emptied box makes the
/// address incomplete.
bool isComplete(const QStringList &boxes);
} // namespace IpAddressBoxes
