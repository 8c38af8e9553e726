#pragma once

#include "console/frontend.h"

#include <QPointer>

class QLabel;
class QWidget;

/// The windows' side of the core's front end: the status bar's second panel, message boxes
/// titled with the application title, the wait cursor and the file dialogs.
class WindowFrontEnd : public ConsoleFrontEnd
{
public:
    /// `owner` parents the boxes and dialogs; `statusPanel` receives the status texts.
    WindowFrontEnd(QWidget *owner, QLabel *statusPanel);
    ~WindowFrontEnd() override;

    void showStatus(const QString &text) override;
    void showMessage(Icon icon, const QString &text) override;
    void setBusy(bool busy) override;
    QString chooseFile(const QString &caption, const QString &folder, const QString &filter,
                       bool save) override;

    const QString &lastStatus() const { return m_lastStatus; }

private:
    QPointer<QWidget> m_owner;
    QPointer<QLabel> m_statusPanel;
    QString m_lastStatus;
    int m_busyDepth = 0;
};
