#include "platform/probes/sysprobe.h"

#include <QFile>

namespace SysProbe {

QByteArray readSmallFile(const QString &path)
{
    // Generous for every file read here, small enough that a wrong path cannot flood memory.
    constexpr qint64 limit = 4 * 1024 * 1024;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(limit);
}

namespace {

QString unquoted(QByteArrayView raw)
{
    QByteArray out;
    char quote = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (quote == 0 && (c == '"' || c == '\'')) {
            quote = c;
        } else if (quote != 0 && c == quote) {
            quote = 0;
        } else if (c == '\\' && quote != '\'' && i + 1 < raw.size()) {
            out += raw[++i];
        } else if (quote == 0 && c == '#') {
            break; // trailing comment
        } else {
            out += c;
        }
    }
    return QString::fromUtf8(out.trimmed());
}

} // namespace

QString shellVariable(QByteArrayView text, QByteArrayView key)
{
    QString value;
    for (const QByteArray &rawLine : QByteArray(text.data(), text.size()).split('\n')) {
        QByteArrayView line = QByteArrayView(rawLine).trimmed();
        if (line.startsWith("export "))
            line = line.sliced(7).trimmed();
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0 || line.startsWith('#'))
            continue;
        if (line.first(equals) == key)
            value = unquoted(line.sliced(equals + 1)); // the last assignment wins, as in a shell
    }
    return value;
}

} // namespace SysProbe
