#pragma once

#include "console/database/queryresult.h"

#include <QDialog>
#include <QStandardItemModel>

#include <memory>

namespace Ui {
class frmDatabase;
}
class PageDialogs;

/// The result grid of a query, with refresh, save as CSV and close.
class frmDatabase : public QDialog
{
    Q_OBJECT

public:
    /// Starts the query at once; the rows arrive when the database has answered. The query and
    /// the CSV save run off the window's thread: a server that does not answer never stops it.
    frmDatabase(PageDialogs &dialogs, const SqlSettings &settings, const QString &queryText,
                QWidget *parent = nullptr);
    ~frmDatabase() override;

    /// Whether the query or a save is under way.
    bool isBusy() const { return m_busy; }

private:
    void refresh();
    void saveCsv();
    void setBusy(bool busy, const QString &waiting = {});
    void showTable(const QueryTable &table);

    std::unique_ptr<Ui::frmDatabase> m_ui;
    PageDialogs &m_dialogs;
    SqlSettings m_settings;
    QString m_queryText;
    QStandardItemModel m_rows;
    bool m_busy = false;
};
