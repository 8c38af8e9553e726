#include "console/ui/pagedialogs.h"

#include "common/programfolder.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QTabWidget>

using namespace Qt::StringLiterals;

void PageDialogs::message(QWidget *parent, const QString &text, bool notice)
{
    QMessageBox box(notice ? QMessageBox::Information : QMessageBox::Warning, title(), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

QString PageDialogs::openFile(QWidget *parent, const QString &caption, const QString &filter)
{
    QFileDialog dialog(parent, caption, ProgramFolder::path(), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString PageDialogs::saveFile(QWidget *parent, const QString &caption, const QString &filter)
{
    // Qt's save dialog asks before overwriting an existing file.
    return QFileDialog::getSaveFileName(parent, caption, ProgramFolder::path(), filter);
}

int PageDialogs::runModal(QDialog *dialog)
{
    return dialog->exec();
}

PageDialogs &PageDialogs::standard()
{
    static PageDialogs dialogs;
    return dialogs;
}

QString PageDialogs::title()
{
    return u"TarvoControl"_s;
}

BusyPointer::BusyPointer()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyPointer::~BusyPointer()
{
    QApplication::restoreOverrideCursor();
}

void focusControl(QWidget *root, const QString &name)
{
    QWidget *control = root->findChild<QWidget *>(name);
    if (!control)
        return;
    for (QWidget *up = control->parentWidget(); up && up != root; up = up->parentWidget()) {
        if (auto *tabs = qobject_cast<QTabWidget *>(up->parentWidget() ? up->parentWidget()->parentWidget() : nullptr);
            tabs && tabs->indexOf(up) >= 0)
            tabs->setCurrentWidget(up);
    }
    control->setFocus();
}
