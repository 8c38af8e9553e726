#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

/// The text encoders of the mail sender: base64, the half-width katakana widening, ISO-2022-JP
/// and the encoded words and folding of the header block.
namespace basSmtp {

/// Attachments are read in pieces of this many bytes (a multiple of 3, so the pieces' encodings
/// join without padding in between).
constexpr qsizetype FilePieceBytes = 32766;
/// Length of a base64 body line: long lines break the 1000-byte SMTP line limit.
constexpr int Base64LineLength = 76;
/// Longest header line that folding lets grow by another word.
constexpr int FoldWidth = 75;

/// Standard-alphabet base64 with "=" padding, one line.
QByteArray Base64(QByteArrayView bytes);

/// Base64 of a byte stream fed in pieces of any size, broken into lines of `lineLength`
/// characters ended by CR LF (0: one line; no line end after the last line).
class Base64Writer
{
public:
    explicit Base64Writer(int lineLength = Base64LineLength) : m_lineLength(lineLength) {}
    void append(QByteArrayView piece);
    /// Encodes the last one or two bytes with padding; call once, after the last piece.
    void finish();
    const QByteArray &text() const { return m_text; }

private:
    void put(char c);
    void putGroup(const quint8 *bytes, int count);

    int m_lineLength;
    int m_column = 0;
    QByteArray m_carry; // bytes that do not yet fill a group of three
    QByteArray m_text;
};

/// The base64 lines of a file read in FilePieceBytes pieces; false when it cannot be read.
bool Base64File(const QString &path, QByteArray &text);

/// Half-width katakana become full-width letters; a letter followed by the voiced or semi-voiced
/// mark becomes the single voiced or semi-voiced letter.
QString ToFullWidthKana(QStringView text);

/// ISO-2022-JP bytes of `text`, computed from its CP932 bytes: runs of double-byte characters
/// between ESC "$B" and ESC "(B". Call ToFullWidthKana first: ISO-2022-JP has no half-width
/// katakana.
QByteArray ToIso2022Jp(QStringView text);

/// Whether the text holds a double-byte or a half-width katakana character (the mail then
/// needs charset iso-2022-jp).
bool HasJapanese(QStringView text);

/// Replaces every run of non-ASCII characters by " =?ISO-2022-JP?B?...?= " encoded words of at
/// most 18 characters each.
QByteArray EncodeHeaderWords(QStringView block);
/// Folds each CR LF line at single spaces so that no word makes a line longer than FoldWidth.
QByteArray FoldHeaderLines(QByteArrayView block);
/// Encoded words, folding and the empty line that ends the header block.
QByteArray FinishHeaderBlock(QStringView block);

} // namespace basSmtp
