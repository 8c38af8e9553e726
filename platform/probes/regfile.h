#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

/// The data of one registry value as a hive file gives it.
struct RegData
{
    quint32 type = 0;
    QByteArray bytes;
    /// String types (1, 2, 7) held as UTF-16LE, as the NT registry stores them; false for the
    /// ANSI bytes of a REGEDIT4 hex(1)/hex(2)/hex(7) value.
    bool wide = false;
};

/// One statement of a .reg file, in file order.
struct RegOp
{
    enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = CreateKey;
    QString keyPath; // canonical root name + "\" + sub key, as written (case kept)
    QString valueName; // "" for the default value "@"
    RegData data;
};

/// A parsed .reg file: "REGEDIT4" (version 4) or "Windows Registry Editor Version 5.00" (5).
struct RegFile
{
    bool ok = false;
    int version = 0;
    QList<RegOp> ops;
};

namespace RegFileParser {

/// Parses the bytes of a .reg file: UTF-16LE with a byte-order mark, else CP932. Lines that are
/// not understood are skipped; a file without one of the two headers is not a hive (ok false).
RegFile parse(QByteArrayView bytes);
/// The canonical root name of a root written in a hive file ("HKLM" and the full names, any
/// case), or "" when it names none.
QString canonicalRoot(QStringView root);

} // namespace RegFileParser

/// Keys and values built from hive files applied in order (later files win; deletions remove
/// what earlier files created). Key and value names compare without regard to case.
class RegHive
{
public:
    void apply(const RegFile &file);
    bool hasKey(const QString &keyPath) const;
    /// The value, or nullptr when the key or the value is missing.
    const RegData *value(const QString &keyPath, const QString &valueName) const;

    /// The lookup form of a key path: case-folded, empty components dropped.
    static QString foldedPath(QStringView keyPath);

private:
    void addKey(const QString &folded);
    void createKey(const QString &folded);
    void deleteKey(const QString &folded);

    QHash<QString, QHash<QString, RegData>> m_keys; // folded path -> folded value name -> data
};
