#pragma once

#include "console/connection/replyparsers.h"

#include <QAbstractTableModel>

/// The parameter list of the agent-settings page: rows fetched with 100, edited one at a time,
/// and the 110 data built from the edited rows. Columns: change mark, key, value.
class ParameterEditModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { MarkColumn, KeyColumn, ValueColumn, ColumnCount };

    /// What the two edit boxes show for a selected row.
    struct Selection
    {
        bool editable = false; // key rows; section rows are locked
        QString key;
        QString value;
    };

    using QAbstractTableModel::QAbstractTableModel;

    /// Replaces the rows with those of a 101 body (every mark " ").
    void load(const QString &body);
    void clear();
    const QList<ParameterRow> &rows() const { return m_rows; }

    /// The boxes' contents for row `row` (a section row or a row out of range: not editable,
    /// both boxes empty).
    Selection select(int row) const;
    /// Confirms an edit: mark "X", key and value trimmed. False for a section row or a row out
    /// of range (nothing changes), and for a value CP932 cannot hold, which the agent would
    /// store as "?": `refusal` then gets the message to show.
    bool confirmEdit(int row, const QString &key, const QString &value, QString *refusal = nullptr);
    /// The data of request 110: section + ";" + key + "=" + value + CR LF per edited row, the
    /// section being that of the nearest section row above ("" before any).
    QString updateData() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QList<ParameterRow> m_rows;
};

/// The data of request 110 for `rows`: the edited rows under their sections.
QString ParameterUpdateData(const QList<ParameterRow> &rows);
