#pragma once

#include "console/database/querypage.h"
#include "console/ui/pages/consolepage.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class Func7Page;
}
class PageDialogs;
class QListWidgetItem;

/// Page 7 "データベース参照" (frameFunc7): pick columns and a condition, show the result.
class Func7Page : public QWidget, public ConsolePage
{
    Q_OBJECT

public:
    Func7Page(PageDialogs &dialogs, std::function<SqlSettings()> settings, QWidget *parent = nullptr);
    ~Func7Page() override;

    /// The table label.
    void setTableLabel(const QString &table);
    /// The table label takes SqlTable as it is now.
    void pageShown() override { setTableLabel(m_settings().table); }
    /// The statement "一覧表示(&L)" builds from the page as it is.
    QString queryText() const;

private:
    void connectDatabase();
    void showColumns(const DatabaseOutcome &outcome, const QStringList &columns);
    void itemChanged(QListWidgetItem *item);
    void setAll(bool checked);
    void showResult();
    void showButtons();

    std::unique_ptr<Ui::Func7Page> m_ui;
    PageDialogs &m_dialogs;
    std::function<SqlSettings()> m_settings;
    QueryPage m_page;
};
