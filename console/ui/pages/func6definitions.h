#pragma once

#include "console/settings/definitionlist.h"

#include <QWidget>

#include <memory>

namespace Ui {
class Func6Definitions;
}
class PageDialogs;

/// Page 6, section "TarvoInfo.datの管理": the application items of an opened TarvoInfo.dat.
class Func6Definitions : public QWidget
{
    Q_OBJECT

public:
    explicit Func6Definitions(PageDialogs &dialogs, QWidget *parent = nullptr);
    ~Func6Definitions() override;

    /// Shows a file as the open button does once a file is chosen.
    void openFile(const QString &path);
    /// The rows the list shows (the consistency check reads them).
    const DefinitionList &definitions() const { return m_list; }

Q_SIGNALS:
    void explanationRequested(const QString &file);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void chooseFile();
    void rowClicked();
    void runEdit(DefinitionList::Edit edit);
    void fillList();
    void showFields(const DefinitionFields &fields);
    DefinitionFields fields() const;
    void showButtons();

    std::unique_ptr<Ui::Func6Definitions> m_ui;
    PageDialogs &m_dialogs;
    DefinitionList m_list;
};
