#include "platform/probes/regfile.h"

#include "common/codepage.h"

#include <QStringList>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

QString decodeText(QByteArrayView bytes)
{
    if (bytes.size() >= 2 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xFE) {
        const QByteArrayView body = bytes.sliced(2);
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(body.data()), body.size() / 2);
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.sliced(3));
    return CodePage::fromAnsi(bytes);
}

QByteArray wideBytes(QStringView text)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<quint16>(text[i].unicode(), bytes.data() + 2 * i);
    return bytes;
}

// End of a quoted text starting at `open` (the index of its opening quote), honouring \" and
// \\ escapes; -1 when the quote is never closed. `text` receives the unescaped contents.
qsizetype readQuoted(QStringView line, qsizetype open, QString *text)
{
    for (qsizetype i = open + 1; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'\\' && i + 1 < line.size()) {
            *text += line[++i];
        } else if (c == u'"') {
            return i;
        } else {
            *text += c;
        }
    }
    return -1;
}

struct ValueLine
{
    QString name;
    qsizetype dataStart = -1; // index after "=", -1 when the line is no value line
};

ValueLine splitValueLine(QStringView line)
{
    ValueLine result;
    qsizetype afterName = -1;
    if (line.startsWith(u'@')) {
        afterName = 1;
    } else if (line.startsWith(u'"')) {
        const qsizetype close = readQuoted(line, 0, &result.name);
        if (close < 0)
            return {};
        afterName = close + 1;
    } else {
        return {};
    }
    qsizetype i = afterName;
    while (i < line.size() && line[i].isSpace())
        ++i;
    if (i >= line.size() || line[i] != u'=')
        return {};
    ++i;
    while (i < line.size() && line[i].isSpace())
        ++i;
    result.dataStart = i;
    return result;
}

bool isHexData(QStringView line)
{
    const ValueLine value = splitValueLine(line.trimmed());
    return value.dataStart >= 0
           && line.trimmed().sliced(value.dataStart).startsWith(u"hex", Qt::CaseInsensitive);
}

// The logical lines of the file: hex lists continue over lines that end in a backslash.
QStringList logicalLines(const QString &text)
{
    QStringList lines;
    QString pending;
    bool continuing = false;
    for (QStringView raw : QStringView(text).split(u'\n')) {
        QStringView line = raw;
        while (line.endsWith(u'\r'))
            line.chop(1);
        if (continuing)
            line = line.trimmed();
        const QString candidate = pending + line;
        const QStringView right = QStringView(candidate).trimmed();
        if (right.endsWith(u'\\') && isHexData(candidate)) {
            pending = right.chopped(1).toString();
            continuing = true;
            continue;
        }
        lines.append(candidate);
        pending.clear();
        continuing = false;
    }
    if (!pending.isEmpty())
        lines.append(pending);
    return lines;
}

std::optional<QByteArray> hexBytes(QStringView list)
{
    QByteArray bytes;
    for (QStringView token : list.split(u',')) {
        token = token.trimmed();
        if (token.isEmpty())
            continue;
        bool ok = false;
        const uint byte = token.toUInt(&ok, 16);
        if (!ok || token.size() > 2 || byte > 0xFF)
            return std::nullopt;
        bytes.append(char(byte));
    }
    return bytes;
}

std::optional<RegData> parseData(QStringView data, int version)
{
    RegData result;
    if (data.startsWith(u'"')) {
        QString text;
        if (readQuoted(data, 0, &text) < 0)
            return std::nullopt;
        result.type = 1;
        result.bytes = wideBytes(text) + QByteArray(2, '\0');
        result.wide = true;
        return result;
    }
    if (data.startsWith(u"dword:", Qt::CaseInsensitive)) {
        const QStringView digits = data.sliced(6).trimmed();
        bool ok = false;
        const uint value = digits.toUInt(&ok, 16);
        if (!ok || digits.size() > 8)
            return std::nullopt;
        result.type = 4;
        result.bytes.resize(4);
        qToLittleEndian<quint32>(value, result.bytes.data());
        return result;
    }
    if (!data.startsWith(u"hex", Qt::CaseInsensitive))
        return std::nullopt;
    qsizetype colon = data.indexOf(u':');
    if (colon < 0)
        return std::nullopt;
    const QStringView kind = data.first(colon).sliced(3).trimmed();
    result.type = 3;
    if (!kind.isEmpty()) {
        if (!kind.startsWith(u'(') || !kind.endsWith(u')'))
            return std::nullopt;
        bool ok = false;
        result.type = kind.sliced(1, kind.size() - 2).toUInt(&ok, 16);
        if (!ok)
            return std::nullopt;
    }
    const std::optional<QByteArray> bytes = hexBytes(data.sliced(colon + 1));
    if (!bytes)
        return std::nullopt;
    result.bytes = *bytes;
    const bool stringType = result.type == 1 || result.type == 2 || result.type == 7;
    result.wide = stringType && version == 5;
    return result;
}

