#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmHelp;
}

/// The help window: points at the user's guide beside the console and opens it with the
/// desktop's viewer.
class frmHelp : public QDialog
{
    Q_OBJECT
public:
    /// The guide's file name in the program folder.
    static QString guideFileName();

    frmHelp(const QString &programFolder, const QIcon &icon, QWidget *parent = nullptr);
    ~frmHelp() override;
    QString guidePath() const { return m_guidePath; }
    /// Opens the guide with the desktop's viewer; false when no viewer could be started.
    bool openGuide() const;

private:
    std::unique_ptr<Ui::frmHelp> m_ui;
    QString m_guidePath;
};

/// The About box: the program, its version and what it is for.
void showAboutBox(QWidget *parent);
