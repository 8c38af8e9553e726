#include "console/database/querycsv.h"

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

QString number(const QVariant &value)
{
    const int type = value.typeId();
    if (type == QMetaType::Double || type == QMetaType::Float)
        return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}

QString dateTime(const QDate &date, const QTime &time)
{
    // Only the part that is there: a midnight time gives the date alone.
    QString text;
    if (date.isValid())
        text = date.toString(u"yyyy-MM-dd"_s);
    if (time.isValid() && (time != QTime(0, 0) || !date.isValid()))
        text += (text.isEmpty() ? QString() : u" "_s) + time.toString(u"HH:mm:ss"_s);
    return u'#' + text + u'#';
}

QString quoted(QString text)
{
    return u'"' + text.replace(u'"', u"\"\""_s) + u'"';
}

// The value in its write-statement form, still as text.
QString fieldText(const QVariant &value, QMetaType columnType)
{
    if (value.isNull())
        return u"#NULL#"_s;
    const int type = value.typeId();
    if (type == QMetaType::Bool)
        return value.toBool() ? u"#TRUE#"_s : u"#FALSE#"_s;
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
            return text;
    }
    return quoted(text);
}

// One line in the code page. Converting the line at once is far cheaper than value by value;
// only a line that did not convert cleanly is gone through again to count its values.
QByteArray line(const QStringList &fields, int *lossy)
{
    QString text;
    for (const QString &field : fields)
        text += field + u',';
    text += u"\r\n"_s;
    bool ok = true;
    QByteArray bytes = CodePage::toAnsi(text, &ok);
    if (!ok && lossy) {
        for (const QString &field : fields) {
            bool fieldOk = true;
            CodePage::toAnsi(field, &fieldOk);
            *lossy += fieldOk ? 0 : 1;
        }
    }
    return bytes;
}

} // namespace

namespace QueryCsv {

QByteArray field(const QVariant &value, QMetaType columnType, int *lossy)
{
    bool ok = true;
    QByteArray bytes = CodePage::toAnsi(fieldText(value, columnType), &ok);
    if (!ok && lossy)
        ++*lossy;
    return bytes;
}

QByteArray fromQuery(QSqlQuery &query, qint64 *records, int *lossy)
{
    const QSqlRecord record = query.record();
    const int columns = record.count();
    QStringList fields;
    QList<QMetaType> types;
    for (int i = 0; i < columns; ++i) {
        fields.append(quoted(record.fieldName(i)));
        types.append(record.field(i).metaType());
    }
    QByteArray out = line(fields, lossy);
    while (query.next()) {
        for (int i = 0; i < columns; ++i)
            fields[i] = fieldText(query.value(i), types.at(i));
        out += line(fields, lossy);
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

} // namespace QueryCsv