// "HKLM\Software\X" -> "HKEY_LOCAL_MACHINE\Software\X"; "" when the root is unknown.
QString canonicalKeyPath(QStringView path)
{
    const qsizetype slash = path.indexOf(u'\\');
    const QString root = RegFileParser::canonicalRoot(slash < 0 ? path : path.first(slash));
    if (root.isEmpty())
        return {};
    return slash < 0 ? root : root + path.sliced(slash);
}

int headerVersion(QStringView line)
{
    if (line == u"REGEDIT4")
        return 4;
    if (line == u"Windows Registry Editor Version 5.00")
        return 5;
    return 0;
}

} // namespace

QString RegFileParser::canonicalRoot(QStringView root)
{
    static const QList<std::pair<QString, QString>> names = {
        {u"HKEY_CLASSES_ROOT"_s, u"HKCR"_s},     {u"HKEY_CURRENT_USER"_s, u"HKCU"_s},
        {u"HKEY_LOCAL_MACHINE"_s, u"HKLM"_s},    {u"HKEY_USERS"_s, u"HKU"_s},
        {u"HKEY_PERFORMANCE_DATA"_s, QString()}, {u"HKEY_CURRENT_CONFIG"_s, u"HKCC"_s},
        {u"HKEY_DYN_DATA"_s, QString()},
    };
    for (const auto &[full, shortName] : names) {
        if (root.compare(full, Qt::CaseInsensitive) == 0
            || (!shortName.isEmpty() && root.compare(shortName, Qt::CaseInsensitive) == 0))
            return full;
    }
    return {};
}

RegFile RegFileParser::parse(QByteArrayView bytes)
{
    RegFile file;
    QString currentKey;
    for (const QString &logical : logicalLines(decodeText(bytes))) {
        const QStringView line = QStringView(logical).trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (file.version == 0) {
            file.version = headerVersion(line);
            if (file.version == 0)
                return {};
            continue;
        }
        if (line.startsWith(u'[')) {
            const qsizetype close = line.lastIndexOf(u']');
            QStringView inner = line.sliced(1, (close < 0 ? line.size() : close) - 1).trimmed();
            const bool remove = inner.startsWith(u'-');
            const QString path = canonicalKeyPath(remove ? inner.sliced(1).trimmed() : inner);
            currentKey = remove ? QString() : path;
            if (!path.isEmpty())
                file.ops.append({remove ? RegOp::DeleteKey : RegOp::CreateKey, path, {}, {}});
            continue;
        }
        const ValueLine value = splitValueLine(line);
        if (value.dataStart < 0 || currentKey.isEmpty())
            continue;
        const QStringView data = line.sliced(value.dataStart).trimmed();
        if (data == u"-") {
            file.ops.append({RegOp::DeleteValue, currentKey, value.name, {}});
            continue;
        }
        if (const std::optional<RegData> parsed = parseData(data, file.version))
            file.ops.append({RegOp::SetValue, currentKey, value.name, *parsed});
    }
    file.ok = file.version != 0;
    return file;
}

QString RegHive::foldedPath(QStringView keyPath)
{
    QStringList parts;
    for (QStringView part : keyPath.split(u'\\', Qt::SkipEmptyParts))
        parts.append(part.toString().toCaseFolded());
    return parts.join(u'\\');
}

void RegHive::addKey(const QString &folded)
{
    if (!m_keys.contains(folded))
        m_keys.insert(folded, {});
}

void RegHive::createKey(const QString &folded)
{
    // Every ancestor of a key exists too, as in the registry.
    qsizetype slash = -1;
    while ((slash = folded.indexOf(u'\\', slash + 1)) >= 0)
        addKey(folded.first(slash));
    addKey(folded);
}

void RegHive::deleteKey(const QString &folded)
{
    const QString below = folded + u'\\';
    m_keys.removeIf([&](const auto &entry) {
        return entry.key() == folded || entry.key().startsWith(below);
    });
}

void RegHive::apply(const RegFile &file)
{
    for (const RegOp &op : file.ops) {
        const QString path = foldedPath(op.keyPath);
        switch (op.kind) {
        case RegOp::CreateKey:
            createKey(path);
            break;
        case RegOp::DeleteKey:
            deleteKey(path);
            break;
        case RegOp::SetValue:
            createKey(path);
            m_keys[path].insert(op.valueName.toCaseFolded(), op.data);
            break;
        case RegOp::DeleteValue:
            if (auto key = m_keys.find(path); key != m_keys.end())
                key->remove(op.valueName.toCaseFolded());
            break;
        }
    }
}

bool RegHive::hasKey(const QString &keyPath) const
{
    return m_keys.contains(foldedPath(keyPath));
}

const RegData *RegHive::value(const QString &keyPath, const QString &valueName) const
{
    const auto key = m_keys.constFind(foldedPath(keyPath));
    if (key == m_keys.constEnd())
        return nullptr;
    const auto value = key->constFind(valueName.toCaseFolded());
    return value == key->constEnd() ? nullptr : &*value;
}
