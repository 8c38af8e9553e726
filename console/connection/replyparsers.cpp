#include "console/connection/replyparsers.h"

using namespace Qt::StringLiterals;

QStringList ReplyLines(const QString &body)
{
    QStringList lines;
    qsizetype start = 0;
    while (start < body.size()) {
        const qsizetype end = body.indexOf(u"\r\n"_s, start);
        // A last line without CR LF is still a line: a short body is not silently dropped.
        const QString line = body.mid(start, end < 0 ? -1 : end - start);
        if (line.isEmpty())
            break;
        lines.append(line);
        if (end < 0)
            break;
        start = end + 2;
    }
    return lines;
}

QString ParameterRow::sectionName() const
{
    return isSection() ? key.mid(1, key.size() - 2) : QString();
}

QList<ParameterRow> ParseParameters(const QString &body)
{
    QList<ParameterRow> rows;
    for (const QString &line : ReplyLines(body)) {
        const qsizetype equals = line.indexOf(u'=');
        ParameterRow row;
        row.key = equals < 0 ? line : line.left(equals);
        row.value = equals < 0 ? QString() : line.mid(equals + 1);
        rows.append(row);
    }
    return rows;
}

QList<FileRow> ParseFileList(const QString &body)
{
    QList<FileRow> rows;
    for (const QString &line : ReplyLines(body)) {
        const QStringList fields = line.split(u';');
        auto field = [&fields](int i) { return i < fields.size() ? fields[i] : QString(); };
        rows.append({field(0), field(1), field(2), field(3), field(4)});
    }
    return rows;
}
