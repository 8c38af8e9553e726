#pragma once

#include "common/profilefile.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

/// The rules of TarvoInfo.dat: its sections, the line grammars of SYSTEM keys ("P;date;time;
/// value") and application keys (seven fields), the stored-value cut, and the one-line form of
/// values that hold line breaks.
namespace DefinitionFile {

inline constexpr char SystemSection[] = "SYSTEM";
inline constexpr char DatSection[] = "DAT";
inline constexpr char DatVersionKey[] = "SysDatVersion";
/// Key lists of a section are read into a buffer of this many characters.
inline constexpr int KeyListBufferChars = 10240;
/// Fields before the value: "P;date;time;" and "ID;date;time;key;subkey;entry;".
inline constexpr int SystemSeparators = 3;
inline constexpr int AppSeparators = 6;

/// The application section of a Windows version (GetVersionExA's platform id, major, minor);
/// "" when the version has none.
QString SectionForOs(int platformId, int major, int minor);
/// The application section of the running system: "APPLICATION_LINUX".
QString applicationSection();

/// The key names of a section in file order, as far as the key-list buffer holds them whole.
QList<QByteArray> sectionKeys(const ProfileFile &file, QByteArrayView section);

/// The first `count` fields of a line split at ";"; the last one takes the rest of the line
/// (";" included); fields that are missing are empty.
QStringList splitFields(QStringView line, int count);
/// What follows the first `separators` ";" of a stored line ("" when the line has fewer).
QString storedValue(QStringView line, int separators);

/// A value as stored on its line: unchanged unless it holds CR or LF or begins with "\"; then
/// "\" followed by the value with "\" as "\\", CR as "\r" and LF as "\n".
QString escapeValue(QStringView value);
/// The inverse of escapeValue().
QString unescapeValue(QStringView stored);

/// "YYYYMMDD" and "HHMMSS" of the run.
QString runDate(const QDateTime &when);
QString runTime(const QDateTime &when);

/// A line as a later read of the key returns it: trailing blanks dropped, cut to what the value
/// buffer holds, and whatever else the profile rules do to a written value.
QString readBack(QStringView line);

} // namespace DefinitionFile
