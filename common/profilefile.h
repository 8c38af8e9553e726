#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

/// An INI ("private profile") file with the Windows rules the programs rely on: section and key
/// names compare without regard to ASCII case, values are raw bytes (CP932), a missing key reads
/// as the empty text, and unknown lines, comments and layout survive every write.
///
/// Load once, read and change many keys, save once: save() replaces the file atomically.
class ProfileFile
{
public:
    /// Windows reads a value into a 255-character buffer: at most 254 bytes of it are seen.
    static constexpr int ValueBufferChars = 255;
    /// Buffer of the whole-file reads for request 100 (section names, one section's entries).
    static constexpr int SectionBufferChars = 1024;

    ProfileFile() = default;
    explicit ProfileFile(QString path);

    /// Reads the file. A missing file is an empty profile (returns true); false on a read error.
    bool load(QString *error = nullptr);
    /// Replaces the file atomically with the current contents. Unchanged lines keep their bytes.
    bool save(QString *error = nullptr) const;

    const QString &path() const { return m_path; }

    /// Whole-file contents from bytes (for tests and fuzzing) and back.
    void parse(QByteArrayView bytes);
    QByteArray serialize() const;

    /// The value of a key with trailing blanks dropped, cut at `bufferChars - 1` bytes;
    /// the empty text when the section or the key is missing.
    QByteArray value(QByteArrayView section, QByteArrayView key,
                     int bufferChars = ValueBufferChars) const;
    bool containsKey(QByteArrayView section, QByteArrayView key) const;
    bool containsSection(QByteArrayView section) const;

    /// Sets a key, adding the section (at the end) and the key (at the end of its section) as
    /// needed. A std::nullopt value deletes the key, as a null value does for Windows.
    void setValue(QByteArrayView section, QByteArrayView key, std::optional<QByteArray> value);
    /// Deletes a whole section, as a null key name does for Windows.
    void removeSection(QByteArrayView section);

    /// Section names in file order, as GetPrivateProfileSectionNamesA returns them into a buffer
    /// of `bufferChars` characters: names that do not fit are cut off.
    QList<QByteArray> sectionNames(int bufferChars = SectionBufferChars) const;
    /// The "key=value" entries of one section in file order, as GetPrivateProfileSectionA returns
    /// them into a buffer of `bufferChars` characters.
    QList<QByteArray> sectionEntries(QByteArrayView section,
                                     int bufferChars = SectionBufferChars) const;
    /// The key names of one section in file order, as GetPrivateProfileStringA with a null key
    /// returns them into a buffer of `bufferChars` characters.
    QList<QByteArray> keyNames(QByteArrayView section, int bufferChars) const;

private:
    /// One line of the file with its own line end ("\r\n", "\n" or none on the last line), so
    /// that a file with mixed or missing line ends is written back byte for byte.
    struct Line
    {
        enum Kind : quint8 { Blank, Comment, Section, Entry, Other };
        QByteArray text;
        QByteArray eol;
        Kind kind = Blank;
        QByteArray name; // section or key name, trimmed and case-folded, for lookups
    };
    struct Range
    {
        qsizetype header = -1; // the section's header line, -1 when the section is missing
        qsizetype end = 0;     // the next section's header, or the end of the file
    };

    static Line makeLine(QByteArray text, QByteArray eol);
    Range findSection(QByteArrayView section) const;
    qsizetype findKey(Range range, QByteArrayView key) const;
    qsizetype insertionPoint(Range range) const;
    QByteArray defaultEol() const;
    void insertLine(qsizetype index, QByteArray text);

    QString m_path;
    QList<Line> m_lines;
};

/// One read with the Windows semantics: loads the file each time, as the Windows call does.
QByteArray readProfileString(const QString &path, QByteArrayView section, QByteArrayView key);
/// One write with the Windows semantics (nullopt deletes the key); the file is replaced atomically.
bool writeProfileString(const QString &path, QByteArrayView section, QByteArrayView key,
                        std::optional<QByteArray> value);
