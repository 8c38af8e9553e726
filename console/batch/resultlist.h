#pragma once

#include "console/network/computertick.h"

#include <QAbstractTableModel>
#include <QStringList>

/// A report list with fixed columns: the batch pages' target-and-result lists. The first column
/// is the row's text (a computer name); the others are filled by the batch workers.
class ResultList : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Column
    {
        QString header;
        QString sizingText;  // its display width is the column's width
        Qt::Alignment alignment = Qt::AlignLeft;
    };

    explicit ResultList(QList<Column> columns, QObject *parent = nullptr);

    /// The lists of the two batch pages.
    static QList<Column> func2Columns();
    static QList<Column> func5Columns();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const QList<Column> &columns() const { return m_columns; }
    QStringList headers() const;
    const QList<QStringList> &rows() const { return m_rows; }
    /// Adds a row for `name` unless one exists or the name is the tree's placeholder "FAKE".
    bool addTarget(const QString &name);
    /// Removes the first row named `name`.
    bool removeTarget(const QString &name);
    /// What ticking did to the list.
    struct TickEffect
    {
        bool rowAdded = false;
        bool listEmptied = false;
    };
    /// Adds a row per ticked computer (never twice) and removes the row of each unticked one.
    TickEffect applyTicks(const QList<ComputerTick> &ticks);
    /// Sets the result and status columns of row `row` (0-based); false when there is no such row.
    bool setResult(int row, const QString &result, const QString &status);
    void clear();

private:
    QList<Column> m_columns;
    QList<QStringList> m_rows;
};
