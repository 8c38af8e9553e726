#pragma once

#include "console/settings/fieldcheck.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class Func6Fields;
}
class PageDialogs;
class DefinitionList;

/// Page 6, section "DBの管理": the table's columns, their edits and the consistency check.
class Func6Fields : public QWidget
{
    Q_OBJECT

public:
    /// `settings` gives the console's database settings at the time of each operation;
    /// `definitions` is the list the consistency check compares with.
    Func6Fields(PageDialogs &dialogs, std::function<SqlSettings()> settings,
                const DefinitionList &definitions, QWidget *parent = nullptr);
    ~Func6Fields() override;

    /// The table label, set whenever the page is shown.
    void showTable(const QString &table);

Q_SIGNALS:
    void explanationRequested(const QString &file);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectDatabase();
    void runDatabaseStep(const QString &waiting, std::function<DatabaseOutcome()> work,
                         std::function<void(const DatabaseOutcome &)> done);
    /// Reads the table's columns into the list, then runs `then`.
    void listColumns(std::function<void()> then = {});
    void rowClicked();
    void runEdit(FieldCheck::Edit edit);
    void checkConsistency();
    void showErrors(const DatabaseOutcome &outcome);
    QStringList fieldRows() const;

    std::unique_ptr<Ui::Func6Fields> m_ui;
    PageDialogs &m_dialogs;
    std::function<SqlSettings()> m_settings;
    const DefinitionList &m_definitions;
};
