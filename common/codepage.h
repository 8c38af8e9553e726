#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

/// The system's ANSI code page (CP932, Windows-31J): every file, profile value and protocol text
/// crosses the program boundary through these two functions.
namespace CodePage {

/// Text to CP932 bytes. A character CP932 cannot hold becomes "?" (as Windows' default
/// character does) and `ok` is set to false.
QByteArray toAnsi(QStringView text, bool *ok = nullptr);
/// CP932 bytes to text. An invalid byte sequence becomes U+FFFD and `ok` is set to false.
QString fromAnsi(QByteArrayView bytes, bool *ok = nullptr);

} // namespace CodePage
