#pragma once

#include "console/ui/pages/consolepage.h"

#include <QWidget>

#include <memory>

class QStandardItemModel;
class frmFileView;
struct PageContext;

namespace Ui {
class Func3Page;
}

/// Page 3: the files of the agent's folder and the view of one of them.
class Func3Page : public QWidget, public ConsolePage
{
    Q_OBJECT
public:
    explicit Func3Page(PageContext &context, QWidget *parent = nullptr);
    ~Func3Page() override;

    /// The page acts on a chosen target only; once one is chosen, "表示(&V)" waits until a file
    /// is chosen.
    void targetChosen(bool chosen) override;
    QStandardItemModel &files() const { return *m_files; }
    /// The file view window, once a data file has been shown.
    frmFileView *fileView() const { return m_fileView; }

private:
    void list();
    void view();
    void showFileList(const QString &body);
    void showDataFile(const QString &body);
    QString selectedFile() const;

    PageContext &m_context;
    std::unique_ptr<Ui::Func3Page> m_ui;
    QStandardItemModel *m_files;
    frmFileView *m_fileView = nullptr;
};
