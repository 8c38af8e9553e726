#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class ConsoleFrontEnd;
class QDialog;

/// How the pages of page 6 and 7 talk to the user: through the console's front end (message
/// boxes with the program's title, the file dialog in the program folder, the busy pointer),
/// and modal windows, which tests answer themselves.
class PageDialogs
{
public:
    explicit PageDialogs(ConsoleFrontEnd &frontEnd, QString programFolder = QString());
    virtual ~PageDialogs() = default;

    /// An exclamation box, or an information box for a notice.
    void message(const QString &text, bool notice = false);
    /// The chosen file, or the empty text on cancel. `filter` as "Name|pattern|Name|pattern".
    QString openFile(const QString &title, const QString &filter);
    QString saveFile(const QString &title, const QString &filter);
    void setBusy(bool busy);
    /// A line in the status bar: what a long operation is waiting for, or its end ("").
    void showStatus(const QString &text);
    /// A question before an action that loses data; true when the user says yes (the default
    /// button is no).
    bool confirm(const QString &text);
    /// Shows a window modally; returns its result code.
    virtual int runModal(QDialog *dialog);

    static QString title(); // the program's title, caption of every box and window

private:
    ConsoleFrontEnd &m_frontEnd;
    QString m_folder;
};

/// The hourglass for as long as a blocking operation runs.
class BusyPointer
{
public:
    explicit BusyPointer(PageDialogs &dialogs) : m_dialogs(dialogs) { m_dialogs.setBusy(true); }
    ~BusyPointer() { m_dialogs.setBusy(false); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;

private:
    PageDialogs &m_dialogs;
};

/// The controls name_0, name_1, ... of a control array, in index order.
template<class T>
QList<T *> controlArray(const QWidget *root, const QString &name)
{
    QList<T *> controls;
    while (T *control = root->findChild<T *>(name + u'_' + QString::number(controls.size())))
        controls.append(control);
    return controls;
}

/// Moves the focus to a named control, showing the tab that holds it.
void focusControl(QWidget *root, const QString &name);
