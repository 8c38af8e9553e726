#include "collector/mail/bassmtp.h"

#include "common/codepage.h"

#include <QFile>
#include <QList>

#include <array>

using namespace Qt::StringLiterals;

namespace basSmtp {

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Full-width letters for U+FF61 (half-width ideographic full stop) to U+FF9F (semi-voiced mark).
constexpr std::array<char16_t, 63> WideKana = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
    0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
    0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C};

constexpr char16_t HalfWidthFirst = 0xFF61;
constexpr char16_t HalfWidthLast = 0xFF9F;
constexpr char16_t VoicedMark = 0xFF9E;
constexpr char16_t SemiVoicedMark = 0xFF9F;

bool isHalfWidthKana(char16_t c) { return c >= HalfWidthFirst && c <= HalfWidthLast; }

// The voiced (mark ﾞ) or semi-voiced (mark ﾟ) form of a full-width letter; 0 when it has none.
char16_t combined(char16_t wide, char16_t mark)
{
    const bool kaToTo = wide >= 0x30AB && wide <= 0x30C8 && wide != 0x30C3; // カ..ト, not ッ
    const bool haToHo = wide >= 0x30CF && wide <= 0x30DB && (wide - 0x30CF) % 3 == 0;
    if (mark == VoicedMark) {
        if (wide == 0x30A6) // ウ -> ヴ
            return 0x30F4;
        if (kaToTo && (wide < 0x30C4 ? (wide - 0x30AB) % 2 == 0 : (wide - 0x30C4) % 2 == 0))
            return wide + 1;
        if (haToHo)
            return wide + 1;
    } else if (mark == SemiVoicedMark && haToHo) {
        return wide + 2;
    }
    return 0;
}

bool isLeadByte(quint8 b) { return (b >= 0x81 && b <= 0x9F) || b >= 0xE0; }

// JIS X 0208 bytes of one Shift_JIS double-byte character; 〓 (geta) for bytes outside the
// converted rows, so a mail never carries NUL bytes.
std::array<char, 2> jisBytes(quint8 lead, quint8 trail)
{
    int row = -1;
    if (lead >= 0x81 && lead <= 0x9F)
        row = lead - 0x81;
    else if (lead >= 0xE0 && lead <= 0xEF)
        row = lead - 0xC1;
    int cell = -1;
    if (trail >= 0x40 && trail <= 0x7E)
        cell = trail - 0x3F;
    else if (trail >= 0x80 && trail <= 0xFC)
        cell = trail - 0x40;
    if (row < 0 || cell < 0)
        return {0x22, 0x2E};
    int first = 2 * row + 1;
    if (cell > 94) {
        cell -= 94;
        first += 1;
    }
    return {char(first + 0x20), char(cell + 0x20)};
}

QByteArray encodedWord(const QList<char32_t> &run)
{
    const QString text = QString::fromUcs4(run.constData(), run.size());
    return "=?ISO-2022-JP?B?"_ba + Base64(ToIso2022Jp(text)) + "?="_ba;
}

// Length of the encoded word of a run of n double-byte characters.
int encodedWordLength(qsizetype n)
{
    return int(4 * ((2 * n + 8 + 2) / 3) + 18);
}

} // namespace

QByteArray Base64(QByteArrayView bytes)
{
    Base64Writer writer(0);
    writer.append(bytes);
    writer.finish();
    return writer.text();
}

void Base64Writer::put(char c)
{
    if (m_lineLength > 0 && m_column == m_lineLength) {
        m_text.append("\r\n");
        m_column = 0;
    }
    m_text.append(c);
    ++m_column;
}

void Base64Writer::putGroup(const quint8 *bytes, int count)
{
    const quint32 v = (bytes[0] << 16) | (count > 1 ? bytes[1] << 8 : 0) | (count > 2 ? bytes[2] : 0);
    put(Alphabet[(v >> 18) & 63]);
    put(Alphabet[(v >> 12) & 63]);
    put(count > 1 ? Alphabet[(v >> 6) & 63] : '=');
    put(count > 2 ? Alphabet[v & 63] : '=');
}

void Base64Writer::append(QByteArrayView piece)
{
    qsizetype i = 0;
    while (!m_carry.isEmpty() && m_carry.size() < 3 && i < piece.size())
        m_carry.append(piece[i++]);
    if (m_carry.size() == 3) {
        putGroup(reinterpret_cast<const quint8 *>(m_carry.constData()), 3);
        m_carry.clear();
    }
    const auto *data = reinterpret_cast<const quint8 *>(piece.data());
    for (; i + 3 <= piece.size(); i += 3)
        putGroup(data + i, 3);
    m_carry.append(piece.data() + i, piece.size() - i);
}

