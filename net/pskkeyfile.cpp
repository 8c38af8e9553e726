#include "net/pskkeyfile.h"

#include "common/atomicfile.h"

#include <QFile>

#include <openssl/rand.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace PskKeyFile {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::optional<PskKeyList> refuse(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

QString atLine(int number, const QString &what)
{
    return u"line "_s + QString::number(number) + u": "_s + what;
}

QList<QByteArrayView> fields(QByteArrayView line)
{
    QList<QByteArrayView> parts;
    qsizetype position = 0;
    while (position < line.size()) {
        while (position < line.size() && isBlank(line[position]))
            ++position;
        const qsizetype start = position;
        while (position < line.size() && !isBlank(line[position]))
            ++position;
        if (position > start)
            parts.append(line.sliced(start, position - start));
    }
    return parts;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Decodes into a buffer sized once, so no reallocation leaves a copy of the key behind.
std::optional<QByteArray> decodeHex(QByteArrayView hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    QByteArray key(hex.size() / 2, Qt::Uninitialized);
    for (qsizetype index = 0; index < key.size(); ++index) {
        const int high = hexValue(hex[2 * index]);
        const int low = hexValue(hex[2 * index + 1]);
        if (high < 0 || low < 0) {
            PskKeyList::wipe(key);
            return std::nullopt;
        }
        key[index] = char(high * 16 + low);
    }
    return key;
}

// One line into `keys`; the empty text when it was taken, the fault otherwise.
QString takeLine(QByteArrayView line, PskKeyList &keys)
{
    const QList<QByteArrayView> parts = fields(line);
    if (parts.isEmpty())
        return {};
    if (parts.size() != 2)
        return u"expected an identity and a hexadecimal key"_s;
    const QByteArrayView identity = parts.at(0);
    if (identity.size() > PskKeyList::MaxIdentityChars)
        return u"identity longer than %1 characters"_s.arg(PskKeyList::MaxIdentityChars);
    if (!isValidIdentity(identity))
        return u"identity holds characters other than printable ASCII"_s;
    if (keys.find(identity))
        return u"identity listed twice"_s;
    auto key = decodeHex(parts.at(1));
    if (!key)
        return u"key is not an even number of hexadecimal digits"_s;
    const qsizetype bytes = key->size();
    if (bytes < PskKeyList::MinKeyBytes || bytes > PskKeyList::MaxKeyBytes) {
        PskKeyList::wipe(*key);
        return bytes < PskKeyList::MinKeyBytes
            ? u"key shorter than %1 bytes"_s.arg(PskKeyList::MinKeyBytes)
            : u"key longer than %1 bytes"_s.arg(PskKeyList::MaxKeyBytes);
    }
    keys.append(identity.toByteArray(), std::move(*key));
    return {};
}

} // namespace

bool isValidIdentity(QByteArrayView identity)
{
    if (identity.isEmpty() || identity.size() > PskKeyList::MaxIdentityChars)
        return false;
    for (char c : identity) {
        if (c <= ' ' || c > '~')
            return false;
    }
    return true;
}

std::optional<PskKeyList> parse(QByteArrayView text, QString *error)
{
    PskKeyList keys;
    int number = 0;
    qsizetype position = 0;
    while (position < text.size()) {
        qsizetype end = text.indexOf('\n', position);
        if (end < 0)
            end = text.size();
        ++number;
        const QString fault = takeLine(text.sliced(position, end - position), keys);
        if (!fault.isEmpty())
            return refuse(error, atLine(number, fault));
        position = end + 1;
    }
    if (keys.isEmpty())
        return refuse(error, u"the file holds no key"_s);
    return keys;
}

std::optional<PskKeyList> read(const QString &path, QString *error)
{
    if (path.isEmpty())
        return refuse(error, u"no key file is named"_s);
    QFile file(path);
    // Unbuffered: the key is in no buffer but the one wiped below.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return refuse(error, path + u": "_s + file.errorString());
    struct stat status {};
    if (::fstat(file.handle(), &status) != 0 || !S_ISREG(status.st_mode))
        return refuse(error, path + u": not a regular file"_s);
    if (status.st_mode & (S_IROTH | S_IWOTH))
        return refuse(error, path + u": readable or writable by others than its owner and group "
                                    "(chmod 0640 or 0600)"_s);
    if (status.st_size > MaxFileBytes)
        return refuse(error, path + u": too large for a key file"_s);
    QByteArray bytes(qsizetype(status.st_size), Qt::Uninitialized);
    const qint64 got = file.read(bytes.data(), bytes.size());
    if (got != bytes.size()) {
        PskKeyList::wipe(bytes);
        return refuse(error, path + u": cannot be read"_s);
    }
    QString fault;
    auto keys = parse(bytes, &fault);
    PskKeyList::wipe(bytes);
    if (!keys)
        return refuse(error, path + u": "_s + fault);
    return keys;
}

QByteArray line(QByteArrayView identity, QByteArrayView key)
{
    // Written into one buffer sized up front: no intermediate copy of the key is left behind.
    static constexpr char Digits[] = "0123456789abcdef";
    QByteArray text(identity.size() + 1 + 2 * key.size() + 1, Qt::Uninitialized);
    char *out = text.data();
    for (char c : identity)
        *out++ = c;
    *out++ = ' ';
    for (char c : key) {
        *out++ = Digits[(uchar(c) >> 4) & 0xf];
        *out++ = Digits[uchar(c) & 0xf];
    }
    *out = '\n';
    return text;
}

bool create(const QString &path, QByteArrayView identity, QString *error)
{
    if (!isValidIdentity(identity)) {
        if (error)
            *error = u"the identity must be 1 to %1 printable ASCII characters without blanks"_s
                         .arg(PskKeyList::MaxIdentityChars);
        return false;
    }
    QByteArray key(PskKeyList::MinKeyBytes, Qt::Uninitialized);
    if (RAND_bytes(reinterpret_cast<unsigned char *>(key.data()), int(key.size())) != 1) {
        PskKeyList::wipe(key);
        if (error)
            *error = u"the system gave no random bytes"_s;
        return false;
    }
    QByteArray text = line(identity, key);
    PskKeyList::wipe(key);
    const bool written = writeNewFileAtomically(
        path, text, QFileDevice::ReadOwner | QFileDevice::WriteOwner, error);
    PskKeyList::wipe(text);
    return written;
}

} // namespace PskKeyFile
