#pragma once

#include "console/queryresult.h"

#include <QDialog>

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
    /// Runs the query at once; the grid fetches further rows as they are scrolled into view.
    frmDatabase(PageDialogs &dialogs, const SqlSettings &settings, const QString &queryText,
                QWidget *parent = nullptr);
    ~frmDatabase() override;

    QueryResult &result() { return m_result; }

private:
    void refresh();
    void saveCsv();

    std::unique_ptr<Ui::frmDatabase> ui;
    PageDialogs &m_dialogs;
    QueryResult m_result;
};
