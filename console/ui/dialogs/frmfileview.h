#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmFileView;
}

/// The view of one data file fetched from an agent (reused for every file shown).
class frmFileView : public QDialog
{
    Q_OBJECT
public:
    explicit frmFileView(QWidget *parent = nullptr);
    ~frmFileView() override;
    /// Shows `body` as plain text, with the computer and the file it came from.
    void showFile(const QString &host, const QString &fileName, const QString &body);
    QString text() const;

private:
    std::unique_ptr<Ui::frmFileView> m_ui;
};
