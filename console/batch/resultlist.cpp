#include "console/batch/resultlist.h"

using namespace Qt::Literals::StringLiterals;

namespace {
ResultList::Column column(const QString &header, int blanks, Qt::Alignment alignment,
                          const QString &sizingWord = {})
{
    const QString word = sizingWord.isEmpty() ? header : sizingWord;
    return {header, word + QString(blanks, u' '), alignment};
}
} // namespace

ResultList::ResultList(QList<Column> columns, QObject *parent)
    : QAbstractTableModel(parent), m_columns(std::move(columns))
{
}

QList<ResultList::Column> ResultList::func2Columns()
{
    return {column(u"コンピュータ名"_s, 16, Qt::AlignLeft),
            column(u"結果"_s, 6, Qt::AlignHCenter),
            column(u"ステータス"_s, 61, Qt::AlignLeft)};
}

QList<ResultList::Column> ResultList::func5Columns()
{
    return {column(u"コンピュータ名"_s, 14, Qt::AlignLeft),
            column(u"結果"_s, 4, Qt::AlignHCenter),
            column(u"理由"_s, 18, Qt::AlignHCenter)};
}

int ResultList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ResultList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ResultList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_rows.at(index.row()).value(index.column());
    if (role == Qt::TextAlignmentRole)
        return int(m_columns.at(index.column()).alignment | Qt::AlignVCenter);
    return {};
}

QVariant ResultList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns.at(section).header;
    if (role == Qt::TextAlignmentRole)
        return int(m_columns.at(section).alignment | Qt::AlignVCenter);
    return {};
}

QStringList ResultList::headers() const
{
    QStringList result;
    for (const Column &c : m_columns)
        result.append(c.header);
    return result;
}

bool ResultList::addTarget(const QString &name)
{
    if (name == u"FAKE"_s)
        return false;
    for (const QStringList &row : std::as_const(m_rows)) {
        if (row.value(0) == name)
            return false;
    }
    const int at = int(m_rows.size());
    beginInsertRows({}, at, at);
    QStringList row(m_columns.size());
    row[0] = name;
    m_rows.append(row);
    endInsertRows();
    return true;
}

bool ResultList::removeTarget(const QString &name)
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).value(0) == name) {
            beginRemoveRows({}, i, i);
            m_rows.removeAt(i);
            endRemoveRows();
            return true;
        }
    }
    return false;
}

ResultList::TickEffect ResultList::applyTicks(const QList<ComputerTick> &ticks)
{
    TickEffect effect;
    for (const ComputerTick &tick : ticks) {
        if (tick.ticked)
            effect.rowAdded = addTarget(tick.name) || effect.rowAdded;
        else if (removeTarget(tick.name) && rowCount() == 0)
            effect.listEmptied = true;
    }
    return effect;
}

bool ResultList::setResult(int row, const QString &result, const QString &status)
{
    if (row < 0 || row >= m_rows.size() || m_columns.size() < 3)
        return false;
    m_rows[row][1] = result;
    m_rows[row][2] = status;
    Q_EMIT dataChanged(index(row, 1), index(row, 2));
    return true;
}

void ResultList::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}
