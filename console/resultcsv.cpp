#include "console/resultcsv.h"

#include "common/atomicfile.h"
#include "common/codepage.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QSqlField>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace {

bool isNumberType(int typeId)
{
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

QByteArray number(const QVariant &value)
{
    const int type = value.typeId();
    if (type == QMetaType::Double || type == QMetaType::Float)
        return QByteArray::number(value.toDouble(), 'g', 15);
    return value.toString().toLatin1();
}

QByteArray dateTime(const QDate &date, const QTime &time)
{
    // Only the part that is there: a midnight time gives the date alone.
    QString text;
    if (date.isValid())
        text = date.toString(u"yyyy-MM-dd"_s);
    if (time.isValid() && (time != QTime(0, 0) || !date.isValid()))
        text += (text.isEmpty() ? QString() : u" "_s) + time.toString(u"HH:mm:ss"_s);
    return '#' + text.toLatin1() + '#';
}

QByteArray quoted(const QString &text, int *lossy)
{
    bool ok = true;
    QByteArray bytes = CodePage::toAnsi(text, &ok);
    if (!ok && lossy)
        ++*lossy;
    return '"' + bytes.replace('"', "\"\"") + '"';
}

} // namespace

namespace ResultCsv {

QByteArray field(const QVariant &value, QMetaType columnType, int *lossy)
{
    if (value.isNull())
        return "#NULL#";
    const int type = value.typeId();
    if (type == QMetaType::Bool)
        return value.toBool() ? "#TRUE#" : "#FALSE#";
    if (isNumberType(type))
        return number(value);
    if (type == QMetaType::QDateTime) {
        const QDateTime when = value.toDateTime();
        return dateTime(when.date(), when.time());
    }
    if (type == QMetaType::QDate)
        return dateTime(value.toDate(), QTime());
    if (type == QMetaType::QTime)
        return dateTime(QDate(), value.toTime());
    const QString text = value.toString();
    if (isNumberType(columnType.id())) {
        // DECIMAL columns reach Qt as text; they are numbers all the same.
        bool ok = false;
        text.toDouble(&ok);
        if (ok)
            return text.toLatin1();
    }
    return quoted(text, lossy);
}

QByteArray fromQuery(QSqlQuery &query, qint64 *records, int *lossy)
{
    const QSqlRecord record = query.record();
    const int columns = record.count();
    QByteArray out;
    for (int i = 0; i < columns; ++i)
        out += quoted(record.fieldName(i), lossy) + ',';
    out += "\r\n";
    QList<QMetaType> types;
    for (int i = 0; i < columns; ++i)
        types.append(record.field(i).metaType());
    while (query.next()) {
        for (int i = 0; i < columns; ++i)
            out += field(query.value(i), types.at(i), lossy) + ',';
        out += "\r\n";
        ++*records;
    }
    return out;
}

void writeFile(const QString &path, const QByteArray &bytes, CsvSaveResult *result)
{
    QString reason;
    result->ok = writeFileAtomically(path, bytes, &reason);
    if (!result->ok)
        result->error = path + u" ファイルの書き込み時にエラーが発生しました。"_s;
}

} // namespace ResultCsv