void Base64Writer::finish()
{
    if (!m_carry.isEmpty())
        putGroup(reinterpret_cast<const quint8 *>(m_carry.constData()), int(m_carry.size()));
    m_carry.clear();
}

bool Base64File(const QString &path, QByteArray &text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    Base64Writer writer;
    while (!file.atEnd()) {
        const QByteArray piece = file.read(FilePieceBytes);
        if (piece.isEmpty() && file.error() != QFileDevice::NoError)
            return false;
        writer.append(piece);
    }
    writer.finish();
    text = writer.text();
    return true;
}

QString ToFullWidthKana(QStringView text)
{
    QString wide;
    wide.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!isHalfWidthKana(c)) {
            wide.append(QChar(c));
            continue;
        }
        const char16_t letter = WideKana[c - HalfWidthFirst];
        if (i + 1 < text.size()) {
            if (const char16_t both = combined(letter, text[i + 1].unicode())) {
                wide.append(QChar(both));
                ++i;
                continue;
            }
        }
        wide.append(QChar(letter));
    }
    return wide;
}

QByteArray ToIso2022Jp(QStringView text)
{
    const QByteArray sjis = CodePage::toAnsi(text);
    QByteArray jis;
    jis.reserve(sjis.size() + 16);
    bool inRun = false;
    for (qsizetype i = 0; i < sjis.size(); ++i) {
        const auto b = quint8(sjis[i]);
        if (isLeadByte(b) && i + 1 < sjis.size()) {
            if (!inRun)
                jis.append("\x1B$B");
            inRun = true;
            const auto pair = jisBytes(b, quint8(sjis[++i]));
            jis.append(pair.data(), 2);
            continue;
        }
        if (inRun)
            jis.append("\x1B(B");
        inRun = false;
        // A stray byte (half-width katakana left unwidened, a lone lead byte) has no place in
        // a 7-bit text.
        jis.append(b < 0x80 ? char(b) : '?');
    }
    if (inRun)
        jis.append("\x1B(B");
    return jis;
}

bool HasJapanese(QStringView text)
{
    const QByteArray sjis = CodePage::toAnsi(text);
    for (qsizetype i = 0; i < sjis.size(); ++i) {
        const auto b = quint8(sjis[i]);
        if (b >= 0xA1 && b <= 0xDF)
            return true;
        if (isLeadByte(b) && b <= 0xFC && i + 1 < sjis.size())
            return true;
    }
    return false;
}

QByteArray EncodeHeaderWords(QStringView block)
{
    QByteArray out;
    QList<char32_t> run;
    bool inRun = false;
    const QList<uint> chars = block.toUcs4();
    for (const uint c : chars) {
        if (c > 0x7F) {
            if (!inRun) {
                out.append(' ');
                inRun = true;
            } else if (encodedWordLength(run.size()) > 74) {
                out.append(encodedWord(run) + ' ');
                run.clear();
            }
            run.append(char32_t(c));
            continue;
        }
        if (inRun) {
            out.append(encodedWord(run) + ' ');
            run.clear();
            inRun = false;
        }
        out.append(char(c));
    }
    if (inRun)
        out.append(encodedWord(run) + ' ');
    return out;
}

QByteArray FoldHeaderLines(QByteArrayView block)
{
    QByteArrayList lines;
    for (const QByteArray &line : block.toByteArray().split('\n')) {
        // split at CR LF: the CR stays on every line but the last
        const bool hadCr = line.endsWith('\r');
        const QByteArrayList words = (hadCr ? line.chopped(1) : line).split(' ');
        QByteArray folded = words.first();
        qsizetype lineStart = 0;
        for (qsizetype w = 1; w < words.size(); ++w) {
            const QByteArray &word = words[w];
            // An empty word (a trailing or doubled space) never starts a blank continuation line.
            if (!word.isEmpty() && (folded.size() - lineStart) + word.size() + 1 > FoldWidth) {
                folded.append("\r\n");
                lineStart = folded.size();
            }
            folded.append(' ').append(word);
        }
        lines.append(hadCr ? folded + '\r' : folded);
    }
    return lines.join('\n');
}

QByteArray FinishHeaderBlock(QStringView block)
{
    return FoldHeaderLines(EncodeHeaderWords(ToFullWidthKana(block))) + "\r\n";
}

} // namespace basSmtp
