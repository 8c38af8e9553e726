#include "console/batch/resultcsv.h"

#include "common/atomicfile.h"
#include "common/codepage.h"
#include "console/frontend.h"

using namespace Qt::StringLiterals;

namespace {

// Embedded quotes are doubled, so that a status text with a quote cannot split its field.
QString quoted(const QString &field)
{
    return u'"' + QString(field).replace(u"\""_s, u"\"\""_s) + u'"';
}

} // namespace

QStringList Func2ResultHeaders()
{
    return {u"コンピュータ名"_s, u"結果"_s, u"ステータス"_s};
}

QStringList Func5ResultHeaders()
{
    return {u"コンピュータ名"_s, u"結果"_s, u"理由"_s};
}

QByteArray ResultListCsv(const QStringList &headers, const QList<QStringList> &rows)
{
    return CodePage::toAnsi(ResultListCsvText(headers, rows));
}

QString ResultListCsvText(const QStringList &headers, const QList<QStringList> &rows)
{
    QString text;
    for (const QString &header : headers)
        text += quoted(header) + u',';
    text += u"\r\n"_s;
    for (const QStringList &row : rows) {
        QStringList fields;
        for (const QString &field : row)
            fields.append(quoted(field));
        text += fields.join(u',') + u"\r\n"_s;
    }
    text += u"\r\n"_s;
    return text;
}

bool ExportListToCsv(const QStringList &headers, const QList<QStringList> &rows,
                     const QString &folder, ConsoleFrontEnd &frontEnd)
{
    const QString path = frontEnd.chooseFile(u"処理結果をCSVファイルに保存"_s, folder,
                                              u"CSVﾌｧｲﾙ (*.csv);;すべてのﾌｧｲﾙ (*)"_s, true);
    if (path.isEmpty())
        return false;
    QString error;
    if (writeFileAtomically(path, ResultListCsv(headers, rows), &error))
        return true;
    ShowWarning(frontEnd, path + u" ファイルの書き込み時にエラーが発生しました。"_s);
    return false;
}
