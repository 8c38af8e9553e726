#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QDialog;

/// How the pages of the console talk to the user: message boxes with the program's title, file
/// dialogs in the program folder and modal windows. Tests replace it with a recorder.
class PageDialogs
{
public:
    virtual ~PageDialogs() = default;

    /// An exclamation box, or an information box for a notice.
    virtual void message(QWidget *parent, const QString &text, bool notice = false);
    /// The chosen file, or the empty text on cancel.
    virtual QString openFile(QWidget *parent, const QString &title, const QString &filter);
    virtual QString saveFile(QWidget *parent, const QString &title, const QString &filter);
    /// Shows a window modally; returns its result code.
    virtual int runModal(QDialog *dialog);

    static PageDialogs &standard();
    static QString title(); // the program's title, caption of every box
};

/// The hourglass for as long as a blocking operation runs.
class BusyPointer
{
public:
    BusyPointer();
    ~BusyPointer();
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
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
