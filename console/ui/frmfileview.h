#pragma once

#include <QDialog>

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
    Ui::frmFileView *m_ui;
};
